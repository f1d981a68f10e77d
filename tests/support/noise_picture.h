// Fixed-seed opaque noise: a picture no resampler or signature can take a shortcut on.
#pragma once

#include <cstdint>

#include "core/random.h"
#include "image/bitmap32.h"

namespace tessaro::testing_support {

inline TBitmap32 NoisePicture(int w, int h, std::uint64_t seed) {
  TBitmap32 b(w, h);
  TRandom rng(seed);
  for (int y = 0; y < h; ++y) {
    TColor32* row = b.ScanLine(y);
    for (int x = 0; x < w; ++x) row[x] = rng.Next32() | 0xFF000000u;
  }
  return b;
}

}  // namespace tessaro::testing_support
