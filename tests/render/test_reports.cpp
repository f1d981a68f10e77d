// The report writers: the statistics of a render job (position table, usage counter,
// final differences, chart) and the tile plan's tile book, sample sheets and
// construction plan, on a small project in a scratch folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/job_progress.h"
#include "image/bmp_codec.h"
#include "image/canvas.h"
#include "image/jpeg_codec.h"
#include "image/ooimgfunction2007.h"
#include "render/reports.h"
#include "support/temp_dir.h"

namespace tessaro {
namespace {

namespace fs = std::filesystem;
using testing_support::TempDir;

std::string ReadRaw(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The file's lines; fails the test unless every line ends with CR LF.
std::vector<std::string> ReadLines(const fs::path& file) {
  const std::string text = ReadRaw(file);
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = text.find("\r\n", at);
    if (end == std::string::npos) {
      ADD_FAILURE() << file << ": text after the last CR LF";
      break;
    }
    const std::string line = text.substr(at, end - at);
    EXPECT_EQ(line.find('\n'), std::string::npos) << file << ": bare LF";
    lines.push_back(line);
    at = end + 2;
  }
  return lines;
}

TBitmap32 LoadBack(const fs::path& file) {
  TBitmap32 b;
  EXPECT_TRUE(LoadBmp(b, file).Ok()) << file;
  return b;
}

TBitmap32 Solid(int w, int h, TColor32 c) {
  TBitmap32 b(w, h);
  b.Clear(c);
  return b;
}

int CountPixels(const TBitmap32& b, const TRect& r, TColor32 c) {
  int n = 0;
  for (int y = r.Top; y < r.Bottom; ++y)
    for (int x = r.Left; x < r.Right; ++x) n += b.Pixel(x, y) == c;
  return n;
}

// Pixels of region r of b against the whole of expected, placed at r's corner.
::testing::AssertionResult RegionEquals(const TBitmap32& b, int left, int top, const TBitmap32& expected) {
  for (int y = 0; y < expected.Height(); ++y)
    for (int x = 0; x < expected.Width(); ++x)
      if (b.Pixel(left + x, top + y) != expected.Pixel(x, y))
        return ::testing::AssertionFailure()
               << "pixel (" << left + x << ", " << top + y << ") is " << std::hex << b.Pixel(left + x, top + y)
               << ", expected " << expected.Pixel(x, y);
  return ::testing::AssertionSuccess();
}

// Black text on white at font height fontHeight, drawn alone: what a writer's text
// must look like on its white background.
TBitmap32 TextStamp(int w, int h, int fontHeight, int x, int y, const std::string& text) {
  TBitmap32 b = Solid(w, h, clWhite32);
  b.Canvas().Font.Height = fontHeight;
  b.Textout(x, y, text);
  return b;
}

constexpr TColor32 kPlanGreen = Color32(0, 0x80, 0);

// A project folder with a picture list and usage counts; cells are added per test.
class ReportsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    project = dir / "project";
    fs::create_directories(project);
    state.CurrentProject.Projectpath = project.string();
    state.CurrentProject.CellWidth = 10;
    state.CurrentProject.CellHeight = 10;
  }

  // names[k] is picture k with usage[k] cells.
  void SetPictures(const std::vector<std::string>& names, const std::vector<int>& usage) {
    state.RenderCellImgList = names;
    state.Library.LibImageCount = std::int32_t(usage.size());
    for (std::size_t k = 0; k < usage.size(); ++k) state.Library.LibImageInfos[k].UsageCount = usage[k];
  }

  TTSLayer& Layer(int l, bool active) {
    TTSLayer& layer = state.CurrentProject.Layers[std::size_t(l)];
    layer.Active = active ? 1 : 0;
    return layer;
  }

  void AddCell(int l, TRect bounds, int picture, int finalDiff = 0, bool assigned = true) {
    TTSLayer& layer = state.CurrentProject.Layers[std::size_t(l)];
    TMosaicCell c;
    c.Bounds = bounds;
    c.PictureIndex = picture;
    c.FinalDifference = finalDiff;
    c.Assigned = assigned ? 1 : 0;
    layer.Cells.push_back(c);
    layer.CellCount = std::int32_t(layer.Cells.size());
  }

  std::vector<std::string> ProjectLines(const char* name) { return ReadLines(project / name); }

  TempDir dir;
  fs::path project;
  TAppState state;
};

// ---- Statistics ----------------------------------------------------------------

