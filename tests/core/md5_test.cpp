// The in-house MD5 against RFC 1321's own test suite, against known digests
// of non-ASCII bytes, and against the system's md5sum on padding boundaries
// and on many random inputs.
#include "core/md5.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "tests/core/temp_dir.h"

namespace kov {
namespace {

std::string ToHex(const Md5Digest& digest) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (const std::uint8_t byte : digest) {
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 0x0f];
    }
    return hex;
}

std::string Md5Hex(std::string_view bytes) { return ToHex(Md5(bytes)); }

// Digest of the bytes by the system's md5sum; "" if it could not be run.
std::string Md5sumOf(const test::TempDir& dir, std::string_view bytes) {
    const std::string file = dir.WriteFile("input.bin", bytes).string();
    FILE* pipe = popen(("md5sum '" + file + "'").c_str(), "r");
    if (pipe == nullptr) return {};
    char line[128] = {};
    const bool read = fgets(line, sizeof line, pipe) != nullptr;
    const int status = pclose(pipe);
    if (!read || status != 0) return {};
    return std::string(line, 32);
}

TEST(Md5, Rfc1321TestSuite) {
    const struct {
        const char* input;
        const char* digest;
    } cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"1234567890123456789012345678901234567890"
         "1234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& c : cases) EXPECT_EQ(Md5Hex(c.input), c.digest) << '"' << c.input << '"';
}

TEST(Md5, HighBytesAreHashedUnsigned) {
    EXPECT_EQ(Md5Hex("\xcf\xe0\xf0\xee\xeb\xfc"),  // "Пароль" in Windows-1251
              "08f8e03bd59a7c67dc44028b3e073d5e");
    std::string allBytes;
    for (int b = 0; b < 256; ++b) allBytes += static_cast<char>(b);
    EXPECT_EQ(Md5Hex(allBytes), "e2c865db4162bed963bfaa9ef6ac18f0");
    EXPECT_EQ(Md5Hex(allBytes.substr(128)), "16f404156c0500ac48efa2d3abc5fbcf");
}

// 55 bytes is the longest message whose padding fits its last block; from 56
// on the length field needs a second one; 64 and its neighbours test whole blocks.
TEST(Md5, LengthsAroundPaddingBoundariesMatchMd5sum) {
    test::TempDir dir;
    for (const std::size_t length : {1, 54, 55, 56, 57, 62, 63, 64, 65, 119, 120, 121, 127, 128, 129}) {
        std::string input;
        for (std::size_t i = 0; i < length; ++i) input += static_cast<char>('!' + i % 90);
        EXPECT_EQ(Md5Hex(input), Md5sumOf(dir, input)) << "length " << length;
    }
}

TEST(Md5, RandomInputsMatchMd5sum) {
    test::TempDir dir;
    std::mt19937 random(20240601);
    std::uniform_int_distribution<std::size_t> lengths(0, 300);
    std::uniform_int_distribution<int> bytes(0, 255);
    for (int round = 0; round < 300; ++round) {
        std::string input(lengths(random), '\0');
        for (char& c : input) c = static_cast<char>(bytes(random));
        ASSERT_EQ(Md5Hex(input), Md5sumOf(dir, input)) << "round " << round << ", length " << input.size();
    }
}

}  // namespace
}  // namespace kov
