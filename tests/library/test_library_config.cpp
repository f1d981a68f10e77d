// Library folders: "libcfg.cfg", the library scan, the highlighted library's file list,
// picture path resolution and the selected totals.
#include <gtest/gtest.h>

#include "core/app_state.h"
#include "library/TsPhotoLib.h"
#include "library_fixtures.h"

namespace tessaro {
namespace {

using libtest::FileListText;
using libtest::LibCfgText;
using libtest::ScratchDir;
using libtest::WriteText;

TEST(LibCfg, MissingFileAndMissingKeysGiveTheDefaults) {
  ScratchDir dir;
  const Tlibcfg missing = ReadLibCfg(dir / "none" / "libcfg.cfg");
  EXPECT_EQ(missing.colname, "NONAME");
  EXPECT_EQ(missing.coltype, 0);
  EXPECT_EQ(missing.PhotoCount, 0);
  EXPECT_EQ(missing.PathType, 0);
  EXPECT_EQ(missing.Path, "NOFONT");
  EXPECT_EQ(missing.CharFont, "NOFONT");

  WriteText(dir / "lib" / "libcfg.cfg", "[LibCFG07]\r\ncoltype=30\r\nPhotoCount=abc\r\n");
  const Tlibcfg partial = ReadLibCfg(dir / "lib" / "libcfg.cfg");
  EXPECT_EQ(partial.coltype, 30);
  EXPECT_EQ(partial.PhotoCount, 0);  // unparsable: default
  EXPECT_EQ(partial.colname, "NONAME");
  EXPECT_EQ(ReadLibType(dir / "lib" / "libcfg.cfg"), 30);
  EXPECT_EQ(ReadLibType(dir / "none" / "libcfg.cfg"), 0);
}

TEST(LibCfg, PathTypeOneTakesTheLibraryFolderWhateverPathSays) {
  ScratchDir dir;
  const auto cats = dir / "PhotoLibs" / "Cats";
  WriteText(cats / "libcfg.cfg", LibCfgText(0, 2, 1, "C:\\Elsewhere"));
  Tlibcfg cfg;
  ReadLibCfg(cats / "libcfg.cfg", cfg);
  EXPECT_EQ(cfg.Path, cats.string());
  EXPECT_EQ(ResolvePicturePath(cfg, "a.jpg"), (cats / "a.jpg").string());

  WriteText(dir / "Full" / "libcfg.cfg", LibCfgText(0, 2, 0, "C:\\Elsewhere"));
  EXPECT_EQ(ReadLibCfg(dir / "Full" / "libcfg.cfg").Path, "C:\\Elsewhere");
}

TEST(LibCfg, PicturePathsResolveByPathType) {
  struct Case {
    int pathType;
    const char* expected;
  };
  for (const Case c : {Case{0, "sub/a.jpg"}, Case{1, "/lib/sub/a.jpg"}, Case{2, ""}, Case{-1, ""}}) {
    Tlibcfg cfg;
    cfg.PathType = c.pathType;
    cfg.Path = "/lib";
    EXPECT_EQ(ResolvePicturePath(cfg, "sub/a.jpg"), c.expected) << "PathType " << c.pathType;
  }
  TPhotoLibState libs;
  libs.CurrentLibCfg.Path = "/lib";
  EXPECT_EQ(LibraryPicturePath(libs, "a.jpg"), "/lib/a.jpg");
}

TEST(PhotoLibs, InitUsesTheProgramFolder) {
  TAppState state;
  state.AppDir = "/opt/tessaro";
  InitPhotoLibs(state);
  EXPECT_EQ(state.PhotoLibs.PhotoLibsDir, std::filesystem::path("/opt/tessaro/PhotoLibs"));
}

class LibraryScan : public ::testing::Test {
 protected:
  void SetUp() override {
    InitPhotoLibs(libs, dir.Path());
    const auto root = libs.PhotoLibsDir;
    WriteText(root / "dogs" / "libcfg.cfg", LibCfgText(0, 1, 0, ""));
    WriteText(root / "Birds" / "libcfg.cfg", LibCfgText(30, 1, 0, ""));
    WriteText(root / "cats" / "libcfg.cfg", LibCfgText(30, 1, 0, ""));
    std::filesystem::create_directories(root / "NoConfig");
    WriteText(root / "stray.txt", "not a library");
    std::filesystem::create_directory_symlink(root / "dogs", root / "linked");
  }
  ScratchDir dir;
  TPhotoLibState libs;
};

TEST_F(LibraryScan, ListsFoldersOnlyInNameOrder) {
  std::vector<std::string> names{"stale"}, paths{"stale"};
  ScanLibraries(libs, &names, paths, -1);
  EXPECT_EQ(names, (std::vector<std::string>{"Birds", "cats", "dogs", "linked", "NoConfig"}));
  ASSERT_EQ(paths.size(), names.size());
  for (std::size_t i = 0; i < names.size(); ++i)
    EXPECT_EQ(paths[i], (libs.PhotoLibsDir / names[i]).string());
}

TEST_F(LibraryScan, FilterKeepsOnlyTheLibraryKind) {
  std::vector<std::string> paths{"stale"};
  ScanLibraries(libs, nullptr, paths, 30);
  EXPECT_EQ(paths, (std::vector<std::string>{(libs.PhotoLibsDir / "Birds").string(),
                                             (libs.PhotoLibsDir / "cats").string()}));
  // A folder without "libcfg.cfg" reads as coltype 0.
  ScanLibraries(libs, nullptr, paths, 0);
  EXPECT_EQ(paths.size(), 3u);  // dogs, linked, NoConfig
}

TEST_F(LibraryScan, MissingPhotoLibsGivesNoLibraries) {
  TPhotoLibState none;
  InitPhotoLibs(none, dir / "nowhere");
  std::vector<std::string> names{"x"}, paths{"y"};
  ScanLibraries(none, &names, paths, -1);
  EXPECT_TRUE(names.empty());
  EXPECT_TRUE(paths.empty());
}

class HighlightedLibrary : public ::testing::Test {
 protected:
  std::string MakeLibrary(const std::string& name, const std::string& cfg, const std::string* list) {
    const auto folder = dir / name;
    WriteText(folder / "libcfg.cfg", cfg);
    if (list) WriteText(folder / "filelist.lst", *list);
    return folder.string();
  }
  ScratchDir dir;
  TPhotoLibState libs;
  TFileListGrid grid;
};

TEST_F(HighlightedLibrary, PhotoCountOfTheConfigFeedsTheTotalsAndTheRowsTheLabel) {
  std::vector<std::string> hundred;
  for (int i = 0; i < 100; ++i) hundred.push_back(libtest::NumberedName("p", i, ".jpg"));
  const std::string list = FileListText(hundred);
  const std::string a = MakeLibrary("a", LibCfgText(0, 120, 1, ""), &list);
  const std::string b = MakeLibrary("b", LibCfgText(0, 7, 1, ""), nullptr);

  EXPECT_EQ(SelectedLibraryPhotoTotal({a}), 120);
  EXPECT_EQ(SelectedLibraryPhotoTotal({a, b}), 127);
  EXPECT_EQ(SelectedPhotoTotal(SelectedLibraryPhotoTotal({a, b}), 3), 130);
  LoadLibraryFileList(libs, {a, b}, 0, grid);
  EXPECT_EQ(libs.HighlightedLibraryPhotoCount, 100);
  EXPECT_EQ(grid.Cell(0, 100), "p99.jpg");
}

TEST_F(HighlightedLibrary, ThreeColumnsFiveRowsHoldThreePictures) {
  const std::string list = "3,5\r\n0,1,a.jpg\r\n0,2,b.jpg\r\n0,3,c.jpg\r\n";
  const std::string lib = MakeLibrary("lib", LibCfgText(0, 3, 1, ""), &list);
  LoadLibraryFileList(libs, {lib}, 0, grid);
  EXPECT_EQ(libs.HighlightedLibraryPhotoCount, 3);
}

TEST_F(HighlightedLibrary, NoFileOrNoValidIndexGivesTheEmptyHeaderGrid) {
  const std::string lib = MakeLibrary("lib", LibCfgText(0, 3, 1, ""), nullptr);
  const std::string other = "3,9\r\n0,1,x.jpg\r\n";
  const std::string full = MakeLibrary("full", LibCfgText(0, 3, 1, ""), &other);
  struct Case {
    std::vector<std::string> paths;
    int index;
  };
  for (const Case& c : {Case{{lib}, 0}, Case{{full}, 1}, Case{{full}, -1}, Case{{}, 0}}) {
    libs.HighlightedLibraryPhotoCount = 55;
    LoadLibraryFileList(libs, {full}, 0, grid);  // something to clear
    LoadLibraryFileList(libs, c.paths, c.index, grid);
    EXPECT_EQ(libs.HighlightedLibraryPhotoCount, 0);
    EXPECT_EQ(grid.RowCount(), 2);
    EXPECT_EQ(grid.ColCount(), 3);
    EXPECT_EQ(grid.Cell(0, 0), "File Name");
    EXPECT_EQ(grid.Cell(1, 0), "Size");
    EXPECT_EQ(grid.Cell(2, 0), "Type");
    EXPECT_EQ(grid.Cell(0, 1), "");
  }
}

TEST_F(HighlightedLibrary, CorruptListRaisesAfterCountingWhatWasRead) {
  const std::string list = "3,6\r\n0,1,a.jpg\r\nbroken line\r\n";
  const std::string lib = MakeLibrary("lib", LibCfgText(0, 3, 1, ""), &list);
  libs.HighlightedLibraryPhotoCount = 55;
  EXPECT_THROW(LoadLibraryFileList(libs, {lib}, 0, grid), TLibraryFileError);
  EXPECT_EQ(libs.HighlightedLibraryPhotoCount, 4);
  EXPECT_EQ(grid.Cell(0, 1), "a.jpg");
}

TEST(SelectedTotals, LabelColourAndOwnPictureLimit) {
  EXPECT_EQ(SelectedPhotoTotalColor(0), 0x0000FFu);
  EXPECT_EQ(SelectedPhotoTotalColor(-3), 0x0000FFu);
  EXPECT_EQ(SelectedPhotoTotalColor(1), 0x008000u);
  EXPECT_FALSE(OwnPictureLimitReached(5000));
  EXPECT_TRUE(OwnPictureLimitReached(5001));
}

}  // namespace
}  // namespace tessaro
