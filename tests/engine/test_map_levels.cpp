// Map level codes, map lookups and the cell geometry helpers.
#include <gtest/gtest.h>

#include "engine/layers.h"
#include "layer_fixtures.h"

namespace tessaro {
namespace {

TEST(MapLevels, ExactPixelValues) {
  const struct {
    TColor32 pixel;
    int level;
  } cases[] = {
      {0x001E1E1E, 1}, {0x002E2E2E, 2}, {0x003E3E3E, 3}, {0x004E4E4E, 4}, {0x005E5E5E, 5},
      {0x006E6E6E, 6}, {0x007E7E7E, 7}, {0x008E8E8E, 8}, {0x009E9E9E, 9}, {0x00FEFEFE, 10},
      {0xFF9E9E9E, -1},  // alpha counts: an opaque code is no level
      {0x009E9E9F, -1}, {0x00000000, -1}, {0x00FFFFFF, -1}, {0x000E0E0E, -1},
      {0x00AEAEAE, -1}, {0x001E1E2E, -1},
  };
  for (const auto& c : cases) EXPECT_EQ(MapLevelOfPixel(c.pixel), c.level) << std::hex << c.pixel;
}

TEST(MapLevels, LookupScalesToTheMapAndGuardsItsEdges) {
  TBitmap32 map = engine_testing::Solid(512, 384, engine_testing::LevelCode(2));
  map.SetPixel(511, 383, engine_testing::LevelCode(6));
  map.SetPixel(0, 0, engine_testing::LevelCode(4));
  const struct {
    TPoint p;
    int level;
  } cases[] = {
      {{3999, 2999}, 6},   // the last mosaic pixel samples the last map pixel
      {{2000, 1500}, 2},
      {{0, 0}, 4},
      {{-1, -1}, 4},       // -1 x 512 div 4000 truncates to 0: still the first pixel
      {{-8, 100}, -1},     // left of the map
      {{100, -8}, -1},     // above it
      {{4000, 0}, -1},     // right of it
      {{0, 3000}, -1},     // below it
      {{INT32_MAX, INT32_MAX}, -1},
      {{INT32_MIN, 0}, -1},
  };
  for (const auto& c : cases)
    EXPECT_EQ(MapLevelAt(map, 4000, 3000, c.p), c.level) << c.p.X << "," << c.p.Y;
  EXPECT_EQ(MapLevelAt(TBitmap32(), 4000, 3000, {10, 10}), -1);
  EXPECT_EQ(MapLevelAt(map, 0, 3000, {10, 10}), -1);
  EXPECT_EQ(MapLevelAt(map, 4000, -5, {10, 10}), -1);
}

TEST(MapLevels, EachLookupReadsItsOwnMap) {
  TAppState state;
  state.CurrentProject.MosaicWidth = 100;
  state.CurrentProject.MosaicHeight = 100;
  EXPECT_EQ(DivisionLevelAt(state, {5, 5}), -1);  // empty maps
  EXPECT_EQ(PriorityLevelAt(state, {5, 5}), -1);
  state.DivisionMap = engine_testing::Solid(10, 10, engine_testing::LevelCode(8));
  state.PriorityMap = engine_testing::Solid(10, 10, engine_testing::LevelCode(3));
  EXPECT_EQ(DivisionLevelAt(state, {5, 5}), 8);
  EXPECT_EQ(PriorityLevelAt(state, {5, 5}), 3);
  state.CurrentProject.MosaicWidth = 0;
  EXPECT_EQ(DivisionLevelAt(state, {5, 5}), -1);
}

TEST(CellGeometry, CentreAndDistance) {
  EXPECT_EQ(CellCentre(MakeRect(0, 0, 48, 48)), (TPoint{24, 24}));
  EXPECT_EQ(CellCentre(MakeRect(0, 0, 15, 13)), (TPoint{7, 6}));
  EXPECT_EQ(CellCentre(MakeRect(-15, -13, 0, 0)), (TPoint{-7, -6}));  // toward zero
  EXPECT_EQ(CellCentre(MakeRect(INT32_MAX - 2, 0, INT32_MAX, 2)), (TPoint{INT32_MAX - 1, 1}));
  EXPECT_EQ(DistSq({0, 0}, {3, 4}), 25);
  EXPECT_EQ(DistSq({-3, 4}, {0, 0}), 25);
  EXPECT_EQ(DistSq({0, 0}, {32768, 32767}), 32768 * 32768 + 32767 * 32767);
  EXPECT_EQ(DistSq({0, 0}, {46341, 0}), INT32_MAX);  // saturates instead of wrapping
  EXPECT_EQ(DistSq({INT32_MIN, INT32_MIN}, {INT32_MAX, INT32_MAX}), INT32_MAX);
}

}  // namespace
}  // namespace tessaro
