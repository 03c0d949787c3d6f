#pragma once

#include <cstddef>
#include <cstdint>

namespace brisquel {

// A 64-bit hash whose every output bit depends on every input bit (multiply-fold mixing, the
// construction of wyhash), for sets that keep hashes instead of strings: there, two names sharing a
// hash count as one, so the odds must be those of a random 64-bit value for any names at all, also
// for names that differ only in a digit or two. Qt's qHash makes no such promise.
std::uint64_t hash64(const void* data, std::size_t size, std::uint64_t seed = 0);

} // namespace brisquel
