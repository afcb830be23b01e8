#include "md5.h"

#include <cstddef>
#include <cstring>

namespace kov {
namespace {

constexpr std::size_t kBlockSize = 64;
constexpr std::size_t kLengthFieldSize = 8;

// floor(|sin(i + 1)| * 2^32) for i = 0..63.
constexpr std::uint32_t kSines[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee,
    0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be,
    0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa,
    0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed,
    0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c,
    0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05,
    0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039,
    0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1,
    0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};

// Left rotations of the four rounds, four per round repeated over its 16 steps.
constexpr unsigned kShifts[4][4] = {
    {7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

struct State {
    std::uint32_t a = 0x67452301;
    std::uint32_t b = 0xefcdab89;
    std::uint32_t c = 0x98badcfe;
    std::uint32_t d = 0x10325476;
};

std::uint32_t RotateLeft(std::uint32_t x, unsigned n) {
    return (x << n) | (x >> (32 - n));  // n is 4..23, never 0 or 32
}

std::uint32_t LoadLittleEndian(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void ProcessBlock(State& state, const unsigned char* block) {
    std::uint32_t words[16];
    for (std::size_t i = 0; i < 16; ++i) words[i] = LoadLittleEndian(block + 4 * i);

    std::uint32_t a = state.a, b = state.b, c = state.c, d = state.d;
    for (unsigned step = 0; step < 64; ++step) {
        const unsigned round = step / 16;
        std::uint32_t mixed;
        unsigned word;
        switch (round) {
            case 0: mixed = (b & c) | (~b & d); word = step; break;
            case 1: mixed = (d & b) | (~d & c); word = (5 * step + 1) % 16; break;
            case 2: mixed = b ^ c ^ d; word = (3 * step + 5) % 16; break;
            default: mixed = c ^ (b | ~d); word = (7 * step) % 16; break;
        }
        const std::uint32_t sum = a + mixed + kSines[step] + words[word];
        a = d;
        d = c;
        c = b;
        b += RotateLeft(sum, kShifts[round][step % 4]);
    }
    state.a += a;
    state.b += b;
    state.c += c;
    state.d += d;
}

void StoreLittleEndian(std::uint32_t value, std::uint8_t* out) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace

Md5Digest Md5(std::string_view bytes) {
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t size = bytes.size();
    State state;

    const std::size_t wholeBlocksEnd = size - size % kBlockSize;
    for (std::size_t offset = 0; offset < wholeBlocksEnd; offset += kBlockSize)
        ProcessBlock(state, data + offset);

    // Padding: the rest of the message, a 1 bit, zeros, then the message length
    // in bits (mod 2^64, little-endian); one block if it fits, otherwise two.
    unsigned char tail[2 * kBlockSize] = {};
    const std::size_t rest = size - wholeBlocksEnd;
    if (rest != 0) std::memcpy(tail, data + wholeBlocksEnd, rest);
    tail[rest] = 0x80;
    const std::size_t tailSize =
        rest < kBlockSize - kLengthFieldSize ? kBlockSize : 2 * kBlockSize;
    const std::uint64_t bitLength = static_cast<std::uint64_t>(size) * 8;
    for (std::size_t i = 0; i < kLengthFieldSize; ++i)
        tail[tailSize - kLengthFieldSize + i] = static_cast<unsigned char>(bitLength >> (8 * i));
    for (std::size_t offset = 0; offset < tailSize; offset += kBlockSize)
        ProcessBlock(state, tail + offset);

    Md5Digest digest;
    StoreLittleEndian(state.a, &digest[0]);
    StoreLittleEndian(state.b, &digest[4]);
    StoreLittleEndian(state.c, &digest[8]);
    StoreLittleEndian(state.d, &digest[12]);
    return digest;
}

}  // namespace kov
