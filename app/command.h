#pragma once
#include <string_view>

namespace quorvel {

// What another program asks for through the copy-data message.
enum class RemoteCommand { None, About, Capture };

// Reads the JSON object's "command" string: "about" or "capture", exactly. Text that is not
// JSON, JSON that is not an object, and a missing or non-string member give None.
RemoteCommand parseRemoteCommand(std::u16string_view text);

}  // namespace quorvel
