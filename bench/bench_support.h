// Inputs shared by the benchmarks.
#pragma once

#include "core/random.h"
#include "image/bitmap32.h"

namespace tessaro::bench {

// Opaque random pixels: no resampler or signature can take a shortcut on them.
inline TBitmap32 NoisePicture(int w, int h, std::uint64_t seed = 2007) {
  TBitmap32 b(w, h);
  TRandom rng(seed);
  for (int y = 0; y < h; ++y) {
    TColor32* row = b.ScanLine(y);
    for (int x = 0; x < w; ++x) row[x] = rng.Next32() | 0xFF000000u;
  }
  return b;
}

}  // namespace tessaro::bench
