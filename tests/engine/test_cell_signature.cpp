// Cell signatures over the main image, the main image's preparation and the layer
// mask weights.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "engine/layers.h"
#include "image/ooimgfunction2007.h"
#include "layer_fixtures.h"

namespace tessaro {
namespace {

using engine_testing::MakeState;
using engine_testing::Noise;
using engine_testing::Solid;

// The signature as drawing with TBitmap32 itself gives it: an opaque stretched DrawTo
// of the mapped source rectangle into a black scratch.
ImageSignature ReferenceSignature(const TBitmap32& main, int mw, int mh, const TRect& r) {
  TBitmap32 scratch(r.Width(), r.Height());
  scratch.Clear(clBlack32);
  const TRect k{std::clamp(r.Left, 0, mw), std::clamp(r.Top, 0, mh), std::clamp(r.Right, 0, mw),
                std::clamp(r.Bottom, 0, mh)};
  const int w = main.Width(), h = main.Height();
  TBitmap32 source(main);
  source.DrawMode = dmOpaque;
  source.DrawTo(scratch, MakeRect(k.Left - r.Left, k.Top - r.Top, k.Right - r.Left, k.Bottom - r.Top),
                MakeRect(w * k.Left / mw, h * k.Top / mh, w * k.Right / mw, h * k.Bottom / mh));
  return ComputeSignature(scratch);
}

TEST(CellSignature, MatchesAnOpaqueStretchedDraw) {
  const TRect rects[] = {
      MakeRect(0, 0, 48, 48),     MakeRect(17, 33, 61, 70), MakeRect(-20, -10, 28, 38),
      MakeRect(80, 60, 130, 110), MakeRect(5, 5, 6, 90),    MakeRect(0, 0, 100, 75),
  };
  const struct {
    int mainW, mainH;
  } mains[] = {{100, 75}, {37, 29}, {250, 190}};
  for (const auto& m : mains) {
    for (TStretchFilter filter : {sfNearest, sfLinear, sfSpline}) {
      TBitmap32 main = Noise(m.mainW, m.mainH, 11);
      main.StretchFilter = filter;
      main.DrawMode = dmBlend;  // as the render job leaves it; the cell copy is opaque anyway
      main.MasterAlpha = 100;
      for (const TRect& r : rects) {
        SCOPED_TRACE(::testing::Message() << m.mainW << "x" << m.mainH << " filter " << filter
                                          << " rect " << r.Left << "," << r.Top);
        EXPECT_EQ(ComputeCellSignature(main, 100, 75, r), ReferenceSignature(main, 100, 75, r));
      }
    }
  }
}

TEST(CellSignature, TheFilterOfTheMainImageIsUsed) {
  TBitmap32 main = Noise(10, 10, 3);
  const TRect r = MakeRect(0, 0, 80, 80);
  main.StretchFilter = sfNearest;
  const ImageSignature nearest = ComputeCellSignature(main, 100, 100, r);
  main.StretchFilter = sfLinear;
  EXPECT_NE(nearest, ComputeCellSignature(main, 100, 100, r));
}

TEST(CellSignature, ThePartOutsideTheMosaicIsBlack) {
  const TBitmap32 white = Solid(100, 100, clWhite32);
  const ImageSignature s = ComputeCellSignature(white, 100, 100, MakeRect(-24, 0, 24, 48));
  const SignatureColor black{}, full{255, 255, 255, 255};
  EXPECT_EQ(s.Grid2[0], black);
  EXPECT_EQ(s.Grid2[2], black);
  EXPECT_EQ(s.Grid2[1], full);
  EXPECT_EQ(s.Grid2[3], full);
  EXPECT_EQ(s.Average.R, 127);
}

TEST(CellSignature, DegenerateInputsGiveTheSignatureOfBlack) {
  const ImageSignature black = ComputeSignature(Solid(8, 8, clBlack32));
  const TBitmap32 white = Solid(50, 50, clWhite32);
  EXPECT_EQ(ComputeCellSignature(white, 0, 50, MakeRect(0, 0, 10, 10)), black);
  EXPECT_EQ(ComputeCellSignature(white, 50, -1, MakeRect(0, 0, 10, 10)), black);
  EXPECT_EQ(ComputeCellSignature(TBitmap32(), 50, 50, MakeRect(0, 0, 10, 10)), black);
  EXPECT_EQ(ComputeCellSignature(white, 50, 50, MakeRect(10, 10, 10, 20)), black);
  EXPECT_EQ(ComputeCellSignature(white, 50, 50, MakeRect(10, 10, 0, 0)), black);
  EXPECT_EQ(ComputeCellSignature(white, 50, 50, MakeRect(60, 60, 90, 90)), black);
  // Extreme coordinates neither overflow nor allocate without bound.
  EXPECT_EQ(ComputeCellSignature(white, 50, 50, MakeRect(INT32_MIN, INT32_MIN, INT32_MIN + 5, INT32_MIN + 5)),
            black);
  const ImageSignature wide = ComputeCellSignature(white, 50, 50, MakeRect(-2000000000, 0, 2000000000, 50));
  EXPECT_EQ(wide.Average.Grey, 0);  // the mosaic is a sliver of it
}

TEST(CellSignature, RectanglesBeyondTheEdgeLimitAreReducedNotDropped) {
  const TBitmap32 main = Solid(100, 10, Color32(200, 100, 50));
  const ImageSignature colour = ComputeSignature(Solid(8, 8, Color32(200, 100, 50)));
  EXPECT_EQ(ComputeCellSignature(main, 100000, 10, MakeRect(0, 0, 100000, 10)), colour);
  EXPECT_EQ(ComputeCellSignature(main, 20000, 3000, MakeRect(0, 0, 20000, 3000)), colour);
  // Half outside: still half black after the reduction.
  const ImageSignature half = ComputeCellSignature(main, 10000, 3000, MakeRect(0, 0, 20000, 3000));
  EXPECT_EQ(half.Grid2[0], colour.Average);
  EXPECT_EQ(half.Grid2[1], SignatureColor{});
}

// ---- Main image preparation --------------------------------------------------------

TEST(PrepareMainImage, SizeRule) {
  const struct {
    int w, h;
    std::int64_t cells;
    int ew, eh;
  } cases[] = {
      {10, 10, 441, 705, 705},        // f = 70.56 on each axis
      {4000, 3000, 20750, 4000, 3000},  // already enough pixels
      {100, 100, 625, 100, 100},      // exactly 16 per cell
      {100, 50, 400, 128, 64},        // f = 1.28
      {0, 0, 441, 0, 0},
      {10, 10, 0, 10, 10},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.w << "x" << c.h << " " << c.cells);
    EXPECT_EQ(PreparedMainImageSize(c.w, c.h, c.cells), (TImageSize{c.ew, c.eh}));
  }
  // A tiny picture under very many cells grows only to the limit.
  for (std::int64_t cells : {std::int64_t(750000), std::int64_t(6) * kMaxLayerCells}) {
    const TImageSize s = PreparedMainImageSize(3, 2, cells);
    EXPECT_GT(s.Width, 3);
    EXPECT_LE(std::int64_t(s.Width) * s.Height, kMaxPreparedPixels);
    EXPECT_GT(std::int64_t(s.Width) * s.Height, kMaxPreparedPixels / 2);
  }
}

TEST(PrepareMainImage, EnlargesAndSetsTheDrawingModes) {
  auto state = MakeState(1024, 1024, 48, 48, 10, 10);
  state->CurrentProject.Pattern.Layers[1] = engine_testing::Layer(1, 1);
  PrepareMainImage(*state);
  EXPECT_EQ(state->MainImage.Width(), 705);
  EXPECT_EQ(state->MainImage.Height(), 705);
  EXPECT_EQ(state->MainImage.DrawMode, dmBlend);
  EXPECT_EQ(state->MainImage.CombineMode, cmBlend);
  EXPECT_EQ(state->MainImage.StretchFilter, sfSpline);
  EXPECT_EQ(state->MainImage.MasterAlpha, 255);

  // Enough pixels: the picture is left as it is.
  auto big = MakeState(1024, 1024, 48, 48, 200, 100);
  big->CurrentProject.Pattern.Layers[1] = engine_testing::Layer(1, 1);
  const TBitmap32 before = big->MainImage;
  PrepareMainImage(*big);
  ASSERT_EQ(big->MainImage.Width(), 200);
  EXPECT_EQ(std::memcmp(big->MainImage.Bits(), before.Bits(), 200 * 100 * 4), 0);

  auto empty = MakeState(1024, 1024, 48, 48, 0, 0);
  empty->CurrentProject.Pattern.Layers[1] = engine_testing::Layer(1, 1);
  PrepareMainImage(*empty);
  EXPECT_TRUE(empty->MainImage.Empty());
}

// ---- Layer mask weights --------------------------------------------------------------

TEST(LayerMaskWeights, FromMasksFullForUnmaskedLayersKeptForDisabledOnes) {
  engine_testing::TempDir dir;
  TBitmap32 half = Solid(64, 64, clBlack32);
  half.FillRectS(MakeRect(0, 0, 32, 64), clWhite32);
  half.SaveToFileWithDPI(dir.path() / "half.bmp", 72);
  std::ofstream(dir.path() / "broken.bmp") << "BM broken";

  TAppState state;
  TTSPattern& p = state.CurrentProject.Pattern;
  p.Layers[1] = engine_testing::Layer(1, 1);
  p.Layers[1].HasMask = 1;
  p.Layers[1].MaskImage = dir.path() / "half.bmp";
  p.Layers[2] = engine_testing::Layer(1, 1);  // no mask
  p.Layers[3] = engine_testing::Layer(1, 1);
  p.Layers[3].HasMask = 1;
  p.Layers[3].MaskImage = dir.path() / "broken.bmp";
  for (auto& w : state.LayerMaskWeights) w.fill(0.25f);

  ComputeLayerMaskSignatures(state);
  TGreySignatureVector expected;
  GreySignatureVector(half, expected);
  EXPECT_EQ(state.LayerMaskWeights[1], expected);
  EXPECT_EQ(state.LayerMaskWeights[1][1], 1.0f);  // top-left 2x2 block: white
  EXPECT_EQ(state.LayerMaskWeights[1][2], 0.0f);
  for (int layer : {2, 3})
    for (float w : state.LayerMaskWeights[layer]) ASSERT_EQ(w, 1.0f) << layer;
  for (int layer : {4, 5, 6})
    for (float w : state.LayerMaskWeights[layer]) ASSERT_EQ(w, 0.25f) << layer;
}

}  // namespace
}  // namespace tessaro
