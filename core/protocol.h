#pragma once
// What the agent sends to the consultation service and how it reads replies.
#include <cstdint>
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

// The requests the agent makes of the service.
enum class RequestKind { SignIn, Poll, UpdateProbe, OfflineSend };

// What a reply means: the first character, and the payload after one
// separator read the way that code's reply is written.
enum class ReplyKind { Accepted, Rejected, Outdated, Failure };

struct ServiceReply {
    ReplyKind kind = ReplyKind::Failure;
    // Accepted: the new-message count of a status reply, from positions 2 to 5
    // (0 for replies shorter than 6 and for a negative count) ...
    int32_t messageCount = 0;
    // ... and the token of a sign-in reply, without its trailing line end.
    std::string token;
    // Outdated: the installer offered, quotes still in place.
    std::string installerUrl;
    // Failure: the length of an unexpected reply; 0 when there was none (no
    // connection, or an empty body).
    uint32_t unexpectedBytes = 0;
};

// Read once, where the reply enters the agent.
ServiceReply ReadReply(std::string_view reply);

}  // namespace kov
