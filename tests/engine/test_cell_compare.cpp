// The colour measure: exact values on tiny hand-made signatures, the mirror choice,
// and the vectorised MatchCompare against the plain loop on random signatures.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>

#include "engine/cell_compare.h"
#include "support/signature_fixtures.h"

namespace tessaro {
namespace {

using testing_support::Colour;
using testing_support::Uniform;

ImageSignature Random(std::mt19937& rng) { return testing_support::RandomSignature(rng); }

// P mirrored: entry (r, c) of the result is P's (r or 7 - r, c or 7 - c).
ImageSignature Mirrored(const ImageSignature& p, bool leftRight, bool topBottom) {
  ImageSignature m = p;
  for (int r = 0; r < 8; ++r)
    for (int c = 0; c < 8; ++c)
      m.Grid8[r * 8 + c] = p.Grid8[(topBottom ? 7 - r : r) * 8 + (leftRight ? 7 - c : c)];
  return m;
}

TMaskWeights Weights(float w) {
  TMaskWeights a;
  a.fill(w);
  return a;
}

TCurveTable Curve(int v) {
  TCurveTable t;
  t.fill(v);
  return t;
}

TEST(CellCompare, HandComputedDifferences) {
  // Every entry (R 30, G 20, B 10) against black, weights 0.5: 64 x 0.5 x (100+400+900).
  const ImageSignature p = Uniform(Colour(30, 20, 10)), c = Uniform(Colour(0, 0, 0));
  EXPECT_EQ(MatchCompare(p, c, Curve(0), Weights(0.5f), {}).Difference, 44800);
  EXPECT_EQ(MatchCompareReference(p, c, Curve(0), Weights(0.5f), {}).Difference, 44800);
  // Curve 128 shifts by d * 128 div 255: 30 -> 15, 20 -> 10, 10 -> 5 (15.06, 10.04, 5.02).
  EXPECT_EQ(MatchCompare(p, c, Curve(128), Weights(1.0f), {}).Difference, 64 * (225 + 100 + 25));
  // A picture darker than the cell: negative differences truncate toward zero.
  EXPECT_EQ(MatchCompare(c, p, Curve(128), Weights(1.0f), {}).Difference, 64 * (225 + 100 + 25));
  // Weights 1/3 make a fractional sum that is truncated: 64 x (1/3) x 1 per channel.
  const ImageSignature q = Uniform(Colour(1, 0, 0));
  EXPECT_EQ(MatchCompare(q, c, Curve(0), Weights(1.0f / 3.0f), {}).Difference, 21);
  EXPECT_EQ(EnhancedCompare(p, c, 0, false, false, false).Difference, 64 * 1400);
  EXPECT_EQ(EnhancedCompare(p, c, 50, false, false, false).Difference, 64 * 350);
  EXPECT_EQ(PlainCompare(p, c, true, true, false), 64 * 1400);
}

TEST(CellCompare, EqualSignaturesGiveZeroWithoutFlip) {
  std::mt19937 rng(7);
  const ImageSignature s = Random(rng);
  for (int flags = 0; flags < 4; ++flags) {
    const TMatchOptions o{false, bool(flags & 1), bool(flags & 2), false};
    EXPECT_EQ(MatchCompare(s, s, Curve(255), Weights(1.0f), o), (CompareResult{0, 0, 0}));
    EXPECT_EQ(EnhancedCompare(s, s, 0, false, o.AllowHorizontal, o.AllowVertical),
              (CompareResult{0, 0, 0}));
  }
}

TEST(CellCompare, MirrorChoiceFollowsTheAllowedFlips) {
  // Rows all alike: the picture equals its own top-bottom mirror, so d2 = d0 and d3 = d1.
  std::mt19937 rng(11);
  ImageSignature p = Random(rng);
  for (int r = 1; r < 8; ++r)
    for (int c = 0; c < 8; ++c) p.Grid8[r * 8 + c] = p.Grid8[c];
  const ImageSignature cell = Mirrored(p, true, false);  // exact left-right mirror
  const std::int32_t d0 = PlainCompare(p, cell, false, false, false);
  ASSERT_GT(d0, 0);
  struct Case {
    bool h, v;
    CompareResult expected;
  };
  const Case cases[] = {
      {true, true, {0, 1, 0}},    // d1 = d3 = 0: the earlier, left-right, wins the tie
      {true, false, {0, 1, 0}},   // d1 < d0
      {false, true, {d0, 0, 0}},  // d2 = d0: a tie keeps the picture upright
      {false, false, {d0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "h " << c.h << " v " << c.v);
    const TMatchOptions o{false, c.h, c.v, false};
    EXPECT_EQ(MatchCompare(p, cell, Curve(0), Weights(1.0f), o), c.expected);
    EXPECT_EQ(EnhancedCompare(p, cell, 0, false, c.h, c.v), c.expected);
  }
  // A picture symmetric left-right ties d0 and d1 and stays unflipped.
  ImageSignature lr = p;
  for (int r = 0; r < 8; ++r)
    for (int c = 4; c < 8; ++c) lr.Grid8[r * 8 + c] = lr.Grid8[r * 8 + 7 - c];
  EXPECT_EQ(MatchCompare(lr, cell, Curve(0), Weights(1.0f), {false, true, false, false}).FlipHorz,
            0);
  // Both mirrors: a cell that is the picture turned half way round picks d3.
  const ImageSignature q = Random(rng);
  EXPECT_EQ(MatchCompare(q, Mirrored(q, true, true), Curve(0), Weights(1.0f),
                         {false, true, true, false}),
            (CompareResult{0, 1, 1}));
}

TEST(CellCompare, FullCurveRemovesAConstantOffset) {
  std::mt19937 rng(3);
  std::uniform_int_distribution<int> mid(60, 190);
  ImageSignature cell;
  for (auto& e : cell.Grid8) e = Colour(mid(rng), mid(rng), mid(rng));
  cell.Average = Colour(120, 120, 120);
  ImageSignature p = cell;
  auto offset = [](SignatureColor c) { return Colour(c.R + 40, c.G - 25, c.B + 10); };
  for (auto& e : p.Grid8) e = offset(e);
  p.Average = offset(cell.Average);
  EXPECT_EQ(MatchCompare(p, cell, Curve(255), Weights(1.0f), {}).Difference, 0);
  EXPECT_GT(MatchCompare(p, cell, Curve(0), Weights(1.0f), {}).Difference, 0);
}

TEST(CellCompare, MonoComparesThePictureGreyWithEachCellChannel) {
  const ImageSignature grey = Uniform(Colour(100, 100, 100));
  const ImageSignature red = Uniform(Colour(200, 0, 0));
  // eR = 100 - 200, eG = eB = 100 - 0.
  EXPECT_EQ(MatchCompare(grey, red, Curve(0), Weights(1.0f), {true, false, false, false})
                .Difference,
            64 * 30000);
  // In mono mode a coloured picture counts by its grey only.
  const ImageSignature green = Uniform(Colour(0, 170, 0));  // grey 99
  EXPECT_EQ(PlainCompare(green, grey, false, false, true), 64 * 3);
}

TEST(CellCompare, ZeroWeightsGiveZero) {
  std::mt19937 rng(5);
  for (int i = 0; i < 20; ++i) {
    const ImageSignature p = Random(rng), c = Random(rng);
    for (bool fast : {false, true})
      EXPECT_EQ(MatchCompare(p, c, Curve(100), Weights(0.0f), {false, true, true, fast})
                    .Difference,
                0);
  }
}

TEST(CellCompare, FastModeUsesTheTwoByTwoGridAndNeverFlips) {
  ImageSignature p = Uniform(Colour(0, 0, 0)), c = Uniform(Colour(0, 0, 0));
  p.Grid2[2] = Colour(0, 0, 10);                 // one 2 x 2 entry off by 10 in blue
  for (auto& e : p.Grid8) e = Colour(255, 0, 0);  // ignored in fast mode
  TMaskWeights w = Weights(0.0f);
  w[3] = 2.0f;  // weight of 2 x 2 entry 2
  const TMatchOptions fast{false, true, true, true};
  EXPECT_EQ(MatchCompare(p, c, Curve(0), w, fast), (CompareResult{200, 0, 0}));
  EXPECT_EQ(MatchCompareReference(p, c, Curve(0), w, fast), (CompareResult{200, 0, 0}));
}

TEST(CellCompare, BestOfFourPrefersTheEarliestSmallest) {
  struct Case {
    std::int64_t a, b, c, d;
    int expected;
  };
  const Case cases[] = {{1, 2, 3, 4, 1}, {4, 3, 2, 1, 4}, {5, 1, 1, 9, 2}, {7, 7, 7, 7, 1},
                        {9, 9, 3, 3, 3}, {2, 5, 5, 2, 1}, {8, 6, 7, 6, 2}};
  for (const Case& c : cases)
    EXPECT_EQ(BestOfFour(c.a, c.b, c.c, c.d), c.expected) << c.a << c.b << c.c << c.d;
}

TEST(CellCompare, RmsAndColourDeviation) {
  struct Rms {
    std::int32_t d;
    int expected;
  };
  const Rms rms[] = {{0, 0},       {191, 0},     {192, 1},      {-768, 2},
                     {12484800, 255}, {INT32_MAX, 255}, {INT32_MIN, 255}};
  for (const Rms& r : rms) EXPECT_EQ(RmsDifference(r.d), r.expected) << r.d;

  EXPECT_EQ(ColorDeviation(Colour(10, 20, 30), Colour(40, 20, 0), false),
            (TColorDeviation{20, 30}));
  // Mono: x's grey (100) stands for each of x's channels.
  EXPECT_EQ(ColorDeviation(Colour(100, 100, 100), Colour(255, 0, 100), true),
            (TColorDeviation{85, 155}));
  EXPECT_EQ(ColorDeviation(Colour(0, 0, 0), Colour(255, 255, 255), false),
            (TColorDeviation{255, 255}));
}

TEST(CellCompare, EnhanceShiftTruncatesAndNeverOverflows) {
  TCurveTable huge = Curve(INT32_MAX);
  EXPECT_EQ(EnhanceShift(255, huge), 1 << 30);
  EXPECT_EQ(EnhanceShift(-255, huge), -(1 << 30));
  EXPECT_EQ(EnhanceShift(-10, Curve(128)), -5);
  EXPECT_EQ(EnhanceShift(10, Curve(255)), 10);
  // The comparison stays defined with such a curve: every shifted channel clamps.
  std::mt19937 rng(9);
  const ImageSignature p = Random(rng), c = Random(rng);
  EXPECT_EQ(MatchCompare(p, c, huge, Weights(1.0f), {}),
            MatchCompareReference(p, c, huge, Weights(1.0f), {}));
}

TEST(CellCompare, EveryKernelAgreesWithThePlainLoop) {
  std::mt19937 rng(2024);
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  // Weight families and the kernel each must take: unmasked layers (all 1), exact
  // fractions, mask greys / 255 and arbitrary floats, whose sums round.
  struct Family {
    const char* name;
    std::function<float(int)> weight;
    TCompareKernel kernel;
  };
  const Family families[] = {
      {"all one", [](int) { return 1.0f; }, TCompareKernel::UniformInteger},
      {"all a third", [](int) { return 1.0f / 3.0f; }, TCompareKernel::UniformInteger},
      {"all zero", [](int) { return 0.0f; }, TCompareKernel::UniformInteger},
      {"quarters", [&](int) { return float(byte(rng) % 5) / 4.0f; },
       TCompareKernel::WeightedInteger},
      {"greys", [&](int) { return float(byte(rng)) / 255.0f; },
       TCompareKernel::WeightedInteger},
      // One weight of 2^-30 beside weights of 1: large totals exceed 2^53 units and
      // must fall back to the ordered double sum.
      {"coarse and fine", [](int k) { return k == 30 ? std::ldexp(1.0f, -30) : 1.0f; },
       TCompareKernel::WeightedInteger},
      {"tiny floats", [&](int) { return std::ldexp(1.0f + unit(rng), -20); },
       TCompareKernel::Double},
      {"negative", [&](int k) { return k == 40 ? -0.5f : 1.0f; }, TCompareKernel::Double},
  };
  for (const Family& f : families) {
    SCOPED_TRACE(f.name);
    for (int i = 0; i < 600; ++i) {
      const ImageSignature p = Random(rng), c = Random(rng);
      TCurveTable curve;
      for (auto& v : curve) v = (i % 5 == 0) ? 255 : byte(rng);
      TMaskWeights w;
      for (int k = 0; k < 85; ++k) w[k] = f.weight(k);
      const TMatchOptions o{bool(i & 4), bool(i & 8), bool(i & 16), (i % 37) == 0};
      const TMatchComparer comparer(c, curve, w, o);
      ASSERT_EQ(comparer.Kernel(), f.kernel);
      const CompareResult ref = MatchCompareReference(p, c, curve, w, o);
      ASSERT_EQ(comparer.Compare(p), ref) << "case " << i;
      ASSERT_EQ(MatchCompare(p, c, curve, w, o), ref) << "case " << i;
      // Near-equal pictures put the sums close to the truncation boundary.
      ImageSignature q = c;
      q.Grid8[i % 64].R = std::uint8_t(q.Grid8[i % 64].R ^ 1);
      ASSERT_EQ(comparer.Compare(q), MatchCompareReference(q, c, curve, w, o)) << "case " << i;
    }
    // The largest sums: black against white.
    const ImageSignature black = Uniform(Colour(0, 0, 0)), white = Uniform(Colour(255, 255, 255));
    TMaskWeights w;
    for (int k = 0; k < 85; ++k) w[k] = f.weight(k);
    const TMatchOptions o{false, true, true, false};
    EXPECT_EQ(TMatchComparer(white, Curve(0), w, o).Compare(black),
              MatchCompareReference(black, white, Curve(0), w, o));
  }
}

}  // namespace
}  // namespace tessaro
