// tessaro-cli end to end: the built program renders small projects made in a scratch
// folder, resumes, redraws, draws single pages, writes the tile plan, and refuses
// bad command lines and unusable input with the documented exit status.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/ootsfunction2007.h"
#include "core/project_files.h"
#include "image/bitmap32.h"
#include "image/jpeg_codec.h"
#include "image/picture_files.h"
#include "support/noise_picture.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace tessaro {
namespace {

using testing_support::TempDir;

fs::path CliProgram() { return ExecutableDir().parent_path() / "tessaro" / "tessaro-cli"; }

std::string ReadAll(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::string ShellQuote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

struct TRun {
  int Status = -1;
  std::string Out, Err;
  std::string LastLine() const {
    const auto lines = Lines(Out);
    return lines.empty() ? std::string() : lines.back();
  }
};

// Pictures of a smooth two-colour gradient with a little noise, each of its own hues,
// so the matching has something to choose between.
TBitmap32 GradientPicture(int w, int h, std::uint64_t seed) {
  TRandom rng(seed);
  const int r0 = rng.Random(256), g0 = rng.Random(256), b0 = rng.Random(256);
  const int r1 = rng.Random(256), g1 = rng.Random(256), b1 = rng.Random(256);
  const TBitmap32 noise = testing_support::NoisePicture(w, h, seed + 1000);
  TBitmap32 b(w, h);
  for (int y = 0; y < h; ++y) {
    TColor32* row = b.ScanLine(y);
    const TColor32* n = noise.ScanLine(y);
    for (int x = 0; x < w; ++x) {
      const int t = (x + y) * 256 / (w + h);
      const int jitter = int(n[x] & 15) - 8;
      auto mix = [&](int a, int c) { return std::uint8_t(std::clamp((a * (256 - t) + c * t) / 256 + jitter, 0, 255)); };
      row[x] = Color32(mix(r0, r1), mix(g0, g1), mix(b0, b1));
    }
  }
  return b;
}

// A scratch folder with a small main image, twenty pictures (JPEG and BMP, one in a
// sub-folder) and a HOME of its own, and the means to run the program in it.
class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fs::is_regular_file(CliProgram())) << CliProgram();
    fs::create_directories(dir_ / "home");
    fs::create_directories(dir_ / "photos" / "more");
    GradientPicture(96, 64, 7).SaveToFileWithDPI(dir_ / "main.bmp", 72);
    for (int i = 0; i < 20; ++i) {
      const TBitmap32 picture = GradientPicture(24 + i % 3 * 4, 18, std::uint64_t(i + 1));
      const fs::path folder = i < 15 ? dir_ / "photos" : dir_ / "photos" / "more";
      if (i % 2 == 0) {
        SaveJpeg(picture, folder / ("p" + std::to_string(i) + ".jpg"), 90, false);
      } else {
        TBitmap32 copy = picture;
        copy.SaveToFileWithDPI(folder / ("p" + std::to_string(i) + ".bmp"), 72);
      }
    }
  }

  TRun Run(const std::vector<std::string>& args) const {
    std::string command = "HOME=" + ShellQuote((dir_ / "home").string()) + " " +
                          ShellQuote(CliProgram().string());
    for (const std::string& a : args) command += " " + ShellQuote(a);
    const fs::path out = dir_ / "stdout.txt", err = dir_ / "stderr.txt";
    command += " >" + ShellQuote(out.string()) + " 2>" + ShellQuote(err.string()) + " </dev/null";
    TRun run;
    const int raw = std::system(command.c_str());
    run.Status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.Out = ReadAll(out);
    run.Err = ReadAll(err);
    return run;
  }

  // `new` over the scratch pictures into outDir, with extra arguments.
  TRun New(const std::string& outDir, const std::vector<std::string>& extra = {}) const {
    std::vector<std::string> args = {"new",      "--main", (dir_ / "main.bmp").string(),
                                     "--out-dir", (dir_ / outDir).string(),
                                     "--photos", (dir_ / "photos").string(),
                                     "--cell",   "16x16",  "--seed", "1"};
    args.insert(args.end(), extra.begin(), extra.end());
    return Run(args);
  }

  // The project folder of a successful `new`, checked.
  fs::path NewProject(const std::string& outDir, const std::vector<std::string>& extra = {}) const {
    const TRun run = New(outDir, extra);
    EXPECT_EQ(run.Status, 0) << run.Err;
    const fs::path folder = run.LastLine();
    EXPECT_TRUE(fs::is_directory(folder)) << "last line: " << folder << "\n" << run.Err;
    return folder;
  }

  TempDir dir_;
};