TEST_F(ReportsTest, PositionTableListsUsedPicturesOfActiveLayersInCellOrder) {
  SetPictures({"/lib/a.jpg", "/lib/b.jpg", "/lib/c.bmp"}, {3, 0, 1});
  Layer(1, true);
  AddCell(1, {0, 0, 10, 10}, 0);
  AddCell(1, {20, 0, 30, 10}, 0);
  AddCell(1, {10, 0, 20, 10}, -1, 0, false);  // no picture
  AddCell(1, {30, 0, 40, 10}, 7);              // beyond the picture count
  Layer(2, true);
  AddCell(2, {15, 25, 25, 35}, 2);
  AddCell(2, {5, 15, 15, 25}, 0);
  Layer(3, false);
  AddCell(3, {40, 40, 50, 50}, 1);  // inactive: left out, so picture 1 gets no line

  WritePositionTable(state);
  EXPECT_EQ(ProjectLines("PositionTable.txt"),
            (std::vector<std::string>{"/lib/a.jpg Pos: x0 y0 , x2 y0 , x0 y1 ,", "/lib/c.bmp Pos: x1 y2 ,",
                                      "total cell count 4", "Used File 2"}));
}

TEST_F(ReportsTest, PositionTableOfAProjectWithoutPicturesHasOnlyItsTotals) {
  SetPictures({"/lib/a.jpg"}, {0});
  Layer(1, true);
  AddCell(1, {0, 0, 10, 10}, -1, 0, false);
  WritePositionTable(state);
  EXPECT_EQ(ProjectLines("PositionTable.txt"),
            (std::vector<std::string>{"total cell count 0", "Used File 0"}));
}

// A damaged project's cell size must not divide by zero: sizes below 1 count as 1.
TEST_F(ReportsTest, PositionTableCellSizeBelowOneGivesPixelPositions) {
  struct Case {
    int cellW, cellH;
    const char* line;
  };
  const Case cases[] = {
      {10, 10, "p.jpg Pos: x2 y0 ,"},
      {0, 0, "p.jpg Pos: x25 y7 ,"},
      {-4, 5, "p.jpg Pos: x25 y1 ,"},
      {3, -1, "p.jpg Pos: x8 y7 ,"},
  };
  SetPictures({"p.jpg"}, {1});
  Layer(1, true);
  AddCell(1, {25, 7, 35, 17}, 0);
  for (const Case& c : cases) {
    state.CurrentProject.CellWidth = c.cellW;
    state.CurrentProject.CellHeight = c.cellH;
    WritePositionTable(state);
    const std::vector<std::string> lines = ProjectLines("PositionTable.txt");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], c.line) << c.cellW << " x " << c.cellH;
  }
}

TEST_F(ReportsTest, UsageCounterHasALineForEveryPictureUsedOrNot) {
  SetPictures({"/lib/a.jpg", "/lib/b.jpg", "/lib/c.bmp"}, {0, 0, 0});
  WriteStatistics(state);
  EXPECT_EQ(ProjectLines("FileUsageCounter.txt"),
            (std::vector<std::string>{"Use time: 0   filename: /lib/a.jpg", "Use time: 0   filename: /lib/b.jpg",
                                      "Use time: 0   filename: /lib/c.bmp", "total use time 0"}));

  SetPictures({"/lib/a.jpg", "/lib/b.jpg", "/lib/c.bmp"}, {4, 0, 2});
  WriteStatistics(state);
  EXPECT_EQ(ProjectLines("FileUsageCounter.txt"),
            (std::vector<std::string>{"Use time: 4   filename: /lib/a.jpg", "Use time: 0   filename: /lib/b.jpg",
                                      "Use time: 2   filename: /lib/c.bmp", "total use time 6"}));
}

