// Own-picture folder scans and limits, the project's picture list and "imglist.lst".
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "core/app_state.h"
#include "library/TsPhotoLib.h"
#include "library_fixtures.h"

namespace tessaro {
namespace {

namespace fs = std::filesystem;
using libtest::FileListText;
using libtest::LibCfgText;
using libtest::ReadText;
using libtest::ScratchDir;
using libtest::WriteText;

std::vector<std::string> Relative(const std::vector<std::string>& list, const fs::path& base) {
  std::vector<std::string> out;
  for (const auto& p : list) out.push_back(fs::path(p).lexically_relative(base).string());
  return out;
}

TEST(PictureFolderScan, TakesJpgBmpGifInAnyCaseOnly) {
  ScratchDir dir;
  struct Case {
    const char* name;
    bool taken;
  };
  const Case cases[] = {{"photo.JpG", true}, {"photo.jpeg", false}, {"b.bmp", true},
                        {"c.GIF", true},     {"d.dib", false},      {"e.png", false},
                        {"jpg", false},      {"f.jpg.txt", false},  {".jpg", true}};
  std::vector<std::string> expected;
  for (const Case& c : cases) {
    WriteText(dir / c.name, "x");
    if (c.taken) expected.push_back(c.name);
  }
  fs::create_directory(dir / "folder.jpg");  // a folder is no picture
  ASSERT_EQ(::mkfifo((dir / "pipe.jpg").c_str(), 0600), 0);  // would block a loader
  std::vector<std::string> list;
  ScanPictureFolder(dir.Path(), list, false);
  std::sort(expected.begin(), expected.end(), [](const std::string& a, const std::string& b) {
    std::string la = a, lb = b;
    for (auto& ch : la) ch = char(std::tolower(ch));
    for (auto& ch : lb) ch = char(std::tolower(ch));
    return la < lb;
  });
  EXPECT_EQ(Relative(list, dir.Path()), expected);
}

TEST(PictureFolderScan, EntersSubFoldersDepthFirstWhereTheyAreMet) {
  ScratchDir dir;
  for (const char* f : {"a.jpg", "B/c.jpg", "B/D/e.jpg", "B/f.jpg", "b.jpg", "z.jpg"})
    WriteText(dir / f, "x");
  std::vector<std::string> list{"kept.jpg"};
  ScanPictureFolder(dir.Path(), list, true);
  EXPECT_EQ(list.front(), "kept.jpg");
  list.erase(list.begin());
  EXPECT_EQ(Relative(list, dir.Path()),
            (std::vector<std::string>{"a.jpg", "B/c.jpg", "B/D/e.jpg", "B/f.jpg", "b.jpg", "z.jpg"}));

  list.clear();
  ScanPictureFolder(dir.Path(), list, false);
  EXPECT_EQ(Relative(list, dir.Path()), (std::vector<std::string>{"a.jpg", "b.jpg", "z.jpg"}));
}

TEST(PictureFolderScan, LinksBackUpTheTreeAreEnteredOnce) {
  ScratchDir dir;
  WriteText(dir / "top.jpg", "x");
  WriteText(dir / "sub" / "in.jpg", "x");
  fs::create_directory_symlink(dir.Path(), dir / "sub" / "loop");
  fs::create_directory_symlink(dir / "sub", dir / "zz_again");
  std::vector<std::string> list;
  ScanPictureFolder(dir.Path(), list, true);
  EXPECT_EQ(Relative(list, dir.Path()), (std::vector<std::string>{"sub/in.jpg", "top.jpg"}));
}

TEST(PictureFolderScan, MissingFolderAddsNothing) {
  ScratchDir dir;
  std::vector<std::string> list;
  ScanPictureFolder(dir / "none", list, true);
  EXPECT_TRUE(list.empty());
}

TEST(OwnPictures, AFolderOf6000KeepsTheFirst5000Found) {
  ScratchDir dir;
  for (int i = 0; i < 6000; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "p%04d.jpg", i);
    std::ofstream(dir / name).put('x');
  }
  std::vector<std::string> list;
  AddPictureFolder(list, dir.Path(), false);
  ASSERT_EQ(list.size(), 5000u);
  EXPECT_EQ(fs::path(list.front()).filename(), "p0000.jpg");
  EXPECT_EQ(fs::path(list.back()).filename(), "p4999.jpg");

