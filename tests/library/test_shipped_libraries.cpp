// The sample data of the build tree's install folder, read the way the program reads
// it: the two libraries under PhotoLibs (folder scan, configuration, file list,
// picture list, every picture decoded), whether their pictures are varied enough to
// make a mosaic, the demo main image, and the generator that paints them
// (<build>/tools-bin/make_samples): deterministic for a seed, independent of its
// thread count, strict about its options.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "engine/layers.h"
#include "image/ooimgfunction2007.h"
#include "library/TsPhotoLib.h"
#include "library_fixtures.h"

namespace tessaro {
namespace {

namespace fs = std::filesystem;
using libtest::Names;
using libtest::ReadText;
using libtest::ScratchDir;

fs::path BuildDir() { return ExecutableDir().parent_path(); }
fs::path InstallDir() { return BuildDir() / "tessaro"; }
fs::path Generator() { return BuildDir() / "tools-bin" / "make_samples"; }

// Runs the generator with the given arguments; its exit status, or -1 when it could
// not run. Standard error goes to errFile when given.
int RunGenerator(const std::string& args, const fs::path& errFile = {}) {
  std::string cmd = "'" + Generator().string() + "' " + args;
  cmd += errFile.empty() ? " 2>/dev/null" : " 2>'" + errFile.string() + "'";
  const int status = std::system(cmd.c_str());
  return (status != -1 && WIFEXITED(status)) ? WEXITSTATUS(status) : -1;
}

// Every file under folder (relative name -> content).
std::map<std::string, std::string> Contents(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(folder))
    if (e.is_regular_file()) files[fs::relative(e.path(), folder).string()] = ReadText(e.path());
  return files;
}

// The library as the program sees it: configuration, file list grid, resolved paths.
struct LoadedLibrary {
  Tlibcfg cfg;
  TFileListGrid grid;
  int highlighted = 0;
  std::vector<std::string> paths;
};

LoadedLibrary LoadLibrary(const fs::path& folder) {
  LoadedLibrary lib;
  TPhotoLibState state;
  InitPhotoLibs(state, folder.parent_path().parent_path());
  lib.cfg = ReadLibCfg(folder / kLibCfgFileName);
  state.CurrentLibCfg = lib.cfg;
  LoadLibraryFileList(state, {folder.string()}, 0, lib.grid);
  lib.highlighted = state.HighlightedLibraryPhotoCount;
  lib.paths = BuildProjectPictureList({folder.string()}, {}, TPictureListFilter::Decodable).Paths;
  return lib;
}

// ---- The shipped libraries ------------------------------------------------------------

TEST(ShippedLibraries, TheFolderScanFindsBothAndTheTileFilterOnlyTheTiles) {
  TPhotoLibState libs;
  InitPhotoLibs(libs, InstallDir());
  ASSERT_TRUE(fs::is_directory(libs.PhotoLibsDir))
      << libs.PhotoLibsDir << " is missing: build the tessaro_samples target";
  std::vector<std::string> names, paths;
  ScanLibraries(libs, &names, paths, -1);
  EXPECT_EQ(names, (std::vector<std::string>{"Sample Photos", "Sample Tiles"}));
  ScanLibraries(libs, &names, paths, 30);
  EXPECT_EQ(names, std::vector<std::string>{"Sample Tiles"});
  ScanLibraries(libs, &names, paths, 0);
  EXPECT_EQ(names, std::vector<std::string>{"Sample Photos"});
}

struct ShippedCase {
  const char* folder;
  const char* title;
  int coltype;
  int minPictures, maxPictures;
  std::vector<std::pair<int, int>> sizes;  // the picture sizes allowed
  friend void PrintTo(const ShippedCase& c, std::ostream* os) { *os << c.folder; }
};

class ShippedLibrary : public ::testing::TestWithParam<ShippedCase> {};

TEST_P(ShippedLibrary, ConfigurationAndFileListAgreeWithThePictures) {
  const ShippedCase& c = GetParam();
  const fs::path folder = InstallDir() / "PhotoLibs" / c.folder;
  const LoadedLibrary lib = LoadLibrary(folder);

  EXPECT_EQ(lib.cfg.colname, c.title);
  EXPECT_EQ(lib.cfg.coltype, c.coltype);
  EXPECT_EQ(lib.cfg.PathType, 1);
  EXPECT_EQ(lib.cfg.CharFont, "NOFONT");
  EXPECT_EQ(fs::path(lib.cfg.Path), folder);
  // The raw key names the folder too (it is informational, but should not mislead).
  const TMemIniFile raw(folder / kLibCfgFileName);
  const fs::path written = raw.ReadString(kLibCfgSection, "Path", "");
  EXPECT_TRUE(written.is_absolute()) << written;
  std::error_code ec;
  EXPECT_TRUE(fs::equivalent(written, folder, ec)) << written;

  const int n = lib.highlighted;
  EXPECT_GE(n, c.minPictures);
  EXPECT_LE(n, c.maxPictures);
  EXPECT_EQ(lib.cfg.PhotoCount, n);
  EXPECT_EQ(lib.grid.ColCount(), 3);
  EXPECT_EQ(lib.grid.RowCount(), n + 2);
  EXPECT_EQ(lib.grid.Cell(0, 0), "File Name");
  EXPECT_EQ(lib.grid.Cell(1, 0), "Size");
  EXPECT_EQ(lib.grid.Cell(2, 0), "Type");
  EXPECT_EQ(lib.grid.Cell(0, n + 1), "") << "the row after the pictures is empty";

  // The decodable filter drops nothing: every listed file is a complete JPEG.
  ASSERT_EQ(lib.paths.size(), std::size_t(n));
  std::set<std::string> names;
  for (int row = 1; row <= n; ++row) {
    const std::string& name = lib.grid.Cell(0, row);
    SCOPED_TRACE(name);
    EXPECT_TRUE(names.insert(name).second) << "listed twice";
    EXPECT_EQ(fs::path(name).filename().string(), name) << "names are relative to the library folder";
    const fs::path file = folder / name;
    EXPECT_EQ(lib.paths[std::size_t(row - 1)], file.string());
    ASSERT_TRUE(fs::is_regular_file(file));
    EXPECT_EQ(lib.grid.Cell(1, row), std::to_string(fs::file_size(file)));
    EXPECT_EQ(lib.grid.Cell(2, row), "JPG");
    EXPECT_EQ(DetectPictureType(file), kPictureJpeg);
    TBitmap32 picture;
    LoadPicture(picture, file);
    const std::pair<int, int> size{picture.Width(), picture.Height()};
    EXPECT_NE(std::find(c.sizes.begin(), c.sizes.end(), size), c.sizes.end())
        << picture.Width() << "x" << picture.Height();
  }
  // The folder holds the listed pictures and the two library files, nothing else.
  EXPECT_EQ(Names(folder).size(), std::size_t(n) + 2);
}

INSTANTIATE_TEST_SUITE_P(
    Both, ShippedLibrary,
    ::testing::Values(ShippedCase{"Sample Photos", "Sample Photos", 0, 400, 1000, {{320, 240}, {240, 320}}},
                      ShippedCase{"Sample Tiles", "Sample Tiles", 30, 150, 250, {{128, 128}}}),
    [](const auto& info) { return info.param.coltype == 0 ? std::string("Photos") : std::string("Tiles"); });

std::vector<ImageSignature> Signatures(const std::vector<std::string>& paths) {
  std::vector<ImageSignature> out;
  for (const std::string& p : paths) {
    TBitmap32 b;
    LoadPicture(b, p);
    out.push_back(ComputeSignature(b));
  }
  return out;
}

// Standard deviation of a signature's 64 block greys: 0 for a flat colour.
double Grid8Spread(const ImageSignature& s) {
  double sum = 0, sq = 0;
  for (const SignatureColor& c : s.Grid8) {
    sum += c.Grey;
    sq += double(c.Grey) * c.Grey;
  }
  return std::sqrt(std::max(0.0, sq / 64 - (sum / 64) * (sum / 64)));
}

double Grid8Distance(const ImageSignature& a, const ImageSignature& b) {
  double d = 0;
  for (int i = 0; i < 64; ++i) {
    const double r = a.Grid8[i].R - b.Grid8[i].R, g = a.Grid8[i].G - b.Grid8[i].G, bl = a.Grid8[i].B - b.Grid8[i].B;
    d += r * r + g * g + bl * bl;
  }
  return d;
}

TEST(ShippedLibraries, PhotosSpanTheColoursAndCarryStructure) {
  const LoadedLibrary lib = LoadLibrary(InstallDir() / "PhotoLibs" / "Sample Photos");
  const std::vector<ImageSignature> sigs = Signatures(lib.paths);
  ASSERT_GE(sigs.size(), 400u);
  std::set<int> palette;
  int dark = 0, bright = 0, structured = 0, upright = 0;
  for (const ImageSignature& s : sigs) {
    palette.insert(s.PaletteIndex);
    dark += s.Average.Grey < 60;
    bright += s.Average.Grey > 190;
    structured += Grid8Spread(s) > 15;
  }
  for (const std::string& p : lib.paths) {
    TBitmap32 b;
    LoadPicture(b, p);
    upright += b.Height() > b.Width();
  }
  // A library of one look cannot make a mosaic of another: the averages must reach
  // across the colour cube, into the darks and the lights.
  EXPECT_GE(palette.size(), 70u);
  EXPECT_GE(dark, int(sigs.size()) / 20);
  EXPECT_GE(bright, int(sigs.size()) / 50);
  // Photos, not colour swatches: most show light and shade across their 8 x 8 grid.
  EXPECT_GE(structured, int(sigs.size()) * 6 / 10);
  EXPECT_GT(upright, 0);
  EXPECT_LT(upright, int(sigs.size()) / 2);
  // No two pictures alike.
  for (std::size_t i = 0; i < sigs.size(); ++i)
    for (std::size_t j = i + 1; j < sigs.size(); ++j) ASSERT_GT(Grid8Distance(sigs[i], sigs[j]), 0.0) << i << " " << j;
}

TEST(ShippedLibraries, TilesAreOneGlazeAndSurfaceEach) {
  const LoadedLibrary lib = LoadLibrary(InstallDir() / "PhotoLibs" / "Sample Tiles");
  const std::vector<ImageSignature> sigs = Signatures(lib.paths);
  std::set<int> palette;
  std::set<std::string> combos;
  for (const ImageSignature& s : sigs) palette.insert(s.PaletteIndex);
  for (int row = 1; row <= lib.highlighted; ++row) {
    // "tile-<n>-<glaze>-<surface>.jpg": the name after the number says what it is.
    const std::string name = lib.grid.Cell(0, row);
    const std::size_t dash = name.find('-', 5);
    ASSERT_NE(dash, std::string::npos) << name;
    combos.insert(name.substr(dash + 1));
  }
  EXPECT_EQ(combos.size(), sigs.size()) << "a glaze and surface twice";
  EXPECT_GE(palette.size(), 30u);
  // Tiles are mostly one glaze: the 8 x 8 grid stays close to the average.
  int even = 0;
  for (const ImageSignature& s : sigs) even += Grid8Spread(s) < 25;
  EXPECT_GE(even, int(sigs.size()) * 8 / 10);
}

TEST(ShippedLibraries, TheDemoImageDecodesAtItsSizeAndThePhotosMatchItsStructure) {
  const fs::path demo = InstallDir() / "demo" / "demo-main.jpg";
  ASSERT_EQ(DetectPictureType(demo), kPictureJpeg) << demo;
  TBitmap32 main;
  LoadPicture(main, demo);
  ASSERT_EQ(main.Width(), 1600);
  ASSERT_EQ(main.Height(), 1200);
  EXPECT_GT(Grid8Spread(ComputeSignature(main)), 30) << "large shapes in light and dark";

  // The best plain 8 x 8 match of every cell of a 40 x 30 mosaic must fit markedly
  // better than the best match on the average colour alone: the library's pictures
  // have shapes where the demo has shapes.
  const std::vector<ImageSignature> sigs = Signatures(LoadLibrary(InstallDir() / "PhotoLibs" / "Sample Photos").paths);
  ASSERT_FALSE(sigs.empty());
  double structureRms = 0, averageRms = 0;
  const int cols = 40, rows = 30;
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) {
      const TRect rect{c * 1600 / cols, r * 1200 / rows, (c + 1) * 1600 / cols, (r + 1) * 1200 / rows};
      const ImageSignature cell = ComputeCellSignature(main, 1600, 1200, rect);
      double best = std::numeric_limits<double>::max(), bestAvg = best, avgPick = 0;
      for (const ImageSignature& s : sigs) {
        best = std::min(best, Grid8Distance(cell, s));
        const double dr = cell.Average.R - s.Average.R, dg = cell.Average.G - s.Average.G,
                     db = cell.Average.B - s.Average.B;
        const double a = dr * dr + dg * dg + db * db;
        if (a < bestAvg) bestAvg = a, avgPick = Grid8Distance(cell, s);
      }
      structureRms += std::sqrt(best / 192);
      averageRms += std::sqrt(avgPick / 192);
    }
  structureRms /= cols * rows;
  averageRms /= cols * rows;
  EXPECT_LT(structureRms, 28.0);
  EXPECT_LT(structureRms, averageRms * 0.8);
}

