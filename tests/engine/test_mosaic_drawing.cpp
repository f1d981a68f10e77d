// Drawing cells into pages: grouping and decoding, placement on pages, the picture's
// preparation (shifts, flips, rotation, mask, pen alpha), the measures, the main image
// blend, skipped cells, progress, the movie's DrawCellAt and the main image background.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "engine/layers.h"
#include "engine/mosaic_drawing.h"
#include "engine/mosaic_drawing_internal.h"
#include "image/ooimgfunction2007.h"
#include "layer_fixtures.h"

namespace tessaro {
namespace {

using engine_testing::Noise;
using engine_testing::SameCells;
using engine_testing::Solid;
using engine_testing::TempDir;
using engine_testing::TRecordingProgress;

constexpr TColor32 kCanvas = 0xFF102030u;
constexpr TColor32 kRed = 0xFFFF0000u, kGreen = 0xFF00FF00u, kBlue = 0xFF0000FFu,
                   kWhite = 0xFFFFFFFFu, kBlack = 0xFF000000u;

std::uint64_t Loads() { return drawing_internal::PictureLoadCount(); }

// Four solid quadrants: top-left tl, top-right tr, bottom-left bl, bottom-right br.
TBitmap32 Quadrants(int w, int h, TColor32 tl, TColor32 tr, TColor32 bl, TColor32 br) {
  TBitmap32 b(w, h);
  b.FillRectS(MakeRect(0, 0, w / 2, h / 2), tl);
  b.FillRectS(MakeRect(w / 2, 0, w, h / 2), tr);
  b.FillRectS(MakeRect(0, h / 2, w / 2, h), bl);
  b.FillRectS(MakeRect(w / 2, h / 2, w, h), br);
  return b;
}

// A project over a solid main image of the mosaic's size, pictures as BMP files in a
// scratch folder, one active layer filled by hand and a page over the whole mosaic.
// Geometry is kept exact: no crop, nearest filter, no main image blend (an alpha
// curve of zeros) unless a test asks otherwise.
class DrawFixture {
 public:
  explicit DrawFixture(int mosaicW = 64, int mosaicH = 32, int cellW = 16, int cellH = 16,
                       TColor32 mainColour = 0xFF808080u)
      : state(std::make_unique<TAppState>()) {
    TtsProject07& p = Project();
    p.MosaicWidth = mosaicW;
    p.MosaicHeight = mosaicH;
    p.CellWidth = cellW;
    p.CellHeight = cellH;
    p.CropCell = 0;
    p.MonochromeCell = 0;
    p.StretchFilter = sfNearest;
    p.AlphaBlendPen = 255;
    p.BorderSize = 0;
    p.BorderColor = 0;
    p.TilePreviewOnly = 0;
    p.AlphaCurve.fill(0);
    state->MainImage = Solid(mosaicW, mosaicH, mainColour);
    Layer(1);
    SetPage(MakeRect(0, 0, mosaicW, mosaicH));
  }

  TtsProject07& Project() { return state->CurrentProject; }
  TTSLayer& Layer(int n) {
    TTSLayer& l = Project().Layers[std::size_t(n)];
    l.Active = 1;
    return l;
  }
  TMosaicCell& Cell(int layer, int i) { return Project().Layers[std::size_t(layer)].Cells[std::size_t(i)]; }

  int AddPicture(const TBitmap32& picture) {
    const int index = int(state->RenderCellImgList.size());
    const std::filesystem::path file = dir / ("picture" + std::to_string(index) + ".bmp");
    TBitmap32 copy(picture);
    copy.SaveToFileWithDPI(file, 72);
    state->RenderCellImgList.push_back(file.string());
    return index;
  }
  std::string PictureFile(int index) const { return state->RenderCellImgList[std::size_t(index)]; }

  // An assigned cell over r showing picture, its signature taken from the main image.
  int AddCell(int layer, const TRect& r, int picture) {
    TTSLayer& l = Layer(layer);
    TMosaicCell cell;
    cell.Bounds = r;
    cell.Signature = ComputeCellSignature(*state, r);
    cell.PictureIndex = picture;
    cell.Assigned = 1;
    l.Cells.push_back(cell);
    l.CellCount = std::int32_t(l.Cells.size());
    return int(l.Cells.size()) - 1;
  }

  void SetPage(const TRect& page) {
    page_ = page;
    state->OutputBitmap.SetSize(page.Width(), page.Height());
    state->OutputBitmap.Clear(kCanvas);
  }
  const TRect& Page() const { return page_; }
  TBitmap32& Out() { return state->OutputBitmap; }
  void DrawPage(int threads = kDefaultDrawThreads) { DrawAllLayers(*state, page_, nullptr, threads); }

  TempDir dir;
  std::unique_ptr<TAppState> state;

