// The grid text format of "filelist.lst": reading, its errors, its bounds, writing.
#include <gtest/gtest.h>

#include "library/TsPhotoLib.h"
#include "library_fixtures.h"

namespace tessaro {
namespace {

using libtest::ReadText;
using libtest::ScratchDir;
using libtest::WriteText;

TEST(FileListGrid, ReadsCellsAndIgnoresWidthsAndCellsOutsideTheCounts) {
  ScratchDir dir;
  const auto file = dir / "filelist.lst";
  // LF and CR LF mixed; a text with commas; a cell beyond the columns, one beyond the
  // rows, negative indices; a blank line.
  WriteText(file,
            "3,4\r\ncw 0,200\ncw 1,x,y\r\n0,1,a, b,c.jpg\r\n2,1,JPG\n5,1,beyond columns\r\n"
            "0,4,beyond rows\r\n-1,2,negative\r\n\r\n0,3,last\r\n");
  TFileListGrid grid;
  LoadFileListGrid(grid, file);
  EXPECT_EQ(grid.ColCount(), 3);
  EXPECT_EQ(grid.RowCount(), 4);
  EXPECT_EQ(grid.Cell(0, 1), "a, b,c.jpg");
  EXPECT_EQ(grid.Cell(2, 1), "JPG");
  EXPECT_EQ(grid.Cell(0, 3), "last");
  EXPECT_EQ(grid.Cell(0, 2), "");
  int filled = 0;
  grid.ForEachCell([&](int, int, const std::string&) { ++filled; });
  EXPECT_EQ(filled, 3);
}

TEST(FileListGrid, CellsTheFileDoesNotNameKeepTheirText) {
  ScratchDir dir;
  const auto file = dir / "filelist.lst";
  WriteText(file, "3,3\r\n0,1,new\r\n");
  TFileListGrid grid;
  grid.SetColCount(3);
  grid.SetRowCount(2);
  grid.SetCell(0, 0, "File Name");
  grid.SetCell(0, 1, "old");
  LoadFileListGrid(grid, file);
  EXPECT_EQ(grid.Cell(0, 0), "File Name");
  EXPECT_EQ(grid.Cell(0, 1), "new");
}

struct ErrorCase {
  const char* name;
  const char* content;  // nullptr: no file
  const char* message;  // prefix; the file name follows
  int cellsBeforeFault;
};

class FileListGridErrors : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(FileListGridErrors, RaiseTheMessageWithTheFileNameAndKeepWhatWasRead) {
  const ErrorCase& c = GetParam();
  ScratchDir dir;
  const auto file = dir / "filelist.lst";
  if (c.content) WriteText(file, c.content);
  TFileListGrid grid;
  try {
    LoadFileListGrid(grid, file);
    FAIL() << "no error raised";
  } catch (const TLibraryFileError& e) {
    EXPECT_EQ(std::string(e.what()), std::string(c.message) + file.string());
  }
  int filled = 0;
  grid.ForEachCell([&](int, int, const std::string&) { ++filled; });
  EXPECT_EQ(filled, c.cellsBeforeFault);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FileListGridErrors,
    ::testing::Values(
        ErrorCase{"Missing", nullptr, "Cannot open file ", 0},
        ErrorCase{"Empty", "", "File contains no data or corrupt file ", 0},
        ErrorCase{"ZeroColumns", "0,5\r\n0,1,a\r\n", "File contains no data or corrupt file ", 0},
        ErrorCase{"ZeroRows", "3,0\r\n", "File contains no data or corrupt file ", 0},
        ErrorCase{"NegativeRows", "3,-4\r\n", "File contains no data or corrupt file ", 0},
        ErrorCase{"NotNumbers", "three,five\r\n", "File contains no data or corrupt file ", 0},
        ErrorCase{"OneNumber", "3\r\n", "File contains no data or corrupt file ", 0},
        ErrorCase{"BadCellLine", "3,5\r\n0,1,a.jpg\r\n0,2,b.jpg\r\ngarbage\r\n0,3,c.jpg\r\n",
                  "File contains no data or corrupt file ", 2},
        ErrorCase{"CellWithoutText", "3,5\r\n0,1,a.jpg\r\n0,2\r\n",
                  "File contains no data or corrupt file ", 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FileListGrid, AFolderInPlaceOfTheFileCannotBeOpened) {
  ScratchDir dir;
  std::filesystem::create_directory(dir / "filelist.lst");
  TFileListGrid grid;
  EXPECT_THROW(LoadFileListGrid(grid, dir / "filelist.lst"), TLibraryFileError);
}

TEST(FileListGrid, HugeCountsAreCutToTheCapsAndCostNothing) {
  ScratchDir dir;
  const auto file = dir / "filelist.lst";
  WriteText(file, "2000000000,2000000000\r\n0,1,a.jpg\r\n0,1999999999,far.jpg\r\n"
                  "99999999999999999999,1,overflow\r\n");
  TFileListGrid grid;
  LoadFileListGrid(grid, file);
  EXPECT_EQ(grid.ColCount(), TFileListGrid::kMaxColCount);
  EXPECT_EQ(grid.RowCount(), TFileListGrid::kMaxRowCount);
  EXPECT_EQ(grid.Cell(0, 1), "a.jpg");
  int filled = 0;
  grid.ForEachCell([&](int, int, const std::string&) { ++filled; });
  EXPECT_EQ(filled, 1);  // the far row lies beyond the cap, the overflow beyond the columns
}

TEST(FileListGrid, AFileAboveTheSizeLimitIsRefusedAsCorrupt) {
  ScratchDir dir;
  const auto file = dir / "filelist.lst";
  WriteText(file, "3,5\r\n");
  std::filesystem::resize_file(file, kMaxFileListBytes + 1);  // sparse: cheap to make
  TFileListGrid grid;
  try {
    LoadFileListGrid(grid, file);
    FAIL() << "no error raised";
  } catch (const TLibraryFileError& e) {
    EXPECT_EQ(std::string(e.what()), "File contains no data or corrupt file " + file.string());
  }
}

TEST(FileListGrid, ShrinkingTheCountsDropsTheCellsOutside) {
  TFileListGrid grid;
  grid.SetColCount(3);
  grid.SetRowCount(3);
  grid.SetCell(2, 2, "corner");
  grid.SetCell(0, 1, "kept");
  grid.SetCell(5, 0, "outside");  // ignored
  grid.SetRowCount(2);
  grid.SetRowCount(3);
  EXPECT_EQ(grid.Cell(2, 2), "");
  grid.SetCell(2, 2, "corner");
  grid.SetColCount(2);
  grid.SetColCount(3);
  EXPECT_EQ(grid.Cell(2, 2), "");
  EXPECT_EQ(grid.Cell(0, 1), "kept");
  grid.SetRowCount(-5);
  EXPECT_EQ(grid.RowCount(), 0);
}

TEST(FileListGrid, WritesCrLfLinesThatReadBack) {
  ScratchDir dir;
  const auto file = dir / "filelist.lst";
  TFileListGrid grid;
  grid.SetColCount(3);
  grid.SetRowCount(4);
  grid.SetCell(0, 0, "File Name");
  grid.SetCell(0, 1, "a, b.jpg");
  grid.SetCell(2, 1, "JPG");
  grid.SetCell(0, 2, "two\r\nlines.jpg");
  WriteText(file, "old content");
  SaveFileListGrid(grid, file);
  EXPECT_EQ(ReadText(file),
            "3,4\r\n0,0,File Name\r\n0,1,a, b.jpg\r\n2,1,JPG\r\n0,2,two  lines.jpg\r\n");
  EXPECT_EQ(libtest::Names(dir.Path()), std::vector<std::string>{"filelist.lst"});  // no temporary left

  TFileListGrid back;
  LoadFileListGrid(back, file);
  EXPECT_EQ(back.RowCount(), 4);
  EXPECT_EQ(back.Cell(0, 1), "a, b.jpg");
  EXPECT_EQ(back.Cell(2, 1), "JPG");
  EXPECT_EQ(back.Cell(0, 2), "two  lines.jpg");
}

}  // namespace
}  // namespace tessaro
