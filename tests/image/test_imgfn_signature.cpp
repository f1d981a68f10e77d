// BlockAverage, ComputeSignature, GreySignatureVector and the two preview pictures.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "image/halftone.h"
#include "image/ooimgfunction2007.h"
#include "imgfn_fixtures.h"

namespace tessaro {
namespace {

using testing::AllPixels;
using testing::Noise;
using testing::SamePixels;
using testing::Solid;

SignatureColor Sig(int grey, int r, int g, int b) {
  return SignatureColor{std::uint8_t(grey), std::uint8_t(r), std::uint8_t(g), std::uint8_t(b)};
}

// ---- BlockAverage ----------------------------------------------------------------------

TEST(ImageFnSignature, BlockAverageTruncatesMeansAndGrey) {
  // 2 x 2: R 1, 2, 2, 2 (sum 7 div 4 = 1); G 255 x 3 + 0 (191); B 0, 0, 0, 3 (0).
  TBitmap32 b(2, 2);
  b.SetPixel(0, 0, Color32(1, 255, 0, 0));
  b.SetPixel(1, 0, Color32(2, 255, 0, 9));
  b.SetPixel(0, 1, Color32(2, 255, 0, 200));
  b.SetPixel(1, 1, Color32(2, 0, 3, 255));
  // grey = trunc(0.299 + 0.587 * 191) = 112.
  EXPECT_EQ(BlockAverage(b, b.BoundsRect()), Sig(112, 1, 191, 0));
  EXPECT_EQ(BlockAverage(b, MakeRect(1, 1, 2, 2)), Sig(SignatureGrey(2, 0, 3), 2, 0, 3));
}

TEST(ImageFnSignature, BlockAverageClipsToTheBitmap) {
  const TBitmap32 b = Solid(4, 4, Color32(40, 80, 120));
  const SignatureColor c = Sig(SignatureGrey(40, 80, 120), 40, 80, 120);
  EXPECT_EQ(BlockAverage(b, MakeRect(-10, -10, 100, 100)), c);
  EXPECT_EQ(BlockAverage(b, MakeRect(2, 2, 2, 4)), SignatureColor{});
  EXPECT_EQ(BlockAverage(b, MakeRect(5, 5, 9, 9)), SignatureColor{});
  EXPECT_EQ(BlockAverage(TBitmap32(), MakeRect(0, 0, 4, 4)), SignatureColor{});
}

// ---- ComputeSignature ------------------------------------------------------------------

void ExpectUniform(const ImageSignature& s, const SignatureColor& c, int palette) {
  EXPECT_EQ(s.PaletteIndex, palette);
  EXPECT_EQ(s.Average, c);
  for (const auto& e : s.Grid2) EXPECT_EQ(e, c);
  for (const auto& e : s.Grid4) EXPECT_EQ(e, c);
  for (const auto& e : s.Grid8) EXPECT_EQ(e, c);
}

TEST(ImageFnSignature, UniformPictureGivesItsColourEverywhere) {
  struct Case {
    int w, h, r, g, b, palette;
  } cases[] = {
      {64, 64, 0, 0, 0, 0},          {100, 60, 255, 255, 255, 215},
      {333, 17, 10, 200, 30, 18},    {1, 1, 255, 0, 0, 5},
      {7, 500, 60, 120, 180, 3 * 36 + 2 * 6 + 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.w << "x" << c.h);
    const ImageSignature s = ComputeSignature(Solid(c.w, c.h, Color32(c.r, c.g, c.b)));
    ExpectUniform(s, Sig(SignatureGrey(c.r, c.g, c.b), c.r, c.g, c.b), c.palette);
  }
}

TEST(ImageFnSignature, LeftBlackRightWhite) {
  TBitmap32 pic(100, 60);
  pic.Clear(clBlack32);
  pic.FillRectS(MakeRect(50, 0, 100, 60), clWhite32);
  const ImageSignature s = ComputeSignature(pic);
  const SignatureColor black{}, white = Sig(255, 255, 255, 255);
  EXPECT_EQ(s.Grid2[0], black);  // (0, 0)
  EXPECT_EQ(s.Grid2[1], white);  // (0, 1)
  EXPECT_EQ(s.Grid2[2], black);  // (1, 0)
  EXPECT_EQ(s.Grid2[3], white);  // (1, 1)
  for (int r = 0; r < 8; ++r)
    for (int c = 0; c < 8; ++c) EXPECT_EQ(s.Grid8[8 * r + c], c < 4 ? black : white);
  // 32 columns of 0 and 32 of 255 average 127.5, truncated.
  EXPECT_EQ(s.Average, Sig(127, 127, 127, 127));
  EXPECT_EQ(s.PaletteIndex, 2 * 36 + 2 * 6 + 2);
}

TEST(ImageFnSignature, EveryGridIsTheBlockAverageOfTheReduction) {
  const TBitmap32 pic = Noise(211, 143, 1);
  TBitmap32 reduced;
  HalftoneResize(pic, reduced, 64, 64);
  const ImageSignature s = ComputeSignature(pic);
  EXPECT_EQ(s.Average, BlockAverage(reduced, MakeRect(0, 0, 64, 64)));
  for (int r = 0; r < 2; ++r)
    for (int c = 0; c < 2; ++c)
      EXPECT_EQ(s.Grid2[2 * r + c],
                BlockAverage(reduced, MakeRect(32 * c, 32 * r, 32 * c + 32, 32 * r + 32)));
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c)
      EXPECT_EQ(s.Grid4[4 * r + c],
                BlockAverage(reduced, MakeRect(16 * c, 16 * r, 16 * c + 16, 16 * r + 16)));
  for (int r = 0; r < 8; ++r)
    for (int c = 0; c < 8; ++c)
      EXPECT_EQ(s.Grid8[8 * r + c],
                BlockAverage(reduced, MakeRect(8 * c, 8 * r, 8 * c + 8, 8 * r + 8)));
  EXPECT_EQ(s.PaletteIndex, ColorToPaletteIndex(s.Average));
}

TEST(ImageFnSignature, AlphaPlaysNoPart) {
  const TBitmap32 translucent = Noise(90, 70, 2, /*opaque=*/false);
  TBitmap32 opaque = translucent;
  opaque.ResetAlpha(255);
  EXPECT_EQ(ComputeSignature(translucent), ComputeSignature(opaque));
}

TEST(ImageFnSignature, EmptyPictureIsBlack) {
  ImageSignature s;
  s.PaletteIndex = 77;
  s.Grid8[5].R = 9;
  ComputeSignature(TBitmap32(), s);
  EXPECT_EQ(s, ImageSignature{});
}

// ---- GreySignatureVector ---------------------------------------------------------------

TEST(ImageFnSignature, GreyVectorLayout) {
  // 64 x 64 (the reduction is the picture itself), block (r, c) of 8 x 8 in grey
  // 4 * (8r + c): every entry differs, so a misplaced one shows.
  TBitmap32 pic(64, 64);
  for (int r = 0; r < 8; ++r)
    for (int c = 0; c < 8; ++c) {
      const std::uint8_t g = std::uint8_t(4 * (8 * r + c));
      pic.FillRectS(MakeRect(8 * c, 8 * r, 8 * c + 8, 8 * r + 8), Color32(g, g, g));
    }
  TGreySignatureVector v;
  v.fill(-1.0f);
  GreySignatureVector(pic, v);
  const ImageSignature s = ComputeSignature(pic);
  EXPECT_FLOAT_EQ(v[0], s.Average.Grey / 255.0f);
  for (int i = 0; i < 4; ++i) EXPECT_FLOAT_EQ(v[1 + i], s.Grid2[i].Grey / 255.0f) << i;
  for (int i = 0; i < 16; ++i) EXPECT_FLOAT_EQ(v[5 + i], s.Grid4[i].Grey / 255.0f) << i;
  for (int r = 0; r < 8; ++r)
    for (int c = 0; c < 8; ++c)
      EXPECT_FLOAT_EQ(v[21 + 8 * r + c], 4 * (8 * r + c) / 255.0f) << r << "," << c;
  // Grid2 (0, 1): blocks r 0..3, c 4..7, mean 4 * (8 * 1.5 + 5.5) = 70.
  EXPECT_FLOAT_EQ(v[2], 70 / 255.0f);
  // Grid4 (3, 0): blocks r 6..7, c 0..1, mean 4 * (8 * 6.5 + 0.5) = 210.
  EXPECT_FLOAT_EQ(v[5 + 12], 210 / 255.0f);
}

// ---- DrawSignaturePreview ----------------------------------------------------------------

TEST(ImageFnSignature, SignaturePreviewPaintsEachLevel) {
  ImageSignature s;
  s.Average = Sig(50, 1, 2, 3);
  for (int i = 0; i < 4; ++i) s.Grid2[i] = Sig(60 + i, 10 + i, 0, 0);
  for (int i = 0; i < 16; ++i) s.Grid4[i] = Sig(80 + i, 0, 20 + i, 0);
  for (int i = 0; i < 64; ++i) s.Grid8[i] = Sig(100 + i, 0, 0, 30 + i);
  struct Case {
    int level, n;
    const SignatureColor* grid;
  } cases[] = {{1, 1, &s.Average}, {4, 2, s.Grid2}, {16, 4, s.Grid4}, {64, 8, s.Grid8}};
  for (const Case& c : cases) {
    for (bool grey : {false, true}) {
      TBitmap32 target(5, 5);
      DrawSignaturePreview(target, s, c.level, grey);
      ASSERT_EQ(target.Width(), 64);
      ASSERT_EQ(target.Height(), 64);
      const int side = 64 / c.n;
      for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
          const SignatureColor& e = c.grid[(y / side) * c.n + x / side];
          const TColor32 want = grey ? Color32(e.Grey, e.Grey, e.Grey) : Color32(e.R, e.G, e.B);
          ASSERT_EQ(target.Pixel(x, y), want) << "level " << c.level << " at " << x << "," << y;
        }
    }
  }
}

