// The vectorised MatchCompare.
//
// All kernels start alike: the picture's 8 x 8 rows are shifted and clamped as bytes
// (saturating adds and subtracts are exactly ClampByte(v - s)), and for each mirror m
// and cell row r the absolute channel errors |e| of the eight entries come out of one
// 32-byte absolute difference against the cell row. Mirrors only reorder rows (m & 2)
// and reverse them (m & 1).
//
// The double kernel then runs the four mirrored sums side by side in the four lanes of
// one register, each lane adding its entries in order 0..63 with the plain loop's
// operations, so every Difference is bit for bit MatchCompareReference's. Lanes across
// entries would change the order of the sums. The integer kernels are used only when
// the sum is exact in doubles whatever its order (see the header); then squares are
// summed with multiply-adds in any order.
#include <immintrin.h>

#include <algorithm>
#include <bit>
#include <cmath>

#include "engine/cell_compare.h"
#include "engine/cell_compare_internal.h"
#include "image/ooimgfunction2007.h"

namespace tessaro {

namespace {

using compare_detail::TShifts;

constexpr int kMaxSquareSum = 3 * 255 * 255;  // one entry's eB^2 + eG^2 + eR^2

// Shifted picture channel ch (B, G, R) of entry j, plain layout [ch * 64 + j].
void ShiftPicture(const ImageSignature& p, const TShifts& s, bool mono, std::int32_t* out) {
  for (int j = 0; j < 64; ++j) {
    const SignatureColor& w = p.Grid8[j];
    out[j] = ClampByte((mono ? w.Grey : w.B) - s.B);
    out[64 + j] = ClampByte((mono ? w.Grey : w.G) - s.G);
    out[128 + j] = ClampByte((mono ? w.Grey : w.R) - s.R);
  }
}

constexpr int MirroredEntry(int k, int m) {
  const int r = k / 8, c = k % 8;
  return (m & 2 ? 7 - r : r) * 8 + (m & 1 ? 7 - c : c);
}

// The plain loop over a shifted picture, for machines without AVX2.
void DoubleDifferencesScalar(const std::int32_t* shifted, const std::uint8_t* cellBytes,
                             const double* weights, std::int64_t out[4]) {
  for (int m = 0; m < 4; ++m) {
    double sum = 0.0;
    for (int k = 0; k < 64; ++k) {
      const int j = MirroredEntry(k, m);
      const std::uint8_t* c = cellBytes + 4 * k;  // Grey, R, G, B
      const int eB = shifted[j] - c[3];
      const int eG = shifted[64 + j] - c[2];
      const int eR = shifted[128 + j] - c[1];
      const double wt = weights[k];
      sum += wt * double(eB * eB) + wt * double(eG * eG) + wt * double(eR * eR);
    }
    out[m] = std::int64_t(sum);
  }
}

// Signed per-channel byte shifts as two saturating byte vectors: one of them is zero in
// each channel, and (v + neg) - pos clamped at each step is ClampByte(v - s).
struct TByteShift {
  __m256i Pos, Neg;
};

__attribute__((target("avx2"))) TByteShift MakeByteShift(const TShifts& s) {
  auto part = [](int v) { return std::uint32_t(v < 0 ? 0 : (v > 255 ? 255 : v)); };
  // Bytes of a colour: Grey, R, G, B; the grey byte never shifts (it is zeroed).
  const std::uint32_t pos = (part(s.R) << 8) | (part(s.G) << 16) | (part(s.B) << 24);
  const std::uint32_t neg = (part(-s.R) << 8) | (part(-s.G) << 16) | (part(-s.B) << 24);
  return TByteShift{_mm256_set1_epi32(int(pos)), _mm256_set1_epi32(int(neg))};
}

// The eight shifted picture rows, grey bytes zeroed, and the same rows reversed.
struct TPictureRows {
  __m256i Row[8], Reversed[8];
};

__attribute__((target("avx2"))) void LoadPictureRows(const ImageSignature& p,
                                                     const TByteShift& shift, bool mono,
                                                     TPictureRows& rows) {
  const __m256i noGrey = _mm256_set1_epi32(int(0xFFFFFF00u));
  const __m256i greyEverywhere =
      _mm256_setr_epi8(0, 0, 0, 0, 4, 4, 4, 4, 8, 8, 8, 8, 12, 12, 12, 12, 0, 0, 0, 0, 4, 4, 4,
                       4, 8, 8, 8, 8, 12, 12, 12, 12);
  const __m256i reverse = _mm256_setr_epi32(7, 6, 5, 4, 3, 2, 1, 0);
  for (int r = 0; r < 8; ++r) {
    __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(&p.Grid8[8 * r]));
    if (mono) v = _mm256_shuffle_epi8(v, greyEverywhere);
    v = _mm256_subs_epu8(_mm256_adds_epu8(v, shift.Neg), shift.Pos);
    v = _mm256_and_si256(v, noGrey);
    rows.Row[r] = v;
    rows.Reversed[r] = _mm256_permutevar8x32_epi32(v, reverse);
  }
}

// |e| bytes of cell row r under mirror m.
__attribute__((target("avx2"))) inline __m256i AbsErrors(const TPictureRows& rows, int r, int m,
                                                         __m256i cellRow) {
  const int src = (m & 2) ? 7 - r : r;
  const __m256i x = (m & 1) ? rows.Reversed[src] : rows.Row[src];
  return _mm256_or_si256(_mm256_subs_epu8(x, cellRow), _mm256_subs_epu8(cellRow, x));
}

__attribute__((target("avx2"))) void DoubleDifferencesAvx2(const TPictureRows& rows,
                                                           const std::uint8_t* cellBytes,
                                                           const double* weights,
                                                           std::int64_t out[4]) {
  // errors[k]: 16 bytes, the four mirrors' (0, |eR|, |eG|, |eB|) of entry k.
  alignas(32) std::uint8_t errors[64][16];
  for (int r = 0; r < 8; ++r) {
    const __m256i cellRow = _mm256_load_si256(reinterpret_cast<const __m256i*>(cellBytes + 32 * r));
    const __m256i a = AbsErrors(rows, r, 0, cellRow), b = AbsErrors(rows, r, 1, cellRow);
    const __m256i c = AbsErrors(rows, r, 2, cellRow), d = AbsErrors(rows, r, 3, cellRow);
    // Transpose 4 mirrors x 8 entries into 8 entries x 4 mirrors.
    const __m256i t0 = _mm256_unpacklo_epi32(a, b), t1 = _mm256_unpackhi_epi32(a, b);
    const __m256i t2 = _mm256_unpacklo_epi32(c, d), t3 = _mm256_unpackhi_epi32(c, d);
    const __m256i u0 = _mm256_unpacklo_epi64(t0, t2), u1 = _mm256_unpackhi_epi64(t0, t2);
    const __m256i u2 = _mm256_unpacklo_epi64(t1, t3), u3 = _mm256_unpackhi_epi64(t1, t3);
    auto store = [&](int k, __m128i v) {
      _mm_store_si128(reinterpret_cast<__m128i*>(errors[8 * r + k]), v);
    };
    store(0, _mm256_castsi256_si128(u0));
    store(4, _mm256_extracti128_si256(u0, 1));
    store(1, _mm256_castsi256_si128(u1));
    store(5, _mm256_extracti128_si256(u1, 1));
    store(2, _mm256_castsi256_si128(u2));
    store(6, _mm256_extracti128_si256(u2, 1));
    store(3, _mm256_castsi256_si128(u3));
    store(7, _mm256_extracti128_si256(u3, 1));
  }
  const __m128i pickB = _mm_setr_epi8(3, -1, -1, -1, 7, -1, -1, -1, 11, -1, -1, -1, 15, -1, -1, -1);
  const __m128i pickG = _mm_setr_epi8(2, -1, -1, -1, 6, -1, -1, -1, 10, -1, -1, -1, 14, -1, -1, -1);
  const __m128i pickR = _mm_setr_epi8(1, -1, -1, -1, 5, -1, -1, -1, 9, -1, -1, -1, 13, -1, -1, -1);
  __m256d sum = _mm256_setzero_pd();
  for (int k = 0; k < 64; ++k) {
    const __m128i e = _mm_load_si128(reinterpret_cast<const __m128i*>(errors[k]));
    const __m256d dB = _mm256_cvtepi32_pd(_mm_shuffle_epi8(e, pickB));
    const __m256d dG = _mm256_cvtepi32_pd(_mm_shuffle_epi8(e, pickG));
    const __m256d dR = _mm256_cvtepi32_pd(_mm_shuffle_epi8(e, pickR));
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

__attribute__((target("avx2"))) inline std::int64_t HorizontalSum64(__m256i v) {
  const __m128i s = _mm_add_epi64(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
  return _mm_cvtsi128_si64(s) + _mm_extract_epi64(s, 1);
}

// Sum over the entries of fixedWeight x (eB^2 + eG^2 + eR^2), per mirror; with
// uniform set every weight is 1 (the caller multiplies). Only the mirrors in
// mirrorMask (bit m) are summed, the others are left 0: without flips the choice
// reads mirror 0 alone, so the kernel does a quarter of the work.
__attribute__((target("avx2"))) void IntegerDifferencesAvx2(const TPictureRows& rows,
                                                            const std::uint8_t* cellBytes,
                                                            const std::uint32_t* fixedWeights,
                                                            bool uniform, unsigned mirrorMask,
                                                            std::int64_t out[4]) {
  const __m256i zero = _mm256_setzero_si256();
  for (int m = 0; m < 4; ++m) {
    out[m] = 0;
    if (!(mirrorMask & (1u << m))) continue;
    __m256i acc = zero;
    for (int r = 0; r < 8; ++r) {
      const __m256i cellRow =
          _mm256_load_si256(reinterpret_cast<const __m256i*>(cellBytes + 32 * r));
      const __m256i e = AbsErrors(rows, r, m, cellRow);
      const __m256i lo = _mm256_unpacklo_epi8(e, zero), hi = _mm256_unpackhi_epi8(e, zero);
      const __m256i sqLo = _mm256_madd_epi16(lo, lo), sqHi = _mm256_madd_epi16(hi, hi);
      // Entry sums in entry order within each half: [c0 c1 c2 c3 | c4 c5 c6 c7].
      const __m256i entry = _mm256_hadd_epi32(sqLo, sqHi);
      if (uniform) {
        acc = _mm256_add_epi64(acc, _mm256_add_epi64(_mm256_unpacklo_epi32(entry, zero),
                                                     _mm256_unpackhi_epi32(entry, zero)));
      } else {
        const __m256i w =
            _mm256_load_si256(reinterpret_cast<const __m256i*>(fixedWeights + 8 * r));
        acc = _mm256_add_epi64(acc, _mm256_mul_epu32(entry, w));
        acc = _mm256_add_epi64(acc, _mm256_mul_epu32(_mm256_srli_epi64(entry, 32),
                                                     _mm256_srli_epi64(w, 32)));
      }
    }
    out[m] = HorizontalSum64(acc);
  }
}

const bool kHasAvx2 = [] {
  __builtin_cpu_init();
  return bool(__builtin_cpu_supports("avx2"));
}();

// The smallest q >= 0 with w x 2^q an integer (w finite, >= 0); -1 beyond 40.
int BinaryPlaces(double w) {
  if (w == 0.0) return 0;
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(w);
  const int biased = int((bits >> 52) & 0x7FF);
  if (biased == 0) return -1;  // subnormal: far too many places
  const std::uint64_t mantissa = (bits & ((std::uint64_t(1) << 52) - 1)) | (std::uint64_t(1) << 52);
  const int exponent = biased - 1075 + std::countr_zero(mantissa);  // w = odd x 2^exponent
  const int places = exponent < 0 ? -exponent : 0;
  return places <= 40 ? places : -1;
}

// Integer sums of at most this many units of 2^-q are exact in a double, and so are
// all partial sums of the plain loop, which never exceed the total.
constexpr std::int64_t kExactLimit = std::int64_t(1) << 53;

}  // namespace

TMatchCell::TMatchCell(const ImageSignature& cell) : Average(cell.Average) {
  for (int k = 0; k < 64; ++k) {
    const SignatureColor& c = cell.Grid8[k];
    Bytes[4 * k + 1] = c.R;
    Bytes[4 * k + 2] = c.G;
    Bytes[4 * k + 3] = c.B;
  }
  for (int k = 0; k < 4; ++k) {
    Grid2[k] = cell.Grid2[k].B;
    Grid2[4 + k] = cell.Grid2[k].G;
    Grid2[8 + k] = cell.Grid2[k].R;
  }
}

TMatchWeights::TMatchWeights(const TCurveTable& enhanceCurve, const TMaskWeights& weights,
                             const TMatchOptions& options)
    : curve_(enhanceCurve.data()), options_(options) {
  // The mirrors ChooseMirror reads under these flip settings.
  mirrorMask_ = 1u | (options.AllowHorizontal ? 2u : 0u) | (options.AllowVertical ? 4u : 0u) |
                (options.AllowHorizontal && options.AllowVertical ? 8u : 0u);
  for (int k = 0; k < 64; ++k) weights8_[k] = double(weights[21 + k]);
  for (int k = 0; k < 4; ++k) weights2_[k] = double(weights[1 + k]);

  // Integer kernels: every weight w >= 0 with w x 2^q an integer below 2^32. A product
  // w e^2 then has at most 24 + 16 significant bits, and whenever the total stays below
  // 2^53 units of 2^-q every partial sum is exact too; MatchCompare checks that per call.
  int q = 0;
  bool exact = true;
  for (double w : weights8_) {
    const int places = (w >= 0.0 && std::isfinite(w)) ? BinaryPlaces(w) : -1;
    if (places < 0) {
      exact = false;
      break;
    }
    q = std::max(q, places);
  }
  for (int k = 0; k < 64 && exact; ++k) {
    const double fixed = weights8_[k] * double(std::uint64_t(1) << q);  // exact: q <= 40
    if (fixed >= 4294967296.0) exact = false;
    fixedWeights_[k] = std::uint32_t(fixed);
  }
  if (exact) {
    fixedShift_ = q;
    bool uniform = true;
    for (int k = 1; k < 64; ++k) uniform = uniform && fixedWeights_[k] == fixedWeights_[0];
    uniformWeight_ = fixedWeights_[0];
    kernel_ = uniform ? TCompareKernel::UniformInteger : TCompareKernel::WeightedInteger;
  }
}

CompareResult MatchCompare(const ImageSignature& picture, const TMatchCell& cell,
                           const TMatchWeights& w) {
  const TMatchOptions& o = w.options_;
  const TShifts s = compare_detail::MatchShifts(picture.Average, cell.Average, w.curve_, o.Mono);
  if (o.FastMode) {
    // Only the 8 x 8 grid is mirrored, so all four evaluations agree and no flip wins.
    double sum = 0.0;
    for (int k = 0; k < 4; ++k) {
      const SignatureColor& c = picture.Grid2[k];
      const int eB = ClampByte((o.Mono ? c.Grey : c.B) - s.B) - cell.Grid2[k];
      const int eG = ClampByte((o.Mono ? c.Grey : c.G) - s.G) - cell.Grid2[4 + k];
      const int eR = ClampByte((o.Mono ? c.Grey : c.R) - s.R) - cell.Grid2[8 + k];
      const double wt = w.weights2_[k];
      sum += wt * double(eB * eB) + wt * double(eG * eG) + wt * double(eR * eR);
    }
    return CompareResult{std::int32_t(sum), 0, 0};
  }
  std::int64_t d[4];
  if (kHasAvx2) {
    TPictureRows rows;
    LoadPictureRows(picture, MakeByteShift(s), o.Mono, rows);
    if (w.kernel_ == TCompareKernel::Double) {
      DoubleDifferencesAvx2(rows, cell.Bytes, w.weights8_, d);
    } else {
      const bool uniform = w.kernel_ == TCompareKernel::UniformInteger;
      IntegerDifferencesAvx2(rows, cell.Bytes, w.fixedWeights_, uniform, w.mirrorMask_, d);
      bool fits = true;
      for (std::int64_t& v : d) {
        if (uniform) v *= w.uniformWeight_;  // at most 2^24 x 2^32: no overflow
        fits = fits && v < kExactLimit;
        v >>= w.fixedShift_;
      }
      // Huge weighted totals may round in the plain loop: take its order then.
      if (!fits) DoubleDifferencesAvx2(rows, cell.Bytes, w.weights8_, d);
    }
  } else {
    alignas(32) std::int32_t shifted[64 * 3];
    ShiftPicture(picture, s, o.Mono, shifted);
    DoubleDifferencesScalar(shifted, cell.Bytes, w.weights8_, d);
  }
  return compare_detail::ChooseMirror(d, o.AllowHorizontal, o.AllowVertical);
}

// A single comparison skips the comparer's weight analysis and takes the ordered
// double sum, which is exact for every weight. The cell bytes are laid out here:
// building a TMatchCell instead made each call about 40% slower (188 -> 265 ns).
CompareResult MatchCompare(const ImageSignature& picture, const ImageSignature& cell,
                           const TCurveTable& enhanceCurve, const TMaskWeights& weights,
                           const TMatchOptions& options) {
  if (options.FastMode || !kHasAvx2)
    return MatchCompareReference(picture, cell, enhanceCurve, weights, options);
  alignas(32) std::uint8_t cellBytes[256];
  alignas(32) double weights8[64];
  for (int k = 0; k < 64; ++k) {
    const SignatureColor& c = cell.Grid8[k];
    cellBytes[4 * k] = 0;
    cellBytes[4 * k + 1] = c.R;
    cellBytes[4 * k + 2] = c.G;
    cellBytes[4 * k + 3] = c.B;
    weights8[k] = double(weights[21 + k]);
  }
  const TShifts s = compare_detail::MatchShifts(picture.Average, cell.Average,
                                                enhanceCurve.data(), options.Mono);
  TPictureRows rows;
  LoadPictureRows(picture, MakeByteShift(s), options.Mono, rows);
  std::int64_t d[4];
  DoubleDifferencesAvx2(rows, cellBytes, weights8, d);
  return compare_detail::ChooseMirror(d, options.AllowHorizontal, options.AllowVertical);
}

}  // namespace tessaro
