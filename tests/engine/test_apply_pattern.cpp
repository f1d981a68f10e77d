// Applying the project's pattern: progress, counts, descriptions, geometry-only rebuilds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "engine/layers.h"
#include "layer_fixtures.h"

namespace tessaro {
namespace {

using engine_testing::Layer;
using engine_testing::MakeState;
using engine_testing::SameCells;
using engine_testing::TRecordingProgress;

// 96 x 64 mosaic of 16 x 16 cells: layer 1 plain (6 x 4), layer 3 with step 32 (3 x 2).
std::unique_ptr<TAppState> TwoLayerState() {
  auto state = MakeState(96, 64, 16, 16, 120, 80);
  state->CurrentProject.Pattern.Layers[1] = Layer(1, 1);
  state->CurrentProject.Pattern.Layers[3] = Layer(2, 2, 0.5, 0);
  return state;
}

std::vector<std::string> ExpectedEvents() {
  std::vector<std::string> e;
  auto layer = [&](int n, int count) {
    e.push_back("detail:Layer " + std::to_string(n));
    for (int i = 0; i < count; ++i) {
      e.push_back("pump");
      e.push_back("percent:" + std::to_string(i * 100 / count));
      e.push_back("detail:Layer " + std::to_string(n) + " Done:" + std::to_string(i) + "/" +
                  std::to_string(count));
    }
  };
  layer(1, 24);
  layer(2, 0);
  layer(3, 6);
  for (int n = 4; n <= 6; ++n) layer(n, 0);
  return e;
}

TEST(ApplyPattern, ReportsEveryCellInOrderWhateverTheThreads) {
  std::vector<TMosaicCell> reference[7];
  for (int threads : {1, 2}) {
    SCOPED_TRACE(threads);
    auto state = TwoLayerState();
    TRecordingProgress progress;
    ApplyPattern(*state, &progress, threads);
    EXPECT_EQ(progress.Events, ExpectedEvents());
    EXPECT_EQ(progress.LastDetail, "Layer 6");
    const TtsProject07& p = state->CurrentProject;
    EXPECT_EQ(p.Layers[1].CellCount, 24);
    EXPECT_EQ(p.Layers[3].CellCount, 6);
    EXPECT_EQ(p.Layers[3].Cells[0].Bounds, MakeRect(8, 0, 24, 16));
    EXPECT_EQ(TotalCellCount(p), 30);
    for (int l : {2, 4, 5, 6}) EXPECT_EQ(p.Layers[l].Active, 0) << l;
    for (int l = 1; l <= 6; ++l) {
      if (threads == 1)
        reference[l] = p.Layers[l].Cells;
      else
        EXPECT_TRUE(SameCells(p.Layers[l].Cells, reference[l])) << "layer " << l;
    }
  }
}

TEST(ApplyPattern, DivisionKeepsTheGridCountInTheProgress) {
  auto state = TwoLayerState();
  state->CurrentProject.UseDivisionMap = 1;
  state->DivisionMap = engine_testing::LevelMap(12, 8, engine_testing::LevelCode(8));
  TRecordingProgress progress;
  ApplyPattern(*state, &progress);
  EXPECT_EQ(state->CurrentProject.Layers[1].CellCount, 96);
  EXPECT_EQ(state->CurrentProject.Layers[1].BuiltCellCount, 24);
  const auto& e = progress.Events;
  EXPECT_NE(std::find(e.begin(), e.end(), "detail:Layer 1 Done:23/24"), e.end());
  EXPECT_EQ(std::find(e.begin(), e.end(), "detail:Layer 1 Done:24/24"), e.end());
}

TEST(ApplyPattern, WorksWithoutProgressAndLeavesLayerSevenAlone) {
  auto state = TwoLayerState();
  TtsProject07& p = state->CurrentProject;
  p.Layers[7].Cells.resize(2);
  p.Layers[7].CellCount = 2;
  p.Layers[5].Cells.resize(3);  // stale cells of an earlier pattern
  p.Layers[5].CellCount = 3;
  p.Layers[5].Active = 1;
  ApplyPattern(*state, nullptr);
  EXPECT_EQ(p.Layers[1].CellCount, 24);
  EXPECT_EQ(p.Layers[5].CellCount, 0);
  EXPECT_EQ(p.Layers[5].Active, 0);
  EXPECT_EQ(p.Layers[7].CellCount, 2);
  EXPECT_EQ(TotalCellCount(p), 24 + 6 + 2);
  EXPECT_EQ(state->MainImage.DrawMode, dmBlend);  // prepared on the way
}

TEST(ApplyPattern, ZeroPitchLayersAreSkippedNotDividedBy) {
  auto state = MakeState(1024, 1024, 48, 48, 64, 64);
  TTSPattern& pattern = state->CurrentProject.Pattern;
  pattern.Layers[1] = Layer(0.01, 1);   // Trunc(0.48) = 0
  pattern.Layers[2] = Layer(1, 0);
  pattern.Layers[3] = Layer(-2, 1);
  pattern.Layers[4] = Layer(1, 1);
  pattern.Layers[5] = Layer(0.5, 0.5);  // fine: 24-pixel pitch
  pattern.Layers[6] = TLayerPattern{};
  pattern.Layers[6].Enabled = 1;        // a fresh record's factors of 0, enabled
  EXPECT_EQ(CountPatternCells(state->CurrentProject, pattern), 441 + 42 * 42);
  EXPECT_EQ(DescribePatternCells(state->CurrentProject, pattern), "Layer4:21X21  Layer5:42X42  ");
  TRecordingProgress progress;
  ApplyPattern(*state, &progress);
  const TtsProject07& p = state->CurrentProject;
  for (int l : {1, 2, 3, 6}) {
    EXPECT_EQ(p.Layers[l].Active, 0) << l;
    EXPECT_EQ(p.Layers[l].CellCount, 0) << l;
  }
  EXPECT_EQ(TotalCellCount(p), 441 + 42 * 42);
  ReapplyPattern(state->CurrentProject);
  EXPECT_EQ(TotalCellCount(p), 441 + 42 * 42);
}

TEST(PatternCells, CountAndDescriptionWithTheDefaults) {
  const TtsProject07 project;  // 1024 x 1024, cells 48 x 48
  TTSPattern pattern;
  EXPECT_EQ(CountPatternCells(project, pattern), 0);
  EXPECT_EQ(DescribePatternCells(project, pattern), "");
  pattern.Layers[1] = Layer(1, 1);
  EXPECT_EQ(CountPatternCells(project, pattern), 441);
  EXPECT_EQ(DescribePatternCells(project, pattern), "Layer1:21X21  ");
  pattern.Layers[3] = Layer(1, 1);
  EXPECT_EQ(CountPatternCells(project, pattern), 882);
  EXPECT_EQ(DescribePatternCells(project, pattern), "Layer1:21X21  Layer3:21X21  ");
  pattern.Layers[2] = Layer(1.5, 2, 0.75, 0);
  EXPECT_EQ(DescribePatternCells(project, pattern), "Layer1:21X21  Layer2:14X10  Layer3:21X21  ");
}

TEST(ReapplyPattern, GivesTheGeometryWithFreshCells) {
  auto state = TwoLayerState();
  ApplyPattern(*state, nullptr);
  TtsProject07& p = state->CurrentProject;
  p.Layers[1].Cells[4].Assigned = 1;
  const TBitmap32 main = state->MainImage;
  ReapplyPattern(p);
  ASSERT_EQ(p.Layers[1].CellCount, 24);
  ASSERT_EQ(p.Layers[3].CellCount, 6);
  EXPECT_EQ(p.Layers[3].StepX, 32);
  EXPECT_EQ(p.Layers[3].OffsetX, 8);
  const TMosaicCell fresh;
  for (int l : {1, 3})
    for (const TMosaicCell& c : p.Layers[l].Cells)
      ASSERT_EQ(std::memcmp(&c, &fresh, sizeof c), 0);
  EXPECT_EQ(state->MainImage.Width(), main.Width());
}

}  // namespace
}  // namespace tessaro
