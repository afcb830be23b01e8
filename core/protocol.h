#pragma once
// What the agent sends to the consultation service and how it reads replies.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kov {

enum class PresenceStatus : int32_t { Online = 0, Away = 1, Offline = 2 };

// MD5 of the password bytes as 32 lowercase hex digits.
std::string PasswordDigest(std::string_view password);

// Every byte outside A-Z a-z 0-9 - . _ ~ becomes %XX (upper-case hex).
std::string PercentEncode(std::string_view value);

// Object names handed to the HTTP layer: the prefix followed by the query.
std::string SignInObjectName(std::string_view prefix, std::string_view login,
                             std::string_view digest);
std::string StatusObjectName(std::string_view prefix, PresenceStatus status,
                             std::string_view login, std::string_view token);
std::string ProbeObjectName(std::string_view prefix);

// First character of the reply; none for the empty reply.
std::optional<char> ReplyCode(std::string_view reply);
// Payload of an accepted sign-in, without its trailing line end.
std::string ReplyToken(std::string_view reply);
// New-message count from positions 2 to 5; 0 for replies shorter than 6 and
// for a negative count.
int32_t ReplyMessageCount(std::string_view reply);
// Payload of an "outdated agent" reply, quotes still in place.
std::string ReplyInstallerUrl(std::string_view reply);

}  // namespace kov
