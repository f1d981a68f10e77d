// Start-up of the process-wide state.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "core/app_state.h"
#include "core/core_test_support.h"

namespace tessaro {
namespace {

using testing_support::TempDir;
using testing_support::WriteBytes;

const TCurvePoints kEnhance = {{{0, 30}, {64, 30}, {128, 60}, {192, 30}, {255, 30}}};
const TCurvePoints kAlpha = {{{1, 2}, {3, 4}, {5, 6}, {7, 8}, {9, 10}}};

TEST(AppState, StartsWithoutAnyInstallFiles) {
  TempDir app;  // an empty install folder
  TAppState state;
  InitializeAppState(state, app.path());
  EXPECT_EQ(state.AppDir, app.path());
  EXPECT_FALSE(state.PatternDefinitions.has_value());
  EXPECT_EQ(state.CurrentEnhanceCurve, TCurvePoints{});
  EXPECT_EQ(state.CurrentAlphaCurve, TCurvePoints{});
  EXPECT_EQ(state.CurrentProject.MosaicWidth, 1024);
  EXPECT_EQ(state.CurrentProject.StageFlags, 0);
  EXPECT_EQ(state.ViewOriginX, 0);
  EXPECT_EQ(state.ViewOriginY, 0);
  EXPECT_EQ(state.ToolMode, 5);
  EXPECT_EQ(state.PenPictureIndex, 0);
  for (const TBitmap32* b : {&state.ViewCache, &state.OutputBitmap, &state.MainImage, &state.PriorityMap,
                             &state.DivisionMap, &state.PictureBitmap, &state.DrawBitmap})
    EXPECT_TRUE(b->Empty());
  EXPECT_TRUE(state.RenderCellImgList.empty());
}

TEST(AppState, ReadsTheDefaultCurvesAndPatternDefinitions) {
  TempDir app;
  WriteBytes(app / "masks/patterndefine.ini", "[brief]\r\nmaskcount=2\r\n[mask1]\r\nmaskname=Square\r\n");
  std::filesystem::create_directories(app / "config/enhance");
  WriteCurveFile(app / "config/enhance/default.ehc", kEnhance);
  WriteCurveFile(app / "config/enhance/default.amc", kAlpha);

  TAppState state;
  InitializeAppState(state, app.path());
  ASSERT_TRUE(state.PatternDefinitions.has_value());
  EXPECT_EQ(state.PatternDefinitions->ReadInteger("brief", "maskcount", 0), 2);
  EXPECT_EQ(state.PatternDefinitions->ReadString("MASK1", "MaskName", ""), "Square");
  EXPECT_EQ(state.CurrentEnhanceCurve, kEnhance);
  EXPECT_EQ(state.CurrentAlphaCurve, kAlpha);
  // The project keeps its own defaults; the editor's curves are separate.
  const TCurvePoints projectEnhance = state.CurrentProject.EnhanceCurvePoints;
  EXPECT_EQ(projectEnhance, kDefaultEnhanceCurvePoints);
}

TEST(AppState, UnreadablePatternDefinitionsCountAsMissing) {
  TempDir app;
  std::filesystem::create_directories(app / "masks/patterndefine.ini");  // a folder
  TAppState state;
  InitializeAppState(state, app.path());
  EXPECT_FALSE(state.PatternDefinitions.has_value());
}

TEST(AppState, InitialisingAgainStartsFromScratch) {
  TempDir full, empty;
  WriteBytes(full / "masks/patterndefine.ini", "[brief]\r\nmaskcount=1\r\n");
  std::filesystem::create_directories(full / "config/enhance");
  WriteCurveFile(full / "config/enhance/default.ehc", kEnhance);

  TAppState state;
  InitializeAppState(state, full.path());
  state.ViewOriginX = 300;
  state.ToolMode = 1;
  state.CurrentProject.StageFlags = kStageCellsAssigned;
  state.CurrentProject.Projectpath = "/somewhere";
  state.MainImage.SetSize(4, 3);
  state.RenderCellImgList = {"a.jpg", "b.jpg"};

  InitializeAppState(state, empty.path());
  EXPECT_EQ(state.AppDir, empty.path());
  EXPECT_FALSE(state.PatternDefinitions.has_value());
  EXPECT_EQ(state.CurrentEnhanceCurve, TCurvePoints{});
  EXPECT_EQ(state.ViewOriginX, 0);
  EXPECT_EQ(state.ToolMode, 5);
  EXPECT_EQ(state.CurrentProject.StageFlags, 0);
  EXPECT_EQ(state.CurrentProject.Projectpath, "");
  EXPECT_TRUE(state.MainImage.Empty());
  EXPECT_TRUE(state.RenderCellImgList.empty());
}

TEST(AppState, GeneratorIsSeededFromTheClock) {
  TempDir app;
  TAppState a;
  InitializeAppState(a, app.path());
  TRandom unseeded;
  std::uint32_t seeded[4], fixed[4];
  for (int i = 0; i < 4; ++i) {
    seeded[i] = a.Rng.Next32();
    fixed[i] = unseeded.Next32();
  }
  EXPECT_FALSE(std::equal(seeded, seeded + 4, fixed));
}

TEST(ExecutableDir, IsTheFolderHoldingThisTestProgram) {
  const std::filesystem::path dir = ExecutableDir();
  EXPECT_TRUE(dir.is_absolute());
  EXPECT_TRUE(std::filesystem::exists(dir / "tessaro_test_core_app_state"));
  EXPECT_NE(dir.string().back(), '/');
}

}  // namespace
}  // namespace tessaro