// The count and the list come from different files and can disagree; the reports
// stay inside the signature table and name a missing list entry with nothing.
TEST_F(ReportsTest, PictureCountBeyondTheListOrTheTableStaysInBounds) {
  struct Case {
    std::int32_t count;
    std::size_t usageLines;
    const char* lastPictureLine;
  };
  const Case cases[] = {
      {-5, 0, nullptr},
      {3, 3, "Use time: 1   filename: "},
      {1000000, std::size_t(kLibImageCapacity), "Use time: 1   filename: "},
  };
  for (const Case& c : cases) {
    TAppState s;
    s.CurrentProject.Projectpath = project.string();
    s.CurrentProject.CellWidth = s.CurrentProject.CellHeight = 10;
    s.RenderCellImgList = {"a.jpg", "b.jpg"};
    for (auto& info : s.Library.LibImageInfos) info.UsageCount = 1;
    s.Library.LibImageCount = c.count;
    s.CurrentProject.Layers[1].Active = 1;
    TMosaicCell cell;
    cell.Bounds = {0, 0, 10, 10};
    cell.PictureIndex = 2;  // the picture without a list entry
    cell.Assigned = 1;
    s.CurrentProject.Layers[1].Cells.push_back(cell);
    WriteStatistics(s);
    const std::vector<std::string> usage = ReadLines(project / "FileUsageCounter.txt");
    ASSERT_EQ(usage.size(), c.usageLines + 1) << c.count;
    EXPECT_EQ(usage.back(), "total use time " + std::to_string(c.usageLines)) << c.count;
    if (c.lastPictureLine) {
      EXPECT_EQ(usage[c.usageLines - 1], c.lastPictureLine) << c.count;
    }
    const std::vector<std::string> positions = ReadLines(project / "PositionTable.txt");
    const bool counted = c.count > 2;
    ASSERT_EQ(positions.size(), counted ? 3u : 2u) << c.count;
    if (counted) {
      EXPECT_EQ(positions[0], " Pos: x0 y0 ,");
    }
  }
}

TEST_F(ReportsTest, FinalDiffListsEveryActiveCellLargestFirst) {
  SetPictures({"a.jpg"}, {2});
  Layer(1, true);
  AddCell(1, {0, 0, 10, 10}, 0, 12);
  AddCell(1, {10, 0, 20, 10}, -1, 0, false);  // unassigned cells count too
  AddCell(1, {20, 0, 30, 10}, 0, 40);
  Layer(2, false);
  AddCell(2, {0, 0, 10, 10}, 0, 99);  // inactive layer: not listed
  Layer(4, true);
  AddCell(4, {0, 0, 10, 10}, 0, 12);
  AddCell(4, {0, 0, 10, 10}, 0, 7);
  WriteStatistics(state);
  EXPECT_EQ(ProjectLines("FinalDiff.txt"), (std::vector<std::string>{"40", "12", "12", "7", "0"}));
}

TEST_F(ReportsTest, ChartShowsTheSortedDifferencesOverTwoHundredColumns) {
  SetPictures({"a.jpg"}, {2});
  Layer(1, true);
  AddCell(1, {0, 0, 10, 10}, 0, 57);
  AddCell(1, {10, 0, 20, 10}, 0, 103);
  WriteStatistics(state);

  const std::string raw = ReadRaw(project / "stat.bmp");
  ASSERT_GE(raw.size(), 54u);
  EXPECT_EQ(std::uint8_t(raw[28]), 32);  // 32 bits per pixel like every other bitmap
  const TBitmap32 chart = LoadBack(project / "stat.bmp");
  ASSERT_EQ(chart.Width(), 250);
  ASSERT_EQ(chart.Height(), 300);
  constexpr TColor32 green = Color32(0, 0xFF, 0), grey = Color32(0x80, 0x80, 0x80);

  // Columns 0..99 show 103 (the larger value, on the left), 100..199 show 57.
  struct Bar {
    int column, value;
  };
  for (const Bar bar : {Bar{0, 103}, Bar{99, 103}, Bar{100, 57}, Bar{199, 57}}) {
    for (int y = 0; y < 300; ++y) {
      const bool grid = y <= 246 && (256 - y) % 10 == 0;
      TColor32 expected = y < 256 ? clWhite32 : grey;
      if (y > 256 - bar.value && y <= 256) expected = green;
      if (grid) expected = clBlack32;
      if (y < 40) continue;  // the title may cross the bars' columns up there
      ASSERT_EQ(chart.Pixel(bar.column, y), expected) << "column " << bar.column << " row " << y;
    }
  }
  // Right of the chart: grey; the grid lines stop at column 199.
  EXPECT_EQ(CountPixels(chart, {200, 0, 250, 300}, grey), 50 * 300);
  // The title is dark text in the white area, between the grid lines of rows 16 and 26.
  EXPECT_GT(CountPixels(chart, {20, 17, 200, 26}, clWhite32), 0);
  EXPECT_LT(CountPixels(chart, {20, 17, 200, 26}, clWhite32), 180 * 9);
  EXPECT_EQ(CountPixels(chart, {150, 17, 200, 26}, clWhite32), 50 * 9);  // short title
}

