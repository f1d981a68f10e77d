// Whole-page table kernels: grey conversion and channel shifts. Each builds its
// 256-entry tables once, then makes one pass over the rows (in bands over the cores),
// reading a pixel and writing it once.
#include <algorithm>
#include <array>
#include <cstdint>

#include "image/imgfn_internal.h"
#include "image/ooimgfunction2007.h"

namespace tessaro {

namespace {

// Grey weights in ten-thousandths, so that trunc(i * weight) is exact: in doubles
// 180 * 0.35 is 62.999... and would lose a grey level.
constexpr int kGreyWeights[4][3] = {
    {2990, 5870, 1140},  // 1
    {4500, 3500, 2000},  // 2
    {3588, 4020, 2392},  // 3
    {3330, 3340, 3330},  // 4
};

// dst takes src's size and drawing properties unless it is src; then the kernel runs
// src -> dst row by row (in place when aliased: every pixel is read before written).
template <class PixelFn>
void MapPixels(const TBitmap32& src, TBitmap32& dst, const PixelFn& map) {
  if (&src != &dst) {
    imgfn::CopyDrawingProperties(src, dst);
    dst.SetSize(src.Width(), src.Height());
  }
  const int width = dst.Width();
  imgfn::ForEachRowBand(width, dst.Height(), [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
      const TColor32* s = src.ScanLine(y);
      TColor32* d = dst.ScanLine(y);
      for (int x = 0; x < width; ++x) d[x] = map(s[x]);
    }
  });
}

}  // namespace

void GreyBitmap(const TBitmap32& src, TBitmap32& dst, int type) {
  std::array<std::uint32_t, 256> tr{}, tg{}, tb{};
  if (type >= 1 && type <= 4) {
    const int* w = kGreyWeights[type - 1];
    for (int i = 0; i < 256; ++i) {
      tr[i] = std::uint32_t(i * w[0] / 10000);
      tg[i] = std::uint32_t(i * w[1] / 10000);
      tb[i] = std::uint32_t(i * w[2] / 10000);
    }
  }
  // The weights sum to 1 and each product is truncated, so g stays within 0..255.
  MapPixels(src, dst, [&](TColor32 c) {
    const std::uint32_t g = tr[(c >> 16) & 0xFF] + tg[(c >> 8) & 0xFF] + tb[c & 0xFF];
    return 0xFF000000u | (g * 0x010101u);
  });
}

void ShiftChannels(const TBitmap32& src, TBitmap32& dst, int dR, int dG, int dB) {
  // Any shift beyond a full byte clamps alike; bounding it keeps i + d from overflowing.
  dR = std::clamp(dR, -256, 256);
  dG = std::clamp(dG, -256, 256);
  dB = std::clamp(dB, -256, 256);
  std::array<std::uint32_t, 256> tr, tg, tb;
  for (int i = 0; i < 256; ++i) {
    tr[i] = std::uint32_t(ClampByte(i + dR)) << 16;
    tg[i] = std::uint32_t(ClampByte(i + dG)) << 8;
    tb[i] = std::uint32_t(ClampByte(i + dB));
  }
  MapPixels(src, dst, [&](TColor32 c) {
    return 0xFF000000u | tr[(c >> 16) & 0xFF] | tg[(c >> 8) & 0xFF] | tb[c & 0xFF];
  });
}

}  // namespace tessaro
