// Block averages and the colour signature of a picture.
#include <algorithm>
#include <cstdint>

#include "image/halftone.h"
#include "image/ooimgfunction2007.h"

namespace tessaro {

namespace {

struct Sums {
  std::uint64_t r = 0, g = 0, b = 0;
  Sums& operator+=(const Sums& o) {
    r += o.r;
    g += o.g;
    b += o.b;
    return *this;
  }
};

SignatureColor MeanColor(const Sums& s, std::uint64_t n) {
  SignatureColor c;
  c.R = std::uint8_t(s.r / n);
  c.G = std::uint8_t(s.g / n);
  c.B = std::uint8_t(s.b / n);
  c.Grey = std::uint8_t(SignatureGrey(c.R, c.G, c.B));
  return c;
}

constexpr int kReduction = 64;

}  // namespace

SignatureColor BlockAverage(const TBitmap32& bitmap, const TRect& rect) {
  const int x0 = std::max(rect.Left, 0), y0 = std::max(rect.Top, 0);
  const int x1 = std::min(rect.Right, bitmap.Width());
  const int y1 = std::min(rect.Bottom, bitmap.Height());
  if (x1 <= x0 || y1 <= y0) return SignatureColor{};
  Sums s;
  for (int y = y0; y < y1; ++y) {
    const TColor32* row = bitmap.ScanLine(y);
    for (int x = x0; x < x1; ++x) {
      const TColor32 c = row[x];
      s.r += RedOf(c);
      s.g += GreenOf(c);
      s.b += BlueOf(c);
    }
  }
  return MeanColor(s, std::uint64_t(x1 - x0) * std::uint64_t(y1 - y0));
}

void ComputeSignature(const TBitmap32& bitmap, ImageSignature& out) {
  TBitmap32 work(kReduction, kReduction);
  work.Clear(clBlack32);  // what an empty picture leaves behind
  HalftoneResize(bitmap, work, kReduction, kReduction);

  // One pass sums the 8 x 8 blocks; every coarser block is a sum of those, so each
  // mean is still its own sum div count, exactly as if summed pixel by pixel.
  Sums b8[8][8];
  for (int y = 0; y < kReduction; ++y) {
    const TColor32* row = work.ScanLine(y);
    Sums* band = b8[y / 8];
    for (int x = 0; x < kReduction; ++x) {
      const TColor32 c = row[x];
      Sums& s = band[x / 8];
      s.r += RedOf(c);
      s.g += GreenOf(c);
      s.b += BlueOf(c);
    }
  }
  Sums b4[4][4], b2[2][2], all;
  for (int r = 0; r < 8; ++r)
    for (int c = 0; c < 8; ++c) b4[r / 2][c / 2] += b8[r][c];
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) b2[r / 2][c / 2] += b4[r][c];
  for (int r = 0; r < 2; ++r)
    for (int c = 0; c < 2; ++c) all += b2[r][c];

  ImageSignature s;
  s.Average = MeanColor(all, 64 * 64);
  for (int r = 0; r < 2; ++r)
    for (int c = 0; c < 2; ++c) s.Grid2[2 * r + c] = MeanColor(b2[r][c], 32 * 32);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) s.Grid4[4 * r + c] = MeanColor(b4[r][c], 16 * 16);
  for (int r = 0; r < 8; ++r)
    for (int c = 0; c < 8; ++c) s.Grid8[8 * r + c] = MeanColor(b8[r][c], 8 * 8);
  s.PaletteIndex = ColorToPaletteIndex(s.Average);
  out = s;
}

void GreySignatureVector(const TBitmap32& bitmap, TGreySignatureVector& out) {
  const ImageSignature s = ComputeSignature(bitmap);
  auto level = [](const SignatureColor& c) { return float(c.Grey / 255.0); };
  out[0] = level(s.Average);
  for (int i = 0; i < 4; ++i) out[1 + i] = level(s.Grid2[i]);
  for (int i = 0; i < 16; ++i) out[5 + i] = level(s.Grid4[i]);
  for (int i = 0; i < 64; ++i) out[21 + i] = level(s.Grid8[i]);
}

}  // namespace tessaro