TEST_F(ReportsTest, ChartWithoutCellsOrWithExtremeValues) {
  constexpr TColor32 green = Color32(0, 0xFF, 0);
  SetPictures({"a.jpg"}, {0});
  WriteStatistics(state);  // no active cell: no bar
  TBitmap32 chart = LoadBack(project / "stat.bmp");
  EXPECT_EQ(CountPixels(chart, chart.BoundsRect(), green), 0);
  EXPECT_EQ(ProjectLines("FinalDiff.txt").size(), 0u);

  // Values far outside 0..255 (a damaged cell file) run off the chart without a hang.
  Layer(1, true);
  AddCell(1, {0, 0, 10, 10}, -1, INT_MAX, false);
  AddCell(1, {0, 0, 10, 10}, -1, INT_MIN, false);
  WriteStatistics(state);
  chart = LoadBack(project / "stat.bmp");
  EXPECT_EQ(chart.Pixel(0, 0), green);     // up to the top row
  EXPECT_EQ(chart.Pixel(0, 257), Color32(0x80, 0x80, 0x80));
  EXPECT_EQ(chart.Pixel(150, 255), clWhite32);  // a negative bar runs down from row 256
  EXPECT_EQ(chart.Pixel(150, 256), green);
  EXPECT_EQ(chart.Pixel(150, 299), green);
  EXPECT_EQ(ProjectLines("FinalDiff.txt"),
            (std::vector<std::string>{std::to_string(INT_MAX), std::to_string(INT_MIN)}));
}

TEST(ReportBitmaps, EncodedBmpIsTheFileTheWriterSaves) {
  TempDir dir;
  TBitmap32 b(5, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) b.SetPixel(x, y, Color32(std::uint8_t(x * 40), std::uint8_t(y * 90), 7, std::uint8_t(x + y)));
  SaveBmp32(b, dir / "saved.bmp", 2835);
  EXPECT_EQ(EncodeBmp32(b, 2835), ReadRaw(dir / "saved.bmp"));
  EXPECT_EQ(EncodeBmp32(TBitmap32(), 0).size(), 54u);
}

// ---- Tile book -----------------------------------------------------------------

TEST_F(ReportsTest, TileCountReportLinesByFileNameMode) {
  SetPictures({"/photos/tiles/red.jpg", "/photos/tiles/unused.bmp", "C:\\tiles\\blue.bmp"}, {2, 0, 5});
  struct Case {
    int mode;
    std::vector<std::string> entries;
  };
  const Case cases[] = {
      {kTileNamesNone, {" ID 0 Count: 2 ", " ID 1 Count: 5 "}},
      {kTileNamesFileOnly, {" ID 0 Count: 2 file: red.jpg", " ID 1 Count: 5 file: blue.bmp"}},
      {kTileNamesFullPath,
       {" ID 0 Count: 2 file: /photos/tiles/red.jpg", " ID 1 Count: 5 file: C:\\tiles\\blue.bmp"}},
      {7, {" ID 0 Count: 2 ", " ID 1 Count: 5 "}},  // unknown mode: no name
  };
  for (const Case& c : cases) {
    WriteTileCountReport(state, c.mode, project.string());
    std::vector<std::string> expected = c.entries;
    expected.insert(expected.end(), {"-----------", "Total Used Tiles: 2", "Total Tile Count: 7"});
    EXPECT_EQ(ProjectLines("TileIDandCount.txt"), expected) << "mode " << c.mode;
  }
}

TEST_F(ReportsTest, NoUsedPictureLeavesOnlyTheClosingLinesAndNoSheet) {
  SetPictures({"a.jpg", "b.jpg"}, {0, 0});
  WriteTileCountReport(state, kTileNamesFileOnly, project.string());
  EXPECT_EQ(ProjectLines("TileIDandCount.txt"),
            (std::vector<std::string>{"-----------", "Total Used Tiles: 0", "Total Tile Count: 0"}));
  WriteTileSamples(state, kTileNamesFileOnly, project.string());
  EXPECT_FALSE(fs::exists(project / "TileID_Count_Sample_0.bmp"));
}