// ---- The generator -------------------------------------------------------------------------

TEST(SampleGenerator, SameSeedSameFilesWhateverTheThreadsAnotherSeedOthers) {
  ASSERT_TRUE(fs::is_regular_file(Generator())) << Generator();
  ScratchDir a, b, c;
  const std::string common = " --count 5 --size 96x64";
  for (const auto& [dir, opts] : {std::pair<const ScratchDir*, std::string>{&a, " --seed 5 --threads 1"},
                                  {&b, " --seed 5 --threads 3"},
                                  {&c, " --seed 6 --threads 2"}}) {
    const std::string out = dir->path().string();
    ASSERT_EQ(RunGenerator("--kind photos --out '" + out + "/photos'" + common + opts), 0);
    ASSERT_EQ(RunGenerator("--kind tiles --out '" + out + "/tiles'" + common + opts), 0);
    ASSERT_EQ(RunGenerator("--kind demo --out '" + out + "/demo' --size 160x120" + opts), 0);
  }
  auto withoutCfg = [](std::map<std::string, std::string> files) {
    // "libcfg.cfg" names its own folder, which differs between the runs.
    files.erase("photos/libcfg.cfg");
    files.erase("tiles/libcfg.cfg");
    return files;
  };
  const auto filesA = Contents(a.path()), filesB = Contents(b.path()), filesC = Contents(c.path());
  EXPECT_EQ(filesA.size(), 5u + 2 + 5 + 2 + 1);
  EXPECT_TRUE(withoutCfg(filesA) == withoutCfg(filesB)) << "the thread count changed the output";
  for (const char* lib : {"photos", "tiles"}) {
    Tlibcfg ca = ReadLibCfg(a.path() / lib / kLibCfgFileName), cb = ReadLibCfg(b.path() / lib / kLibCfgFileName);
    ca.Path = cb.Path = "";
    EXPECT_EQ(ca, cb);
    EXPECT_EQ(ca.PhotoCount, 5);
  }
  // Another seed paints other pictures under the same names.
  int differing = 0, pictures = 0;
  for (const auto& [name, content] : filesA)
    if (fs::path(name).extension() == ".jpg") {
      ++pictures;
      ASSERT_TRUE(filesC.count(name)) << name;
      differing += filesC.at(name) != content;
    }
  EXPECT_EQ(pictures, 11);
  EXPECT_EQ(differing, pictures);

  // A size given is the size of every picture (no upright frames mixed in).
  for (const std::string& p : BuildProjectPictureList({(a.path() / "photos").string(), (a.path() / "tiles").string()}, {},
                                                      TPictureListFilter::Decodable)
                                  .Paths) {
    TBitmap32 pic;
    LoadPicture(pic, p);
    EXPECT_EQ(pic.Width(), 96) << p;
    EXPECT_EQ(pic.Height(), 64) << p;
  }
  TBitmap32 demo;
  LoadPicture(demo, a.path() / "demo" / "demo-main.jpg");
  EXPECT_EQ(demo.Width(), 160);
  EXPECT_EQ(demo.Height(), 120);
}