TEST(ImageFnSignature, SignaturePreviewIgnoresOtherLevels) {
  for (int level : {0, 2, 8, 65, -1}) {
    const TBitmap32 before = Noise(6, 3, 3);
    TBitmap32 target = before;
    DrawSignaturePreview(target, ImageSignature{}, level, false);
    EXPECT_TRUE(SamePixels(target, before)) << level;
  }
}

// ---- DrawHistogram -----------------------------------------------------------------------

// A 257 x 128 picture-preview target receives the chart unscaled.
TBitmap32 Chart(const TBitmap32& src, int channel) {
  TBitmap32 target(257, 128);
  DrawHistogram(src, target, channel, THistogramSource::PicturePreview);
  return target;
}

// Height of the bar of bin i (column i + 1), counted from the bottom row up; -1 when the
// column is not one solid bar over white.
int BarHeight(const TBitmap32& chart, int bin) {
  const int x = bin + 1;
  int h = 0;
  while (h < 128 && chart.Pixel(x, 127 - h) == clBlack32) ++h;
  // Above the bar: white, except the outline's top row.
  for (int y = 127 - h; y >= 1; --y)
    if (chart.Pixel(x, y) != clWhite32) return -1;
  return h;
}

void ExpectOutline(const TBitmap32& chart) {
  for (int x = 0; x < 257; ++x) {
    EXPECT_EQ(chart.Pixel(x, 0), clBlack32);
    EXPECT_EQ(chart.Pixel(x, 127), clBlack32);
  }
  for (int y = 0; y < 128; ++y) EXPECT_EQ(chart.Pixel(0, y), clBlack32);
}

