#include "app/command.h"

#include <nlohmann/json.hpp>

#include "support/strings.h"

namespace quorvel {

RemoteCommand parseRemoteCommand(std::u16string_view text) {
  const auto json = nlohmann::json::parse(toUtf8(text), nullptr, /*allow_exceptions=*/false);
  if (!json.is_object()) return RemoteCommand::None;
  const auto it = json.find("command");
  if (it == json.end() || !it->is_string()) return RemoteCommand::None;
  const auto& word = it->get_ref<const std::string&>();
  if (word == "about") return RemoteCommand::About;
  if (word == "capture") return RemoteCommand::Capture;
  return RemoteCommand::None;
}

}  // namespace quorvel
