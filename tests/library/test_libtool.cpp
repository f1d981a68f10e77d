// tessaro-libtool as the user runs it: the built program on a folder of pictures, its
// library read back through the program's own library functions.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

#include "core/app_state.h"
#include "image/halftone.h"
#include "image/picture_files.h"
#include "library/TsPhotoLib.h"
#include "library_fixtures.h"
#include "support/run_program.h"

namespace tessaro {
namespace {

namespace fs = std::filesystem;
using libtest::ReadText;
using libtest::ScratchDir;
using libtest::WriteBmp;
using libtest::WriteJpeg;
using libtest::WriteText;

fs::path ToolPath() {
  return ExecutableDir().parent_path() / "tessaro" / "toolkit" / "tessaro-libtool";
}

using testing_support::RunResult;

// Runs the tool with stdout and stderr in files of scratch (so stderr is no terminal).
RunResult RunTool(const std::vector<std::string>& args, const fs::path& scratch) {
  RunResult r = testing_support::RunProgram(ToolPath().string(), args, scratch);
  if (!r.started) r.err = "cannot start " + ToolPath().string();
  return r;
}

// A smooth gradient with a band of one-pixel stripes: JPEG keeps it well, and a
// reduction that picks pixels instead of averaging them shows in the stripes.
TBitmap32 Photo(int w, int h, int seed) {
  TBitmap32 b(w, h);
  for (int y = 0; y < h; ++y) {
    TColor32* row = b.ScanLine(y);
    for (int x = 0; x < w; ++x) {
      if (y >= h / 2 && y < h / 2 + h / 8) {
        row[x] = (x & 1) ? clWhite32 : clBlack32;
        continue;
      }
      row[x] = Color32(std::uint8_t(x * 255 / w), std::uint8_t(y * 255 / h),
                       std::uint8_t((seed * 40 + (x + y) * 100 / (w + h)) & 0xFF));
    }
  }
  return b;
}

struct Picture {
  const char* source;    // relative to the source folder
  bool jpeg;             // written as JPEG, otherwise as BMP
  int w, h;              // original size
  const char* copyName;  // name in a copied library
  int copyW, copyH;      // size in a copied library with --max-edge 400
  bool copiedAsIs;       // small JPEG: the copy is the original file
};

// In scan order: name order without regard to case, sub-folders where they are met.
const Picture kPictures[] = {
    {"a/IMG_0001.JPG", true, 800, 600, "IMG_0001.jpg", 400, 300, false},
    {"b/c/img_0001.jpg", true, 64, 48, "img_0001_2.jpg", 64, 48, true},  // same name but for case
    {"b/c/wide.bmp", false, 1000, 250, "wide.jpg", 400, 100, false},
    {"b/IMG_0001.JPG", true, 300, 400, "IMG_0001_3.jpg", 300, 400, true},  // exactly fits
    {"bmpdata.jpg", false, 50, 40, "bmpdata.jpg", 50, 40, false},  // BMP content, JPEG name
    {"holiday.jpeg", true, 120, 90, "holiday.jpg", 120, 90, true},
    {"tall.bmp", false, 300, 1001, "tall.jpg", 120, 400, false},  // 300 * 400 / 1001 = 119.88
};

// The source folder: the pictures above, plus files that must be skipped.
void MakeSource(const fs::path& src) {
  int seed = 0;
  for (const Picture& p : kPictures) {
    const TBitmap32 b = Photo(p.w, p.h, ++seed);
    if (p.jpeg)
      WriteJpeg(src / p.source, b, 92);
    else
      WriteBmp(src / p.source, b);
  }
  WriteText(src / "a" / "notes.txt", "a note, not a picture\n");
  WriteText(src / "fake.jpg", "this is no JPEG");
  // The start of a real JPEG with its end marker glued on: recognised, not decodable.
  const std::string whole = ReadText(src / "a" / "IMG_0001.JPG");
  WriteText(src / "broken.jpg", whole.substr(0, whole.size() / 2) + "\xFF\xD9");
}

using Snapshot = std::map<std::string, std::string>;

Snapshot TakeSnapshot(const fs::path& folder) {
  Snapshot s;
  for (const auto& e : fs::recursive_directory_iterator(folder))
    if (e.is_regular_file()) s[e.path().lexically_relative(folder).string()] = ReadText(e.path());
  return s;
}

struct LoadedLibrary {
  Tlibcfg cfg;
  TFileListGrid grid;
  int photoCount = -1;  // HighlightedLibraryPhotoCount
};

LoadedLibrary LoadLibrary(const fs::path& library) {
  LoadedLibrary l;
  l.cfg = ReadLibCfg(library / kLibCfgFileName);
  TPhotoLibState libs;
  LoadLibraryFileList(libs, {library.string()}, 0, l.grid);
  l.photoCount = libs.HighlightedLibraryPhotoCount;
  return l;
}

// Mean absolute difference over B, G, R of two pictures of one size.
double MeanDifference(const TBitmap32& a, const TBitmap32& b) {
  double sum = 0;
  for (int y = 0; y < a.Height(); ++y) {
    const TColor32 *ra = a.ScanLine(y), *rb = b.ScanLine(y);
    for (int x = 0; x < a.Width(); ++x)
      for (int shift = 0; shift <= 16; shift += 8)
        sum += std::abs(int((ra[x] >> shift) & 0xFF) - int((rb[x] >> shift) & 0xFF));
  }
  return sum / (3.0 * a.Width() * a.Height());
}

class LibTool : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fs::exists(ToolPath())) << ToolPath() << " is not built";
    src = dir / "My Pictures";
    MakeSource(src);
    originals = TakeSnapshot(src);
  }
  void ExpectOriginalsUntouched() {
    Snapshot now = TakeSnapshot(src);
    // Link mode may add the two library files to a source that is its own library.
    now.erase(kLibCfgFileName);
    now.erase(kFileListFileName);
    EXPECT_TRUE(now == originals) << "the picture folder changed";
  }
  ScratchDir dir;
  fs::path src;
  Snapshot originals;
};