 private:
  TRect page_;
};

// Every pixel of r (page coordinates, clipped) has colour c; reports the first that
// has not.
::testing::AssertionResult AllPixels(const TBitmap32& b, const TRect& r, TColor32 c) {
  const TRect k = IntersectRect(r, b.BoundsRect());
  for (int y = k.Top; y < k.Bottom; ++y)
    for (int x = k.Left; x < k.Right; ++x)
      if (b.Pixel(x, y) != c)
        return ::testing::AssertionFailure()
               << "pixel (" << x << ", " << y << ") is " << std::hex << b.Pixel(x, y) << ", not " << c;
  return ::testing::AssertionSuccess();
}

bool SameBitmap(const TBitmap32& a, const TBitmap32& b) {
  return a.Width() == b.Width() && a.Height() == b.Height() &&
         std::memcmp(a.Bits(), b.Bits(), std::size_t(a.Width()) * std::size_t(a.Height()) * 4) == 0;
}

// ---- Decoding once per page and layer -------------------------------------------------

TEST(DrawLayer, DecodesEachPictureOncePerPageAndLayer) {
  struct Placed {
    int layer;
    int picture;  // 2 is a picture whose file is removed
    bool onPage;
  };
  const struct {
    const char* name;
    std::vector<Placed> cells;
    std::uint64_t decodes;
  } cases[] = {
      {"one picture for three cells", {{1, 0, true}, {1, 0, true}, {1, 0, true}}, 1},
      {"two pictures interleaved", {{1, 0, true}, {1, 1, true}, {1, 0, true}, {1, 1, true}}, 2},
      {"a cell off the page", {{1, 0, true}, {1, 1, false}}, 1},
      {"a missing file is not decoded", {{1, 0, true}, {1, 2, true}, {1, 2, true}}, 1},
      {"each layer decodes its own", {{1, 0, true}, {1, 0, true}, {2, 0, true}, {2, 0, true}}, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    DrawFixture f;
    for (int k = 0; k < 3; ++k) f.AddPicture(Solid(16, 16, k == 0 ? kRed : kGreen));
    std::filesystem::remove(f.PictureFile(2));
    int column = 0;
    for (const Placed& cell : c.cells) {
      const int left = cell.onPage ? 16 * (column++ % 4) : 200;
      f.AddCell(cell.layer, MakeRect(left, 0, left + 16, 16), cell.picture);
    }
    for (int threads : {1, 2}) {
      const std::uint64_t before = Loads();
      f.DrawPage(threads);
      EXPECT_EQ(Loads() - before, c.decodes) << threads << " threads";
    }
    std::size_t next[3] = {0, 0, 0};
    for (const Placed& cell : c.cells)
      EXPECT_EQ(f.Cell(cell.layer, int(next[cell.layer]++)).Drawn, cell.onPage && cell.picture != 2);
  }
}

TEST(DrawCell, WithoutAPreloadedPictureDecodesTheFileEachTime) {
  DrawFixture f;
  const int pic = f.AddPicture(Solid(16, 16, kRed));
  f.AddCell(1, MakeRect(0, 0, 16, 16), pic);
  const TBitmap32 preloaded = Solid(16, 16, kBlue);
  const std::uint64_t before = Loads();
  DrawCell(*f.state, 1, 0, f.Out(), nullptr, false, f.Page());
  DrawCell(*f.state, 1, 0, f.Out(), nullptr, false, f.Page());
  EXPECT_EQ(Loads() - before, 2u);
  EXPECT_TRUE(AllPixels(f.Out(), MakeRect(0, 0, 16, 16), kRed));
  // The preloaded picture stands for the file, which is not read.
  DrawCell(*f.state, 1, 0, f.Out(), &preloaded, true, f.Page());
  EXPECT_EQ(Loads() - before, 2u);
  EXPECT_TRUE(AllPixels(f.Out(), MakeRect(0, 0, 16, 16), kBlue));
}

// ---- Pages -----------------------------------------------------------------------------

TEST(DrawLayer, ACellAcrossAPageBorderIsDrawnOnEachPageMovedByItsOrigin) {
  DrawFixture f(64, 32);
  const int pic = f.AddPicture(Solid(16, 16, kRed));
  f.AddCell(1, MakeRect(24, 8, 40, 24), pic);   // across x = 32
  f.AddCell(1, MakeRect(0, 16, 16, 32), pic);   // left page only
  f.AddCell(1, MakeRect(48, 0, 64, 16), pic);   // right page only

  const std::uint64_t before = Loads();
  f.SetPage(MakeRect(0, 0, 32, 32));
  f.DrawPage();
  EXPECT_TRUE(AllPixels(f.Out(), MakeRect(24, 8, 32, 24), kRed));
  EXPECT_TRUE(AllPixels(f.Out(), MakeRect(0, 16, 16, 32), kRed));
  EXPECT_TRUE(AllPixels(f.Out(), MakeRect(0, 0, 24, 8), kCanvas));
  EXPECT_TRUE(AllPixels(f.Out(), MakeRect(16, 24, 32, 32), kCanvas));
  EXPECT_EQ(f.Cell(1, 2).Drawn, 0);

  f.SetPage(MakeRect(32, 0, 64, 32));
  f.DrawPage();
  EXPECT_TRUE(AllPixels(f.Out(), MakeRect(0, 8, 8, 24), kRed));
  EXPECT_TRUE(AllPixels(f.Out(), MakeRect(16, 0, 32, 16), kRed));
  EXPECT_TRUE(AllPixels(f.Out(), MakeRect(8, 16, 16, 32), kCanvas));
  EXPECT_TRUE(AllPixels(f.Out(), MakeRect(0, 24, 32, 32), kCanvas));
  EXPECT_EQ(f.Cell(1, 1).Drawn, 1);  // drawn on the first page, not touched by the second
  EXPECT_EQ(Loads() - before, 2u);   // once per page
}

TEST(DrawLayer, ACellTouchesAPageOnlyThroughACorner) {
  // Corners count with their edges included; a cell larger than the page on every side
  // has no corner in it and is left out, as the touching rule says.
  DrawFixture f(64, 64);
  const int pic = f.AddPicture(Solid(16, 16, kRed));
  f.AddCell(1, MakeRect(0, 0, 64, 64), pic);
  f.AddCell(1, MakeRect(0, 0, 16, 16), pic);  // its bottom-right corner (16, 16) is on the edge
  f.SetPage(MakeRect(16, 16, 48, 48));
  f.DrawPage();
  EXPECT_EQ(f.Cell(1, 0).Drawn, 0);
  EXPECT_EQ(f.Cell(1, 1).Drawn, 1);
  EXPECT_TRUE(AllPixels(f.Out(), f.Out().BoundsRect(), kCanvas));  // the corner cell ends at 16
}

// ---- The picture's preparation --------------------------------------------------------------

TEST(DrawCell, RotationLeavesBandsOfTheBorderColour) {
  const struct {
    int angle;
    TColor32 band;  // at the left and right ends of the 32 x 16 cell
  } cases[] = {{0, kGreen}, {90, kBlue}, {180, kGreen}, {270, kBlue}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.angle);
    DrawFixture f;
    f.Project().BorderColor = 0x00FF0000u;  // blue as 0x00BBGGRR
    const int pic = f.AddPicture(Solid(32, 16, kGreen));
    f.AddCell(1, MakeRect(0, 0, 32, 16), pic);
    f.Cell(1, 0).RotationAngle = c.angle;
    f.DrawPage();
    EXPECT_TRUE(AllPixels(f.Out(), MakeRect(0, 0, 8, 16), c.band));
    EXPECT_TRUE(AllPixels(f.Out(), MakeRect(24, 0, 32, 16), c.band));
    EXPECT_TRUE(AllPixels(f.Out(), MakeRect(9, 0, 23, 16), kGreen));
  }
}

TEST(DrawCell, FlipsMirrorThePicture) {
  const struct {
    bool h, v;
    TColor32 topLeft, topRight, bottomLeft;
  } cases[] = {
      {false, false, kRed, kGreen, kBlue},
      {true, false, kGreen, kRed, kWhite},
      {false, true, kBlue, kWhite, kRed},
      {true, true, kWhite, kBlue, kGreen},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "h " << c.h << " v " << c.v);
    DrawFixture f;
    const int pic = f.AddPicture(Quadrants(16, 16, kRed, kGreen, kBlue, kWhite));
    f.AddCell(1, MakeRect(16, 0, 32, 16), pic);
    f.Cell(1, 0).FlipHorz = c.h;
    f.Cell(1, 0).FlipVert = c.v;
    f.DrawPage();
    EXPECT_TRUE(AllPixels(f.Out(), MakeRect(16, 0, 24, 8), c.topLeft));
    EXPECT_TRUE(AllPixels(f.Out(), MakeRect(24, 0, 32, 8), c.topRight));
    EXPECT_TRUE(AllPixels(f.Out(), MakeRect(16, 8, 24, 16), c.bottomLeft));
  }
}

TEST(DrawCell, TheColourCorrectionIsTakenOffThePicture) {
  const struct {
    std::int32_t r, g, b;
    TColor32 drawn;
  } cases[] = {
      {0, 0, 0, Color32(100, 110, 120)},
      {20, -10, 5, Color32(80, 120, 115)},
      {-200, 150, 0, Color32(255, 0, 120)},                 // clamped at both ends
      {INT32_MIN, INT32_MAX, 0, Color32(255, 0, 120)},      // from a damaged cell file
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.r << " " << c.g << " " << c.b);
    DrawFixture f;
    const int pic = f.AddPicture(Solid(16, 16, Color32(100, 110, 120)));
    f.AddCell(1, MakeRect(0, 0, 16, 16), pic);
    f.Cell(1, 0).EnhanceR = c.r;
    f.Cell(1, 0).EnhanceG = c.g;
    f.Cell(1, 0).EnhanceB = c.b;
    f.DrawPage();
    EXPECT_TRUE(AllPixels(f.Out(), MakeRect(0, 0, 16, 16), c.drawn));
  }
}

