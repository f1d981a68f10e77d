// The colour measure between a picture signature and a cell signature: the inner loop
// of the whole matching. Every function is pure: it reads its arguments and writes only
// its result, so callers may run it on several threads at once.
//
// Arithmetic as the matching needs it to be reproducible: squared channel errors are
// summed in a double in entry order 0..63 and the sum truncated; integer divisions
// truncate toward zero; ClampByte limits to 0..255.
#pragma once

#include <array>
#include <cstdint>

#include "core/ootsfunction2007.h"
#include "image/signature.h"

namespace tessaro {

struct CompareResult {
  std::int32_t Difference = 0;
  std::uint8_t FlipHorz = 0;
  std::uint8_t FlipVert = 0;
  friend constexpr bool operator==(const CompareResult&, const CompareResult&) = default;
};

// 85 weights of a layer: 0 the average, 1..4 the 2 x 2 grid, 5..20 the 4 x 4 grid,
// 21..84 the 8 x 8 grid. Stored as float in TLayerMaskWeights; the comparison
// multiplies in double.
using TMaskWeights = std::array<float, 85>;

// The flags every MatchCompare call of one project shares.
struct TMatchOptions {
  bool Mono = false;             // MonochromeCell: the picture's grey stands for its channels
  bool AllowHorizontal = false;  // AllowHorizontalFlip
  bool AllowVertical = false;    // AllowVerticalFlip
  bool FastMode = false;         // FastModeRendering: the 2 x 2 grid only
};

// Weighted, curve-shifted difference with the mirror choice. The vectorised version
// used everywhere; MatchCompareReference is the plain loop it must agree with.
CompareResult MatchCompare(const ImageSignature& picture, const ImageSignature& cell,
                           const TCurveTable& enhanceCurve, const TMaskWeights& weights,
                           const TMatchOptions& options);
CompareResult MatchCompareReference(const ImageSignature& picture, const ImageSignature& cell,
                                    const TCurveTable& enhanceCurve,
                                    const TMaskWeights& weights, const TMatchOptions& options);

// MatchCompare prepared in two halves that many comparisons share: TMatchWeights
// (the layer's weights, the curve and the options: one per layer) and TMatchCell (one
// per cell). MatchCompare(picture, cell, weights) == MatchCompare(picture, cell
// signature, ...) exactly. TMatchWeights keeps a pointer to enhanceCurve, which must
// outlive it (copying the 1 KB table per cell showed in the assignment); both hold no
// other reference and are safe to share between threads for reading.
//
// When every product and partial sum of the weighted double sum is exactly
// representable (weights that are small binary fractions, such as the all-1.0 weights
// of an unmasked layer), the sum does not depend on its order and is computed in
// integers, and only the mirrors the flip choice reads are summed; otherwise the
// double sum runs in entry order. Both give the plain loop's result bit for bit.
enum class TCompareKernel : std::uint8_t { Double, WeightedInteger, UniformInteger };

struct TMatchCell;

class TMatchWeights {
 public:
  TMatchWeights(const TCurveTable& enhanceCurve, const TMaskWeights& weights,
                const TMatchOptions& options);
  TCompareKernel Kernel() const { return kernel_; }

 private:
  friend CompareResult MatchCompare(const ImageSignature&, const TMatchCell&,
                                    const TMatchWeights&);
  alignas(32) double weights8_[64] = {};             // weight of 8 x 8 entry k
  alignas(32) std::uint32_t fixedWeights_[64] = {};  // weight x 2^fixedShift_, exact
  const std::int32_t* curve_;
  double weights2_[4] = {};
  std::int64_t uniformWeight_ = 0;
  int fixedShift_ = 0;
  unsigned mirrorMask_ = 1;  // bit m: mirror m is needed by the flip choice
  TCompareKernel kernel_ = TCompareKernel::Double;
  TMatchOptions options_;
};

struct TMatchCell {
  explicit TMatchCell(const ImageSignature& cell);
  alignas(32) std::uint8_t Bytes[256] = {};  // the 8 x 8 grid as Grey, R, G, B; grey zeroed
  std::int32_t Grid2[12] = {};               // fast mode: [channel B, G, R][2 x 2 entry]
  SignatureColor Average;
};

CompareResult MatchCompare(const ImageSignature& picture, const TMatchCell& cell,
                           const TMatchWeights& weights);

// Many pictures against one cell.
class TMatchComparer {
 public:
  TMatchComparer(const ImageSignature& cell, const TCurveTable& enhanceCurve,
                 const TMaskWeights& weights, const TMatchOptions& options)
      : weights_(enhanceCurve, weights, options), cell_(cell) {}
  CompareResult Compare(const ImageSignature& picture) const {
    return MatchCompare(picture, cell_, weights_);
  }
  TCompareKernel Kernel() const { return weights_.Kernel(); }

 private:
  TMatchWeights weights_;
  TMatchCell cell_;
};

// Unweighted, shifted by percent of the average difference, with the mirror choice.
CompareResult EnhancedCompare(const ImageSignature& picture, const ImageSignature& cell,
                              int percent, bool mono, bool allowHorizontal, bool allowVertical);

// The difference of picture mirrored by the two flags; no shift, no weights.
std::int32_t PlainCompare(const ImageSignature& picture, const ImageSignature& cell,
                          bool flipHorz, bool flipVert, bool mono);

// The colour enhancement shift of a channel difference d (-255..255):
// d * curve[|d|] div 255, formed in 64 bits so no curve value from a file can overflow
// it (the result is limited to +-2^30, far beyond any colour).
int EnhanceShift(int difference, const TCurveTable& curve);

// 1..4: the position of the smallest value; ties go to the earliest.
int BestOfFour(std::int64_t d0, std::int64_t d1, std::int64_t d2, std::int64_t d3);

// ClampByte(Trunc(Sqrt(abs(D) div 192))): the root-mean-square channel difference.
int RmsDifference(std::int32_t difference);

struct TColorDeviation {
  int Mean = 0;     // ClampByte((|dB| + |dG| + |dR|) div 3)
  int Largest = 0;  // ClampByte(max(|dB|, |dG|, |dR|))
  friend constexpr bool operator==(const TColorDeviation&, const TColorDeviation&) = default;
};
// Per channel x minus y; with mono, x's grey stands for each of x's channels (the
// matching passes the cell's average as x).
TColorDeviation ColorDeviation(const SignatureColor& x, const SignatureColor& y, bool mono);

}  // namespace tessaro
