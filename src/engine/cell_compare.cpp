// The plain comparison loops. MatchCompareReference is the definition the vectorised
// MatchCompare (cell_compare_vector.cpp) is tested against; keep the two in step.
#include "engine/cell_compare.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "engine/cell_compare_internal.h"
#include "image/ooimgfunction2007.h"

namespace tessaro {

namespace compare_detail {

int EnhanceShiftOf(int d, const std::int32_t* curve) {
  constexpr std::int64_t kLimit = std::int64_t(1) << 30;
  const std::int64_t v = std::int64_t(d) * curve[std::abs(d)] / 255;
  return int(std::clamp(v, -kLimit, kLimit));
}

TShifts MatchShifts(const SignatureColor& p, const SignatureColor& c,
                    const std::int32_t* curve, bool mono) {
  auto shift = [&](int pv, int cv) { return EnhanceShiftOf(pv - cv, curve); };
  return TShifts{shift(mono ? p.Grey : p.B, c.B), shift(mono ? p.Grey : p.G, c.G),
                 shift(mono ? p.Grey : p.R, c.R)};
}

CompareResult ChooseMirror(const std::int64_t d[4], bool allowHorizontal, bool allowVertical) {
  CompareResult r;
  if (allowHorizontal && allowVertical) {
    const int i = BestOfFour(d[0], d[1], d[2], d[3]);
    r.Difference = std::int32_t(d[i - 1]);
    r.FlipHorz = (i == 2 || i == 4) ? 1 : 0;
    r.FlipVert = (i == 3 || i == 4) ? 1 : 0;
  } else if (allowHorizontal) {
    if (d[1] < d[0]) {
      r.Difference = std::int32_t(d[1]);
      r.FlipHorz = 1;
    } else {
      r.Difference = std::int32_t(d[0]);
    }
  } else if (allowVertical) {
    if (d[2] < d[0]) {
      r.Difference = std::int32_t(d[2]);
      r.FlipVert = 1;
    } else {
      r.Difference = std::int32_t(d[0]);
    }
  } else {
    r.Difference = std::int32_t(d[0]);
  }
  return r;
}

}  // namespace compare_detail

namespace {

using compare_detail::TShifts;

// The 8 x 8 entry of P that mirror m puts at entry k: m 0 none, 1 left-right,
// 2 top-bottom, 3 both.
constexpr int MirroredEntry(int k, int m) {
  const int r = k / 8, c = k % 8;
  return (m & 2 ? 7 - r : r) * 8 + (m & 1 ? 7 - c : c);
}

// One evaluation over the 8 x 8 grid; weights null means unweighted.
std::int64_t GridDifference(const ImageSignature& p, const ImageSignature& c, int mirror,
                            const TShifts& s, const float* weights, bool mono) {
  double sum = 0.0;
  for (int k = 0; k < 64; ++k) {
    const SignatureColor& w = p.Grid8[MirroredEntry(k, mirror)];
    const SignatureColor& x = c.Grid8[k];
    const int eB = ClampByte((mono ? w.Grey : w.B) - s.B) - x.B;
    const int eG = ClampByte((mono ? w.Grey : w.G) - s.G) - x.G;
    const int eR = ClampByte((mono ? w.Grey : w.R) - s.R) - x.R;
    const double wt = weights ? double(weights[k]) : 1.0;
    sum += wt * double(eB * eB) + wt * double(eG * eG) + wt * double(eR * eR);
  }
  return std::int64_t(sum);
}

}  // namespace

CompareResult MatchCompareReference(const ImageSignature& picture, const ImageSignature& cell,
                                    const TCurveTable& enhanceCurve,
                                    const TMaskWeights& weights, const TMatchOptions& options) {
  const TShifts s = compare_detail::MatchShifts(picture.Average, cell.Average,
                                                enhanceCurve.data(), options.Mono);
  if (options.FastMode) {
    // Only the 8 x 8 grid is mirrored, so all four evaluations agree and no flip wins.
    double sum = 0.0;
    for (int k = 0; k < 4; ++k) {
      const SignatureColor& w = picture.Grid2[k];
      const SignatureColor& x = cell.Grid2[k];
      const int eB = ClampByte((options.Mono ? w.Grey : w.B) - s.B) - x.B;
      const int eG = ClampByte((options.Mono ? w.Grey : w.G) - s.G) - x.G;
      const int eR = ClampByte((options.Mono ? w.Grey : w.R) - s.R) - x.R;
      const double wt = double(weights[1 + k]);
      sum += wt * double(eB * eB) + wt * double(eG * eG) + wt * double(eR * eR);
    }
    return CompareResult{std::int32_t(sum), 0, 0};
  }
  std::int64_t d[4];
  for (int m = 0; m < 4; ++m)
    d[m] = GridDifference(picture, cell, m, s, weights.data() + 21, options.Mono);
  return compare_detail::ChooseMirror(d, options.AllowHorizontal, options.AllowVertical);
}

CompareResult EnhancedCompare(const ImageSignature& picture, const ImageSignature& cell,
                              int percent, bool mono, bool allowHorizontal, bool allowVertical) {
  const SignatureColor& p = picture.Average;
  const SignatureColor& c = cell.Average;
  const TShifts s{((mono ? p.Grey : p.B) - c.B) * percent / 100,
                  ((mono ? p.Grey : p.G) - c.G) * percent / 100,
                  ((mono ? p.Grey : p.R) - c.R) * percent / 100};
  std::int64_t d[4];
  for (int m = 0; m < 4; ++m) d[m] = GridDifference(picture, cell, m, s, nullptr, mono);
  return compare_detail::ChooseMirror(d, allowHorizontal, allowVertical);
}

std::int32_t PlainCompare(const ImageSignature& picture, const ImageSignature& cell,
                          bool flipHorz, bool flipVert, bool mono) {
  const int mirror = (flipHorz ? 1 : 0) | (flipVert ? 2 : 0);
  return std::int32_t(GridDifference(picture, cell, mirror, TShifts{}, nullptr, mono));
}

int EnhanceShift(int difference, const TCurveTable& curve) {
  return compare_detail::EnhanceShiftOf(std::clamp(difference, -255, 255), curve.data());
}

int BestOfFour(std::int64_t a, std::int64_t b, std::int64_t c, std::int64_t d) {
  int r = (d <= a && d <= b && d <= c) ? 4 : 1;
  if (c <= a && c <= b && c <= d) r = 3;
  if (b <= a && b <= c && b <= d) r = 2;
  if (a <= b && a <= c && a <= d) r = 1;
  return r;
}

int RmsDifference(std::int32_t difference) {
  const std::int64_t v = std::llabs(std::int64_t(difference)) / 192;
  return ClampByte(int(std::sqrt(double(v))));
}

TColorDeviation ColorDeviation(const SignatureColor& x, const SignatureColor& y, bool mono) {
  const int dB = std::abs((mono ? x.Grey : x.B) - y.B);
  const int dG = std::abs((mono ? x.Grey : x.G) - y.G);
  const int dR = std::abs((mono ? x.Grey : x.R) - y.R);
  return TColorDeviation{ClampByte((dB + dG + dR) / 3), ClampByte(std::max({dB, dG, dR}))};
}

}  // namespace tessaro