TEST(DrawCell, CropAndMonochromePrepareThePictureFile) {
  // 48 x 16: red, green, red thirds. Cropped to the 16 x 16 cell aspect only the green
  // centre is left; uncropped the whole strip is squeezed into the cell.
  TBitmap32 strip = Solid(48, 16, kRed);
  strip.FillRectS(MakeRect(16, 0, 32, 16), kGreen);
  const struct {
    bool crop, mono;
    TColor32 left, centre;
  } cases[] = {
      {false, false, kRed, kGreen},
      {true, false, kGreen, kGreen},
      {false, true, Color32(76, 76, 76), Color32(149, 149, 149)},
      {true, true, Color32(149, 149, 149), Color32(149, 149, 149)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "crop " << c.crop << " mono " << c.mono);
    DrawFixture f;
    f.Project().CropCell = c.crop;
    f.Project().MonochromeCell = c.mono;
    const int pic = f.AddPicture(strip);
    f.AddCell(1, MakeRect(0, 0, 16, 16), pic);
    f.AddCell(1, MakeRect(16, 0, 32, 16), pic);  // through DrawLayer's preloaded picture
    f.DrawPage();
    f.Out().FillRectS(MakeRect(0, 0, 16, 16), kCanvas);
    DrawCell(*f.state, 1, 0, f.Out(), nullptr, false, f.Page());  // from the file
    for (int x0 : {0, 16}) {
      EXPECT_TRUE(AllPixels(f.Out(), MakeRect(x0, 0, x0 + 4, 16), c.left)) << x0;
      EXPECT_TRUE(AllPixels(f.Out(), MakeRect(x0 + 6, 0, x0 + 10, 16), c.centre)) << x0;
    }
  }
}

