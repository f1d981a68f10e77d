// The global cell numbering over the active layers, and the cell counts.
#include <gtest/gtest.h>

#include <vector>

#include "core/ootsfunction2007.h"
#include "engine/layers.h"
#include "layer_fixtures.h"

namespace tessaro {
namespace {

// Layer l gets `count` cells and the given activity.
void Fill(TtsProject07& p, int l, int count, bool active) {
  TTSLayer& layer = p.Layers[l];
  layer.Cells.assign(std::size_t(count), TMosaicCell{});
  layer.CellCount = count;
  layer.Active = active ? 1 : 0;
}

class CellNumberingTest : public ::testing::Test {
 protected:
  // Layer 1 inactive (5 cells), 2 active (3), 3 active but empty, 4 active (2),
  // 5 inactive and empty, 6 active (4), 7 inactive (6).
  void SetUp() override {
    Fill(p_, 1, 5, false);
    Fill(p_, 2, 3, true);
    Fill(p_, 3, 0, true);
    Fill(p_, 4, 2, true);
    Fill(p_, 6, 4, true);
    Fill(p_, 7, 6, false);
  }
  TtsProject07 p_;
};

TEST(ProjectLayers, SevenNumberedLayersComeWithTheProject) {
  const TtsProject07 p;
  for (int l = 1; l <= 7; ++l) {
    EXPECT_EQ(p.Layers[l].LayerNo, l);
    EXPECT_EQ(p.Layers[l].CellCount, 0);
    EXPECT_TRUE(p.Layers[l].Cells.empty());
    EXPECT_TRUE(p.Layers[l].MaskBitmap.Empty());
  }
  EXPECT_EQ(p.Pattern, TTSPattern{});

  // Assign and SetDefaults leave pattern and layers alone.
  TtsProject07 target;
  target.Pattern.PatternName = "mine";
  Fill(target, 2, 4, true);
  TtsProject07 source;
  source.Pattern.PatternName = "theirs";
  target.Assign(source);
  target.SetDefaults();
  EXPECT_EQ(target.Pattern.PatternName, "mine");
  EXPECT_EQ(target.Layers[2].CellCount, 4);
}

TEST_F(CellNumberingTest, ActiveCellCountOverRanges) {
  const struct {
    int first, last, count;
  } cases[] = {{1, 7, 9}, {1, 1, 0}, {1, 2, 3}, {2, 4, 5}, {3, 3, 0},
               {5, 7, 4}, {7, 7, 0}, {0, 9, 9}, {4, 2, 0}};
  for (const auto& c : cases)
    EXPECT_EQ(ActiveCellCount(p_, c.first, c.last), c.count) << c.first << ".." << c.last;
  EXPECT_EQ(TotalCellCount(p_), 5 + 3 + 2 + 4 + 6);  // every layer, active or not
}

TEST_F(CellNumberingTest, LocateCellWalksTheActiveLayersInOrder) {
  const std::vector<TCellLocation> expected = {{2, 0}, {2, 1}, {2, 2}, {4, 0}, {4, 1},
                                               {6, 0}, {6, 1}, {6, 2}, {6, 3}};
  for (int g = 0; g < int(expected.size()); ++g) EXPECT_EQ(LocateCell(p_, g), expected[g]) << g;
  for (int g : {-1, 9, 1000, INT32_MIN, INT32_MAX}) EXPECT_FALSE(LocateCell(p_, g).Valid()) << g;
}

TEST_F(CellNumberingTest, InactiveFirstLayerStartsAtTheSecond) {
  EXPECT_EQ(LocateCell(p_, 0), (TCellLocation{2, 0}));
  p_.Layers[1].Active = 1;
  EXPECT_EQ(LocateCell(p_, 0), (TCellLocation{1, 0}));
  EXPECT_EQ(LocateCell(p_, 5), (TCellLocation{2, 0}));
}

TEST_F(CellNumberingTest, FlagCountsFollowChanges) {
  EXPECT_EQ(AssignedCellCount(p_, 1, 7), 0);
  EXPECT_EQ(CountUnassignedAtLevel(p_, 1, 7, 0), 9);  // fresh cells have level 0
  for (TTSLayer& l : p_.Layers)
    for (TMosaicCell& c : l.Cells) c.PriorityLevel = 1;
  EXPECT_EQ(CountUnassignedAtLevel(p_, 1, 7, 1), 9);

  p_.Layers[2].Cells[1].Assigned = 1;
  p_.Layers[6].Cells[3].Assigned = 1;
  p_.Layers[1].Cells[0].Assigned = 1;  // inactive: not counted
  p_.Layers[4].Cells[0].PriorityLevel = 3;
  EXPECT_EQ(AssignedCellCount(p_, 1, 7), 2);
  EXPECT_EQ(AssignedCellCount(p_, 3, 7), 1);
  EXPECT_EQ(CountUnassignedAtLevel(p_, 1, 7, 1), 6);
  EXPECT_EQ(CountUnassignedAtLevel(p_, 1, 7, 3), 1);
  EXPECT_EQ(CountUnassignedAtLevel(p_, 5, 7, 3), 0);

  p_.Layers[2].Cells[1].Assigned = 0;
  EXPECT_EQ(AssignedCellCount(p_, 1, 7), 1);
  EXPECT_EQ(CountUnassignedAtLevel(p_, 1, 7, 1), 7);
}

TEST_F(CellNumberingTest, NumbersNeverPointPastTheCells) {
  p_.Layers[4].CellCount = 50;  // a count the array does not hold
  EXPECT_EQ(ActiveCellCount(p_, 1, 7), 9);
  for (int g = 0; g < ActiveCellCount(p_, 1, 7); ++g) {
    const TCellLocation at = LocateCell(p_, g);
    ASSERT_TRUE(at.Valid());
    ASSERT_LT(std::size_t(at.Index), p_.Layers[at.Layer].Cells.size());
  }
}

TEST(CellNumbering, EveryCellOfBuiltLayersIsNumberedOnce) {
  auto state = engine_testing::MakeState(200, 120, 20, 20, 50, 30);
  TtsProject07& p = state->CurrentProject;
  p.Pattern.Layers[1] = engine_testing::Layer(1, 1);
  p.Pattern.Layers[3] = engine_testing::Layer(1.5, 1.5, 0.5, 0.5);
  ApplyPattern(*state, nullptr);
  const int total = ActiveCellCount(p, 1, 7);
  ASSERT_EQ(total, 10 * 6 + 6 * 4);
  int expectLayer = 1, expectIndex = 0;
  for (int g = 0; g < total; ++g) {
    if (expectIndex == p.Layers[expectLayer].CellCount) {
      expectLayer = 3;
      expectIndex = 0;
    }
    ASSERT_EQ(LocateCell(p, g), (TCellLocation{expectLayer, expectIndex})) << g;
    ++expectIndex;
  }
}

}  // namespace
}  // namespace tessaro
