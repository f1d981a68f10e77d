#include "image/stretch.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace tessaro {

namespace {

double Sinc(double x) {
  if (x == 0.0) return 1.0;
  const double px = std::numbers::pi * x;
  return std::sin(px) / px;
}

// Kernel value at distance x (in source pixels of the kernel's own scale).
double KernelValue(TStretchFilter f, double x) {
  x = std::fabs(x);
  switch (f) {
    case sfDraft:  // box
      return x < 0.5 ? 1.0 : (x == 0.5 ? 0.5 : 0.0);
    case sfLinear:
      return x < 1.0 ? 1.0 - x : 0.0;
    case sfCosine:
      return x < 1.0 ? (std::cos(std::numbers::pi * x) + 1.0) / 2.0 : 0.0;
    case sfSpline:  // cubic B-spline
      if (x < 1.0) return (3.0 * x * x * x - 6.0 * x * x + 4.0) / 6.0;
      if (x < 2.0) {
        const double t = 2.0 - x;
        return t * t * t / 6.0;
      }
      return 0.0;
    case sfLanczos:
      return x < 3.0 ? Sinc(x) * Sinc(x / 3.0) : 0.0;
    case sfMitchell: {  // B = C = 1/3
      constexpr double B = 1.0 / 3.0, C = 1.0 / 3.0;
      if (x < 1.0)
        return ((12 - 9 * B - 6 * C) * x * x * x + (-18 + 12 * B + 6 * C) * x * x + (6 - 2 * B)) / 6.0;
      if (x < 2.0)
        return ((-B - 6 * C) * x * x * x + (6 * B + 30 * C) * x * x + (-12 * B - 48 * C) * x +
                (8 * B + 24 * C)) / 6.0;
      return 0.0;
    }
    case sfNearest:
    default:
      return 0.0;
  }
}

double KernelRadius(TStretchFilter f) {
  switch (f) {
    case sfDraft: return 0.5;
    case sfLinear:
    case sfCosine: return 1.0;
    case sfSpline:
    case sfMitchell: return 2.0;
    case sfLanczos: return 3.0;
    default: return 0.5;
  }
}

// Contributions of the source pixels [first, first + weights.size()) to one
// destination pixel, weights in 1/16384 summing to exactly 16384.
struct Contrib {
  int first = 0;
  std::vector<std::int32_t> weights;
};

std::vector<Contrib> MakeContribs(int srcLo, int srcLen, int dstLen, int visLo, int visHi,
                                  TStretchFilter f) {
  std::vector<Contrib> out(std::size_t(visHi - visLo));
  const double scale = double(srcLen) / double(dstLen);
  const double stretch = std::max(scale, 1.0);  // widen the kernel when shrinking
  const double radius = KernelRadius(f) * stretch;
  for (int j = visLo; j < visHi; ++j) {
    Contrib& c = out[std::size_t(j - visLo)];
    const double centre = (j + 0.5) * scale - 0.5;  // in source coordinates of the rect
    if (f == sfNearest) {
      const int i = std::clamp(int(std::floor((j + 0.5) * scale)), 0, srcLen - 1);
      c.first = srcLo + i;
      c.weights = {16384};
      continue;
    }
    const int lo = int(std::floor(centre - radius)) + 1;
    const int hi = int(std::ceil(centre + radius)) - 1;
    std::vector<double> w;
    double sum = 0.0;
    for (int i = std::min(lo, int(std::floor(centre))); i <= std::max(hi, int(std::ceil(centre))); ++i) {
      const double v = KernelValue(f, (i - centre) / stretch);
      w.push_back(v);
      sum += v;
    }
    const int start = std::min(lo, int(std::floor(centre)));
    if (sum <= 0.0) {  // degenerate kernel sample: fall back to the nearest pixel
      const int i = std::clamp(int(std::lround(centre)), 0, srcLen - 1);
      c.first = srcLo + i;
      c.weights = {16384};
      continue;
    }
    // Pixels outside the rectangle replicate its border: fold their weight inwards.
    const int fmin = std::clamp(start, 0, srcLen - 1);
    const int fmax = std::clamp(start + int(w.size()) - 1, 0, srcLen - 1);
    std::vector<double> folded(std::size_t(fmax - fmin + 1), 0.0);
    for (std::size_t k = 0; k < w.size(); ++k) {
      const int i = std::clamp(start + int(k), 0, srcLen - 1);
      folded[std::size_t(i - fmin)] += w[k] / sum;
    }
    c.first = srcLo + fmin;
    c.weights.resize(folded.size());
    std::int32_t total = 0;
    std::size_t biggest = 0;
    for (std::size_t k = 0; k < folded.size(); ++k) {
      const std::int32_t q = std::int32_t(std::lround(folded[k] * 16384.0));
      c.weights[k] = q;
      total += q;
      if (folded[k] > folded[biggest]) biggest = k;
    }
    c.weights[biggest] += 16384 - total;  // exact unit sum: constant stays constant
  }
  return out;
}

inline std::uint32_t ClampChannel(std::int64_t v) {
  // v carries 28 fraction bits (two passes of 14)
  v = (v + (std::int64_t(1) << 27)) >> 28;
  return std::uint32_t(std::clamp<std::int64_t>(v, 0, 255));
}

}  // namespace

