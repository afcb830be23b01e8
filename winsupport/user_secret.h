#pragma once
// Secrets kept on disk encrypted for the current Windows user (DPAPI), so
// that a copy of the registry or of the disk does not give them away.
// crypt32 is loaded by its full path from the system folder for each call
// and freed after it. Stateless; any thread.
#include <optional>
#include <string>

namespace kov {

// The encrypted form, which only this user on this machine can turn back;
// nullopt when Windows cannot encrypt it.
std::optional<std::string> ProtectForUser(const std::string& secret);
// The secret again; nullopt for anything that is not this user's encrypted form.
std::optional<std::string> UnprotectForUser(const std::string& sealed);

}  // namespace kov
