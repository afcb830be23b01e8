#pragma once
// Reads a number the way the C library's atoi does (leading white space, one
// optional sign, decimal digits up to the first other character, 0 when there
// are none), but without its undefined behaviour: a value outside the signed
// 32-bit range saturates to INT32_MIN or INT32_MAX, as the Windows C runtime's
// atoi also does.
#include <cstdint>
#include <limits>
#include <string_view>

namespace kov {

// Space, tab, LF, VT, FF and CR: the "C" locale's white space.
inline bool IsAsciiSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

inline std::int32_t LeadingDecimal(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && IsAsciiSpace(text[pos])) ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    // Accumulate the magnitude in 64 bits and stop growing it just past the
    // 32-bit range, so any number of digits is safe.
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t magnitude = 0;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
        magnitude = magnitude * 10 + (text[pos] - '0');
        if (magnitude > kLimit) magnitude = kLimit;
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(value);  // -kLimit is exactly INT32_MIN
}

}  // namespace kov