void StretchResample(const TBitmap32& src, const TRect& srcRect, int dstW, int dstH,
                     const TRect& visible, TStretchFilter filter, TBitmap32& out) {
  out.SetSize(visible.Width(), visible.Height());
  if (out.Empty() || srcRect.IsEmpty() || dstW <= 0 || dstH <= 0) return;
  const auto xs = MakeContribs(srcRect.Left, srcRect.Width(), dstW, visible.Left, visible.Right, filter);
  const auto ys = MakeContribs(srcRect.Top, srcRect.Height(), dstH, visible.Top, visible.Bottom, filter);

  // Horizontal pass over the source rows the vertical pass needs.
  int rowLo = src.Height(), rowHi = -1;
  for (const Contrib& c : ys) {
    rowLo = std::min(rowLo, c.first);
    rowHi = std::max(rowHi, c.first + int(c.weights.size()) - 1);
  }
  const int vw = visible.Width();
  std::vector<std::int32_t> rows(std::size_t(rowHi - rowLo + 1) * std::size_t(vw) * 4);
  for (int y = rowLo; y <= rowHi; ++y) {
    const std::uint8_t* p = reinterpret_cast<const std::uint8_t*>(src.ScanLine(y));
    std::int32_t* o = &rows[std::size_t(y - rowLo) * std::size_t(vw) * 4];
    for (int j = 0; j < vw; ++j) {
      const Contrib& c = xs[std::size_t(j)];
      std::int32_t s0 = 0, s1 = 0, s2 = 0, s3 = 0;
      const std::uint8_t* q = p + std::size_t(c.first) * 4;
      for (std::size_t k = 0; k < c.weights.size(); ++k, q += 4) {
        const std::int32_t w = c.weights[k];
        s0 += q[0] * w;
        s1 += q[1] * w;
        s2 += q[2] * w;
        s3 += q[3] * w;
      }
      o[4 * j] = s0;
      o[4 * j + 1] = s1;
      o[4 * j + 2] = s2;
      o[4 * j + 3] = s3;
    }
  }
  for (int y = 0; y < out.Height(); ++y) {
    const Contrib& c = ys[std::size_t(y)];
    TColor32* orow = out.ScanLine(y);
    for (int j = 0; j < vw; ++j) {
      std::int64_t s0 = 0, s1 = 0, s2 = 0, s3 = 0;
      for (std::size_t k = 0; k < c.weights.size(); ++k) {
        const std::int32_t* q = &rows[(std::size_t(c.first - rowLo) + k) * std::size_t(vw) * 4 + 4 * std::size_t(j)];
        const std::int64_t w = c.weights[k];
        s0 += q[0] * w;
        s1 += q[1] * w;
        s2 += q[2] * w;
        s3 += q[3] * w;
      }
      orow[j] = (ClampChannel(s3) << 24) | (ClampChannel(s2) << 16) | (ClampChannel(s1) << 8) |
                ClampChannel(s0);
    }
  }
}

}  // namespace tessaro