// One used picture, so the sample writer saves its partly filled sheet: a folder that
// does not exist sends that sheet to the project folder like every other file.
TEST_F(ReportsTest, TilePlanFilesGoToAnExistingFolderElseToTheProject) {
  const fs::path picture = dir / "tile.bmp";
  Solid(4, 4, Color32(10, 20, 30)).SaveToFile(picture);
  SetPictures({picture.string()}, {1});
  Layer(1, true);
  AddCell(1, {0, 0, 10, 10}, 0);
  state.OutputBitmap.SetSize(20, 20);

  const fs::path chosen = dir / "chosen";
  fs::create_directories(chosen);
  const fs::path plainFile = dir / "not_a_folder.txt";
  std::ofstream(plainFile) << "x";

  struct Writer {
    const char* file;
    std::function<void(TAppState&, const std::string&)> run;
  };
  const Writer writers[] = {
      {"TileIDandCount.txt", [](TAppState& s, const std::string& f) { WriteTileCountReport(s, 1, f); }},
      {"TileID_Count_Sample_0.bmp", [](TAppState& s, const std::string& f) { WriteTileSamples(s, 1, f); }},
      {"constructionplan.bmp", [](TAppState& s, const std::string& f) { DrawConstructionPlan(s, nullptr, f, false); }},
  };
  struct Folder {
    std::string text;
    fs::path expected;
  };
  const Folder folders[] = {
      {chosen.string(), chosen},
      {(dir / "missing").string(), project},
      {"", project},
      {plainFile.string(), project},
  };
  for (const Writer& w : writers) {
    for (const Folder& f : folders) {
      fs::remove(chosen / w.file);
      fs::remove(project / w.file);
      w.run(state, f.text);
      const fs::path other = f.expected == project ? chosen : project;
      EXPECT_TRUE(fs::exists(f.expected / w.file)) << w.file << " for folder '" << f.text << "'";
      EXPECT_FALSE(fs::exists(other / w.file)) << w.file << " for folder '" << f.text << "'";
    }
  }
  EXPECT_FALSE(fs::exists(dir / "missing"));  // no folder is created
}

// 33 pictures, 2 of them unused: 31 tiles give a full sheet and a sheet of one.
class TileSamplesTest : public ReportsTest {
 protected:
  static TColor32 ColourOf(int k) {
    return Color32(std::uint8_t(k * 7), std::uint8_t(250 - k * 5), std::uint8_t(k * 13 % 256));
  }
  void SetUp() override {
    ReportsTest::SetUp();
    std::vector<std::string> names;
    std::vector<int> usage;
    for (int k = 0; k < 33; ++k) {
      const fs::path file = dir / ("pic" + std::to_string(k) + ".bmp");
      Solid(8, 8, ColourOf(k)).SaveToFile(file);
      names.push_back(file.string());
      usage.push_back(k == 3 || k == 20 ? 0 : k % 4 + 1);
    }
    SetPictures(names, usage);
    for (int k = 0; k < 33; ++k)
      if (k != 3 && k != 20) used.push_back(k);
  }
  std::vector<int> used;  // tile ID -> picture index
};

TEST_F(TileSamplesTest, ThirtyOneTilesFillOneSheetAndStartAnother) {
  WriteTileSamples(state, kTileNamesNone, project.string());
  ASSERT_TRUE(fs::exists(project / "TileID_Count_Sample_0.bmp"));
  ASSERT_TRUE(fs::exists(project / "TileID_Count_Sample_1.bmp"));
  EXPECT_FALSE(fs::exists(project / "TileID_Count_Sample_2.bmp"));

  const TBitmap32 sheet0 = LoadBack(project / "TileID_Count_Sample_0.bmp");
  ASSERT_EQ(sheet0.Width(), 600);
  ASSERT_EQ(sheet0.Height(), 1000);
  for (int slot = 0; slot < 30; ++slot) {
    const int x = slot / 10 * 200, y = slot % 10 * 100;
    const int k = used[std::size_t(slot)];
    EXPECT_EQ(CountPixels(sheet0, {x + 16, y + 24, x + 80, y + 88}, ColourOf(k)), 64 * 64) << "slot " << slot;
    EXPECT_EQ(sheet0.Pixel(x + 15, y + 56), clWhite32) << "slot " << slot;
    EXPECT_EQ(sheet0.Pixel(x + 80, y + 56), clWhite32) << "slot " << slot;
    EXPECT_EQ(sheet0.Pixel(x + 48, y + 88), clWhite32) << "slot " << slot;
  }
  // Entry 10 opens the second column at (200, 0).
  EXPECT_EQ(sheet0.Pixel(216, 24), ColourOf(used[10]));
  EXPECT_EQ(sheet0.Pixel(215, 24), clWhite32);
  EXPECT_TRUE(RegionEquals(sheet0, 200, 0, TextStamp(200, 12, 10, 0, 0, " ID 10 Count: " +
                                                                       std::to_string(used[10] % 4 + 1))));
  // Mode 0 writes a blank name: nothing between the ID line and the preview.
  EXPECT_EQ(CountPixels(sheet0, {200, 12, 400, 24}, clWhite32), 200 * 12);

  const TBitmap32 sheet1 = LoadBack(project / "TileID_Count_Sample_1.bmp");
  EXPECT_EQ(CountPixels(sheet1, {16, 24, 80, 88}, ColourOf(used[30])), 64 * 64);
  EXPECT_TRUE(RegionEquals(sheet1, 0, 0, TextStamp(200, 12, 10, 0, 0, " ID 30 Count: " +
                                                                     std::to_string(used[30] % 4 + 1))));
  // The rest of the second sheet is blank.
  EXPECT_EQ(CountPixels(sheet1, {0, 100, 600, 1000}, clWhite32), 600 * 900);
  EXPECT_EQ(CountPixels(sheet1, {200, 0, 600, 100}, clWhite32), 400 * 100);
}

