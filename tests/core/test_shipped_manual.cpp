// The manual "ts8help.pdf" in the build tree's install folder, and the generator
// that makes it from its Markdown source and the pattern catalogue. The text checks
// read the PDF through pdftotext and are skipped only where that is not installed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/core_test_support.h"
#include "core/inifile.h"
#include "engine/pattern_definitions.h"
#include "image/bmp_codec.h"
#include "support/run_program.h"

namespace tessaro {
namespace {

namespace fs = std::filesystem;
using testing_support::ReadBytes;
using testing_support::RunProgram;
using testing_support::TempDir;
using testing_support::WriteBytes;

fs::path AppDirOfBuild() { return ExecutableDir().parent_path() / "tessaro"; }
fs::path Generator() { return ExecutableDir().parent_path() / "tools-bin" / "tessaro-manual"; }

// Runs of blanks and line breaks become one blank, so text wrapped across lines
// or table cells still matches.
std::string Normalise(const std::string& s) {
  std::string out;
  for (const char c : s) {
    if (std::isspace(static_cast<unsigned char>(c))) {
      if (!out.empty() && out.back() != ' ') out += ' ';
    } else {
      out += c;
    }
  }
  return out;
}

// The PDF's text, or nothing when pdftotext cannot be run.
std::optional<std::string> PdfText(const fs::path& pdf, const fs::path& scratch) {
  const auto r = RunProgram("pdftotext", {pdf.string(), "-"}, scratch, true);
  if (!r.started) return std::nullopt;
  EXPECT_EQ(r.exitCode, 0) << r.err;
  return Normalise(r.out);
}

void ExpectPdfFile(const fs::path& pdf) {
  const std::string bytes = ReadBytes(pdf);
  ASSERT_GT(bytes.size(), 1000u) << pdf;
  EXPECT_EQ(bytes.substr(0, 5), "%PDF-");
  EXPECT_NE(bytes.find("%%EOF", bytes.size() - 64), std::string::npos) << "the file ends early";
}

const char* const kChapters[] = {
    "What a photomosaic is",
    "Getting started",
    "The working modes",
    "Project options",
    "Curve presets",
    "Pattern catalogue",
    "The project folder",
    "Photo libraries and the library tool",
    "The command-line program",
    "Working with a finished mosaic",
};

TEST(ShippedManual, IsAPdfWithEveryChapterAndTheCatalogueThatShips) {
  const fs::path pdf = AppDirOfBuild() / "ts8help.pdf";
  ASSERT_TRUE(fs::exists(pdf)) << pdf << " was not made by the build";
  ExpectPdfFile(pdf);
  TempDir scratch;
  const std::optional<std::string> text = PdfText(pdf, scratch.path());
  if (!text) GTEST_SKIP() << "pdftotext is not installed";

  EXPECT_NE(text->find("Contents"), std::string::npos);
  EXPECT_NE(text->find("Page 3 of "), std::string::npos) << "pages carry no numbers";
  for (const char* chapter : kChapters) {
    const std::string title = Normalise(chapter);
    // Each title appears in the contents and again at its chapter.
    const std::size_t first = text->find(title);
    EXPECT_NE(first, std::string::npos) << chapter;
    if (first != std::string::npos) {
      EXPECT_NE(text->find(title, first + 1), std::string::npos) << chapter;
    }
  }
  for (const char* words : {"removes 25% of every colour difference", "(10,255) (50,190) (100,150) (150,120) (200,100)",
                            "(10,0) (15,20) (35,40) (50,50) (120,75)", "tessaro-cli tileplan FILE.TS8",
                            "tessaro-libtool [options] SOURCE_DIR LIBRARY_DIR"})
    EXPECT_NE(text->find(Normalise(words)), std::string::npos) << words;
  EXPECT_EQ(text->find("@@PATTERN-CATALOGUE@@"), std::string::npos) << "the catalogue was not put in";

  // The catalogue chapter matches the masks folder shipped beside it.
  TAppState state;
  state.AppDir = AppDirOfBuild();
  state.PatternDefinitions = TMemIniFile::Open(PatternDefinitionFile(state.AppDir));
  if (!state.PatternDefinitions) {
    EXPECT_NE(text->find("No pattern catalogue is installed"), std::string::npos);
    return;
  }
  const int masks = ReadMaskCount(state);
  for (int m = 1; m <= masks; ++m) {
    EXPECT_NE(text->find("Shape " + std::to_string(m) + ": " + Normalise(ReadMaskName(state, m))), std::string::npos)
        << "mask " << m;
    for (int p = 1; p <= ReadPatternCount(state, m); ++p)
      EXPECT_NE(text->find("--pattern " + std::to_string(m) + "," + std::to_string(p)), std::string::npos)
          << "mask " << m << " pattern " << p;
  }
}

// A small catalogue in a scratch install folder: the generator's chapter holds
// every shape and pattern by name (characters that mean something to Markdown
// included) with each overview picture that exists.
class ManualGenerator : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fs::exists(Generator())) << Generator() << " is not built";
    const fs::path masks = dir.path() / "app" / "masks";
    TBitmap32 picture(40, 30);
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 40; ++x) picture.SetPixel(x, y, ((x / 5 + y / 5) & 1) ? 0xFF2050A0u : 0xFFF0E0C0u);
    fs::create_directories(masks);
    for (const char* name : {"square.bmp", "square1.bmp", "square2.bmp", "round.bmp", "round1.bmp"})
      SaveBmp32(picture, masks / name, 2835);
    WriteBytes(masks / "patterndefine.ini",
               "[brief]\r\nmaskcount=2\r\n"
               "[mask1]\r\nmaskname=Square\r\nmaskov=square.bmp\r\npatterncount=2\r\n"
               "[mask1,pat1]\r\npatternname=Plain grid\r\npatov=square1.bmp\r\nlayercount=1\r\n"
               "[mask1,pat2]\r\npatternname=50% *bold* | %1 grid_2\r\npatov=square2.bmp\r\nlayercount=2\r\n"
               "[mask2]\r\nmaskname=Round [small]\r\nmaskov=round.bmp\r\npatterncount=2\r\n"
               "[mask2,pat1]\r\npatternname=Staggered\r\npatov=round1.bmp\r\nlayercount=3\r\n"
               "[mask2,pat2]\r\npatternname=Without picture\r\npatov=missing.bmp\r\nlayercount=1\r\n");
    WriteBytes(markdown, "# First chapter\n\nSome text.\n\n# Shapes\n\n@@PATTERN-CATALOGUE@@\n\n# Last chapter\n\nEnd.\n");
  }
  testing_support::RunResult Generate(const std::vector<std::string>& extra = {}) {
    std::vector<std::string> args{"--markdown", markdown.string(), "--appdir", (dir.path() / "app").string(),
                                  "--output", pdf.string(), "--depfile", depfile.string()};
    args.insert(args.end(), extra.begin(), extra.end());
    return RunProgram(Generator().string(), args, dir.path());
  }
  TempDir dir;
  fs::path markdown = dir.path() / "manual.md";
  fs::path pdf = dir.path() / "out.pdf";
  fs::path depfile = dir.path() / "out.pdf.d";
};

