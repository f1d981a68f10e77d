// Inputs shared by the benchmarks.
#pragma once

#include "tests/support/noise_picture.h"

namespace tessaro::bench {

inline TBitmap32 NoisePicture(int w, int h, std::uint64_t seed = 2007) {
  return testing_support::NoisePicture(w, h, seed);
}

}  // namespace tessaro::bench