TEST_F(ReportsTest, SamplesKeepTheirProportionsAndShowNothingForAnUndecodablePicture) {
  const fs::path wide = dir / "wide.bmp", broken = dir / "broken.jpg", photo = dir / "photo.jpg";
  const TColor32 wideColour = Color32(200, 30, 40), photoColour = Color32(40, 90, 200);
  Solid(16, 8, wideColour).SaveToFile(wide);
  std::ofstream(broken, std::ios::binary) << "not a picture at all";
  SaveJpeg(Solid(8, 8, photoColour), photo, 95, false);
  SetPictures({wide.string(), broken.string(), photo.string()}, {1, 2, 3});

  WriteTileSamples(state, kTileNamesFileOnly, project.string());
  const TBitmap32 sheet = LoadBack(project / "TileID_Count_Sample_0.bmp");
  // 16 x 8 fits as 64 x 32, drawn at the preview's corner.
  EXPECT_EQ(CountPixels(sheet, {16, 24, 80, 56}, wideColour), 64 * 32);
  EXPECT_EQ(CountPixels(sheet, {16, 56, 80, 88}, clWhite32), 64 * 32);
  // The broken file shows a white preview, not the picture before it.
  EXPECT_EQ(CountPixels(sheet, {16, 124, 80, 188}, clWhite32), 64 * 64);
  // The JPEG comes back close to its colour.
  const TColor32 p = sheet.Pixel(48, 256);
  EXPECT_NEAR(RedOf(p), 40, 4);
  EXPECT_NEAR(GreenOf(p), 90, 4);
  EXPECT_NEAR(BlueOf(p), 200, 4);
  EXPECT_EQ(AlphaOf(p), 255);
  // Name lines carry the file name without its folder.
  const TBitmap32 name = TextStamp(200, 12, 10, 0, 0, " file: photo.jpg");
  EXPECT_LT(CountPixels(name, name.BoundsRect(), clWhite32), 200 * 12);
  EXPECT_TRUE(RegionEquals(sheet, 0, 212, name));
  EXPECT_TRUE(RegionEquals(sheet, 0, 200, TextStamp(200, 12, 10, 0, 0, " ID 2 Count: 3")));
}

// A 32-bit BMP with transparent pixels must not punch holes into the printed sheet.
TEST_F(ReportsTest, SamplePreviewsAreOpaque) {
  const fs::path clear = dir / "clear.bmp";
  Solid(8, 8, Color32(90, 90, 90, 64)).SaveToFile(clear);
  SetPictures({clear.string()}, {1});
  WriteTileSamples(state, kTileNamesNone, project.string());
  const TBitmap32 sheet = LoadBack(project / "TileID_Count_Sample_0.bmp");
  EXPECT_EQ(CountPixels(sheet, {16, 24, 80, 88}, Color32(90, 90, 90)), 64 * 64);
}

// ---- Construction plan ---------------------------------------------------------

class RecordingProgress : public IJobProgress {
 public:
  void SetPercent(int percent) override { percents.push_back(percent); }
  std::vector<int> percents;
};

class ConstructionPlanTest : public ReportsTest {
 protected:
  void SetUp() override {
    ReportsTest::SetUp();
    state.CurrentProject.CellWidth = state.CurrentProject.CellHeight = 16;
    // Picture 1 is assigned to a cell but not counted (the counts are the tile plan
    // window's recount); picture 3 is unused.
    SetPictures({"p0.jpg", "p1.jpg", "p2.jpg", "p3.jpg"}, {2, 0, 1, 0});
    state.OutputBitmap = Solid(60, 40, Color32(0, 0, 255));
    Layer(1, true);
    AddCell(1, {0, 0, 16, 16}, 0);                  // "0"
    AddCell(1, {16, 0, 32, 16}, 2);                 // "1"
    AddCell(1, {32, 0, 48, 16}, 1);                 // assigned, not counted: "N/A"
    AddCell(1, {0, 16, 16, 32}, 2, 0, false);       // unassigned: not drawn
    AddCell(1, {48, 0, 64, 16}, 99);                // beyond the list: "N/A", clipped at 60
    Layer(2, true);
    TTSLayer& masked = state.CurrentProject.Layers[2];
    masked.Pattern.HasMask = 1;
    masked.MaskBitmap = Solid(16, 16, clBlack32);
    masked.MaskBitmap.FillRectS({0, 0, 8, 16}, clWhite32);  // left half inside
    AddCell(2, {16, 16, 32, 32}, 0);
  }

