// The curve files shipped in the build tree's install folder, config/enhance: the two
// defaults and the presets the Beginner panel offers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/curve_file.h"
#include "core/ootsfunction2007.h"

namespace tessaro {
namespace {

namespace fs = std::filesystem;

fs::path AppDir() { return ExecutableDir().parent_path() / "tessaro"; }

struct TPresetCase {
  const char* File;
  TCurvePoints Points;
};

// The curves as their names promise them, written out rather than computed.
const std::vector<TPresetCase> kPresets = {
    {"default.ehc", {{{10, 255}, {50, 190}, {100, 150}, {150, 120}, {200, 100}}}},
    {"default.amc", {{{10, 0}, {15, 20}, {35, 40}, {50, 50}, {120, 75}}}},
    {"0.ehc", {{{0, 0}, {64, 0}, {128, 0}, {192, 0}, {255, 0}}}},
    {"10.ehc", {{{0, 25}, {64, 25}, {128, 25}, {192, 25}, {255, 25}}}},
    {"25.ehc", {{{0, 63}, {64, 63}, {128, 63}, {192, 63}, {255, 63}}}},
    {"50.ehc", {{{0, 127}, {64, 127}, {128, 127}, {192, 127}, {255, 127}}}},
    {"75.ehc", {{{0, 191}, {64, 191}, {128, 191}, {192, 191}, {255, 191}}}},
    {"100.ehc", {{{0, 255}, {64, 255}, {128, 255}, {192, 255}, {255, 255}}}},
    {"0.amc", {{{0, 0}, {10, 0}, {30, 0}, {60, 0}, {255, 0}}}},
    {"10.amc", {{{0, 0}, {10, 0}, {30, 12}, {60, 25}, {255, 25}}}},
    {"25.amc", {{{0, 0}, {10, 0}, {30, 31}, {60, 63}, {255, 63}}}},
    {"50.amc", {{{0, 0}, {10, 0}, {30, 63}, {60, 127}, {255, 127}}}},
};

TEST(ShippedCurves, EveryFileIsFortyBytesOfItsPoints) {
  for (const TPresetCase& c : kPresets) {
    SCOPED_TRACE(c.File);
    const fs::path file = CurveFolder(AppDir()) / c.File;
    ASSERT_TRUE(fs::is_regular_file(file)) << file << ": build the tessaro_presets target";
    EXPECT_EQ(fs::file_size(file), kCurveFileSize);
    // A sentinel, so a file that filled no point cannot pass.
    TCurvePoints read;
    std::fill(std::begin(read.P), std::end(read.P), TCurvePoint{-7, -7});
    ASSERT_TRUE(ReadCurveFile(file, read));
    EXPECT_EQ(read, c.Points);
  }
}

TEST(ShippedCurves, FolderHoldsNothingElse) {
  std::set<std::string> expected;
  for (const TPresetCase& c : kPresets) expected.insert(c.File);
  std::set<std::string> found;
  for (const auto& entry : fs::directory_iterator(CurveFolder(AppDir())))
    found.insert(entry.path().filename().string());
  EXPECT_EQ(found, expected);
}

// "N% Enhance" removes N% of a colour difference whatever its size: a table flat at
// Trunc(255 x N / 100).
TEST(ShippedCurves, EnhancePresetsRemoveTheSameShareOfEveryDifference) {
  const struct {
    const char* File;
    std::int32_t Level;
  } cases[] = {{"0.ehc", 0},    {"10.ehc", 25},  {"25.ehc", 63},
               {"50.ehc", 127}, {"75.ehc", 191}, {"100.ehc", 255}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.File);
    TCurvePoints points{};
    ASSERT_TRUE(ReadCurveFile(CurveFolder(AppDir()) / c.File, points));
    TCurveTable table{};
    BuildCurveTable(points, table);
    for (int v = 0; v < 256; ++v) ASSERT_EQ(table[v], c.Level) << "entry " << v;
  }
}

// "N%" alpha: nothing up to a deviation of 10, rising to Trunc(255 x N / 100) at 60
// and staying there.
TEST(ShippedCurves, AlphaPresetsBlendOnlyOverDeviatingCells) {
  const struct {
    const char* File;
    std::int32_t Top;
  } cases[] = {{"0.amc", 0}, {"10.amc", 25}, {"25.amc", 63}, {"50.amc", 127}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.File);
    TCurvePoints points{};
    ASSERT_TRUE(ReadCurveFile(CurveFolder(AppDir()) / c.File, points));
    TCurveTable table{};
    BuildCurveTable(points, table);
    for (int v = 0; v <= 10; ++v) EXPECT_EQ(table[v], 0) << "entry " << v;
    EXPECT_EQ(table[30], c.Top / 2);
    for (int v = 60; v < 256; ++v) EXPECT_EQ(table[v], c.Top) << "entry " << v;
    for (int v = 1; v < 256; ++v) EXPECT_GE(table[v], table[v - 1]) << "entry " << v;
  }
}

TEST(ShippedCurves, DefaultFilesGiveTheNewProjectCurves) {
  TCurvePoints enhance{}, alpha{};
  LoadDefaultCurves(AppDir(), enhance, alpha);
  EXPECT_EQ(enhance, kPresets[0].Points);
  EXPECT_EQ(alpha, kPresets[1].Points);
  // The files and the record's defaults must not drift apart.
  EXPECT_EQ(enhance, kDefaultEnhanceCurvePoints);
  EXPECT_EQ(alpha, kDefaultAlphaCurvePoints);

  TAppState state;
  InitializeAppState(state, AppDir());
  EXPECT_EQ(state.CurrentEnhanceCurve, kPresets[0].Points);
  EXPECT_EQ(state.CurrentAlphaCurve, kPresets[1].Points);
}

}  // namespace
}  // namespace tessaro
