// StretchBitmap, ResampleBitmap, FitPreview, CopyFlipped and CropToAspect.
#include <gtest/gtest.h>

#include <cmath>

#include "image/halftone.h"
#include "image/ooimgfunction2007.h"
#include "imgfn_fixtures.h"

namespace tessaro {
namespace {

using testing::AllPixels;
using testing::MeanByte;
using testing::Noise;
using testing::SamePixels;
using testing::Solid;

struct Size {
  int w, h;
};

// ---- StretchBitmap -------------------------------------------------------------------

TEST(ImageFnResample, StretchBitmapIsAnOpaquePictureCopy) {
  // Alpha 7 in, alpha 255 out: the picture's alpha plays no part.
  const TBitmap32 src = Solid(30, 20, Color32(10, 200, 40, 7));
  for (Size s : {Size{30, 20}, Size{7, 3}, Size{61, 45}, Size{1, 1}, Size{200, 9}}) {
    TBitmap32 dst;
    StretchBitmap(src, dst, s.w, s.h);
    EXPECT_EQ(dst.Width(), s.w);
    EXPECT_EQ(dst.Height(), s.h);
    EXPECT_TRUE(AllPixels(dst, Color32(10, 200, 40))) << s.w << "x" << s.h;
  }
}

TEST(ImageFnResample, StretchBitmapOfNothingIsDefined) {
  TBitmap32 dst = Noise(5, 5, 1);
  StretchBitmap(TBitmap32(), dst, 4, 3);
  EXPECT_EQ(dst.Width(), 4);
  EXPECT_TRUE(AllPixels(dst, clBlack32));
  StretchBitmap(Solid(3, 3, clWhite32), dst, -2, 3);
  EXPECT_TRUE(dst.Empty());
}

TEST(ImageFnResample, StretchBitmapInPlace) {
  TBitmap32 a = Noise(40, 30, 2);
  TBitmap32 expected;
  StretchBitmap(a, expected, 17, 11);
  StretchBitmap(a, a, 17, 11);
  EXPECT_TRUE(SamePixels(a, expected));
}

// ---- ResampleBitmap ------------------------------------------------------------------

TEST(ImageFnResample, ResampleChoosesSplineFromTwiceTheSizeOnEitherAxis) {
  struct Case {
    Size src, dst;
    bool spline;
  } cases[] = {
      {{100, 100}, {200, 150}, true},  {{100, 100}, {150, 200}, true},
      {{100, 100}, {199, 199}, false}, {{100, 100}, {50, 50}, false},
      {{100, 100}, {256, 10}, true},   {{256, 256}, {256, 256}, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ResampleUsesSpline(c.src.w, c.src.h, c.dst.w, c.dst.h), c.spline);
    TBitmap32 src = Noise(c.src.w, c.src.h, 3);
    TBitmap32 dst;
    ResampleBitmap(src, dst, c.dst.w, c.dst.h);
    ASSERT_EQ(dst.Width(), c.dst.w);
    ASSERT_EQ(dst.Height(), c.dst.h);
    // The spline path marks its source; the halftone path is exactly HalftoneResize.
    EXPECT_EQ(src.StretchFilter, c.spline ? sfSpline : sfNearest);
    if (!c.spline) {
      TBitmap32 halftone;
      HalftoneResize(src, halftone, c.dst.w, c.dst.h);
      EXPECT_TRUE(SamePixels(dst, halftone));
    }
  }
}

TEST(ImageFnResample, ResampleSameSizeIsACopy) {
  TBitmap32 src = Noise(256, 256, 4, /*opaque=*/false);
  TBitmap32 dst(3, 3);
  ResampleBitmap(src, dst, 256, 256);
  EXPECT_TRUE(SamePixels(dst, src));
}

TEST(ImageFnResample, ResampleWithoutASizeLeavesDstAlone) {
  struct Case {
    Size src;
    int w, h;
  } cases[] = {{{0, 0}, 10, 10}, {{10, 10}, 0, 10}, {{10, 10}, 10, 0}, {{10, 10}, -5, 10}};
  for (const Case& c : cases) {
    TBitmap32 src = Noise(c.src.w, c.src.h, 5);
    const TBitmap32 before = Noise(6, 4, 6);
    TBitmap32 dst = before;
    ResampleBitmap(src, dst, c.w, c.h);
    EXPECT_TRUE(SamePixels(dst, before)) << c.w << "x" << c.h;
  }
}

TEST(ImageFnResample, ResampleCopiesEvenFromABlendSource) {
  // A blend source drawn over a fresh dst would depend on what dst held; the resample
  // is a copy on both paths, and the source's DrawMode is left as it was.
  for (Size s : {Size{40, 40}, Size{12, 12}}) {
    TBitmap32 opaque = Noise(20, 20, 7, /*opaque=*/false);
    TBitmap32 blend = opaque;
    blend.DrawMode = dmBlend;
    blend.MasterAlpha = 90;
    TBitmap32 a = Noise(s.w, s.h, 8), b = Noise(s.w, s.h, 9);
    ResampleBitmap(opaque, a, s.w, s.h);
    ResampleBitmap(blend, b, s.w, s.h);
    EXPECT_TRUE(SamePixels(a, b)) << s.w;
    EXPECT_EQ(blend.DrawMode, dmBlend);
  }
}

TEST(ImageFnResample, ResampleInPlaceMatchesASeparateTarget) {
  for (Size s : {Size{50, 30}, Size{13, 29}}) {
    TBitmap32 src = Noise(25, 15, 10);
    TBitmap32 expected;
    TBitmap32 copy = src;
    ResampleBitmap(copy, expected, s.w, s.h);
    ResampleBitmap(src, src, s.w, s.h);
    EXPECT_TRUE(SamePixels(src, expected)) << s.w;
  }
}

// ---- FitPreview ------------------------------------------------------------------------

TEST(ImageFnResample, FitPreviewTakesTheLargestFittingSize) {
  struct Case {
    Size src;
    TRect frame;
    Size expected;
  } cases[] = {
      {{400, 300}, MakeRect(0, 0, 100, 100), {100, 75}},
      {{300, 400}, MakeRect(0, 0, 100, 100), {75, 100}},
      {{400, 300}, MakeRect(10, 20, 210, 170), {200, 150}},
      {{10, 10}, MakeRect(0, 0, 512, 512), {512, 512}},
      // In doubles 49 * (64 / 49) truncates to 63.
      {{49, 49}, MakeRect(0, 0, 64, 64), {64, 64}},
      {{98, 1000}, MakeRect(0, 0, 64, 64), {6, 64}},
      {{1000, 1}, MakeRect(0, 0, 64, 64), {0, 0}},
      {{40, 30}, MakeRect(5, 5, 5, 50), {0, 0}},
  };
  for (const Case& c : cases) {
    TBitmap32 dst = Noise(3, 3, 11);
    FitPreview(Solid(c.src.w, c.src.h, Color32(1, 2, 3, 0)), dst, c.frame);
    EXPECT_EQ(dst.Width(), c.expected.w) << c.src.w << "x" << c.src.h;
    EXPECT_EQ(dst.Height(), c.expected.h) << c.src.w << "x" << c.src.h;
    EXPECT_TRUE(AllPixels(dst, Color32(1, 2, 3)));
  }
}

TEST(ImageFnResample, FitPreviewOfAnEmptyPictureLeavesDstAlone) {
  const TBitmap32 before = Noise(5, 4, 12);
  TBitmap32 dst = before;
  FitPreview(TBitmap32(), dst, MakeRect(0, 0, 64, 64));
  EXPECT_TRUE(SamePixels(dst, before));
}

// ---- CopyFlipped -----------------------------------------------------------------------

TEST(ImageFnResample, CopyFlippedMirrors) {
  // 3 x 2, pixel value = 10 * y + x.
  TBitmap32 src(3, 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) src.SetPixel(x, y, TColor32(10 * y + x));
  src.DrawMode = dmBlend;
  struct Case {
    bool h, v;
    TColor32 expected[6];
  } cases[] = {
      {false, false, {0, 1, 2, 10, 11, 12}},
      {true, false, {2, 1, 0, 12, 11, 10}},
      {false, true, {10, 11, 12, 0, 1, 2}},
      {true, true, {12, 11, 10, 2, 1, 0}},
  };
  for (const Case& c : cases) {
    TBitmap32 dst;
    CopyFlipped(src, dst, c.h, c.v);
    TBitmap32 inPlace = src;
    CopyFlipped(inPlace, inPlace, c.h, c.v);
    ASSERT_EQ(dst.Width(), 3);
    ASSERT_EQ(dst.Height(), 2);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(dst.Pixel(i % 3, i / 3), c.expected[i]);
    EXPECT_TRUE(SamePixels(inPlace, dst));
    EXPECT_EQ(dst.DrawMode, dmBlend);
  }
}

// ---- CropToAspect ----------------------------------------------------------------------

TEST(ImageFnResample, CropToAspectKeepsTheCentrePlusOnePixel) {
  struct Case {
    Size src;
    int a, b;
    TRect from;  // the source rectangle that is halftone-copied
    Size result;
  } cases[] = {
      {{400, 300}, 1, 1, MakeRect(50, 0, 350, 300), {301, 301}},
      {{300, 300}, 1, 1, MakeRect(0, 0, 299, 299), {300, 300}},
      {{300, 400}, 1, 1, MakeRect(0, 50, 300, 350), {301, 301}},
      {{640, 480}, 16, 9, MakeRect(0, 60, 640, 420), {641, 361}},
      {{640, 480}, 4, 3, MakeRect(0, 0, 639, 479), {640, 480}},
      {{101, 50}, 1, 1, MakeRect(25, 0, 76, 50), {52, 51}},  // (101 - 50) div 2 = 25
      // One pixel wide: the one-smaller rectangle would have no width.
      {{1, 5}, 1, 5, MakeRect(0, 0, 1, 4), {1, 5}},
  };
  for (const Case& c : cases) {
    const TBitmap32 src = Noise(c.src.w, c.src.h, 13);
    TBitmap32 dst;
    CropToAspect(src, dst, c.a, c.b);
    TBitmap32 expected(c.result.w, c.result.h);
    HalftoneStretch(expected, expected.BoundsRect(), src, c.from);
    EXPECT_TRUE(SamePixels(dst, expected)) << c.src.w << "x" << c.src.h << " " << c.a << ":" << c.b;
  }
}

TEST(ImageFnResample, CropToAspectInPlaceAndProperties) {
  TBitmap32 src = Noise(90, 40, 14);
  src.DrawMode = dmBlend;
  src.StretchFilter = sfLinear;
  TBitmap32 separate;
  CropToAspect(src, separate, 3, 2);
  EXPECT_EQ(separate.DrawMode, dmBlend);
  EXPECT_EQ(separate.StretchFilter, sfLinear);
  CropToAspect(src, src, 3, 2);
  EXPECT_TRUE(SamePixels(src, separate));
}

TEST(ImageFnResample, CropToAspectWithoutARatioLeavesDstAlone) {
  struct Case {
    Size src;
    int a, b;
  } cases[] = {{{40, 30}, 0, 1}, {{40, 30}, 1, 0}, {{40, 30}, -3, 2}, {{0, 0}, 1, 1}};
  for (const Case& c : cases) {
    const TBitmap32 before = Noise(7, 5, 15);
    TBitmap32 dst = before;
    CropToAspect(Noise(c.src.w, c.src.h, 16), dst, c.a, c.b);
    EXPECT_TRUE(SamePixels(dst, before)) << c.a << ":" << c.b;
  }
}

// ---- Invariants over all the resampling copies ---------------------------------------

TEST(ImageFnResample, ConstantPicturesStayConstant) {
  const TColor32 c = Color32(200, 17, 90);
  const TBitmap32 src = Solid(48, 36, c);
  for (Size s : {Size{48, 36}, Size{24, 18}, Size{5, 40}, Size{97, 73}, Size{200, 20},
                 Size{1, 1}}) {
    TBitmap32 copy = src, out;
    ResampleBitmap(copy, out, s.w, s.h);
    EXPECT_TRUE(AllPixels(out, c)) << "ResampleBitmap " << s.w << "x" << s.h;
    StretchBitmap(src, out, s.w, s.h);
    EXPECT_TRUE(AllPixels(out, c)) << "StretchBitmap " << s.w << "x" << s.h;
    FitPreview(src, out, MakeRect(0, 0, s.w, s.h));
    EXPECT_TRUE(AllPixels(out, c)) << "FitPreview " << s.w << "x" << s.h;
    CropToAspect(src, out, s.w, s.h);
    EXPECT_FALSE(out.Empty());
    EXPECT_TRUE(AllPixels(out, c)) << "CropToAspect " << s.w << ":" << s.h;
  }
}

TEST(ImageFnResample, IntegralReductionKeepsTheMean) {
  const TBitmap32 src = Noise(96, 64, 17, /*opaque=*/false);
  for (Size s : {Size{48, 32}, Size{24, 16}, Size{12, 8}, Size{32, 32}}) {
    TBitmap32 copy = src, out;
    ResampleBitmap(copy, out, s.w, s.h);
    for (int byte = 0; byte < 4; ++byte)
      EXPECT_NEAR(MeanByte(out, byte), MeanByte(src, byte), 0.5) << s.w << " byte " << byte;
  }
}

}  // namespace
}  // namespace tessaro