const char* const kStatisticsFiles[] = {"PositionTable.txt", "FileUsageCounter.txt", "FinalDiff.txt",
                                        "stat.bmp"};

int PictureWidth(const fs::path& file) {
  TBitmap32 b;
  LoadPicture(b, file);
  return b.Width();
}
int PictureHeight(const fs::path& file) {
  TBitmap32 b;
  LoadPicture(b, file);
  return b.Height();
}

std::unique_ptr<TAppState> LoadedProject(const fs::path& folder) {
  auto state = std::make_unique<TAppState>();
  LoadProject(*state, folder / kProjectSettingsFileName);
  return state;
}

TEST_F(CliTest, NewRendersAProjectEndToEnd) {
  const TRun run = New("out", {"--set", "CanvasColor=$123456", "--ppi", "300"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  const fs::path folder = run.LastLine();
  ASSERT_TRUE(fs::is_directory(folder)) << folder;
  EXPECT_EQ(folder.parent_path(), dir_ / "out");
  for (const char* name : {"output.bmp", "project.TS8", "project.ini", "LibInfo.cls",
                           "project.LYS", "imglist.lst", "mainimage.bmp"})
    EXPECT_TRUE(fs::is_regular_file(folder / name)) << name;
  for (const char* name : kStatisticsFiles) EXPECT_TRUE(fs::is_regular_file(folder / name)) << name;

  // One page of the main image's size, every picture of the folder tree listed.
  EXPECT_EQ(DetectPictureType(folder / "output.bmp"), kPictureBmp);
  EXPECT_EQ(PictureWidth(folder / "output.bmp"), 96);
  EXPECT_EQ(PictureHeight(folder / "output.bmp"), 64);
  EXPECT_EQ(Lines(ReadAll(folder / "imglist.lst")).size(), 20u);
  // 6 x 4 cells of 16 x 16 in the plain grid, one final difference each.
  EXPECT_EQ(Lines(ReadAll(folder / "FinalDiff.txt")).size(), 24u);

  const auto state = LoadedProject(folder);
  const TtsProject07& p = state->CurrentProject;
  EXPECT_EQ(p.StageFlags, kStageDrawn);
  EXPECT_EQ(p.CellWidth, 16);
  EXPECT_EQ(p.CellHeight, 16);
  EXPECT_EQ(p.MosaicWidth, 96);
  EXPECT_EQ(p.PageHeight, 64);
  EXPECT_EQ(p.OutputDPI, 300);
  EXPECT_EQ(p.CanvasColor, 0x123456u);

  // The job's question is printed with its answer; the default answer is No.
  EXPECT_NE(run.Err.find("Open the output directory? -> No"), std::string::npos) << run.Err;
  EXPECT_NE(run.Err.find("Processing Project: "), std::string::npos) << run.Err;
}

TEST_F(CliTest, SizePageAndPatternOptionsShapeTheProject) {
  const fs::path folder =
      NewProject("out", {"--size", "128x64", "--page", "64x64", "--pattern", "1,1", "--yes"});
  ASSERT_FALSE(folder.empty());
  EXPECT_FALSE(fs::exists(folder / "output.bmp"));
  for (const char* name : {"output_x0y0.bmp", "output_x1y0.bmp"}) {
    ASSERT_TRUE(fs::is_regular_file(folder / name)) << name;
    EXPECT_EQ(PictureWidth(folder / name), 64) << name;
    EXPECT_EQ(PictureHeight(folder / name), 64) << name;
  }
  const auto state = LoadedProject(folder);
  EXPECT_EQ(state->CurrentProject.MosaicWidth, 128);
  EXPECT_EQ(state->CurrentProject.PageWidth, 64);
  EXPECT_EQ(state->CurrentProject.PatternGroup, 1);
}

TEST_F(CliTest, RenderOfAFinishedProjectLoadsItAndWritesNoStatistics) {
  const fs::path folder = NewProject("out");
  ASSERT_FALSE(folder.empty());
  const std::string output = ReadAll(folder / "output.bmp");
  for (const char* name : kStatisticsFiles) fs::remove(folder / name);

  const TRun run = Run({"render", (folder / "project.TS8").string()});
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(fs::path(run.LastLine()), folder);
  for (const char* name : kStatisticsFiles) EXPECT_FALSE(fs::exists(folder / name)) << name;
  EXPECT_EQ(ReadAll(folder / "output.bmp"), output);
}

TEST_F(CliTest, RenderWithYesRedrawsAMissingOutput) {
  const fs::path folder = NewProject("out");
  ASSERT_FALSE(folder.empty());
  const std::string output = ReadAll(folder / "output.bmp");
  fs::remove(folder / "output.bmp");

  const TRun no = Run({"render", (folder / "project.TS8").string()});
  EXPECT_EQ(no.Status, 0) << no.Err;
  EXPECT_NE(no.Err.find("output.bmp is missing, render again? -> No"), std::string::npos) << no.Err;
  EXPECT_FALSE(fs::exists(folder / "output.bmp"));

  const TRun yes = Run({"render", (folder / "project.TS8").string(), "--yes"});
  EXPECT_EQ(yes.Status, 0) << yes.Err;
  EXPECT_EQ(ReadAll(folder / "output.bmp"), output);
}

TEST_F(CliTest, RedrawAndPageDrawFromTheSavedCells) {
  const fs::path folder = NewProject("out", {"--size", "128x64", "--page", "64x64"});
  ASSERT_FALSE(folder.empty());
  const std::string left = ReadAll(folder / "output_x0y0.bmp");
  const std::string right = ReadAll(folder / "output_x1y0.bmp");
  const std::string ts8 = (folder / "project.TS8").string();

  // One page: only that file comes back, the other stays as it was.
  fs::remove(folder / "output_x1y0.bmp");
  fs::remove(folder / "output_x0y0.bmp");
  const TRun page = Run({"page", ts8, "1", "0"});
  ASSERT_EQ(page.Status, 0) << page.Err;
  EXPECT_EQ(fs::path(page.LastLine()), folder / "output_x1y0.bmp");
  EXPECT_TRUE(fs::is_regular_file(folder / "output_x1y0.bmp"));
  EXPECT_FALSE(fs::exists(folder / "output_x0y0.bmp"));
  EXPECT_EQ(PictureWidth(folder / "output_x1y0.bmp"), 64);

  // A page outside the grid is refused and writes nothing.
  const TRun outside = Run({"page", ts8, "2", "0"});
  EXPECT_EQ(outside.Status, 2);
  EXPECT_NE(outside.Err.find("outside"), std::string::npos) << outside.Err;
  EXPECT_FALSE(fs::exists(folder / "output_x2y0.bmp"));

  // Redraw: every page again, the same pictures in the same cells.
  const TRun redraw = Run({"redraw", ts8});
  ASSERT_EQ(redraw.Status, 0) << redraw.Err;
  EXPECT_EQ(ReadAll(folder / "output_x0y0.bmp"), left);
  EXPECT_EQ(ReadAll(folder / "output_x1y0.bmp"), right);
  EXPECT_EQ(LoadedProject(folder)->CurrentProject.StageFlags, kStageDrawn);
}

TEST_F(CliTest, SameSeedGivesTheSameMosaic) {
  const fs::path a = NewProject("a");
  const fs::path b = NewProject("b");
  ASSERT_FALSE(a.empty());
  ASSERT_FALSE(b.empty());
  const std::string first = ReadAll(a / "output.bmp");
  EXPECT_GT(first.size(), 96u * 64u * 4u);
  EXPECT_EQ(first, ReadAll(b / "output.bmp"));
  EXPECT_EQ(ReadAll(a / "project.LYS"), ReadAll(b / "project.LYS"));
}

TEST_F(CliTest, TilePlanWritesTheBookAndThePlan) {
  const fs::path folder = NewProject("out");
  ASSERT_FALSE(folder.empty());
  const std::string ts8 = (folder / "project.TS8").string();
  fs::create_directories(dir_ / "plan");

  const TRun run = Run({"tileplan", ts8, "--folder", (dir_ / "plan").string(), "--names", "2"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(fs::path(run.LastLine()), dir_ / "plan");
  for (const char* name : {"TileIDandCount.txt", "TileID_Count_Sample_0.bmp", "constructionplan.bmp"})
    EXPECT_TRUE(fs::is_regular_file(dir_ / "plan" / name)) << name;
  // Full paths with --names 2; the counts add up to the 24 cells.
  const std::string book = ReadAll(dir_ / "plan" / "TileIDandCount.txt");
  EXPECT_NE(book.find((dir_ / "photos").string()), std::string::npos) << book;
  EXPECT_NE(book.find("Total Tile Count: 24"), std::string::npos) << book;
  EXPECT_EQ(PictureWidth(dir_ / "plan" / "constructionplan.bmp"), 96);

  // A folder that does not exist sends everything to the project folder.
  const TRun fallback = Run({"tileplan", ts8, "--folder", (dir_ / "nowhere").string()});
  ASSERT_EQ(fallback.Status, 0) << fallback.Err;
  EXPECT_EQ(fs::path(fallback.LastLine()), folder);
  EXPECT_TRUE(fs::is_regular_file(folder / "TileIDandCount.txt"));
  EXPECT_FALSE(fs::exists(dir_ / "nowhere"));
}

struct TErrorCase {
  const char* Name;
  std::vector<std::string> Args;  // "@" stands for the scratch folder
  int Status;
  const char* ErrorPart;
};

TEST_F(CliTest, BadCommandLinesAndUnusableInputAreRefused) {
  fs::create_directories(dir_ / "empty");
  std::ofstream(dir_ / "notes.txt") << "not a picture\n";
  std::ofstream(dir_ / "fake.TS8") << "this is not a project file at all\n";
  const std::vector<std::string> base = {"new", "--main", "@/main.bmp", "--out-dir", "@/out"};
  auto with = [&](std::vector<std::string> extra) {
    std::vector<std::string> args = base;
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
  };
  const TErrorCase cases[] = {
      // Usage errors: exit 2.
      {"no command", {}, 2, "missing command"},
      {"unknown command", {"mosaic"}, 2, "unknown command"},
      {"unknown option", with({"--photos", "@/photos", "--colour", "red"}), 2,
       "unknown option --colour"},
      {"unknown --set field", with({"--photos", "@/photos", "--set", "Colour=1"}), 2,
       "unknown field \"Colour\""},
      {"bad --set value", with({"--photos", "@/photos", "--set", "BorderSize=99"}), 2,
       "BorderSize: 99 is out of range 0..20"},
      {"bad --cell", with({"--photos", "@/photos", "--cell", "0x16"}), 2, "--cell"},
      {"bad --seed", with({"--photos", "@/photos", "--seed", "-1"}), 2, "--seed"},
      {"option without value", with({"--photos"}), 2, "--photos needs a value"},
      {"missing --main", {"new", "--out-dir", "@/out", "--photos", "@/photos"}, 2,
       "--main FILE is required"},
      {"no picture source", base, 2, "at least one picture source"},
      {"page without row", {"page", "@/fake.TS8", "0"}, 2, "missing FILE.TS8 COL ROW"},
      {"page with a negative column", {"page", "@/fake.TS8", "-1", "0"}, 2, "COL"},
      {"tileplan names", {"tileplan", "@/fake.TS8", "--names", "3"}, 2, "--names"},
      // Unusable input: exit 1.
      {"missing main image", {"new", "--main", "@/nope.jpg", "--out-dir", "@/out", "--photos", "@/photos"},
       1, "does not exist"},
      {"main image not a picture",
       {"new", "--main", "@/notes.txt", "--out-dir", "@/out", "--photos", "@/photos"}, 1,
       "is not a JPEG or BMP picture"},
      {"missing photo folder", with({"--photos", "@/nope"}), 1, "photo folder"},
      {"no pictures", with({"--photos", "@/empty"}), 1, "no pictures"},
      {"unknown library", with({"--library", "No Such Library"}), 1, "no photo library"},
      {"render of a missing file", {"render", "@/nope.TS8"}, 1, "does not exist"},
      {"render of a non-project", {"render", "@/fake.TS8"}, 1, "is not a project file"},
      {"render of a picture", {"render", "@/main.bmp"}, 1, "is not a project file"},
  };
  for (const TErrorCase& c : cases) {
    std::vector<std::string> args;
    for (std::string a : c.Args) {
      if (a.starts_with("@")) a = dir_.path().string() + a.substr(1);
      args.push_back(a);
    }
    const TRun run = Run(args);
    EXPECT_EQ(run.Status, c.Status) << c.Name << "\n" << run.Err;
    EXPECT_NE(run.Err.find(c.ErrorPart), std::string::npos) << c.Name << ": " << run.Err;
    EXPECT_EQ(run.Out, "") << c.Name;
    EXPECT_TRUE(!fs::exists(dir_ / "out") || fs::is_empty(dir_ / "out")) << c.Name;
  }
}

TEST_F(CliTest, CommandsThatNeedAssignedCellsRefuseANewProject) {
  // A project saved before any step: nothing to redraw, page or plan yet.
  const fs::path folder = dir_ / "fresh";
  fs::create_directories(folder);
  fs::copy_file(dir_ / "main.bmp", folder / "mainimage.bmp");
  TtsProject07 p;
  p.Projectpath = folder.string();
  p.Projectname = "fresh";
  p.MainimageFilename = (folder / "mainimage.bmp").string();
  p.MosaicWidth = p.PageWidth = 96;
  p.MosaicHeight = p.PageHeight = 64;
  SaveProject(p);
  const std::string ts8 = (folder / "project.TS8").string();
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"redraw", ts8}, {"page", ts8, "0", "0"}, {"tileplan", ts8}}) {
    const TRun run = Run(args);
    EXPECT_EQ(run.Status, 1) << args[0] << "\n" << run.Err;
    EXPECT_NE(run.Err.find("not assigned yet"), std::string::npos) << args[0] << ": " << run.Err;
    EXPECT_FALSE(fs::exists(folder / "output.bmp")) << args[0];
  }
}

TEST_F(CliTest, HelpAndVersion) {
  const TRun help = Run({"--help"});
  EXPECT_EQ(help.Status, 0);
  EXPECT_NE(help.Out.find("tessaro-cli new --main FILE --out-dir DIR"), std::string::npos);
  const TRun fields = Run({"--help", "fields"});
  EXPECT_EQ(fields.Status, 0);
  EXPECT_NE(fields.Out.find("RotationAngles"), std::string::npos);
  const TRun version = Run({"--version"});
  EXPECT_EQ(version.Status, 0);
  EXPECT_TRUE(version.Out.starts_with("tessaro-cli ")) << version.Out;
}

}  // namespace
}  // namespace tessaro
