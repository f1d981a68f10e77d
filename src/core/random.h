// The process's one seedable random generator. Random(n) is uniform in 0..n-1 and 0
// for n <= 0; the sequence for a seed is the same on every platform and build, so a
// fixed seed reproduces a mosaic exactly.
#pragma once

#include <cstdint>

namespace tessaro {

class TRandom {
 public:
  explicit TRandom(std::uint64_t seed = 0) { Seed(seed); }

  void Seed(std::uint64_t seed) { state_ = seed; }
  void SeedFromClock();

  // splitmix64: small, fast, passes the usual statistical batteries.
  std::uint32_t Next32() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return std::uint32_t((z ^ (z >> 31)) >> 32);
  }
  int Random(int n) {
    if (n <= 0) return 0;
    return int((std::uint64_t(Next32()) * std::uint64_t(n)) >> 32);
  }
  // Uniform in [0, 1).
  double RandomFloat() { return Next32() * (1.0 / 4294967296.0); }

 private:
  std::uint64_t state_ = 0;
};

}  // namespace tessaro
