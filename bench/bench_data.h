// What both benchmarks write into their shared data sets, so that a set made
// by one is the same set for the other.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace qav::bench {

// Incompressible bytes, quickly (xorshift64; a tail of under 8 bytes is left as it is).
inline void fill(char* buf, size_t n, uint64_t& state) {
  for (size_t i = 0; i + 8 <= n; i += 8) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    std::memcpy(buf + i, &state, 8);
  }
}

}  // namespace qav::bench
