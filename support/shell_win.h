#pragma once
#include <string>

namespace quorvel {

// This executable's file version through a printf pattern taking four numbers (major, minor,
// release, build); "0.0.0.0" when the file has no version resource.
std::wstring GetVersionString(const std::wstring& pattern);
// Opens a document or web address with the shell's "open" verb; the result is not examined.
void ShellOpen(const std::wstring& target);

// Web addresses of the maker. Hosts are build defaults, overridable by environment variables
// (QUORVEL_LINK_HOST, QUORVEL_ERROR_HOST) so that tests can point them elsewhere.
std::wstring productPageUrl();
// The maker's error page for a problem code, e.g. "webpnotfound".
std::wstring errorPageUrl(const std::wstring& message);

}  // namespace quorvel
