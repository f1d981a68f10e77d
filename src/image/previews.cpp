// Small preview pictures: the colour histogram and the signature grids.
#include <algorithm>
#include <array>
#include <cstdint>

#include "image/halftone.h"
#include "image/ooimgfunction2007.h"

namespace tessaro {

namespace {

constexpr int kChartWidth = 257, kChartHeight = 128;

void DrawChart(TBitmap32& chart, const std::array<std::int64_t, 256>& bins) {
  chart.SetSize(kChartWidth, kChartHeight);
  chart.Clear(clWhite32);
  for (int x = 0; x < kChartWidth; ++x) {
    chart.SetPixel(x, 0, clBlack32);
    chart.SetPixel(x, kChartHeight - 1, clBlack32);
  }
  for (int y = 0; y < kChartHeight; ++y) {
    chart.SetPixel(0, y, clBlack32);
    chart.SetPixel(kChartWidth - 1, y, clBlack32);
  }
  // Bars go over the outline: bin 255 lands on the right edge, a full bar on the top.
  for (int i = 0; i < 256; ++i)
    for (int y = kChartHeight - int(bins[i]); y < kChartHeight; ++y)
      chart.SetPixel(i + 1, y, clBlack32);
}

}  // namespace

void DrawHistogram(const TBitmap32& src, TBitmap32& target, int channel,
                   THistogramSource kind) {
  std::array<std::int64_t, 256> bins{};
  if (!src.Empty() && channel >= 0 && channel <= 3) {
    TBitmap32 reduced;
    HalftoneResize(src, reduced, 256, 256);
    for (int y = 0; y < reduced.Height(); ++y) {
      const TColor32* row = reduced.ScanLine(y);
      for (int x = 0; x < reduced.Width(); ++x) {
        const TColor32 c = row[x];
        if (channel == 0 || channel == 1) ++bins[RedOf(c)];
        if (channel == 0 || channel == 2) ++bins[GreenOf(c)];
        if (channel == 0 || channel == 3) ++bins[BlueOf(c)];
      }
    }
  }
  const std::int64_t m = *std::max_element(bins.begin(), bins.end());
  if (m > 0)
    for (auto& b : bins) b = b * kChartHeight / m;

  TBitmap32 chart;
  DrawChart(chart, bins);
  if (kind == THistogramSource::Bitmap) target.SetSize(128, 48);
  if (!target.Empty()) HalftoneStretch(target, target.BoundsRect(), chart, chart.BoundsRect());
}

void DrawSignaturePreview(TBitmap32& target, const ImageSignature& signature, int level,
                          bool grey) {
  int n;
  const SignatureColor* entries;
  switch (level) {
    case 1: n = 1; entries = &signature.Average; break;
    case 4: n = 2; entries = signature.Grid2; break;
    case 16: n = 4; entries = signature.Grid4; break;
    case 64: n = 8; entries = signature.Grid8; break;
    default: return;
  }
  target.SetSize(64, 64);
  const int side = 64 / n;
  for (int r = 0; r < n; ++r)
    for (int c = 0; c < n; ++c) {
      const SignatureColor& e = entries[r * n + c];
      const TColor32 colour = grey ? Color32(e.Grey, e.Grey, e.Grey) : Color32(e.R, e.G, e.B);
      target.FillRectS(MakeRect(c * side, r * side, (c + 1) * side, (r + 1) * side), colour);
    }
}

}  // namespace tessaro
