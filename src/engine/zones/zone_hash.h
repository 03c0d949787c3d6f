#pragma once

#include <QByteArrayView>
#include <cstdint>
#include <cstring>

namespace brisquel::ZoneHash {

// The seed is part of the index format: an index built with one seed answers only with the same.
constexpr std::uint64_t Seed = 0x9e3779b97f4a7c15ULL;

// GCC and Clang have a 128-bit integer on 64-bit targets; __extension__ keeps -pedantic quiet.
__extension__ typedef unsigned __int128 Wide;

inline std::uint64_t fold(std::uint64_t a, std::uint64_t b)
{
    const Wide product = static_cast<Wide>(a) * b;
    return static_cast<std::uint64_t>(product) ^ static_cast<std::uint64_t>(product >> 64);
}

// A 64-bit hash of a name's label below its zone, lower-case ACE ("example" for example.com).
// Multiply-fold mixing as in wyhash: a few nanoseconds for a name, and well spread in every bit,
// which the index needs since it takes both the high bits (bucket) and the next ones (fingerprint).
inline std::uint64_t of(QByteArrayView label)
{
    const char* data = label.data();
    std::size_t left = std::size_t(label.size());
    std::uint64_t h = fold(Seed ^ left, 0xa0761d6478bd642fULL);
    while (left >= 8) {
        std::uint64_t word;
        std::memcpy(&word, data, 8);
        h = fold(h ^ word, 0xe7037ed1a0b428dbULL);
        data += 8;
        left -= 8;
    }
    std::uint64_t tail = 0;
    std::memcpy(&tail, data, left);
    h = fold(h ^ tail ^ (std::uint64_t(left) << 56), 0x8ebc6af09c88c6e3ULL);
    return fold(h, 0x589965cc75374cc3ULL);
}

} // namespace brisquel::ZoneHash
