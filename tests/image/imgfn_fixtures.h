// Small bitmaps and comparisons shared by the image function tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "core/random.h"
#include "image/bitmap32.h"

namespace tessaro::testing {

inline TBitmap32 Solid(int w, int h, TColor32 c) {
  TBitmap32 b(w, h);
  b.Clear(c);
  return b;
}

// Fixed-seed noise on all four channels (alpha included unless opaque).
inline TBitmap32 Noise(int w, int h, std::uint64_t seed, bool opaque = true) {
  TBitmap32 b(w, h);
  TRandom rng(seed);
  for (int y = 0; y < h; ++y) {
    TColor32* row = b.ScanLine(y);
    for (int x = 0; x < w; ++x) row[x] = rng.Next32() | (opaque ? 0xFF000000u : 0u);
  }
  return b;
}

// Exact equality of size and every pixel, reporting the first difference.
inline ::testing::AssertionResult SamePixels(const TBitmap32& a, const TBitmap32& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height())
    return ::testing::AssertionFailure() << "size " << a.Width() << "x" << a.Height()
                                         << " vs " << b.Width() << "x" << b.Height();
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x)
      if (a.Pixel(x, y) != b.Pixel(x, y))
        return ::testing::AssertionFailure()
               << "pixel (" << x << ", " << y << "): " << std::hex << a.Pixel(x, y) << " vs "
               << b.Pixel(x, y);
  return ::testing::AssertionSuccess();
}

inline ::testing::AssertionResult AllPixels(const TBitmap32& a, TColor32 c) {
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x)
      if (a.Pixel(x, y) != c)
        return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is "
                                             << std::hex << a.Pixel(x, y) << ", not " << c;
  return ::testing::AssertionSuccess();
}

// Mean of one byte (0 B, 1 G, 2 R, 3 A) over the whole bitmap.
inline double MeanByte(const TBitmap32& b, int byte) {
  double sum = 0;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) sum += (b.Pixel(x, y) >> (8 * byte)) & 0xFF;
  return sum / (double(b.Width()) * b.Height());
}

}  // namespace tessaro::testing