TEST(ImageFnSignature, HistogramOfOneColour) {
  const TBitmap32 src = Solid(40, 30, Color32(20, 10, 30));
  struct Case {
    int channel;
    std::vector<int> bars;  // bins with a full bar; every other bin is empty
  } cases[] = {{0, {10, 20, 30}}, {1, {20}}, {2, {10}}, {3, {30}}};
  for (const Case& c : cases) {
    const TBitmap32 chart = Chart(src, c.channel);
    ExpectOutline(chart);
    for (int i = 0; i < 255; ++i) {
      const bool bar = std::find(c.bars.begin(), c.bars.end(), i) != c.bars.end();
      // Bin 0's bar is the bottom outline row (height 1 when empty).
      EXPECT_EQ(BarHeight(chart, i), bar ? 128 : 1) << "channel " << c.channel << " bin " << i;
    }
  }
  // Three equal values share one bar.
  const TBitmap32 grey = Chart(Solid(8, 8, Color32(77, 77, 77)), 0);
  EXPECT_EQ(BarHeight(grey, 77), 128);
  EXPECT_EQ(BarHeight(grey, 78), 1);
}

TEST(ImageFnSignature, HistogramBarsScaleToTheLargestBin) {
  // A quarter of the rows in red 40, the rest red 200: bins 16384 and 49152.
  TBitmap32 src(256, 256);
  src.Clear(Color32(200, 0, 0));
  src.FillRectS(MakeRect(0, 0, 256, 64), Color32(40, 0, 0));
  const TBitmap32 chart = Chart(src, 1);
  EXPECT_EQ(BarHeight(chart, 200), 128);
  EXPECT_EQ(BarHeight(chart, 40), 16384 * 128 / 49152);  // 42
}

