// Shared plumbing of the ooimgfunction2007 implementation files; not part of the unit's
// interface.
#pragma once

#include <algorithm>
#include <cstdint>
#include <thread>
#include <vector>

#include "image/bitmap32.h"

namespace tessaro::imgfn {

// What Assign copies besides the pixels; used where the pixels are produced directly
// into dst instead of being copied first and then rewritten.
inline void CopyDrawingProperties(const TBitmap32& from, TBitmap32& to) {
  to.DrawMode = from.DrawMode;
  to.CombineMode = from.CombineMode;
  to.MasterAlpha = from.MasterAlpha;
  to.OuterColor = from.OuterColor;
  to.StretchFilter = from.StretchFilter;
}

// Below this many pixels per band a thread costs more than it saves (measured with
// bench_image_functions: ~1 ms per 2^20 pixels for the table kernels).
inline constexpr std::int64_t kMinPixelsPerBand = std::int64_t(1) << 20;

inline int RowBandCount(int width, int height) {
  const std::int64_t byWork = std::int64_t(width) * height / kMinPixelsPerBand;
  if (byWork < 2) return 1;  // the common case (cell pictures): no thread at all
  static const std::int64_t cores = std::max(1u, std::thread::hardware_concurrency());
  return int(std::min({byWork, cores, std::int64_t(height), std::int64_t(16)}));
}

// Runs fn(y0, y1) over contiguous row bands covering 0..height, on several threads
// when the bitmap is large. fn must only touch its own rows, which makes the result
// independent of the banding. Falls back to the calling thread if a thread cannot be
// started.
template <class Fn>
void ForEachRowBand(int width, int height, Fn&& fn) {
  if (width <= 0 || height <= 0) return;
  const int bands = RowBandCount(width, height);
  if (bands <= 1) {
    fn(0, height);
    return;
  }
  auto bandStart = [&](int i) { return int(std::int64_t(height) * i / bands); };
  std::vector<std::thread> workers;
  workers.reserve(std::size_t(bands - 1));
  int next = 1;
  try {
    for (; next < bands; ++next) {
      const int y0 = bandStart(next), y1 = bandStart(next + 1);
      workers.emplace_back([&fn, y0, y1] { fn(y0, y1); });
    }
  } catch (...) {
    // No more threads: the bands not handed out run here.
  }
  fn(bandStart(0), bandStart(1));
  for (int i = next; i < bands; ++i) fn(bandStart(i), bandStart(i + 1));
  for (auto& t : workers) t.join();
}

}  // namespace tessaro::imgfn