  static TBitmap32 Square(const std::string& text) {
    TBitmap32 probe = Solid(16, 16, clWhite32);
    probe.Canvas().Font.Height = 12;
    const int x = std::max(0, 8 - probe.TextWidth(text) / 2);
    const int y = std::max(0, 8 - probe.TextHeight(text) / 2);
    return TextStamp(16, 16, 12, x, y, text);
  }
};

TEST_F(ConstructionPlanTest, AssignedCellsBecomeNumberedSquaresOnDarkGreen) {
  const TBitmap32 view = state.OutputBitmap;
  RecordingProgress progress;
  DrawConstructionPlan(state, &progress, project.string(), false);
  EXPECT_TRUE(RegionEquals(state.OutputBitmap, 0, 0, view));  // the view keeps the mosaic

  const TBitmap32 plan = LoadBack(project / "constructionplan.bmp");
  ASSERT_EQ(plan.Width(), 60);
  ASSERT_EQ(plan.Height(), 40);
  const TBitmap32 zero = Square("0"), one = Square("1"), na = Square("N/A");
  ASSERT_FALSE(RegionEquals(zero, 0, 0, one));
  ASSERT_FALSE(RegionEquals(zero, 0, 0, na));
  EXPECT_TRUE(RegionEquals(plan, 0, 0, zero));
  EXPECT_TRUE(RegionEquals(plan, 16, 0, one));
  EXPECT_TRUE(RegionEquals(plan, 32, 0, na));
  // The text sits in the middle of its square.
  int left = 16, right = -1;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x)
      if (na.Pixel(x, y) != clWhite32) left = std::min(left, x), right = std::max(right, x);
  EXPECT_NEAR((left + right) / 2.0, 7.5, 2.0);
  // The clipped cell shows its left 12 columns.
  for (int y = 0; y < 16; ++y)
    for (int x = 48; x < 60; ++x) ASSERT_EQ(plan.Pixel(x, y), na.Pixel(x - 48, y)) << x << "," << y;
  // The unassigned cell and the space outside every cell stay dark green.
  EXPECT_EQ(CountPixels(plan, {0, 16, 16, 32}, kPlanGreen), 256);
  EXPECT_EQ(CountPixels(plan, {0, 32, 60, 40}, kPlanGreen), 60 * 8);
  EXPECT_EQ(CountPixels(plan, {32, 16, 60, 32}, kPlanGreen), 28 * 16);
  // The masked cell keeps its left half; the right half shows the background.
  EXPECT_EQ(CountPixels(plan, {24, 16, 32, 32}, kPlanGreen), 8 * 16);
  EXPECT_EQ(plan.Pixel(16, 16), clWhite32);
  EXPECT_EQ(plan.Pixel(23, 31), clWhite32);

  // Six cells against three counted uses: the bar stops at 100, then returns to 0.
  ASSERT_FALSE(progress.percents.empty());
  EXPECT_EQ(progress.percents.back(), 0);
  const std::vector<int> running(progress.percents.begin(), progress.percents.end() - 1);
  EXPECT_EQ(running, (std::vector<int>{33, 66, 100}));
}

TEST_F(ConstructionPlanTest, MaskGapBandTakesTheBorderColour) {
  state.CurrentProject.BorderSize = 2;
  state.CurrentProject.BorderColor = 0x0000FF;  // canvas red
  DrawConstructionPlan(state, nullptr, project.string(), false);
  const TBitmap32 plan = LoadBack(project / "constructionplan.bmp");
  constexpr TColor32 red = Color32(255, 0, 0);
  EXPECT_EQ(plan.Pixel(16, 16), red);  // outside the inner shape's rectangle
  EXPECT_EQ(plan.Pixel(16, 24), red);
  EXPECT_EQ(plan.Pixel(18, 18), clWhite32);  // inside the inner shape
  EXPECT_EQ(CountPixels(plan, {24, 16, 32, 32}, kPlanGreen), 8 * 16);
  // Unmasked layers are not cut.
  EXPECT_TRUE(RegionEquals(plan, 0, 0, Square("0")));
}