  // A list loaded from a file is not limited, but the next addition applies the rule.
  std::vector<std::string> loaded(5003, "x.jpg");
  AddPictureFiles(loaded, {"y.jpg"});
  EXPECT_EQ(loaded.size(), 5000u);
  std::vector<std::string> small{"a.jpg"};
  AddPictureFiles(small, {"b.jpg", "a.jpg"});
  EXPECT_EQ(small, (std::vector<std::string>{"a.jpg", "b.jpg", "a.jpg"}));
}

class ProjectList : public ::testing::Test {
 protected:
  // A library "rel" with PathType 1 and names relative to its folder, and one "abs"
  // with full paths.
  void SetUp() override {
    rel = (dir / "PhotoLibs" / "rel").string();
    abs = (dir / "PhotoLibs" / "abs").string();
    WriteText(fs::path(rel) / "libcfg.cfg", LibCfgText(0, 2, 1, "/somewhere/else"));
    WriteText(fs::path(rel) / "filelist.lst", FileListText({"a.jpg", "b.bmp"}));
    libtest::WriteJpeg(fs::path(rel) / "a.jpg", libtest::Pattern(8, 6, 1));
    libtest::WriteBmp(fs::path(rel) / "b.bmp", libtest::Pattern(8, 6, 2));
    WriteText(fs::path(abs) / "libcfg.cfg", LibCfgText(0, 2, 0, ""));
    WriteText(fs::path(abs) / "filelist.lst",
              FileListText({(fs::path(rel) / "a.jpg").string(), (dir / "gone.jpg").string()}));
  }
  ScratchDir dir;
  std::string rel, abs;
};

TEST_F(ProjectList, LibrariesInOrderThenOwnPicturesDuplicatesKept) {
  const std::string own = (fs::path(rel) / "b.bmp").string();
  const TPictureListResult r = BuildProjectPictureList({rel, abs}, {own}, TPictureListFilter::AllPaths);
  EXPECT_EQ(r.Paths, (std::vector<std::string>{(fs::path(rel) / "a.jpg").string(),
                                               (fs::path(rel) / "b.bmp").string(),
                                               (fs::path(rel) / "a.jpg").string(),
                                               (dir / "gone.jpg").string(), own}));
  EXPECT_EQ(r.LeftOut, 0u);
}

TEST_F(ProjectList, DecodableKeepsOnlyWhatDetectPictureTypeAccepts) {
  WriteText(dir / "anim.gif", "GIF89a");
  std::string jpeg = ReadText(fs::path(rel) / "a.jpg");
  WriteText(dir / "trailing.jpg", jpeg + "x");
  const std::vector<std::string> own = {(dir / "anim.gif").string(), (dir / "trailing.jpg").string(),
                                        (dir / "gone.bmp").string(), dir.Path().string(),
                                        (fs::path(rel) / "b.bmp").string()};
  const TPictureListResult r = BuildProjectPictureList({rel, abs}, own, TPictureListFilter::Decodable);
  EXPECT_EQ(r.Paths, (std::vector<std::string>{(fs::path(rel) / "a.jpg").string(),
                                               (fs::path(rel) / "b.bmp").string(),
                                               (fs::path(rel) / "a.jpg").string(),
                                               (fs::path(rel) / "b.bmp").string()}));
}

TEST_F(ProjectList, OtherPathTypesGiveEmptyPathsThatOnlyTheUnfilteredListKeeps) {
  const std::string odd = (dir / "PhotoLibs" / "odd").string();
  WriteText(fs::path(odd) / "libcfg.cfg", LibCfgText(0, 1, 7, ""));
  WriteText(fs::path(odd) / "filelist.lst", FileListText({"a.jpg"}));
  EXPECT_EQ(BuildProjectPictureList({odd}, {}, TPictureListFilter::AllPaths).Paths,
            std::vector<std::string>{""});
  EXPECT_TRUE(BuildProjectPictureList({odd}, {}, TPictureListFilter::Decodable).Paths.empty());
}

TEST_F(ProjectList, LibrariesAboveTheLimitGiveTheFirst5000AndCountTheRest) {
  std::vector<std::string> names;
  for (int i = 0; i < 3000; ++i) names.push_back(libtest::NumberedName("p", i, ".jpg"));
  const std::string big1 = (dir / "big1").string(), big2 = (dir / "big2").string();
  for (const auto& lib : {big1, big2}) {
    WriteText(fs::path(lib) / "libcfg.cfg", LibCfgText(0, 3000, 1, ""));
    WriteText(fs::path(lib) / "filelist.lst", FileListText(names));
  }
  const TPictureListResult r =
      BuildProjectPictureList({big1, big2}, {"own1.jpg", "own2.jpg"}, TPictureListFilter::AllPaths);
  ASSERT_EQ(r.Paths.size(), 5000u);
  EXPECT_EQ(r.Paths[2999], (fs::path(big1) / "p2999.jpg").string());
  EXPECT_EQ(r.Paths[4999], (fs::path(big2) / "p1999.jpg").string());
  EXPECT_EQ(r.LeftOut, 1000u + 2u);
}

TEST_F(ProjectList, ACorruptListStopsTheBuild) {
  WriteText(fs::path(abs) / "filelist.lst", "0,0\r\n");
  EXPECT_THROW(BuildProjectPictureList({rel, abs}, {}, TPictureListFilter::AllPaths), TLibraryFileError);
}

TEST_F(ProjectList, TheMasterListIsTheShownLibrarysRows) {
  TPhotoLibState libs;
  TFileListGrid grid;
  libs.CurrentLibCfg = ReadLibCfg(fs::path(rel) / "libcfg.cfg");
  LoadLibraryFileList(libs, {rel}, 0, grid);
  EXPECT_EQ(BuildLibraryPictureList(grid, libs.CurrentLibCfg, TPictureListFilter::AllPaths).Paths,
            (std::vector<std::string>{(fs::path(rel) / "a.jpg").string(),
                                      (fs::path(rel) / "b.bmp").string()}));
}

TEST_F(ProjectList, CreationWritesImglistAndTheRenderList) {
  TAppState state;
  state.RenderCellImgList = {"stale"};
  const auto project = dir / "project";
  fs::create_directory(project);
  const std::string dup = (fs::path(rel) / "a.jpg").string();
  const std::size_t leftOut = CreateProjectPictureList(state, {rel}, {dup, "two\nlines.jpg"},
                                                       TPictureListFilter::AllPaths, project);
  EXPECT_EQ(leftOut, 0u);
  const std::vector<std::string> expected = {dup, (fs::path(rel) / "b.bmp").string(), dup};
  EXPECT_EQ(state.RenderCellImgList, expected);
  EXPECT_EQ(ReadText(project / "imglist.lst"), expected[0] + "\r\n" + expected[1] + "\r\n" + expected[2] + "\r\n");
  EXPECT_EQ(LoadPictureList(project / "imglist.lst"), expected);
  EXPECT_EQ(libtest::Names(project), std::vector<std::string>{"imglist.lst"});
}

TEST(PictureListFile, LinesRoundTripAndLineBreaksAreRefused) {
  ScratchDir dir;
  const auto file = dir / "list.lst";
  const std::vector<std::string> paths = {"/a b/c.jpg", "", "/d.jpg", ""};
  SavePictureList(paths, file);
  EXPECT_EQ(ReadText(file), "/a b/c.jpg\r\n\r\n/d.jpg\r\n\r\n");
  EXPECT_EQ(LoadPictureList(file), paths);
  EXPECT_THROW(SavePictureList({"bad\r.jpg"}, file), std::invalid_argument);
  EXPECT_EQ(LoadPictureList(file), paths);  // the old file is intact

  WriteText(file, "\xEF\xBB\xBFone\ntwo\r\nthree");
  EXPECT_EQ(LoadPictureList(file), (std::vector<std::string>{"one", "two", "three"}));
  EXPECT_THROW(LoadPictureList(dir / "none.lst"), TLibraryFileError);
}

}  // namespace
}  // namespace tessaro