TEST(DrawCell, PenAlphaAndMaskDecideTheCover) {
  enum Mask { kNone, kFullWhite, kLeftHalf, kUndecodable };
  const struct {
    const char* name;
    int pen;
    Mask mask;
    int borderSize;
  } cases[] = {
      {"pen 255 covers fully", 255, kNone, 0},
      {"pen 0 draws nothing", 0, kNone, 0},
      {"pen 128 is translucent", 128, kNone, 0},
      {"a mask makes the shape opaque", 128, kFullWhite, 0},
      {"outside the shape stays", 255, kLeftHalf, 0},
      {"a border band along the shape", 255, kFullWhite, 4},
      {"a mask that did not decode draws uncut", 128, kUndecodable, 0},
  };
  const TColor32 picture = Color32(200, 180, 40);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    DrawFixture f;
    f.Project().AlphaBlendPen = c.pen;
    f.Project().BorderSize = c.borderSize;
    f.Project().BorderColor = 0x00FF0000u;  // blue
    TTSLayer& layer = f.Layer(1);
    layer.Pattern.HasMask = c.mask != kNone;
    if (c.mask == kFullWhite) layer.MaskBitmap = Solid(16, 16, kWhite);
    if (c.mask == kLeftHalf) layer.MaskBitmap = Quadrants(16, 16, kWhite, kBlack, kWhite, kBlack);
    const int pic = f.AddPicture(Solid(16, 16, picture));
    f.AddCell(1, MakeRect(16, 0, 32, 16), pic);
    f.DrawPage();
    const TRect cell = MakeRect(16, 0, 32, 16);
    switch (c.mask) {
      case kNone:
        if (c.pen == 255) {
          EXPECT_TRUE(AllPixels(f.Out(), cell, picture));
        } else if (c.pen == 0) {
          EXPECT_TRUE(AllPixels(f.Out(), cell, kCanvas));
        } else {
          const TColor32 mixed = f.Out().Pixel(20, 5);
          EXPECT_TRUE(AllPixels(f.Out(), cell, mixed));
          EXPECT_GT(RedOf(mixed), RedOf(kCanvas));
          EXPECT_LT(RedOf(mixed), RedOf(picture));
          EXPECT_LT(BlueOf(mixed), BlueOf(kCanvas));
          EXPECT_GT(BlueOf(mixed), BlueOf(picture));
        }
        break;
      case kFullWhite:
        if (c.borderSize == 0) {
          EXPECT_TRUE(AllPixels(f.Out(), cell, picture));
        } else {
          EXPECT_TRUE(AllPixels(f.Out(), MakeRect(16, 0, 32, 2), kBlue));
          EXPECT_TRUE(AllPixels(f.Out(), MakeRect(16, 0, 18, 16), kBlue));
          EXPECT_TRUE(AllPixels(f.Out(), MakeRect(30, 0, 32, 16), kBlue));
          EXPECT_TRUE(AllPixels(f.Out(), MakeRect(19, 3, 29, 13), picture));
        }
        break;
      case kLeftHalf:
        EXPECT_TRUE(AllPixels(f.Out(), MakeRect(16, 0, 23, 16), picture));
        EXPECT_TRUE(AllPixels(f.Out(), MakeRect(25, 0, 32, 16), kCanvas));
        break;
      case kUndecodable:
        EXPECT_TRUE(AllPixels(f.Out(), cell, f.Out().Pixel(20, 5)));
        EXPECT_NE(f.Out().Pixel(20, 5), kCanvas);
        EXPECT_NE(f.Out().Pixel(20, 5), picture);  // translucent: the pen alpha holds
        break;
    }
    EXPECT_TRUE(AllPixels(f.Out(), MakeRect(0, 0, 16, 32), kCanvas));  // nothing spills
  }
}

// ---- Measures and the main image blend ------------------------------------------------------