TEST(SampleGenerator, ASmallerRunRemovesItsOwnEarlierPicturesOnly) {
  ScratchDir dir;
  const fs::path lib = dir / "lib";
  ASSERT_EQ(RunGenerator("--kind tiles --count 6 --size 32x32 --out '" + lib.string() + "'"), 0);
  libtest::WriteText(lib / "notes.txt", "mine");
  ASSERT_EQ(RunGenerator("--kind tiles --count 2 --size 32x32 --out '" + lib.string() + "' --title 'My Tiles'"), 0);
  const LoadedLibrary loaded = LoadLibrary(lib);
  EXPECT_EQ(loaded.cfg.colname, "My Tiles");
  EXPECT_EQ(loaded.cfg.PhotoCount, 2);
  EXPECT_EQ(loaded.highlighted, 2);
  EXPECT_EQ(loaded.paths.size(), 2u);
  const std::vector<std::string> names = Names(lib);
  EXPECT_EQ(names.size(), 2u + 3) << "two tiles, the two library files and the user's own file";
  EXPECT_TRUE(fs::exists(lib / "notes.txt"));
}

struct BadOptions {
  const char* name;
  const char* args;  // "OUT" stands for the scratch folder's output path
  friend void PrintTo(const BadOptions& b, std::ostream* os) { *os << b.args; }
};