TEST(ImageFnSignature, HistogramOfNothingIsAnEmptyChart) {
  for (const auto& [src, channel] :
       {std::pair{TBitmap32(), 0}, std::pair{Solid(4, 4, clWhite32), 4},
        std::pair{Solid(4, 4, clWhite32), -1}}) {
    const TBitmap32 chart = Chart(src, channel);
    ExpectOutline(chart);
    for (int i = 1; i < 255; ++i) EXPECT_EQ(BarHeight(chart, i), 1) << i;
  }
}

TEST(ImageFnSignature, HistogramTargetSize) {
  const TBitmap32 src = Noise(50, 50, 4);
  TBitmap32 bitmapTarget(300, 10);
  DrawHistogram(src, bitmapTarget, 0, THistogramSource::Bitmap);
  EXPECT_EQ(bitmapTarget.Width(), 128);
  EXPECT_EQ(bitmapTarget.Height(), 48);
  TBitmap32 preview(90, 31);
  preview.Clear(0x00000000u);
  DrawHistogram(src, preview, 0, THistogramSource::PicturePreview);
  EXPECT_EQ(preview.Width(), 90);
  EXPECT_EQ(preview.Height(), 31);
  for (int x = 0; x < 90; ++x) EXPECT_EQ(AlphaOf(preview.Pixel(x, 15)), 255);
  TBitmap32 none;
  DrawHistogram(src, none, 0, THistogramSource::PicturePreview);
  EXPECT_TRUE(none.Empty());
}

TEST(ImageFnSignature, HistogramOfItsOwnTarget) {
  TBitmap32 pic = Solid(60, 60, Color32(5, 5, 5));
  DrawHistogram(pic, pic, 0, THistogramSource::Bitmap);
  TBitmap32 expected;
  DrawHistogram(Solid(60, 60, Color32(5, 5, 5)), expected, 0, THistogramSource::Bitmap);
  EXPECT_TRUE(SamePixels(pic, expected));
}

}  // namespace
}  // namespace tessaro