TEST_F(ConstructionPlanTest, InPlaceDrawsIntoTheOutputPageAndRepeatsExactly) {
  // Whatever the drawing step left in PictureBitmap must not leak into the plan.
  state.PictureBitmap = Solid(3, 3, clBlack32);
  state.PictureBitmap.DrawMode = dmBlend;
  state.PictureBitmap.MasterAlpha = 0;
  state.PictureBitmap.Canvas().Font.Bold = true;
  DrawConstructionPlan(state, nullptr, project.string(), false);
  const std::string first = ReadRaw(project / "constructionplan.bmp");
  DrawConstructionPlan(state, nullptr, project.string(), false);
  EXPECT_EQ(ReadRaw(project / "constructionplan.bmp"), first);
  EXPECT_TRUE(RegionEquals(LoadBack(project / "constructionplan.bmp"), 0, 0, Square("0")));

  DrawConstructionPlan(state, nullptr, project.string(), true);
  EXPECT_EQ(ReadRaw(project / "constructionplan.bmp"), first);
  EXPECT_EQ(EncodeBmp32(state.OutputBitmap, 0), first);
}

TEST_F(ConstructionPlanTest, AnUnreadableMaskLeavesTheSquareUncut) {
  state.CurrentProject.Layers[2].MaskBitmap = TBitmap32();
  DrawConstructionPlan(state, nullptr, project.string(), false);
  EXPECT_TRUE(RegionEquals(LoadBack(project / "constructionplan.bmp"), 16, 16, Square("0")));
}

TEST_F(ConstructionPlanTest, AnEmptyOutputPageIsAnErrorAndWritesNothing) {
  state.OutputBitmap = TBitmap32();
  EXPECT_THROW(DrawConstructionPlan(state, nullptr, project.string(), false), TReportError);
  EXPECT_THROW(DrawConstructionPlan(state, nullptr, project.string(), true), TReportError);
  EXPECT_FALSE(fs::exists(project / "constructionplan.bmp"));
}

TEST_F(ConstructionPlanTest, PlanCellDrawsNothingForBadArguments) {
  struct Case {
    const char* what;
    int layer, index, cellW, cellH;
  };
  const Case cases[] = {
      {"layer 0", 0, 0, 16, 16},
      {"layer 8", 8, 0, 16, 16},
      {"negative index", 1, -1, 16, 16},
      {"index beyond the cells", 1, 5, 16, 16},
      {"unassigned cell", 1, 3, 16, 16},
      {"zero cell width", 1, 0, 0, 16},
      {"negative cell height", 1, 0, 16, -1},
      {"cell too large to allocate", 1, 0, 100000, 100000},
  };
  for (const Case& c : cases) {
    state.CurrentProject.CellWidth = c.cellW;
    state.CurrentProject.CellHeight = c.cellH;
    TBitmap32 target = Solid(60, 40, kPlanGreen);
    DrawPlanCell(state, c.layer, c.index, target, "7");
    EXPECT_EQ(CountPixels(target, target.BoundsRect(), kPlanGreen), 60 * 40) << c.what;
  }
  // The same call with good arguments does draw.
  state.CurrentProject.CellWidth = state.CurrentProject.CellHeight = 16;
  TBitmap32 target = Solid(60, 40, kPlanGreen);
  DrawPlanCell(state, 1, 0, target, "7");
  EXPECT_TRUE(RegionEquals(target, 0, 0, Square("7")));
}

// A cell whose Bounds differ from the cell size gets the square stretched into them.
TEST_F(ConstructionPlanTest, SquaresStretchIntoTheCellBounds) {
  state.CurrentProject.Layers[1].Cells[0].Bounds = {0, 0, 32, 32};
  TBitmap32 target = Solid(60, 40, kPlanGreen);
  DrawPlanCell(state, 1, 0, target, "N/A");
  EXPECT_EQ(CountPixels(target, {32, 0, 60, 40}, kPlanGreen), 28 * 40);
  EXPECT_EQ(CountPixels(target, {0, 32, 32, 40}, kPlanGreen), 32 * 8);
  EXPECT_EQ(target.Pixel(0, 0), clWhite32);
  EXPECT_EQ(target.Pixel(31, 31), clWhite32);
  EXPECT_LT(CountPixels(target, {0, 0, 32, 32}, clWhite32), 32 * 32);  // the text is there
}

}  // namespace
}  // namespace tessaro
