// ApplyCellMask and SprayDots.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "image/ooimgfunction2007.h"
#include "imgfn_fixtures.h"

namespace tessaro {
namespace {

using testing::Noise;
using testing::SamePixels;
using testing::Solid;

constexpr TCanvasColor kGapCanvas = 0x0000FF;  // red in canvas order
constexpr TColor32 kGap = 0xFFFF0000u;

TBitmap32 LeftHalfMask(int w, int h) {
  TBitmap32 m = Solid(w, h, clBlack32);
  m.FillRectS(MakeRect(0, 0, w / 2, h), clWhite32);
  return m;
}

// Rows of 'g' (gap colour), 'o' (the picture's own colour, opaque) and '.'
// (transparent) describe the expected cut of picture src.
::testing::AssertionResult Cut(const TBitmap32& dst, const TBitmap32& src,
                               const std::vector<std::string>& rows) {
  if (dst.Height() != int(rows.size()) || dst.Width() != int(rows[0].size()))
    return ::testing::AssertionFailure() << "size " << dst.Width() << "x" << dst.Height();
  for (int y = 0; y < dst.Height(); ++y)
    for (int x = 0; x < dst.Width(); ++x) {
      const TColor32 p = dst.Pixel(x, y), own = src.Pixel(x, y) & 0x00FFFFFFu;
      const char want = rows[std::size_t(y)][std::size_t(x)];
      const bool ok = want == 'g'   ? p == kGap
                      : want == 'o' ? p == (own | 0xFF000000u)
                                    : p == own;
      if (!ok)
        return ::testing::AssertionFailure() << "(" << x << ", " << y << ") wanted '" << want
                                             << "', got " << std::hex << p;
    }
  return ::testing::AssertionSuccess();
}

TEST(ImageFnCellMask, NoGapTakesAlphaFromTheMasksBlue) {
  TBitmap32 mask(4, 2);
  const TColor32 blues[8] = {0, 1, 255, 0, 128, 0xFFFFFF00u, 0, 7};
  for (int i = 0; i < 8; ++i) mask.SetPixel(i % 4, i / 4, blues[i]);
  const TBitmap32 src = Noise(4, 2, 1, /*opaque=*/false);
  TBitmap32 dst(4, 2);
  ApplyCellMask(src, dst, mask, kGapCanvas, 0);
  EXPECT_TRUE(Cut(dst, src, {".oo.", "o..o"}));
  EXPECT_EQ(dst.DrawMode, dmBlend);
}

TEST(ImageFnCellMask, GapBandAlongTheEdge) {
  const TBitmap32 white = Solid(10, 10, clWhite32);
  const TBitmap32 src = Noise(10, 10, 2);
  struct Case {
    int gap;
    std::vector<std::string> rows;
  } cases[] = {
      // half 1, inner 8 x 8 at (1, 1).
      {2, {"gggggggggg", "goooooooog", "goooooooog", "goooooooog", "goooooooog",
           "goooooooog", "goooooooog", "goooooooog", "goooooooog", "gggggggggg"}},
      // An odd gap: half 1, inner 7 x 7, so the band is wider on the right and bottom.
      {3, {"gggggggggg", "gooooooogg", "gooooooogg", "gooooooogg", "gooooooogg",
           "gooooooogg", "gooooooogg", "gooooooogg", "gggggggggg", "gggggggggg"}},
      // No inner shape left: all band.
      {10, std::vector<std::string>(10, "gggggggggg")},
      {25, std::vector<std::string>(10, "gggggggggg")},
  };
  for (const Case& c : cases) {
    TBitmap32 dst = src;
    ApplyCellMask(dst, dst, white, kGapCanvas, c.gap);
    EXPECT_TRUE(Cut(dst, src, c.rows)) << "gap " << c.gap;
  }
}

TEST(ImageFnCellMask, GapFollowsTheShape) {
  // Left-half mask on 20 x 20 with gap 4: inner 16 x 16 (white columns 0..7) placed at
  // (2, 2), so the picture shows in columns 2..9, rows 2..17, framed by the band.
  const TBitmap32 src = Noise(20, 20, 3);
  TBitmap32 dst = src;
  ApplyCellMask(dst, dst, LeftHalfMask(20, 20), kGapCanvas, 4);
  std::vector<std::string> rows(20, std::string(20, '.'));
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 10; ++x)
      rows[std::size_t(y)][std::size_t(x)] = (x >= 2 && y >= 2 && y < 18) ? 'o' : 'g';
  EXPECT_TRUE(Cut(dst, src, rows));
}

TEST(ImageFnCellMask, OnlyFullWhiteIsInside) {
  TBitmap32 mask = Solid(6, 6, clWhite32);
  mask.SetPixel(3, 3, Color32(255, 255, 254));
  const TBitmap32 src = Noise(6, 6, 4);
  TBitmap32 dst = src;
  ApplyCellMask(dst, dst, mask, kGapCanvas, 2);
  EXPECT_EQ(dst.Pixel(3, 3), src.Pixel(3, 3) & 0x00FFFFFFu);
  EXPECT_EQ(dst.Pixel(2, 2), src.Pixel(2, 2) | 0xFF000000u);
}

TEST(ImageFnCellMask, NegativeGapCountsAsNone) {
  const TBitmap32 src = Noise(8, 6, 5);
  const TBitmap32 mask = LeftHalfMask(8, 6);
  TBitmap32 a = src, b = src;
  ApplyCellMask(a, a, mask, kGapCanvas, 0);
  ApplyCellMask(b, b, mask, kGapCanvas, -3);
  EXPECT_TRUE(SamePixels(a, b));
}

TEST(ImageFnCellMask, NoGapWithAMaskOfAnotherSize) {
  // 16 -> 12 halftone: columns 0..5 cover only white, 6..11 only black.
  const TBitmap32 src = Noise(12, 12, 6);
  TBitmap32 dst = src;
  ApplyCellMask(dst, dst, LeftHalfMask(16, 16), kGapCanvas, 0);
  EXPECT_TRUE(Cut(dst, src, std::vector<std::string>(12, "oooooo......")));

  // An enlargement takes the spline path, which must not retune the caller's mask.
  const TBitmap32 small = LeftHalfMask(4, 4);
  TBitmap32 big = Noise(8, 8, 7);
  ApplyCellMask(big, big, small, kGapCanvas, 0);
  EXPECT_EQ(small.StretchFilter, sfNearest);
  EXPECT_EQ(AlphaOf(big.Pixel(0, 4)), 255);
  EXPECT_EQ(AlphaOf(big.Pixel(7, 4)), 0);
}

TEST(ImageFnCellMask, MasksAreSizedFromTheTargetBeforeTheCopy) {
  const TBitmap32 src = Noise(6, 6, 8);
  // Old target 10 x 10: full 10 x 10, inner 8 x 8 at (1, 1); only the 6 x 6 overlap
  // is cut, and the band's right and bottom sides lie beyond it.
  TBitmap32 dst(10, 10);
  ApplyCellMask(src, dst, Solid(10, 10, clWhite32), kGapCanvas, 2);
  EXPECT_TRUE(Cut(dst, src, {"gggggg", "gooooo", "gooooo", "gooooo", "gooooo", "gooooo"}));

  // Old target 4 x 4: beyond the masks the picture is transparent.
  TBitmap32 small(4, 4);
  ApplyCellMask(src, small, Solid(4, 4, clWhite32), kGapCanvas, 2);
  EXPECT_TRUE(Cut(small, src, {"gggg..", "goog..", "goog..", "gggg..", "......", "......"}));
}

TEST(ImageFnCellMask, TheTargetAsItsOwnMask) {
  // The target's old pixels are the mask; the copy of src must not replace them first.
  for (int gap : {0, 2}) {
    const TBitmap32 src = Noise(8, 8, 10);
    TBitmap32 dst = LeftHalfMask(8, 8), expected(8, 8);  // same old size
    ApplyCellMask(src, expected, LeftHalfMask(8, 8), kGapCanvas, gap);
    ApplyCellMask(src, dst, dst, kGapCanvas, gap);
    EXPECT_TRUE(SamePixels(dst, expected)) << gap;
  }
}

TEST(ImageFnCellMask, EmptyMaskOrPicture) {
  for (int gap : {0, 2}) {
    const TBitmap32 src = Noise(5, 5, 9);
    TBitmap32 dst = src;
    ApplyCellMask(dst, dst, TBitmap32(), kGapCanvas, gap);
    EXPECT_TRUE(Cut(dst, src, std::vector<std::string>(5, "....."))) << gap;
    TBitmap32 none;
    ApplyCellMask(none, none, Solid(4, 4, clWhite32), kGapCanvas, gap);
    EXPECT_TRUE(none.Empty());
  }
}

// ---- SprayDots ---------------------------------------------------------------------------

TEST(ImageFnSpray, DrawsInTheGivenOrder) {
  // Replays the draws of one spray: per try random(100), random(r), random(100),
  // random(r), the offsets negated when their first draw is below 50.
  const int n = 10, r = 6;
  TBitmap32 sprayed = Solid(40, 40, clBlack32);
  TRandom rng(12345);
  SprayDotsFrom(rng, sprayed, {20, 20}, n, 0x00FF00);

  TBitmap32 expected = Solid(40, 40, clBlack32);
  TRandom replay(12345);
  for (int i = 0; i <= n; ++i) {
    const int s1 = replay.Random(100);
    int dx = replay.Random(r);
    if (s1 < 50) dx = -dx;
    const int s2 = replay.Random(100);
    int dy = replay.Random(r);
    if (s2 < 50) dy = -dy;
    if (dx * dx + dy * dy < r * r) expected.SetPixel(20 + dx, 20 + dy, Color32(0, 255, 0));
  }
  EXPECT_TRUE(SamePixels(sprayed, expected));
  EXPECT_EQ(rng.Next32(), replay.Next32());  // exactly 4 (n + 1) draws were used
}

TEST(ImageFnSpray, RadiusRoundsTiesToEven) {
  // n = 10: r = nearbyint(6.5) = 6, so no offset reaches 6 (with ties away from zero,
  // r = 7 would allow dots at distance 6).
  int reach = 0;
  for (std::uint64_t seed = 0; seed < 200; ++seed) {
    TBitmap32 b = Solid(41, 41, clBlack32);
    TRandom rng(seed);
    SprayDotsFrom(rng, b, {20, 20}, 10, 0xFFFFFF);
    for (int y = 0; y < 41; ++y)
      for (int x = 0; x < 41; ++x)
        if (b.Pixel(x, y) != clBlack32) {
          const int dx = x - 20, dy = y - 20;
          EXPECT_LT(dx * dx + dy * dy, 36);
          reach = std::max({reach, std::abs(dx), std::abs(dy)});
        }
  }
  EXPECT_EQ(reach, 5);
}

TEST(ImageFnSpray, SmallSizesAndEdges) {
  TBitmap32 b = Solid(5, 5, clBlack32);
  TRandom rng(1);
  SprayDotsFrom(rng, b, {2, 2}, 0, 0xFFFFFF);  // r 0: nothing is inside
  EXPECT_TRUE(testing::AllPixels(b, clBlack32));
  SprayDotsFrom(rng, b, {2, 2}, 1, 0xFFFFFF);  // r 1: only the centre
  EXPECT_EQ(b.Pixel(2, 2), clWhite32);
  b.SetPixel(2, 2, clBlack32);
  EXPECT_TRUE(testing::AllPixels(b, clBlack32));
  SprayDotsFrom(rng, b, {2, 2}, -7, 0xFFFFFF);
  EXPECT_TRUE(testing::AllPixels(b, clBlack32));
  // Centres on and beyond the edges only clip.
  for (TPoint c : {TPoint{0, 0}, TPoint{4, 4}, TPoint{-3, 2}, TPoint{2, 9}})
    SprayDotsFrom(rng, b, c, 20, 0xFFFFFF);
  TBitmap32 empty;
  SprayDots(empty, {0, 0}, 10, 0xFFFFFF, rng);
  EXPECT_TRUE(empty.Empty());
}

TEST(ImageFnSpray, SprayDotsReseedsFromTheClock) {
  TRandom rng(99), fresh(99);
  TBitmap32 b = Solid(20, 20, clBlack32);
  SprayDots(b, {10, 10}, 5, 0xFFFFFF, rng);
  for (int i = 0; i < 4 * 6; ++i) fresh.Next32();
  EXPECT_NE(rng.Next32(), fresh.Next32());
}

}  // namespace
}  // namespace tessaro
