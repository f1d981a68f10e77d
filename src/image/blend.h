// Per-pixel combination rules shared by drawing, transforming and FillRectTS.
#pragma once

#include <cstdint>

#include "image/bitmap32.h"

namespace tessaro::blend {

// x * y / 255, rounded; exact for every pair of bytes.
inline std::uint32_t MulDiv255(std::uint32_t x, std::uint32_t y) {
  std::uint32_t t = x * y + 128;
  return (t + (t >> 8)) >> 8;
}

// Source weight of a dmBlend pixel: its alpha scaled by the master alpha.
inline std::uint32_t SourceWeight(TColor32 s, std::uint32_t masterAlpha) {
  return MulDiv255(s >> 24, masterAlpha);
}

// cmBlend: colour moves towards the source by weight a; alpha composes "over", so an
// opaque destination stays opaque.
inline TColor32 BlendOver(TColor32 s, TColor32 d, std::uint32_t a) {
  if (a == 0) return d;
  if (a == 255) return s | 0xFF000000u;
  const std::uint32_t na = 255 - a;
  const std::uint32_t r = MulDiv255((s >> 16) & 0xFF, a) + MulDiv255((d >> 16) & 0xFF, na);
  const std::uint32_t g = MulDiv255((s >> 8) & 0xFF, a) + MulDiv255((d >> 8) & 0xFF, na);
  const std::uint32_t b = MulDiv255(s & 0xFF, a) + MulDiv255(d & 0xFF, na);
  const std::uint32_t da = d >> 24;
  const std::uint32_t oa = a + MulDiv255(da, na);
  return (oa << 24) | (r << 16) | (g << 8) | b;
}

// cmMerge: both colours weighted by their own coverage (non-premultiplied "over").
inline TColor32 MergeOver(TColor32 s, TColor32 d, std::uint32_t a) {
  if (a == 0) return d;
  if (a == 255) return s | 0xFF000000u;
  const std::uint32_t dw = MulDiv255(d >> 24, 255 - a);
  const std::uint32_t oa = a + dw;
  if (oa == 0) return 0;
  auto ch = [&](int shift) {
    return ((((s >> shift) & 0xFF) * a + ((d >> shift) & 0xFF) * dw) + oa / 2) / oa;
  };
  return (oa << 24) | (ch(16) << 16) | (ch(8) << 8) | ch(0);
}

inline TColor32 Combine(TColor32 s, TColor32 d, std::uint32_t masterAlpha, TCombineMode mode) {
  const std::uint32_t a = SourceWeight(s, masterAlpha);
  return mode == cmMerge ? MergeOver(s, d, a) : BlendOver(s, d, a);
}

}  // namespace tessaro::blend
