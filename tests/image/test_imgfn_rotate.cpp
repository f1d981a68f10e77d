// RotateBitmap.
#include <gtest/gtest.h>

#include "image/ooimgfunction2007.h"
#include "imgfn_fixtures.h"

namespace tessaro {
namespace {

using testing::Noise;
using testing::SamePixels;

constexpr TColor32 kFill = 0xFF123456u;

TBitmap32 WithFilter(TBitmap32 b, TStretchFilter f) {
  b.StretchFilter = f;
  return b;
}

TEST(ImageFnRotate, ZeroDegreesReproduces) {
  for (TStretchFilter f : {sfNearest, sfLinear, sfSpline}) {
    const TBitmap32 src = WithFilter(Noise(7, 5, 1, /*opaque=*/false), f);
    TBitmap32 dst;
    RotateBitmap(src, dst, 0, kFill);
    EXPECT_TRUE(SamePixels(dst, src)) << "filter " << f;
  }
}

TEST(ImageFnRotate, QuarterTurnIsCounterClockwise) {
  // On a square, dst(x, y) = src(w - 1 - y, x): the top-right corner moves to the top left.
  for (int n : {3, 4, 9}) {
    for (TStretchFilter f : {sfNearest, sfLinear}) {
      const TBitmap32 src = WithFilter(Noise(n, n, 2), f);
      TBitmap32 dst;
      RotateBitmap(src, dst, 90, kFill);
      ASSERT_EQ(dst.Width(), n);
      for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x)
          ASSERT_EQ(dst.Pixel(x, y), src.Pixel(n - 1 - y, x))
              << n << " (" << x << ", " << y << ") filter " << f;
    }
  }
}

TEST(ImageFnRotate, FourQuarterTurnsGiveTheSquareBack) {
  for (int n : {1, 2, 5, 8, 16}) {
    const TBitmap32 src = Noise(n, n, 3);
    TBitmap32 turned = src;
    for (int i = 0; i < 4; ++i) RotateBitmap(turned, turned, 90, kFill);
    EXPECT_TRUE(SamePixels(turned, src)) << n;
  }
}

TEST(ImageFnRotate, HalfTurnIsBothFlips) {
  for (auto [w, h] : {std::pair{6, 6}, std::pair{7, 7}, std::pair{6, 4}, std::pair{5, 8}}) {
    const TBitmap32 src = Noise(w, h, 4);
    TBitmap32 flipped = src;
    flipped.FlipHorz();
    flipped.FlipVert();
    TBitmap32 dst;
    RotateBitmap(src, dst, 180, kFill);
    EXPECT_TRUE(SamePixels(dst, flipped)) << w << "x" << h;
    RotateBitmap(src, dst, -180, kFill);
    EXPECT_TRUE(SamePixels(dst, flipped)) << w << "x" << h;
  }
}

TEST(ImageFnRotate, QuarterTurnOfAWidePictureLeavesFillBands) {
  // 6 x 2 about (2.5, 0.5): the turned picture is 2 wide and covers columns 2 and 3.
  const TBitmap32 src = Noise(6, 2, 5);
  TBitmap32 dst;
  RotateBitmap(src, dst, 90, kFill);
  ASSERT_EQ(dst.Width(), 6);
  ASSERT_EQ(dst.Height(), 2);
  for (int y = 0; y < 2; ++y) {
    for (int x : {0, 1, 4, 5}) EXPECT_EQ(dst.Pixel(x, y), kFill) << x << "," << y;
    for (int x : {2, 3}) EXPECT_NE(dst.Pixel(x, y), kFill) << x << "," << y;
  }
  // (x, y) takes src(2.5 - (y - 0.5), 0.5 + (x - 2.5)).
  EXPECT_EQ(dst.Pixel(2, 0), src.Pixel(3, 0));
  EXPECT_EQ(dst.Pixel(3, 1), src.Pixel(2, 1));
}

TEST(ImageFnRotate, OddAnglesKeepTheCentreAndFillTheCorners) {
  const TBitmap32 src = testing::Solid(21, 21, clWhite32);
  for (int angle : {15, 45, -30, 405}) {
    TBitmap32 dst;
    RotateBitmap(src, dst, angle, kFill);
    EXPECT_EQ(dst.Pixel(10, 10), clWhite32) << angle;
    for (auto [x, y] : {std::pair{0, 0}, std::pair{20, 0}, std::pair{0, 20}, std::pair{20, 20}})
      EXPECT_EQ(dst.Pixel(x, y), kFill) << angle;
  }
}

TEST(ImageFnRotate, BlendPicturesAreRotatedNotBlendedOverTheFill) {
  // A cell picture already carries the pen alpha and blend mode when it is rotated in
  // place; its pixels must come through unchanged and its properties stay.
  TBitmap32 opaque = Noise(9, 9, 6, /*opaque=*/false);
  TBitmap32 expected;
  RotateBitmap(opaque, expected, 90, kFill);

  TBitmap32 blend = opaque;
  blend.DrawMode = dmBlend;
  blend.MasterAlpha = 100;
  TBitmap32 separate;
  RotateBitmap(blend, separate, 90, kFill);
  EXPECT_TRUE(SamePixels(separate, expected));
  EXPECT_EQ(separate.DrawMode, dmBlend);

  RotateBitmap(blend, blend, 90, kFill);
  EXPECT_TRUE(SamePixels(blend, expected));
  EXPECT_EQ(blend.DrawMode, dmBlend);
  EXPECT_EQ(blend.MasterAlpha, 100);
}

TEST(ImageFnRotate, EmptyPictureGivesAnEmptyResult) {
  TBitmap32 dst = Noise(4, 4, 7);
  RotateBitmap(TBitmap32(), dst, 30, kFill);
  EXPECT_TRUE(dst.Empty());
}

TEST(ImageFnRotate, SizeNeverChanges) {
  const TBitmap32 src = Noise(13, 5, 8);
  for (int angle = -360; angle <= 360; angle += 15) {
    TBitmap32 dst;
    RotateBitmap(src, dst, angle, kFill);
    EXPECT_EQ(dst.Width(), 13);
    EXPECT_EQ(dst.Height(), 5);
  }
}

}  // namespace
}  // namespace tessaro
