#include "hash64.h"

#include <cstring>

namespace brisquel {

namespace {
constexpr std::uint64_t Secret0 = 0xa0761d6478bd642fULL;
constexpr std::uint64_t Secret1 = 0xe7037ed1a0b428dbULL;
constexpr std::uint64_t Secret2 = 0x8ebc6af09c88c6e3ULL;

// GCC and Clang multiply 64 by 64 bits into 128 in one instruction on 64-bit machines.
__extension__ typedef unsigned __int128 Wide;

std::uint64_t mix(std::uint64_t a, std::uint64_t b)
{
    const Wide product = static_cast<Wide>(a) * b;
    return static_cast<std::uint64_t>(product) ^ static_cast<std::uint64_t>(product >> 64);
}

std::uint64_t read64(const unsigned char* p)
{
    std::uint64_t value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

// Up to eight bytes, zero-padded: the tail of a key.
std::uint64_t readShort(const unsigned char* p, std::size_t size)
{
    std::uint64_t value = 0;
    std::memcpy(&value, p, size);
    return value;
}
} // namespace

std::uint64_t hash64(const void* data, std::size_t size, std::uint64_t seed)
{
    const auto* p = static_cast<const unsigned char*>(data);
    std::uint64_t state = seed ^ mix(seed ^ Secret0, Secret1);
    std::size_t left = size;
    while (left > 16) {
        state = mix(read64(p) ^ Secret1, read64(p + 8) ^ state);
        p += 16;
        left -= 16;
    }
    const std::uint64_t a = left > 8 ? read64(p) : readShort(p, left);
    const std::uint64_t b = left > 8 ? readShort(p + 8, left - 8) : 0;
    return mix(Secret1 ^ size, mix(a ^ Secret1, b ^ state ^ Secret2));
}

} // namespace brisquel
