#include "protocol.h"

#include <cstddef>
#include <string>

#include "decimal_text.h"
#include "md5.h"

namespace kov {
namespace {

// Positions in a reply: the result code, one separator, then the payload.
constexpr std::size_t kPayloadStart = 2;
// The new-message count is written into exactly these four characters.
constexpr std::size_t kCountLength = 4;

constexpr char kHexDigitsLower[] = "0123456789abcdef";
constexpr char kHexDigitsUpper[] = "0123456789ABCDEF";

bool IsUnreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           c == '-' || c == '.' || c == '_' || c == '~';
}

std::string_view Payload(std::string_view reply) {
    return reply.size() > kPayloadStart ? reply.substr(kPayloadStart) : std::string_view();
}

}  // namespace

std::string PasswordDigest(std::string_view password) {
    std::string hex;
    hex.reserve(32);
    for (const std::uint8_t byte : Md5(password)) {
        hex += kHexDigitsLower[byte >> 4];
        hex += kHexDigitsLower[byte & 0x0f];
    }
    return hex;
}

// Logins, digests and tokens are inserted into a query string; any byte with
// a meaning there ('&', '#', '%', blanks, line breaks, Windows-1251 letters)
// would otherwise change or break the request.
std::string PercentEncode(std::string_view value) {
    std::string encoded;
    encoded.reserve(value.size());
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if (IsUnreserved(byte)) {
            encoded += c;
        } else {
            encoded += '%';
            encoded += kHexDigitsUpper[byte >> 4];
            encoded += kHexDigitsUpper[byte & 0x0f];
        }
    }
    return encoded;
}

std::string SignInObjectName(std::string_view prefix, std::string_view login,
                             std::string_view digest) {
    std::string name(prefix);
    name += "?do=login&login=";
    name += PercentEncode(login);
    name += "&password=";
    name += PercentEncode(digest);
    return name;
}

std::string StatusObjectName(std::string_view prefix, PresenceStatus status,
                             std::string_view login, std::string_view token) {
    std::string name(prefix);
    name += "?do=get&status=";
    name += std::to_string(static_cast<std::int32_t>(status));
    name += "&login=";
    name += PercentEncode(login);
    name += "&token=";
    name += PercentEncode(token);
    return name;
}

std::string ProbeObjectName(std::string_view prefix) {
    return std::string(prefix);
}

namespace {

// The line end the server puts after the token is not part of it; sending it
// back would corrupt every later status request.
std::string TokenOf(std::string_view reply) {
    std::string_view token = Payload(reply);
    while (!token.empty() && (token.back() == '\r' || token.back() == '\n'))
        token.remove_suffix(1);
    return std::string(token);
}

// A negative count ("-999") is nonsense from a broken server; taken as it is,
// it would show in the tooltip and make the tray blink.
int32_t MessageCountOf(std::string_view reply) {
    if (reply.size() < kPayloadStart + kCountLength) return 0;
    const int32_t count = LeadingDecimal(reply.substr(kPayloadStart, kCountLength));
    return count < 0 ? 0 : count;
}

}  // namespace

ServiceReply ReadReply(std::string_view reply) {
    ServiceReply read;
    switch (reply.empty() ? '\0' : reply.front()) {
        case '0':
            read.kind = ReplyKind::Accepted;
            read.messageCount = MessageCountOf(reply);
            read.token = TokenOf(reply);
            break;
        case '1': read.kind = ReplyKind::Rejected; break;
        case '2':
            read.kind = ReplyKind::Outdated;
            read.installerUrl = std::string(Payload(reply));
            break;
        default:
            read.kind = ReplyKind::Failure;
            read.unexpectedBytes = static_cast<uint32_t>(reply.size());
            break;
    }
    return read;
}

}  // namespace kov