TEST_F(ManualGenerator, BuildsTheCatalogueChapterFromPatterndefineIni) {
  const auto r = Generate();
  ASSERT_EQ(r.exitCode, 0) << r.err;
  ExpectPdfFile(pdf);
  const std::string deps = ReadBytes(depfile);
  for (const char* file : {"manual.md", "patterndefine.ini", "square.bmp", "square2.bmp", "round1.bmp"})
    EXPECT_NE(deps.find(file), std::string::npos) << file;

  const std::optional<std::string> text = PdfText(pdf, dir.path());
  if (!text) GTEST_SKIP() << "pdftotext is not installed";
  for (const char* piece : {"Shape 1: Square", "1 Plain grid", "2 50% *bold* | %1 grid_2", "Shape 2: Round [small]",
                            "1 Staggered", "2 Without picture", "--pattern 1,2", "--pattern 2,1", "First chapter",
                            "Last chapter"})
    EXPECT_NE(text->find(piece), std::string::npos) << piece;

  // Every overview that exists is embedded once: three patterns and two shapes.
  const auto images = RunProgram("pdfimages", {"-list", pdf.string()}, dir.path(), true);
  if (!images.started) GTEST_SKIP() << "pdfimages is not installed";
  const std::size_t lines = std::count(images.out.begin(), images.out.end(), '\n');
  EXPECT_EQ(lines, 2u + 5u) << images.out;  // two heading lines
}

TEST_F(ManualGenerator, WithoutMasksTheChapterSaysSo) {
  fs::remove_all(dir.path() / "app" / "masks");
  const auto r = Generate();
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::optional<std::string> text = PdfText(pdf, dir.path());
  if (!text) GTEST_SKIP() << "pdftotext is not installed";
  EXPECT_NE(text->find("No pattern catalogue is installed"), std::string::npos);
  EXPECT_EQ(text->find("Shape 1"), std::string::npos);
}

TEST_F(ManualGenerator, RefusesBadInputWithoutWritingAManual) {
  struct Case {
    const char* what;
    std::string markdownText;  // empty: no markdown file at all
    std::vector<std::string> args;
    int exitCode;
  };
  const Case cases[] = {
      {"no catalogue marker", "# Only text\n", {}, 1},
      {"the marker twice", "@@PATTERN-CATALOGUE@@\n\n@@PATTERN-CATALOGUE@@\n", {}, 1},
      {"missing markdown file", "", {}, 1},
      {"unknown option", "@@PATTERN-CATALOGUE@@\n", {"--colour", "red"}, 2},
      {"option without value", "@@PATTERN-CATALOGUE@@\n", {"--version"}, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::error_code ec;
    fs::remove(pdf, ec);
    fs::remove(markdown, ec);
    if (!c.markdownText.empty()) WriteBytes(markdown, c.markdownText);
    const auto r = Generate(c.args);
    EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
    EXPECT_FALSE(r.err.empty());
    EXPECT_FALSE(fs::exists(pdf));
  }
}

}  // namespace
}  // namespace tessaro