class SampleGeneratorRefuses : public ::testing::TestWithParam<BadOptions> {};

TEST_P(SampleGeneratorRefuses, WithAMessageAndWritesNothing) {
  ScratchDir dir;
  std::string args = GetParam().args;
  const std::string out = "'" + (dir / "out").string() + "'";
  if (const std::size_t at = args.find("OUT"); at != std::string::npos) args.replace(at, 3, out);
  const fs::path err = dir / "stderr.txt";
  EXPECT_EQ(RunGenerator(args, err), 2);
  EXPECT_FALSE(ReadText(err).empty());
  EXPECT_FALSE(fs::exists(dir / "out"));
}

INSTANTIATE_TEST_SUITE_P(
    Options, SampleGeneratorRefuses,
    ::testing::Values(BadOptions{"NoOut", "--kind photos --count 3"},
                      BadOptions{"UnknownKind", "--kind pictures --out OUT"},
                      BadOptions{"UnknownOption", "--out OUT --colour red"},
                      BadOptions{"ValueMissing", "--out OUT --count"},
                      BadOptions{"ZeroCount", "--kind photos --count 0 --out OUT"},
                      BadOptions{"NegativeCount", "--kind photos --count -4 --out OUT"},
                      BadOptions{"CountNotANumber", "--kind photos --count 12abc --out OUT"},
                      BadOptions{"HugeCount", "--kind photos --count 100000000 --out OUT"},
                      BadOptions{"SizeWithoutX", "--kind tiles --size 128 --out OUT"},
                      BadOptions{"SizeTooSmall", "--kind tiles --size 8x8 --out OUT"},
                      BadOptions{"LibraryPictureTooLarge", "--kind photos --size 3000x2000 --out OUT"},
                      BadOptions{"DemoTooLarge", "--kind demo --size 9000x6000 --out OUT"},
                      BadOptions{"SeedNotANumber", "--kind demo --seed x1 --out OUT"},
                      BadOptions{"CountForAll", "--kind all --count 5 --out OUT"},
                      BadOptions{"ThreadsZero", "--kind tiles --threads 0 --out OUT"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SampleGenerator, AnUnwritableFolderFailsWithStatusOne) {
  ScratchDir dir;
  libtest::WriteText(dir / "file", "x");  // a file where a folder should be made
  const fs::path err = dir / "stderr.txt";
  EXPECT_EQ(RunGenerator("--kind tiles --count 2 --out '" + (dir / "file" / "lib").string() + "'", err), 1);
  EXPECT_NE(ReadText(err).find("make_samples:"), std::string::npos);
}

}  // namespace
}  // namespace tessaro
