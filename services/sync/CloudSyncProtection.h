#pragma once
// The account file's protection: bytes sealed with the current Windows user's data-protection key
// (no description, no extra entropy, never a prompt), so that another user or machine cannot read
// the session. Any thread. Failure shows as an empty result.

#include <optional>
#include <string>

namespace Lorvex::Services::CloudSyncProtection {

std::optional<std::string> Protect(const std::string& plain);
// None for bytes sealed by another user or machine, and for damaged or foreign bytes.
std::optional<std::string> Unprotect(const std::string& sealed);

}  // namespace Lorvex::Services::CloudSyncProtection