TEST(DrawCell, RecordsTheMeasuresOfThePictureBeforeAndAfterTheBlend) {
  const TColor32 cellColour = Color32(130, 100, 70);
  const struct {
    const char* name;
    TColor32 picture;
    bool defaultCurve;
    int curveIndex, curveValue;  // one entry of an otherwise zero curve
    std::int32_t mean, largest, blendAlpha, drawn, final;
  } cases[] = {
      // The picture's colour is the cell's: deviation 0, and AlphaCurve[0] of the
      // default points is 0, so nothing is blended.
      {"equal colours, default curve", cellColour, true, 0, 0, 0, 0, 0, 0, 0},
      {"equal colours, AlphaCurve[0] set", cellColour, false, 0, 77, 0, 0, 77, 0, 0},
      // dB = 30, dG = 0, dR = -30: mean 20, largest 30; 64 x 1800 div 192 = 600 -> 24.
      // The default curve gives 25 at 20 (between (15, 20) and (35, 40)).
      {"default curve at 20", Color32(100, 100, 100), true, 0, 0, 20, 30, 25, 24, -1},
      {"no blend", Color32(100, 100, 100), false, 20, 0, 20, 30, 0, 24, 24},
      {"the curve is read at the mean", Color32(100, 100, 100), false, 30, 255, 20, 30, 0, 24, 24},
      {"full blend gives the main image", Color32(100, 100, 100), false, 20, 255, 20, 30, 255, 24, 0},
      {"a curve beyond 255 blends fully", Color32(100, 100, 100), false, 20, 400, 20, 30, 400, 24, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    DrawFixture f(64, 32, 16, 16, cellColour);
    if (c.defaultCurve) {
      f.Project().AlphaCurvePoints = kDefaultAlphaCurvePoints;
      f.Project().BuildCurveTables();
    } else {
      f.Project().AlphaCurve[std::size_t(c.curveIndex)] = c.curveValue;
    }
    const int pic = f.AddPicture(Solid(16, 16, c.picture));
    f.AddCell(1, MakeRect(0, 0, 16, 16), pic);
    f.DrawPage();
    const TMosaicCell& cell = f.Cell(1, 0);
    EXPECT_EQ(cell.MeanDeviation, c.mean);
    EXPECT_EQ(cell.MaxDeviation, c.largest);
    EXPECT_EQ(cell.BlendAlpha, c.blendAlpha);
    EXPECT_EQ(cell.DrawnDifference, c.drawn);
    if (c.final >= 0) {
      EXPECT_EQ(cell.FinalDifference, c.final);
    } else {  // a partial blend moves the picture part of the way
      EXPECT_GT(cell.FinalDifference, 0);
      EXPECT_LT(cell.FinalDifference, c.drawn);
    }
    if (c.final == 0 && c.blendAlpha >= 255) {
      EXPECT_TRUE(AllPixels(f.Out(), MakeRect(0, 0, 16, 16), cellColour));
    }
  }
}

TEST(DrawCell, TheMainImageIsBlendedOnlyOverTheVisiblePart) {
  // Main image light grey, pictures black, every deviation blended fully.
  const TColor32 main = Color32(200, 200, 200);
  const struct {
    const char* name;
    TRect bounds;
    TRect blended;  // page pixels that show the main image
    TRect black;    // page pixels that keep the picture
  } cases[] = {
      {"half outside on the right", MakeRect(16, 0, 48, 32), MakeRect(16, 0, 32, 32), MakeRect(32, 0, 48, 32)},
      {"half outside on the left", MakeRect(-16, 0, 16, 32), MakeRect(0, 0, 16, 32), MakeRect(-16, 0, 0, 32)},
      {"a divided cell inside", MakeRect(8, 8, 24, 24), MakeRect(8, 8, 24, 24), MakeRect(0, 0, 0, 0)},
      {"wholly outside the mosaic", MakeRect(40, 0, 56, 16), MakeRect(0, 0, 0, 0), MakeRect(40, 0, 56, 16)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    DrawFixture f(32, 32, 32, 32, main);
    f.Project().AlphaCurve.fill(255);
    f.SetPage(MakeRect(-16, 0, 64, 32));  // wider than the mosaic, to see the outside
    const int pic = f.AddPicture(Solid(32, 32, kBlack));
    f.AddCell(1, c.bounds, pic);
    f.DrawPage();
    auto onPage = [&](const TRect& r) { return MakeRect(r.Left + 16, r.Top, r.Right + 16, r.Bottom); };
    EXPECT_TRUE(AllPixels(f.Out(), onPage(c.blended), main));
    EXPECT_TRUE(AllPixels(f.Out(), onPage(c.black), kBlack));
  }
}

// ---- Cells that are skipped --------------------------------------------------------------------

TEST(DrawCell, CellsWithoutAPictureFileAreSkipped) {
  enum Fault { kNegativeIndex, kIndexBeyondList, kRemovedFile, kUndecodableFile, kFolder, kUnassigned };
  const struct {
    const char* name;
    Fault fault;
  } cases[] = {
      {"index -1", kNegativeIndex},       {"index beyond the list", kIndexBeyondList},
      {"file removed", kRemovedFile},     {"file that does not decode", kUndecodableFile},
      {"a folder", kFolder},              {"an unassigned cell", kUnassigned},
  };
  enum Caller { kLayer, kCell, kCellAt };
  for (const auto& c : cases) {
    for (Caller caller : {kLayer, kCell, kCellAt}) {
      SCOPED_TRACE(::testing::Message() << c.name << ", caller " << caller);
      DrawFixture f;
      const int good = f.AddPicture(Solid(16, 16, kRed));
      const int bad = f.AddPicture(Solid(16, 16, kGreen));
      switch (c.fault) {
        case kRemovedFile: std::filesystem::remove(f.PictureFile(bad)); break;
        case kUndecodableFile: {
          std::ofstream(f.PictureFile(bad), std::ios::binary | std::ios::trunc) << "BM not a bitmap";
          break;
        }
        case kFolder:
          std::filesystem::remove(f.PictureFile(bad));
          std::filesystem::create_directory(f.PictureFile(bad));
          break;
        default: break;
      }
      const int index = c.fault == kNegativeIndex ? -1 : c.fault == kIndexBeyondList ? 7 : bad;
      f.AddCell(1, MakeRect(0, 0, 16, 16), index);
      f.AddCell(1, MakeRect(16, 0, 32, 16), good);
      TMosaicCell& skipped = f.Cell(1, 0);
      skipped.Assigned = c.fault != kUnassigned;
      skipped.FinalDifference = 99;
      skipped.DrawnDifference = 98;
      skipped.BlendAlpha = 97;
      skipped.Drawn = 1;  // a mark of an earlier page; DrawLayer clears it
      switch (caller) {
        case kLayer: f.DrawPage(); break;
        case kCell: DrawCell(*f.state, 1, 0, f.Out(), nullptr, false, f.Page()); break;
        case kCellAt:
          DrawCellAt(*f.state, 1, 0, f.Out(), MakeRect(0, 0, 16, 16), f.Page());
          break;
      }
      EXPECT_TRUE(AllPixels(f.Out(), MakeRect(0, 0, 16, 32), kCanvas));
      EXPECT_EQ(skipped.FinalDifference, 99);
      EXPECT_EQ(skipped.DrawnDifference, 98);
      EXPECT_EQ(skipped.BlendAlpha, 97);
      if (caller == kLayer) {
        EXPECT_EQ(skipped.Drawn, c.fault == kUnassigned ? 1 : 0);
        EXPECT_TRUE(AllPixels(f.Out(), MakeRect(16, 0, 32, 16), kRed));  // the next cell is drawn
        EXPECT_EQ(f.Cell(1, 1).Drawn, 1);
      }
    }
  }
}

TEST(DrawCell, OddGeometryNeverFaults) {
  const struct {
    const char* name;
    TRect bounds;
  } cases[] = {
      {"zero width", MakeRect(8, 0, 8, 16)},
      {"zero height", MakeRect(0, 8, 16, 8)},
      {"inverted", MakeRect(16, 16, 0, 0)},
      {"the whole coordinate range", MakeRect(INT_MIN, INT_MIN, INT_MAX, INT_MAX)},
      {"at the far end", MakeRect(INT_MAX - 4, INT_MAX - 4, INT_MAX, INT_MAX)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    DrawFixture f;
    f.Project().AlphaCurve.fill(255);  // the blend runs wherever it can
    const int pic = f.AddPicture(Solid(16, 16, kRed));
    f.AddCell(1, MakeRect(0, 0, 16, 16), pic);
    f.Cell(1, 0).Bounds = c.bounds;  // a signature over such a rectangle is no concern here
    f.DrawPage();
    DrawCell(*f.state, 1, 0, f.Out(), nullptr, false, f.Page());
    DrawCellAt(*f.state, 1, 0, f.Out(), c.bounds, f.Page());
    EXPECT_TRUE(AllPixels(f.Out(), f.Out().BoundsRect(), kCanvas));
  }
  // Layers and cells that do not exist.
  DrawFixture f;
  const int pic = f.AddPicture(Solid(16, 16, kRed));
  f.AddCell(1, MakeRect(0, 0, 16, 16), pic);
  for (int layer : {0, 8, -1}) {
    DrawLayer(*f.state, layer, f.Page(), nullptr);
    DrawCell(*f.state, layer, 0, f.Out(), nullptr, false, f.Page());
  }
  for (int index : {-1, 1, INT_MAX}) {
    DrawCell(*f.state, 1, index, f.Out(), nullptr, false, f.Page());
    DrawCellAt(*f.state, 1, index, f.Out(), MakeRect(0, 0, 16, 16), f.Page());
  }
  EXPECT_TRUE(AllPixels(f.Out(), f.Out().BoundsRect(), kCanvas));
}

// ---- Tile preview ------------------------------------------------------------------------------------

TEST(DrawLayer, TilePreviewDrawsFlatPatchesOfTheCellColour) {
  const TColor32 left = Color32(200, 40, 90), right = Color32(10, 150, 250);
  const TColor32 under = Color32(1, 2, 3);
  for (bool masked : {false, true}) {
    SCOPED_TRACE(masked ? "masked" : "unmasked");
    DrawFixture f(64, 32);
    TBitmap32 main = Solid(64, 32, left);
    main.FillRectS(MakeRect(32, 0, 64, 32), right);
    f.state->MainImage = main;
    f.Project().TilePreviewOnly = 1;
    if (masked) {  // the left half of the cell is the shape
      f.Layer(1).Pattern.HasMask = 1;
      f.Layer(1).MaskBitmap = Quadrants(16, 16, kWhite, kBlack, kWhite, kBlack);
    }
    const int pic = f.AddPicture(Noise(16, 16, 3));
    f.AddCell(1, MakeRect(-40, 0, 40, 32), pic);  // 0: over the whole page, no corner on it
    f.Cell(1, 0).Signature.Average = SignatureColor{0, 1, 2, 3};
    f.AddCell(1, MakeRect(0, 0, 16, 16), pic);      // 1
    f.AddCell(1, MakeRect(32, 0, 48, 16), 12345);   // 2: needs no file
    f.AddCell(1, MakeRect(16, 16, 32, 32), pic);    // 3: unassigned
    f.Cell(1, 3).Assigned = 0;
    f.SetPage(MakeRect(0, 0, 32, 32));
    const std::uint64_t before = Loads();
    f.DrawPage();
    EXPECT_EQ(Loads(), before);  // no picture is decoded
    if (masked) {  // cell 0's shape ends near x = 0, cell 1's in the middle of its patch
      EXPECT_TRUE(AllPixels(f.Out(), MakeRect(0, 16, 4, 32), under));
      EXPECT_TRUE(AllPixels(f.Out(), MakeRect(8, 16, 32, 32), kCanvas));
      EXPECT_TRUE(AllPixels(f.Out(), MakeRect(0, 0, 5, 16), left));
      EXPECT_TRUE(AllPixels(f.Out(), MakeRect(11, 0, 32, 16), kCanvas));
    } else {
      EXPECT_TRUE(AllPixels(f.Out(), MakeRect(16, 0, 32, 32), under));
      EXPECT_TRUE(AllPixels(f.Out(), MakeRect(0, 16, 16, 32), under));
      EXPECT_TRUE(AllPixels(f.Out(), MakeRect(0, 0, 16, 16), left));
    }
    // Cell 2 on its own page, without the big patch under it.
    f.Cell(1, 0).Assigned = 0;
    f.SetPage(MakeRect(32, 0, 64, 32));
    f.DrawPage();
    EXPECT_TRUE(AllPixels(f.Out(), MakeRect(0, 0, masked ? 5 : 16, 16), right));
    EXPECT_TRUE(AllPixels(f.Out(), MakeRect(masked ? 11 : 16, 0, 32, 32), kCanvas));
  }
}

// ---- Progress and layer order ----------------------------------------------------------------------

TEST(DrawLayer, ReportsEachDrawnCellInDrawingOrder) {
  DrawFixture f;
  const int a = f.AddPicture(Solid(16, 16, kRed));
  const int b = f.AddPicture(Solid(16, 16, kGreen));
  const int missing = f.AddPicture(Solid(16, 16, kBlue));
  std::filesystem::remove(f.PictureFile(missing));
  f.Layer(3);
  f.AddCell(3, MakeRect(0, 0, 16, 16), a);
  f.AddCell(3, MakeRect(8, 0, 24, 16), b);
  f.AddCell(3, MakeRect(16, 0, 32, 16), a);  // drawn before cell 1: same picture as cell 0
  f.AddCell(3, MakeRect(40, 0, 56, 16), missing);
  f.AddCell(3, MakeRect(100, 0, 116, 16), a);  // off the page: not counted
  for (int threads : {1, 2}) {
    SCOPED_TRACE(threads);
    TRecordingProgress progress;
    f.Out().Clear(kCanvas);
    DrawLayer(*f.state, 3, f.Page(), &progress, threads);
    const std::vector<std::string> expected = {
        "percent:25", "detail:Layer:3, Done:1/4", "pump",
        "percent:50", "detail:Layer:3, Done:2/4", "pump",
        "percent:75", "detail:Layer:3, Done:3/4", "pump",
    };
    EXPECT_EQ(progress.Events, expected);
    // Cell 1 (green) came last and lies over cell 2 (red) where they overlap.
    EXPECT_TRUE(AllPixels(f.Out(), MakeRect(8, 0, 24, 16), kGreen));
    EXPECT_TRUE(AllPixels(f.Out(), MakeRect(24, 0, 32, 16), kRed));
    EXPECT_TRUE(AllPixels(f.Out(), MakeRect(40, 0, 56, 16), kCanvas));
  }
}

TEST(DrawAllLayers, DrawsTheActiveLayersInOrder) {
  DrawFixture f;
  const int red = f.AddPicture(Solid(16, 16, kRed));
  const int green = f.AddPicture(Solid(16, 16, kGreen));
  const int blue = f.AddPicture(Solid(16, 16, kBlue));
  f.AddCell(2, MakeRect(0, 0, 16, 16), green);
  f.AddCell(1, MakeRect(0, 0, 16, 16), red);
  f.AddCell(1, MakeRect(16, 0, 32, 16), red);
  f.AddCell(7, MakeRect(16, 0, 32, 16), green);
  f.AddCell(4, MakeRect(16, 0, 32, 16), blue);
  f.Layer(4).Active = 0;
  f.DrawPage();
  EXPECT_TRUE(AllPixels(f.Out(), MakeRect(0, 0, 16, 16), kGreen));   // layer 2 over layer 1
  EXPECT_TRUE(AllPixels(f.Out(), MakeRect(16, 0, 32, 16), kGreen));  // layer 7; 4 inactive
  EXPECT_EQ(f.Cell(4, 0).Drawn, 0);
}

// ---- Threads and the serial reference -------------------------------------------------------------

// DrawLayer as its description reads, over DrawCell: for each undrawn touching cell
// whose file exists, decode it once and draw every undrawn touching cell of the same
// picture.
void ReferenceDrawLayer(TAppState& state, int layerNo, const TRect& page) {
  TtsProject07& p = state.CurrentProject;
  std::vector<TMosaicCell>& cells = p.Layers[std::size_t(layerNo)].Cells;
  auto touches = [&](const TMosaicCell& c) { return c.Assigned && RectCornerInRect(c.Bounds, page); };
  for (TMosaicCell& c : cells)
    if (touches(c)) c.Drawn = 0;
  for (std::size_t i = 0; i < cells.size(); ++i) {
    if (!touches(cells[i]) || cells[i].Drawn) continue;
    const std::int32_t index = cells[i].PictureIndex;
    if (index < 0 || std::size_t(index) >= state.RenderCellImgList.size() ||
        !std::filesystem::exists(state.RenderCellImgList[std::size_t(index)]))
      continue;
    TBitmap32 picture;
    LoadPicture(picture, state.RenderCellImgList[std::size_t(index)]);
    if (p.CropCell) CropToAspect(picture, picture, p.CellWidth, p.CellHeight);
    if (p.MonochromeCell) GreyBitmap(picture, picture, 1);
    for (std::size_t d = i; d < cells.size(); ++d) {
      if (!touches(cells[d]) || cells[d].Drawn || cells[d].PictureIndex != index) continue;
      DrawCell(state, layerNo, int(d), state.OutputBitmap, &picture, true, page);
      cells[d].Drawn = 1;
    }
  }
}

// A busy layer: 20 x 16 overlapping cells of 5..12 x 4..9 pixels on a 4-pixel pitch
// (some the size of their cropped picture, some as wide but not as high) with 40
// noise pictures of several sizes, every fourth cell rotated, flips and colour
// corrections varied, a mask with a border band, the default alpha curve, and a few
// cells over the mosaic's edge; more cells than one round of drawing takes.
std::unique_ptr<DrawFixture> BusyLayer(const TRect& page) {
  auto f = std::make_unique<DrawFixture>(80, 64, 6, 5);
  f->state->MainImage = Noise(40, 32, 5);
  TtsProject07& p = f->Project();
  p.CropCell = 1;
  p.StretchFilter = sfSpline;
  p.AlphaBlendPen = 230;
  p.BorderSize = 1;
  p.BorderColor = 0x00336699u;
  p.AlphaCurvePoints = kDefaultAlphaCurvePoints;
  p.BuildCurveTables();
  TTSLayer& layer = f->Layer(1);
  layer.Pattern.HasMask = 1;
  layer.MaskBitmap = Solid(12, 10, kWhite);
  layer.MaskBitmap.FillRectS(MakeRect(0, 0, 3, 3), kBlack);
  for (int k = 0; k < 40; ++k) f->AddPicture(Noise(8 + k % 5 * 3, 6 + k % 3 * 4, std::uint64_t(100 + k)));
  std::filesystem::remove(f->PictureFile(7));
  TRandom rng(42);
  for (int row = 0; row < 16; ++row)
    for (int col = 0; col < 20; ++col) {
      const int left = col * 4 - 2, top = row * 4 - 1;
      const int w = 5 + rng.Random(8), h = 4 + rng.Random(6);
      const int i = f->AddCell(1, MakeRect(left, top, left + w, top + h), int(rng.Random(41)));
      TMosaicCell& c = f->Cell(1, i);
      c.FlipHorz = std::uint8_t(rng.Random(2));
      c.FlipVert = std::uint8_t(rng.Random(2));
      c.EnhanceR = int(rng.Random(61)) - 30;
      c.EnhanceB = int(rng.Random(61)) - 30;
      c.RotationAngle = i % 4 == 0 ? 15 * int(rng.Random(24)) : 0;
      c.Assigned = rng.Random(10) != 0;
    }
  f->SetPage(page);
  f->Out().Clear(kCanvas);
  return f;
}

TEST(DrawLayer, ThreadsGiveTheSerialResult) {
  for (const TRect& page : {MakeRect(0, 0, 80, 64), MakeRect(30, 20, 70, 50)}) {
    SCOPED_TRACE(::testing::Message() << "page at " << page.Left << "," << page.Top);
    auto reference = BusyLayer(page);
    ReferenceDrawLayer(*reference->state, 1, page);
    for (int threads : {1, 2, 3}) {
      SCOPED_TRACE(threads);
      auto f = BusyLayer(page);
      DrawLayer(*f->state, 1, page, nullptr, threads);
      EXPECT_TRUE(SameBitmap(f->Out(), reference->Out()));
      EXPECT_TRUE(SameCells(f->Layer(1).Cells, reference->Layer(1).Cells));
      EXPECT_TRUE(SameBitmap(f->state->PictureBitmap, reference->state->PictureBitmap));
      EXPECT_EQ(f->state->PictureBitmap.StretchFilter, sfSpline);
    }
    // Not a picture of canvas only: cells were drawn and blended.
    int blended = 0;
    for (const TMosaicCell& c : reference->Layer(1).Cells) blended += c.Drawn && c.BlendAlpha > 0;
    EXPECT_GT(blended, 10);
  }
}

// ---- DrawCellAt --------------------------------------------------------------------------------------

TEST(DrawCellAt, DrawsIntoTheCallersRectangleWithoutRotation) {
  DrawFixture f(64, 32);
  const int pic = f.AddPicture(Quadrants(16, 16, kRed, kGreen, kBlue, kWhite));
  f.AddCell(1, MakeRect(0, 0, 16, 16), pic);
  f.Cell(1, 0).RotationAngle = 90;
  f.Cell(1, 0).FinalDifference = 99;
  f.SetPage(MakeRect(16, 0, 64, 32));
  DrawCellAt(*f.state, 1, 0, f.Out(), MakeRect(32, 0, 64, 32), f.Page());
  EXPECT_TRUE(AllPixels(f.Out(), MakeRect(16, 0, 32, 16), kRed));    // moved by the origin
  EXPECT_TRUE(AllPixels(f.Out(), MakeRect(32, 0, 48, 16), kGreen));  // twice the size, upright
  EXPECT_TRUE(AllPixels(f.Out(), MakeRect(16, 16, 32, 32), kBlue));
  EXPECT_TRUE(AllPixels(f.Out(), MakeRect(0, 0, 16, 32), kCanvas));
  // Quadrants against the grey cell: 16 x (3 x 48897 + 48387) div 192 = 16256 -> 127;
  // the blend with alpha 0 changes nothing.
  EXPECT_EQ(f.Cell(1, 0).DrawnDifference, 127);
  EXPECT_EQ(f.Cell(1, 0).FinalDifference, 127);
  EXPECT_EQ(f.state->PictureBitmap.Width(), 16);
  EXPECT_EQ(f.state->PictureBitmap.DrawMode, dmBlend);
}

TEST(DrawCellAt, BlendsTheMainImageUnderTheDestination) {
  // The main image is black on the left half of the mosaic and white on the right;
  // the picture is grey and every deviation blends fully, so the drawn cell shows the
  // main image under the rectangle it is drawn into, not under its own.
  DrawFixture f(64, 32, 16, 16);
  TBitmap32 main = Solid(64, 32, kBlack);
  main.FillRectS(MakeRect(32, 0, 64, 32), kWhite);
  f.state->MainImage = main;
  f.Project().AlphaCurve.fill(255);
  const int pic = f.AddPicture(Solid(16, 16, Color32(128, 128, 128)));
  f.AddCell(1, MakeRect(0, 0, 16, 16), pic);
  DrawCellAt(*f.state, 1, 0, f.Out(), MakeRect(40, 8, 56, 24), f.Page());
  EXPECT_TRUE(AllPixels(f.Out(), MakeRect(40, 8, 56, 24), kWhite));
  EXPECT_EQ(f.Cell(1, 0).FinalDifference, 255);  // white against the black cell
}

// ---- Main image background --------------------------------------------------------------------

TEST(DrawMainImageBackground, StretchesTheSourcePartOverTheTarget) {
  const struct {
    const char* name;
    TRect source;
    int alpha;
    TColor32 topLeft, bottomRight;  // of the 8 x 8 target
  } cases[] = {
      {"whole image opaque", MakeRect(0, 0, 2, 2), 255, kRed, kWhite},
      {"one pixel of it", MakeRect(1, 0, 2, 1), 255, kGreen, kGreen},
      {"a source beyond the image is clipped", MakeRect(1, 1, 9, 9), 255, kWhite, kWhite},
      {"alpha 0 leaves the target", MakeRect(0, 0, 2, 2), 0, kCanvas, kCanvas},
      {"alpha beyond 255 is opaque", MakeRect(0, 0, 2, 2), 1000, kRed, kWhite},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    DrawFixture f;
    f.Project().StretchFilter = sfNearest;
    f.state->MainImage = Quadrants(2, 2, kRed, kGreen, kBlue, kWhite);
    TBitmap32 target = Solid(8, 8, kCanvas);
    DrawMainImageBackground(*f.state, target, c.source, c.alpha);
    EXPECT_TRUE(AllPixels(target, MakeRect(0, 0, 4, 4), c.topLeft));
    EXPECT_TRUE(AllPixels(target, MakeRect(4, 4, 8, 8), c.bottomRight));
    const TBitmap32& main = f.state->MainImage;
    EXPECT_EQ(main.DrawMode, dmBlend);
    EXPECT_EQ(main.CombineMode, cmBlend);
    EXPECT_EQ(main.StretchFilter, sfNearest);
    EXPECT_EQ(AlphaOf(main.Pixel(1, 1)), ClampByte(c.alpha));
  }
  // Half alpha mixes, and the main image keeps the project's filter afterwards.
  DrawFixture f;
  f.Project().StretchFilter = sfLanczos;
  f.state->MainImage = Solid(4, 4, kWhite);
  TBitmap32 target = Solid(8, 8, kBlack);
  DrawMainImageBackground(*f.state, target, MakeRect(0, 0, 4, 4), 128);
  EXPECT_TRUE(AllPixels(target, target.BoundsRect(), Color32(128, 128, 128)));
  EXPECT_EQ(f.state->MainImage.StretchFilter, sfLanczos);
}

}  // namespace
}  // namespace tessaro
