// Curve tables built from five control points.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <ostream>
#include <utility>
#include <vector>

#include "core/ootsfunction2007.h"

namespace tessaro {
namespace {

TCurvePoints Pts(std::initializer_list<std::pair<int, int>> list) {
  TCurvePoints p{};
  int i = 0;
  for (const auto& [x, y] : list) p.P[i++] = TCurvePoint{x, y};
  return p;
}

TCurveTable Build(const TCurvePoints& points) {
  TCurveTable t;
  t.fill(-12345);  // no entry may be left unwritten
  BuildCurveTable(points, t);
  return t;
}

struct Range {
  int From, To, Value;  // entries From..To inclusive all equal Value
};

struct CurveCase {
  const char* Name;
  TCurvePoints Points;
  std::vector<std::pair<int, int>> Entries;  // (index, value)
  std::vector<Range> Ranges;
};

void PrintTo(const CurveCase& c, std::ostream* os) { *os << c.Name; }

class CurveTableCases : public ::testing::TestWithParam<CurveCase> {};

TEST_P(CurveTableCases, GivesTheListedEntries) {
  const CurveCase& c = GetParam();
  const TCurveTable t = Build(c.Points);
  for (const auto& [index, value] : c.Entries) EXPECT_EQ(t[index], value) << "entry " << index;
  for (const Range& r : c.Ranges)
    for (int v = r.From; v <= r.To; ++v) EXPECT_EQ(t[v], r.Value) << "entry " << v;
}

INSTANTIATE_TEST_SUITE_P(
    BuildCurveTable, CurveTableCases,
    ::testing::Values(
        // 151: 1 * -20 / 50 + 120 = 119.6 -> 119; truncating the quotient alone would
        // give 120, and rounding would give 120 as well.
        CurveCase{"DefaultEnhance",
                  kDefaultEnhanceCurvePoints,
                  {{11, 253}, {30, 222}, {50, 190}, {51, 189}, {99, 150}, {100, 150},
                   {149, 120}, {150, 120}, {151, 119}, {199, 100}},
                  {{0, 10, 255}, {200, 255, 100}}},
        CurveCase{"DefaultAlpha",
                  kDefaultAlphaCurvePoints,
                  {{11, 4}, {12, 8}, {15, 20}, {20, 25}, {35, 40}, {49, 49}, {50, 50},
                   {51, 50}, {119, 74}},
                  {{0, 10, 0}, {120, 255, 75}}},
        CurveCase{"AllPointsAtOrigin", Pts({{0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}}), {},
                  {{0, 255, 0}}},
        CurveCase{"FlatWithHump",
                  Pts({{0, 30}, {64, 30}, {128, 60}, {192, 30}, {255, 30}}),
                  {{96, 45}, {100, 46}, {160, 45}, {200, 30}, {255, 30}},
                  {{0, 64, 30}}},
        CurveCase{"LeadingAndTrailingFill",
                  Pts({{50, 200}, {100, 100}, {120, 50}, {150, 20}, {200, 10}}),
                  {{51, 198}, {199, 10}},
                  {{0, 50, 200}, {200, 255, 10}}},
        // Equal x at the top end, where no trailing fill hides the rule: the exchange
        // sort moves (255, 20) before (255, 90), so 90 wins; a stable sort would keep
        // the input order and give 20.
        CurveCase{"EqualXTakesLaterPointAfterExchangeSort",
                  Pts({{255, 90}, {255, 20}, {0, 0}, {50, 50}, {100, 100}}),
                  {{255, 90}, {254, 20}, {100, 100}, {25, 25}},
                  {}},
        CurveCase{"XOutsideRangeIsClamped",
                  Pts({{-20, 100}, {50, 50}, {100, 100}, {150, 150}, {300, 200}}),
                  {{0, 100}, {25, 75}, {200, 173}, {255, 200}},
                  {}},
        // The product (x - xk) * (yk+1 - yk) does not fit 32 bits here.
        CurveCase{"ExtremeYDoesNotOverflow",
                  Pts({{0, INT_MIN}, {255, INT_MAX}, {255, INT_MAX}, {255, INT_MAX}, {255, INT_MAX}}),
                  {{0, INT_MIN}, {1, -2130640639}, {128, 8421504}, {255, INT_MAX}},
                  {}}),
    [](const ::testing::TestParamInfo<CurveCase>& info) { return std::string(info.param.Name); });

TEST(BuildCurveTable, IdentityPointsGiveIdentityTable) {
  const TCurveTable t = Build(Pts({{0, 0}, {64, 64}, {128, 128}, {192, 192}, {255, 255}}));
  for (int v = 0; v < 256; ++v) EXPECT_EQ(t[v], v) << "entry " << v;
}

TEST(BuildCurveTable, PointOrderDoesNotMatterForDistinctX) {
  const TCurveTable sorted = Build(kDefaultEnhanceCurvePoints);
  TCurvePoints reversed{};
  for (int i = 0; i < 5; ++i) reversed.P[i] = kDefaultEnhanceCurvePoints.P[4 - i];
  EXPECT_EQ(Build(reversed), sorted);
  TCurvePoints shuffled = kDefaultEnhanceCurvePoints;
  std::swap(shuffled.P[0], shuffled.P[3]);
  std::swap(shuffled.P[1], shuffled.P[4]);
  EXPECT_EQ(Build(shuffled), sorted);
}

TEST(BuildCurveTable, ClampedPointsGiveTheSameTableAsInRangePoints) {
  EXPECT_EQ(Build(Pts({{-20, 100}, {50, 50}, {100, 100}, {150, 150}, {300, 200}})),
            Build(Pts({{0, 100}, {50, 50}, {100, 100}, {150, 150}, {255, 200}})));
}

TEST(BuildCurveTable, WildCoordinatesStayWithinTheYRange) {
  // Under the sanitizers this also shows that no index leaves the table and no
  // arithmetic overflows.
  const TCurvePoints wild =
      Pts({{INT_MIN, -5}, {INT_MAX, 7}, {128, INT_MIN}, {128, INT_MAX}, {64, 0}});
  const TCurveTable t = Build(wild);
  for (int v = 0; v < 256; ++v) {
    EXPECT_GE(t[v], INT_MIN);
    EXPECT_LE(t[v], INT_MAX);
  }
  EXPECT_EQ(t[0], -5);
  EXPECT_EQ(t[255], 7);
}

TEST(BuildCurveTables, BuildsEachTableFromItsOwnPoints) {
  TtsProject07 p;
  p.EnhanceCurve.fill(-1);
  p.AlphaCurve.fill(-1);
  p.BuildCurveTables();
  EXPECT_EQ(p.EnhanceCurve[30], 222);
  EXPECT_EQ(p.EnhanceCurve[255], 100);
  EXPECT_EQ(p.AlphaCurve[15], 20);
  EXPECT_EQ(p.AlphaCurve[255], 75);

  p.AlphaCurvePoints = Pts({{0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}});
  p.BuildCurveTables();
  EXPECT_EQ(p.AlphaCurve, TCurveTable{});
  EXPECT_EQ(p.EnhanceCurve[30], 222);
}

}  // namespace
}  // namespace tessaro
