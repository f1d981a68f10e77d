// The vectorised MatchCompare. The four mirrored evaluations run side by side in the
// four lanes of one AVX2 register, each lane summing its entries in the same order
// 0..63 with the same operations as the plain loop, so the doubles, and therefore
// every Difference, are bit for bit those of MatchCompareReference. Lanes across
// entries would be faster still but would change the order of the sums.
#include <immintrin.h>

#include "engine/cell_compare.h"
#include "engine/cell_compare_internal.h"
#include "image/ooimgfunction2007.h"

namespace tessaro {

namespace {

using compare_detail::TShifts;

// kMirror[k][m]: the picture entry mirror m (0 none, 1 left-right, 2 top-bottom,
// 3 both) puts at cell entry k.
struct TMirrorTable {
  alignas(16) std::int32_t Index[64][4];
  constexpr TMirrorTable() : Index{} {
    for (int k = 0; k < 64; ++k) {
      const int r = k / 8, c = k % 8;
      Index[k][0] = r * 8 + c;
      Index[k][1] = r * 8 + 7 - c;
      Index[k][2] = (7 - r) * 8 + c;
      Index[k][3] = (7 - r) * 8 + 7 - c;
    }
  }
};
constexpr TMirrorTable kMirror;

// picture[ch * 64 + j]: shifted picture channel ch (B, G, R) of entry j; cell likewise.
void Grid8DifferencesScalar(const std::int32_t* picture, const std::int32_t* cell,
                            const double* weights, std::int64_t out[4]) {
  for (int m = 0; m < 4; ++m) {
    double sum = 0.0;
    for (int k = 0; k < 64; ++k) {
      const int j = kMirror.Index[k][m];
      const int eB = picture[j] - cell[k];
      const int eG = picture[64 + j] - cell[64 + k];
      const int eR = picture[128 + j] - cell[128 + k];
      const double wt = weights[k];
      sum += wt * double(eB * eB) + wt * double(eG * eG) + wt * double(eR * eR);
    }
    out[m] = std::int64_t(sum);
  }
}

__attribute__((target("avx2"))) void Grid8DifferencesAvx2(const std::int32_t* picture,
                                                          const std::int32_t* cell,
                                                          const double* weights,
                                                          std::int64_t out[4]) {
  __m256d sum = _mm256_setzero_pd();
  for (int k = 0; k < 64; ++k) {
    const __m128i idx = _mm_load_si128(reinterpret_cast<const __m128i*>(kMirror.Index[k]));
    const __m128i eB = _mm_sub_epi32(_mm_i32gather_epi32(picture, idx, 4),
                                     _mm_set1_epi32(cell[k]));
    const __m128i eG = _mm_sub_epi32(_mm_i32gather_epi32(picture + 64, idx, 4),
                                     _mm_set1_epi32(cell[64 + k]));
    const __m128i eR = _mm_sub_epi32(_mm_i32gather_epi32(picture + 128, idx, 4),
                                     _mm_set1_epi32(cell[128 + k]));
    const __m256d dB = _mm256_cvtepi32_pd(eB);
    const __m256d dG = _mm256_cvtepi32_pd(eG);
    const __m256d dR = _mm256_cvtepi32_pd(eR);
    const __m256d wt = _mm256_set1_pd(weights[k]);
    // (w eB^2 + w eG^2) + w eR^2, then added to the running sum: the plain loop's order.
    __m256d term = _mm256_add_pd(_mm256_mul_pd(wt, _mm256_mul_pd(dB, dB)),
                                 _mm256_mul_pd(wt, _mm256_mul_pd(dG, dG)));
    term = _mm256_add_pd(term, _mm256_mul_pd(wt, _mm256_mul_pd(dR, dR)));
    sum = _mm256_add_pd(sum, term);
  }
  alignas(32) double lanes[4];
  _mm256_store_pd(lanes, sum);
  for (int m = 0; m < 4; ++m) out[m] = std::int64_t(lanes[m]);
}

using TGridKernel = void (*)(const std::int32_t*, const std::int32_t*, const double*,
                             std::int64_t*);

TGridKernel SelectKernel() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") ? Grid8DifferencesAvx2 : Grid8DifferencesScalar;
}
const TGridKernel kGridKernel = SelectKernel();

CompareResult CompareShifted(const ImageSignature& picture, const SignatureColor& cellAverage,
                             const std::int32_t* curve, const std::int32_t* cell8,
                             const double* weights8, const std::int32_t* cell2,
                             const double* weights2, const TMatchOptions& o) {
  const TShifts s = compare_detail::MatchShifts(picture.Average, cellAverage, curve, o.Mono);
  if (o.FastMode) {
    double sum = 0.0;
    for (int k = 0; k < 4; ++k) {
      const SignatureColor& w = picture.Grid2[k];
      const int eB = ClampByte((o.Mono ? w.Grey : w.B) - s.B) - cell2[k];
      const int eG = ClampByte((o.Mono ? w.Grey : w.G) - s.G) - cell2[4 + k];
      const int eR = ClampByte((o.Mono ? w.Grey : w.R) - s.R) - cell2[8 + k];
      const double wt = weights2[k];
      sum += wt * double(eB * eB) + wt * double(eG * eG) + wt * double(eR * eR);
    }
    return CompareResult{std::int32_t(sum), 0, 0};
  }
  alignas(32) std::int32_t shifted[64 * 3];
  for (int j = 0; j < 64; ++j) {
    const SignatureColor& w = picture.Grid8[j];
    shifted[j] = ClampByte((o.Mono ? w.Grey : w.B) - s.B);
    shifted[64 + j] = ClampByte((o.Mono ? w.Grey : w.G) - s.G);
    shifted[128 + j] = ClampByte((o.Mono ? w.Grey : w.R) - s.R);
  }
  std::int64_t d[4];
  kGridKernel(shifted, cell8, weights8, d);
  return compare_detail::ChooseMirror(d, o.AllowHorizontal, o.AllowVertical);
}

}  // namespace

TMatchComparer::TMatchComparer(const ImageSignature& cell, const TCurveTable& enhanceCurve,
                               const TMaskWeights& weights, const TMatchOptions& options)
    : options_(options), cellAverage_(cell.Average) {
  for (int v = 0; v < 256; ++v) curve_[v] = enhanceCurve[v];
  for (int k = 0; k < 64; ++k) {
    cell_[k] = cell.Grid8[k].B;
    cell_[64 + k] = cell.Grid8[k].G;
    cell_[128 + k] = cell.Grid8[k].R;
    weights8_[k] = double(weights[21 + k]);
  }
  for (int k = 0; k < 4; ++k) {
    cell2_[k] = cell.Grid2[k].B;
    cell2_[4 + k] = cell.Grid2[k].G;
    cell2_[8 + k] = cell.Grid2[k].R;
    weights2_[k] = double(weights[1 + k]);
  }
}

CompareResult TMatchComparer::Compare(const ImageSignature& picture) const {
  return CompareShifted(picture, cellAverage_, curve_.data(), cell_.data(), weights8_.data(),
                        cell2_.data(), weights2_.data(), options_);
}

CompareResult MatchCompare(const ImageSignature& picture, const ImageSignature& cell,
                           const TCurveTable& enhanceCurve, const TMaskWeights& weights,
                           const TMatchOptions& options) {
  return TMatchComparer(cell, enhanceCurve, weights, options).Compare(picture);
}

}  // namespace tessaro