TEST_F(LibTool, CopyModeListsEveryPictureOnceReducedAndDecodable) {
  const fs::path lib = dir / "Holiday";
  const RunResult r = RunTool({"--jobs", "2", src.string(), lib.string()}, dir.Path());
  ASSERT_EQ(r.exitCode, 0) << r.err;

  const std::size_t n = std::size(kPictures);
  const LoadedLibrary l = LoadLibrary(lib);
  EXPECT_EQ(l.cfg.colname, "Holiday");
  EXPECT_EQ(l.cfg.coltype, 0);
  EXPECT_EQ(l.cfg.PhotoCount, int(n));
  EXPECT_EQ(l.cfg.PathType, 1);
  EXPECT_EQ(l.cfg.CharFont, "NOFONT");
  const std::string cfgText = ReadText(lib / kLibCfgFileName);
  EXPECT_NE(cfgText.find("Path=" + lib.string() + "\r\n"), std::string::npos) << cfgText;
  const std::string listText = ReadText(lib / kFileListFileName);
  EXPECT_EQ(listText.substr(0, listText.find("\r\n")), "3," + std::to_string(n + 2));
  EXPECT_EQ(l.photoCount, int(n));
  EXPECT_EQ(l.grid.Cell(0, 0), "File Name");
  EXPECT_EQ(l.grid.Cell(1, 0), "Size");
  EXPECT_EQ(l.grid.Cell(2, 0), "Type");

  for (std::size_t k = 0; k < n; ++k) {
    const Picture& p = kPictures[k];
    SCOPED_TRACE(p.source);
    const int row = int(k) + 1;
    EXPECT_EQ(l.grid.Cell(0, row), p.copyName);
    EXPECT_EQ(l.grid.Cell(1, row), std::to_string(p.copyW) + "x" + std::to_string(p.copyH));
    EXPECT_EQ(l.grid.Cell(2, row), "JPG");
    const fs::path copy = ResolvePicturePath(l.cfg, l.grid.Cell(0, row));
    ASSERT_EQ(DetectPictureType(copy), kPictureJpeg);
    TBitmap32 got;
    LoadPicture(got, copy);
    ASSERT_EQ(got.Width(), p.copyW);
    ASSERT_EQ(got.Height(), p.copyH);
    EXPECT_LE(std::max(got.Width(), got.Height()), 400);
    if (p.copiedAsIs) {
      EXPECT_TRUE(ReadText(copy) == originals.at(p.source)) << "a small JPEG is copied unchanged";
      continue;
    }
    // The copy is the area-averaged reduction of the original, up to JPEG's loss
    // (below 5); picking pixels instead would leave the stripes black and white (16).
    TBitmap32 original, expected;
    LoadPicture(original, src / p.source);
    HalftoneResize(original, expected, p.copyW, p.copyH);
    EXPECT_LT(MeanDifference(got, expected), 7.0);
  }

  // The two library files and one file per picture; no temporary left behind.
  EXPECT_EQ(libtest::Names(lib).size(), n + 2);
  ExpectOriginalsUntouched();
  EXPECT_NE(r.out.find(std::to_string(n) + " pictures"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("2 not a JPEG or BMP picture"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("1 cannot be decoded"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("broken.jpg"), std::string::npos) << r.err;
  // stderr is a file here: plain progress lines, never a line redrawn in place.
  EXPECT_NE(r.err.find(" (100%)\n"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find('\r'), std::string::npos);
}

TEST_F(LibTool, LinkModeListsTheOriginalsWithTheirSizeAndType) {
  const fs::path lib = dir / "linked";
  const RunResult r = RunTool({"--link", "--type", "tile", "--name", "Blue tiles", src.string(), lib.string()},
                              dir.Path());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const LoadedLibrary l = LoadLibrary(lib);
  EXPECT_EQ(l.cfg.colname, "Blue tiles");
  EXPECT_EQ(l.cfg.coltype, 30);
  EXPECT_EQ(l.cfg.PathType, 0);
  EXPECT_EQ(l.cfg.Path, lib.string());
  ASSERT_EQ(l.photoCount, int(std::size(kPictures)));
  for (std::size_t k = 0; k < std::size(kPictures); ++k) {
    const Picture& p = kPictures[k];
    const int row = int(k) + 1;
    EXPECT_EQ(l.grid.Cell(0, row), (src / p.source).string());
    EXPECT_EQ(ResolvePicturePath(l.cfg, l.grid.Cell(0, row)), (src / p.source).string());
    EXPECT_EQ(l.grid.Cell(1, row), std::to_string(p.w) + "x" + std::to_string(p.h)) << p.source;
    // The type goes by content: "bmpdata.jpg" is a BMP.
    EXPECT_EQ(l.grid.Cell(2, row), p.jpeg ? "JPG" : "BMP") << p.source;
  }
  EXPECT_EQ(libtest::Names(lib), (std::vector<std::string>{kFileListFileName, kLibCfgFileName}));
  ExpectOriginalsUntouched();
}

TEST_F(LibTool, TheProgramFindsAndUsesTheLibrariesInPhotoLibs) {
  const fs::path photoLibs = dir / "PhotoLibs";
  ASSERT_EQ(RunTool({src.string(), (photoLibs / "Copied").string()}, dir.Path()).exitCode, 0);
  ASSERT_EQ(RunTool({"--link", "--type", "tile", src.string(), (photoLibs / "Tiles").string()}, dir.Path()).exitCode,
            0);
  TPhotoLibState libs;
  InitPhotoLibs(libs, dir.Path());
  std::vector<std::string> names, paths;
  ScanLibraries(libs, &names, paths, -1);
  EXPECT_EQ(names, (std::vector<std::string>{"Copied", "Tiles"}));
  std::vector<std::string> tilePaths;
  ScanLibraries(libs, nullptr, tilePaths, 30);
  EXPECT_EQ(tilePaths, (std::vector<std::string>{(photoLibs / "Tiles").string()}));

  const TPictureListResult list = BuildProjectPictureList(paths, {}, TPictureListFilter::Decodable);
  ASSERT_EQ(list.Paths.size(), 2 * std::size(kPictures));
  EXPECT_EQ(list.LeftOut, 0u);
  for (const std::string& path : list.Paths) {
    TBitmap32 b;
    LoadPicture(b, path);
    EXPECT_FALSE(b.Empty()) << path;
  }
  EXPECT_EQ(SelectedLibraryPhotoTotal(paths), std::int64_t(2 * std::size(kPictures)));
}

TEST_F(LibTool, NoRecurseTakesOnlyThePicturesAtTheTop) {
  const fs::path lib = dir / "top";
  ASSERT_EQ(RunTool({"--link", "--no-recurse", src.string(), lib.string()}, dir.Path()).exitCode, 0);
  const LoadedLibrary l = LoadLibrary(lib);
  std::vector<std::string> listed;
  for (int row = 1; row <= l.photoCount; ++row) listed.push_back(l.grid.Cell(0, row));
  EXPECT_EQ(listed, (std::vector<std::string>{(src / "bmpdata.jpg").string(), (src / "holiday.jpeg").string(),
                                               (src / "tall.bmp").string()}));
}

TEST_F(LibTool, TheLibraryIsTheSameForOneThreadAndTwo) {
  const fs::path one = dir / "one", two = dir / "two";
  ASSERT_EQ(RunTool({"--jobs", "1", "--max-edge", "100", "--quality", "70", src.string(), one.string()},
                    dir.Path()).exitCode, 0);
  ASSERT_EQ(RunTool({"--jobs", "2", "--max-edge", "100", "--quality", "70", src.string(), two.string()},
                    dir.Path()).exitCode, 0);
  Snapshot a = TakeSnapshot(one), b = TakeSnapshot(two);
  ASSERT_EQ(a.size(), std::size(kPictures) + 2);
  a.erase(kLibCfgFileName);  // names its own folder
  b.erase(kLibCfgFileName);
  EXPECT_TRUE(a == b);
  // The smaller edge and quality were applied.
  const LoadedLibrary l = LoadLibrary(one);
  EXPECT_EQ(l.grid.Cell(1, 1), "100x75");
}

// What could lose or overwrite the user's originals is refused in copy mode.
TEST_F(LibTool, CopyModeRefusesLibraryFoldersThatRiskTheOriginals) {
  struct Case {
    const char* what;
    std::vector<std::string> options;
    std::string library;  // relative to the scratch folder
    int exitCode;
  };
  fs::create_directories(dir / "outside" / "full");
  WriteText(dir / "outside" / "full" / "keep.txt", "mine");
  fs::create_directory_symlink(dir / "outside", src / "b" / "link to outside");
  originals = TakeSnapshot(src);
  const Case cases[] = {
      {"the picture folder itself", {}, "My Pictures", 1},
      {"a new folder inside the scan", {}, "My Pictures/b/lib", 1},
      {"a folder reached through a link in the scan", {}, "outside/lib", 1},
      {"a folder that is not empty", {"--no-recurse"}, "outside/full", 1},
      {"a sub-folder the scan does not enter", {"--no-recurse"}, "My Pictures/b/lib", 0},
      {"link mode may write into the picture folder", {"--link"}, "My Pictures", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path lib = dir / c.library;
    const bool existed = fs::exists(lib);
    std::vector<std::string> args = c.options;
    args.push_back(src.string());
    args.push_back(lib.string());
    const RunResult r = RunTool(args, dir.Path());
    EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
    if (c.exitCode != 0) {
      EXPECT_FALSE(r.err.empty());
      EXPECT_EQ(fs::exists(lib), existed) << "a refused library folder is not created";
    } else {
      EXPECT_GT(LoadLibrary(lib).photoCount, 0);
    }
    EXPECT_EQ(ReadText(dir / "outside" / "full" / "keep.txt"), "mine");
    std::error_code ec;
    if (c.exitCode == 0 && c.library != "My Pictures") fs::remove_all(lib, ec);
    ExpectOriginalsUntouched();
  }
}

TEST_F(LibTool, UsageErrorsExitTwoAndWriteNothing) {
  const std::string s = src.string(), l = (dir / "lib").string();
  const std::vector<std::vector<std::string>> cases = {
      {},
      {s},
      {s, l, "extra"},
      {"--bogus", s, l},
      {"--type", "mosaic", s, l},
      {"--max-edge", "0", s, l},
      {"--max-edge", "12x", s, l},
      {"--max-edge=70000", s, l},
      {"--quality", "101", s, l},
      {"--jobs", "0", s, l},
      {"--link", "--copy", s, l},
      {"--link", "--max-edge", "100", s, l},
      {"--name", "", s, l},
      {s, l, "--name"},
      {"--link=yes", s, l},
  };
  for (const auto& args : cases) {
    std::string joined;
    for (const auto& a : args) joined += "[" + a + "] ";
    SCOPED_TRACE(joined);
    const RunResult r = RunTool(args, dir.Path());
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("tessaro-libtool: "), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir / "lib"));
  }
}

TEST_F(LibTool, FailuresExitOneAndLeaveNoLibraryBehind) {
  WriteText(dir / "useless" / "readme.txt", "no pictures here");
  WriteText(dir / "useless" / "sub" / "broken.jpg", std::string("\xFF\xD8garbage\xFF\xD9"));
  WriteText(dir / "a file", "x");
  struct Case {
    const char* what;
    std::string source, library;  // relative to the scratch folder
    const char* message;
  };
  const Case cases[] = {
      {"missing source", "nowhere", "lib", "does not exist"},
      {"source is a file", "a file", "lib", "is not a folder"},
      {"nothing usable", "useless", "lib", "could be decoded"},
      {"library is a file", "My Pictures", "a file", "is not a folder"},
      {"library cannot be created", "My Pictures", "a file/lib", "cannot create"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const RunResult r = RunTool({(dir / c.source).string(), (dir / c.library).string()}, dir.Path());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
    EXPECT_FALSE(fs::exists(dir / "lib"));
  }
  EXPECT_EQ(ReadText(dir / "a file"), "x");
  ExpectOriginalsUntouched();
}

TEST_F(LibTool, TakesAtMostTheProjectLimitAndSaysHowManyWereLeftOut) {
  const fs::path many = dir / "many";
  const int total = int(kMaxProjectPictures) + 3;
  const TBitmap32 tiny = libtest::Solid(2, 2, 0xFF336699u);
  WriteBmp(many / "p00000.bmp", tiny);
  const std::string bytes = ReadText(many / "p00000.bmp");
  for (int i = 1; i < total; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "p%05d.bmp", i);
    WriteText(many / name, bytes);
  }
  const fs::path lib = dir / "lib";
  const RunResult r = RunTool({"--link", many.string(), lib.string()}, dir.Path());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const LoadedLibrary l = LoadLibrary(lib);
  EXPECT_EQ(l.cfg.PhotoCount, int(kMaxProjectPictures));
  ASSERT_EQ(l.photoCount, int(kMaxProjectPictures));
  EXPECT_EQ(l.grid.Cell(0, 1), (many / "p00000.bmp").string());
  EXPECT_EQ(l.grid.Cell(0, int(kMaxProjectPictures)), (many / "p04999.bmp").string());
  EXPECT_NE(r.err.find("warning: 3 more pictures left out"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("Left out 3 pictures"), std::string::npos) << r.out;
}

TEST_F(LibTool, HelpAndToolhelpDescribeEveryOption) {
  const RunResult help = RunTool({"--help"}, dir.Path());
  EXPECT_EQ(help.exitCode, 0);
  const std::string toolhelp = ReadText(ExecutableDir().parent_path() / "tessaro" / "toolhelp.txt");
  ASSERT_FALSE(toolhelp.empty()) << "toolhelp.txt is missing from the install folder";
  for (const char* option : {"--name", "--type", "--copy", "--max-edge", "--quality", "--link", "--no-recurse",
                             "--jobs", "--verbose", "--help", "--version"}) {
    EXPECT_NE(help.out.find(option), std::string::npos) << option;
    EXPECT_NE(toolhelp.find(option), std::string::npos) << option;
  }
  for (const char* topic : {"libcfg.cfg", "filelist.lst", "PhotoLibs", "5000", "EXIT STATUS", "EXAMPLES"})
    EXPECT_NE(toolhelp.find(topic), std::string::npos) << topic;

  const RunResult version = RunTool({"--version"}, dir.Path());
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out.rfind("tessaro-libtool ", 0), 0u) << version.out;
}

}  // namespace
}  // namespace tessaro
