#pragma once
// The MD5 message digest of RFC 1321, kept in-house so the agent needs no
// crypto library for its one use (the password digest of the sign-in).
#include <array>
#include <cstdint>
#include <string_view>

namespace kov {

using Md5Digest = std::array<std::uint8_t, 16>;

// Digest of the given bytes, in RFC 1321 output order.
Md5Digest Md5(std::string_view bytes);

}  // namespace kov
