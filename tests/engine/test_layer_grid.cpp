// Layer grids: geometry, building, division by the division map, priority levels.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>
#include <set>
#include <tuple>

#include "engine/layers.h"
#include "image/ooimgfunction2007.h"
#include "layer_fixtures.h"

namespace tessaro {
namespace {

using engine_testing::LevelCode;
using engine_testing::MakeState;
using engine_testing::SameCells;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// ---- Geometry of a pattern layer ------------------------------------------------------

struct GridCase {
  const char* name;
  TLayerPattern lp;
  int areaW, areaH, cellW, cellH;
  bool buildable;
  int stepX, stepY, offX, offY, columns, rows;
};

TLayerPattern Off() { return TLayerPattern{}; }

TLayerPattern L(double hf, double vf, double ho = 0, double vo = 0) {
  return engine_testing::Layer(hf, vf, ho, vo);
}

const GridCase kGridCases[] = {
    {"plain default", L(1, 1), 1024, 1024, 48, 48, true, 48, 48, 0, 0, 21, 21},
    {"staggered", L(1.5, 0.75, 0.75, 0.5), 1024, 1024, 48, 48, true, 72, 36, 36, 24, 14, 28},
    {"negative offsets", L(1, 1, -0.5, -0.25), 1024, 1024, 48, 48, true, 48, 48, -24, -12, 21, 21},
    {"offsets truncate toward zero", L(1, 1, -0.3, 0.3), 100, 100, 48, 48, true, 48, 48, -14, 14, 2, 2},
    {"pitch truncates", L(0.51, 1.99), 100, 100, 10, 10, true, 5, 19, 0, 0, 20, 5},
    {"non-square", L(1, 1), 4000, 3000, 24, 24, true, 24, 24, 0, 0, 166, 125},
    {"cell wider than the mosaic", L(1, 1), 40, 40, 48, 48, true, 48, 48, 0, 0, 0, 0},
    {"disabled", Off(), 1024, 1024, 48, 48, false, 0, 0, 0, 0, 0, 0},
    {"pitch below one pixel", L(0.01, 1), 1024, 1024, 48, 48, false, 0, 0, 0, 0, 0, 0},
    {"zero factor", L(1, 0), 1024, 1024, 48, 48, false, 0, 0, 0, 0, 0, 0},
    {"negative factor", L(-1, 1), 1024, 1024, 48, 48, false, 0, 0, 0, 0, 0, 0},
    {"NaN factor", L(kNaN, 1), 1024, 1024, 48, 48, false, 0, 0, 0, 0, 0, 0},
    {"NaN offset", L(1, 1, 0, kNaN), 1024, 1024, 48, 48, false, 0, 0, 0, 0, 0, 0},
    {"offset beyond 32 bits", L(1, 1, 1e12, 0), 1024, 1024, 48, 48, false, 0, 0, 0, 0, 0, 0},
    {"huge pitch", L(1e300, 1), 1024, 1024, 48, 48, true, INT32_MAX, 48, 0, 0, 0, 21},
    {"zero cell size", L(1, 1), 1024, 1024, 0, 48, false, 0, 0, 0, 0, 0, 0},
    {"negative cell size", L(-1, -1), 1024, 1024, -48, -48, false, 0, 0, 0, 0, 0, 0},
    {"cell beyond the edge limit", L(0.01, 0.01), 1024, 1024, kMaxCellEdge + 1, 48, false, 0, 0, 0, 0, 0, 0},
    {"negative area", L(1, 1), -100, 1024, 48, 48, true, 48, 48, 0, 0, 0, 21},
    {"more cells than a layer file holds", L(1, 1), 4000, 4000, 1, 1, false, 0, 0, 0, 0, 0, 0},
    {"shift pushing edges beyond 32 bits", L(1, 1, 44739229.17, 0), 1024, 1024, 48, 48, false, 0, 0, 0, 0, 0, 0},
};

TEST(LayerGrid, GeometryOfPatternLayers) {
  for (const GridCase& c : kGridCases) {
    SCOPED_TRACE(c.name);
    const TLayerGrid g = ComputeLayerGrid(c.lp, c.areaW, c.areaH, c.cellW, c.cellH);
    EXPECT_EQ(g.Buildable, c.buildable);
    EXPECT_EQ(std::tie(g.StepX, g.StepY, g.OffsetX, g.OffsetY, g.Columns, g.Rows),
              std::tie(c.stepX, c.stepY, c.offX, c.offY, c.columns, c.rows));
    EXPECT_EQ(LayerGridSize(c.lp, c.areaW, c.areaH, c.cellW, c.cellH),
              (TGridSize{c.columns, c.rows}));
    EXPECT_EQ(CountLayerCells(c.lp, c.areaW, c.areaH, c.cellW, c.cellH), c.columns * c.rows);

    // Building follows the same geometry and never fails.
    auto state = MakeState(std::max(c.areaW, 1), std::max(c.areaH, 1), 48, 48, 8, 8);
    TTSLayer layer(1);
    BuildLayer(*state, layer, c.lp, c.areaW, c.areaH, c.cellW, c.cellH, nullptr);
    EXPECT_EQ(layer.Active, c.buildable ? 1 : 0);
    EXPECT_EQ(layer.CellCount, c.columns * c.rows);
    EXPECT_EQ(layer.Cells.size(), std::size_t(layer.CellCount));
    if (c.buildable) {
      EXPECT_EQ(std::tie(layer.StepX, layer.StepY, layer.OffsetX, layer.OffsetY, layer.Columns, layer.Rows),
                std::tie(c.stepX, c.stepY, c.offX, c.offY, c.columns, c.rows));
    }
  }
}

// ---- Building a layer ----------------------------------------------------------------------

TEST(LayerBuild, PlainGridIsLaidOutRowByRow) {
  auto state = MakeState(1024, 1024, 48, 48);
  TTSLayer layer(3);
  BuildLayer(*state, layer, L(1, 1), 1024, 1024, 48, 48, nullptr);
  ASSERT_EQ(layer.CellCount, 441);
  EXPECT_EQ(layer.BuiltCellCount, 441);
  EXPECT_EQ(layer.Active, 1);
  EXPECT_EQ(std::tie(layer.AreaWidth, layer.AreaHeight, layer.CellWidth, layer.CellHeight),
            std::make_tuple(1024, 1024, 48, 48));
  EXPECT_EQ(layer.Cells[0].Bounds, MakeRect(0, 0, 48, 48));
  EXPECT_EQ(layer.Cells[22].Bounds, MakeRect(48, 48, 96, 96));  // row 1, column 1
  EXPECT_EQ(layer.Cells[440].Bounds, MakeRect(960, 960, 1008, 1008));
  for (const TMosaicCell& c : layer.Cells) {
    EXPECT_EQ(c.PictureIndex, -1);
    EXPECT_EQ(c.PriorityLevel, 1);
    EXPECT_EQ(c.DivisionLevel, 9);
    EXPECT_EQ(c.Assigned, 0);
  }
  EXPECT_EQ(layer.Cells[22].Signature, ComputeCellSignature(*state, layer.Cells[22].Bounds));
}

TEST(LayerBuild, StaggeredAndShiftedCellsKeepTheNominalSize) {
  auto state = MakeState(1024, 1024, 48, 48);
  TTSLayer layer(2);
  BuildLayer(*state, layer, L(1.5, 1, 0.75, -0.5), 1024, 1024, 48, 48, nullptr);
  ASSERT_EQ(layer.Columns, 14);
  EXPECT_EQ(layer.Cells[0].Bounds, MakeRect(36, -24, 84, 24));  // starts above the mosaic
  EXPECT_EQ(layer.Cells[1].Bounds, MakeRect(108, -24, 156, 24));
  EXPECT_EQ(layer.Cells[14].Bounds, MakeRect(36, 24, 84, 72));
}

TEST(LayerBuild, DisabledOrUnbuildablePatternLeavesTheLayerEmpty) {
  auto state = MakeState(256, 256, 32, 32);
  for (const TLayerPattern& lp : {Off(), L(0.01, 1), L(kNaN, kNaN)}) {
    TTSLayer layer(1);
    BuildLayer(*state, layer, L(1, 1), 256, 256, 32, 32, nullptr);
    ASSERT_EQ(layer.CellCount, 64);
    BuildLayer(*state, layer, lp, 256, 256, 32, 32, nullptr);
    EXPECT_EQ(layer.Active, 0);
    EXPECT_EQ(layer.CellCount, 0);
    EXPECT_TRUE(layer.Cells.empty());
  }
}

TEST(LayerBuild, GeometryOnlyGivesFreshCells) {
  TTSLayer layer(1);
  BuildLayerGeometry(layer, L(1, 1), 1024, 1024, 48, 48);
  ASSERT_EQ(layer.CellCount, 441);
  const TMosaicCell fresh;
  for (const TMosaicCell& c : layer.Cells)
    ASSERT_EQ(std::memcmp(&c, &fresh, sizeof c), 0);
  EXPECT_EQ(fresh.PictureIndex, -1);
  TMosaicCell zero;
  zero.PictureIndex = 0;
  const std::uint8_t* bytes = reinterpret_cast<const std::uint8_t*>(&zero);
  for (std::size_t i = 0; i < sizeof zero; ++i) ASSERT_EQ(bytes[i], 0) << "byte " << i;
}

TEST(LayerBuild, MaskBitmapFollowsThePattern) {
  engine_testing::TempDir dir;
  const std::filesystem::path maskFile = dir.path() / "circle.bmp";
  engine_testing::Solid(20, 10, clWhite32).SaveToFileWithDPI(maskFile, 72);
  auto state = MakeState(96, 96, 32, 32);

  TLayerPattern masked = L(1, 1);
  masked.HasMask = 1;
  masked.MaskImage = maskFile;
  TTSLayer layer(1);
  BuildLayer(*state, layer, masked, 96, 96, 32, 32, nullptr);
  EXPECT_EQ(layer.MaskBitmap.Width(), 20);
  EXPECT_EQ(layer.Pattern, masked);

  // A pattern without a mask never keeps the earlier shape; nor does a mask that
  // vanished or cannot be decoded.
  BuildLayer(*state, layer, L(1, 1), 96, 96, 32, 32, nullptr);
  EXPECT_TRUE(layer.MaskBitmap.Empty());
  BuildLayer(*state, layer, masked, 96, 96, 32, 32, nullptr);
  ASSERT_FALSE(layer.MaskBitmap.Empty());
  std::ofstream(dir.path() / "broken.bmp") << "BM not a bitmap";
  masked.MaskImage = dir.path() / "broken.bmp";
  BuildLayer(*state, layer, masked, 96, 96, 32, 32, nullptr);
  EXPECT_TRUE(layer.MaskBitmap.Empty());
}

TEST(LayerBuild, TwoThreadsGiveTheSameCellsAsOne) {
  for (bool divide : {false, true}) {
    SCOPED_TRACE(divide);
    auto state = MakeState(300, 200, 20, 20, 173, 117);  // resampled on the way
    state->MainImage.StretchFilter = sfLinear;
    state->CurrentProject.UseDivisionMap = divide ? 1 : 0;
    state->CurrentProject.UsePriorityMap = 1;
    state->DivisionMap = engine_testing::LevelMap(30, 20, LevelCode(9));
    state->DivisionMap.FillRectS(MakeRect(0, 0, 15, 10), LevelCode(7));
    state->PriorityMap = engine_testing::LevelMap(30, 20, LevelCode(4));
    std::vector<TMosaicCell> reference;
    for (int threads : {1, 2, 3}) {
      TTSLayer layer(1);
      engine_testing::TRecordingProgress progress;
      BuildLayer(*state, layer, L(0.8, 1.1, -0.3, 0.2), 300, 200, 20, 20, &progress, threads);
      if (threads == 1) {
        reference = layer.Cells;
        ASSERT_GT(reference.size(), 100u);
      } else {
        EXPECT_TRUE(SameCells(layer.Cells, reference)) << threads << " threads";
      }
    }
  }
}

// ---- Division -------------------------------------------------------------------------------

class DivisionTest : public ::testing::Test {
 protected:
  // 4 x 3 cells of 16 x 16 over a 64 x 48 mosaic; the map is 32 x 24.
  void SetUp() override {
    state_ = MakeState(64, 48, 16, 16);
    state_->CurrentProject.UseDivisionMap = 1;
  }
  void Build(TColor32 mapCode, int cellW = 16, int cellH = 16) {
    state_->DivisionMap = engine_testing::LevelMap(32, 24, mapCode);
    layer_ = TTSLayer(1);
    BuildLayer(*state_, layer_, L(1, 1), 64, 48, cellW, cellH, nullptr);
  }
  std::unique_ptr<TAppState> state_;
  TTSLayer layer_;
};

TEST_F(DivisionTest, LevelNineEverywhereChangesNothing) {
  Build(LevelCode(9));
  const std::vector<TMosaicCell> divided = layer_.Cells;
  state_->CurrentProject.UseDivisionMap = 0;
  TTSLayer plain(1);
  BuildLayer(*state_, plain, L(1, 1), 64, 48, 16, 16, nullptr);
  EXPECT_TRUE(SameCells(divided, plain.Cells));
  EXPECT_EQ(layer_.CellCount, 12);
}

TEST_F(DivisionTest, LevelEightEverywhereGivesQuartersInPlaceAndAppended) {
  Build(LevelCode(8));
  ASSERT_EQ(layer_.CellCount, 48);
  EXPECT_EQ(layer_.BuiltCellCount, 12);
  EXPECT_EQ(layer_.Cells.size(), 48u);
  for (int i = 0; i < 12; ++i) {
    SCOPED_TRACE(i);
    const int left = 16 * (i % 4), top = 16 * (i / 4);
    const TRect quarters[4] = {MakeRect(left, top, left + 8, top + 8),
                               MakeRect(left + 8, top, left + 16, top + 8),
                               MakeRect(left, top + 8, left + 8, top + 16),
                               MakeRect(left + 8, top + 8, left + 16, top + 16)};
    const std::size_t at[4] = {std::size_t(i), std::size_t(12 + 3 * i), std::size_t(13 + 3 * i),
                               std::size_t(14 + 3 * i)};
    for (int q = 0; q < 4; ++q) {
      const TMosaicCell& c = layer_.Cells[at[q]];
      EXPECT_EQ(c.Bounds, quarters[q]) << "quarter " << q;
      EXPECT_EQ(c.DivisionLevel, 8);
      EXPECT_EQ(c.PriorityLevel, 1);
      EXPECT_EQ(c.PictureIndex, -1);
      EXPECT_EQ(c.Signature, ComputeCellSignature(*state_, quarters[q]));
    }
  }
}

TEST_F(DivisionTest, EachLevelHalvesTheEdgeOnceMore) {
  const struct {
    int level;
    int cells;
    int edge;
  } cases[] = {{10, 12, 16}, {8, 48, 8}, {7, 192, 4}, {6, 768, 2}, {5, 3072, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.level);
    Build(c.level == 10 ? 0x00FEFEFEu : LevelCode(c.level));
    EXPECT_EQ(layer_.CellCount, c.cells);
    std::int64_t area = 0;
    for (const TMosaicCell& cell : layer_.Cells) {
      EXPECT_EQ(cell.Bounds.Width(), c.edge);
      EXPECT_EQ(cell.Bounds.Height(), c.edge);
      area += std::int64_t(cell.Bounds.Width()) * cell.Bounds.Height();
    }
    EXPECT_EQ(area, 64 * 48);  // the quarters tile the grid exactly
  }
}

TEST_F(DivisionTest, SplittingStopsAtOnePixel) {
  // Level 1 asks for eight halvings; 16-pixel cells reach one pixel after four.
  Build(LevelCode(1));
  EXPECT_EQ(layer_.CellCount, 64 * 48);
  for (const TMosaicCell& cell : layer_.Cells) {
    ASSERT_EQ(cell.Bounds.Width(), 1);
    ASSERT_EQ(cell.Bounds.Height(), 1);
  }
}

TEST_F(DivisionTest, NoLevelMeansNoDivision) {
  Build(0x00123456u);  // not a level colour: -1
  EXPECT_EQ(layer_.CellCount, 12);
  for (const TMosaicCell& cell : layer_.Cells) {
    EXPECT_EQ(cell.DivisionLevel, -1);
    EXPECT_EQ(cell.Bounds.Width(), 16);
  }
}

TEST_F(DivisionTest, OddWidthSplitsIntoANarrowerLeftQuarter) {
  Build(LevelCode(8), 15, 13);  // 4 x 3 cells of 15 x 13
  ASSERT_EQ(layer_.CellCount, 48);
  EXPECT_EQ(layer_.Cells[0].Bounds, MakeRect(0, 0, 7, 6));
  EXPECT_EQ(layer_.Cells[12].Bounds, MakeRect(7, 0, 15, 6));
  EXPECT_EQ(layer_.Cells[13].Bounds, MakeRect(0, 6, 7, 13));
  EXPECT_EQ(layer_.Cells[14].Bounds, MakeRect(7, 6, 15, 13));
}

TEST_F(DivisionTest, QuartersSampleTheMapAtTheirOwnCentres) {
  // Mosaic x below 24 asks for level 8, the rest is full size.
  state_->DivisionMap = engine_testing::LevelMap(32, 24, LevelCode(9));
  state_->DivisionMap.FillRectS(MakeRect(0, 0, 12, 24), LevelCode(8));
  layer_ = TTSLayer(1);
  BuildLayer(*state_, layer_, L(1.5, 1), 64, 48, 16, 16, nullptr);  // step 24: 2 x 3 cells
  // Column 0 centres at x 8 (map 4): level 8, split. Column 1 centres at x 32 (map 16):
  // level 9, whole.
  ASSERT_EQ(layer_.BuiltCellCount, 6);
  EXPECT_EQ(layer_.CellCount, 6 + 3 * 3);
  EXPECT_EQ(layer_.Cells[0].Bounds, MakeRect(0, 0, 8, 8));
  EXPECT_EQ(layer_.Cells[1].Bounds, MakeRect(24, 0, 40, 16));
  EXPECT_EQ(layer_.Cells[1].DivisionLevel, 9);
}

// ---- Priority ------------------------------------------------------------------------------

TEST(LayerPriority, LevelsComeFromTheMapAtEachCentre) {
  auto state = MakeState(64, 64, 32, 32);
  TTSLayer layer(1);
  BuildLayer(*state, layer, L(1, 1, -0.5, 0), 64, 64, 32, 32, nullptr);
  for (const TMosaicCell& c : layer.Cells) EXPECT_EQ(c.PriorityLevel, 1);

  state->CurrentProject.UsePriorityMap = 1;
  state->PriorityMap = engine_testing::LevelMap(4, 4, LevelCode(3));
  state->PriorityMap.FillRectS(MakeRect(2, 2, 4, 4), LevelCode(7));
  BuildLayer(*state, layer, L(1, 1, -0.5, 0), 64, 64, 32, 32, nullptr);
  // Cells start at x -16: centres (0, 16), (32, 16), (0, 48), (32, 48).
  ASSERT_EQ(layer.CellCount, 4);
  EXPECT_EQ(layer.Cells[0].PriorityLevel, 3);
  EXPECT_EQ(layer.Cells[3].PriorityLevel, 7);
  // A centre far enough left of the mosaic reads outside the map: no level.
  BuildLayer(*state, layer, L(1, 1, -1, 0), 64, 64, 32, 32, nullptr);
  EXPECT_EQ(layer.Cells[0].Bounds.Left, -32);
  EXPECT_EQ(layer.Cells[0].PriorityLevel, -1);
}

}  // namespace
}  // namespace tessaro
