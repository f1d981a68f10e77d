// The cell-pattern catalogue shipped in the build tree's install folder: every mask
// and pattern is named, its pictures exist and decode, and every pattern builds and
// covers the mosaic the way its name promises.
#include <gtest/gtest.h>

#include <QImage>
#include <QString>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/inifile.h"
#include "engine/layers.h"
#include "engine/pattern_definitions.h"
#include "image/bitmap32.h"
#include "image/ooimgfunction2007.h"
#include "image/picture_files.h"

namespace tessaro {
namespace {

namespace fs = std::filesystem;

// A new project's mosaic, the geometry every shipped pattern must build for.
constexpr int kArea = 1024;
constexpr int kCell = 48;
constexpr int kPlainGridCells = (kArea / kCell) * (kArea / kCell);  // 21 x 21

struct TPatternRef {
  int Mask = 0, Pattern = 0;
  std::string Label;  // "Mask / Pattern", for failure messages
};

class ShippedCatalogue : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    state_ = std::make_unique<TAppState>();
    InitializeAppState(*state_, ExecutableDir().parent_path() / "tessaro");
  }
  static void TearDownTestSuite() { state_.reset(); }

  void SetUp() override {
    ASSERT_TRUE(state_->PatternDefinitions.has_value())
        << "no " << PatternDefinitionFile(state_->AppDir) << ": build the tessaro_masks target";
    TtsProject07& p = state_->CurrentProject;
    p.MosaicWidth = kArea;
    p.MosaicHeight = kArea;
    p.CellWidth = kCell;
    p.CellHeight = kCell;
  }

  static const TAppState& State() { return *state_; }
  static fs::path MasksFolder() { return State().AppDir / "masks"; }

  static std::vector<TPatternRef> AllPatterns() {
    std::vector<TPatternRef> all;
    for (int m = 1; m <= ReadMaskCount(State()); ++m)
      for (int p = 1; p <= ReadPatternCount(State(), m); ++p)
        all.push_back({m, p, ReadMaskName(State(), m) + " / " + ReadPatternName(State(), m, p)});
    return all;
  }

  static TTSPattern Load(const TPatternRef& ref) {
    TTSPattern pattern;
    LoadPattern(State(), ref.Mask, ref.Pattern, pattern);
    return pattern;
  }

  static std::unique_ptr<TAppState> state_;
};

std::unique_ptr<TAppState> ShippedCatalogue::state_;

TBitmap32 Decode(const fs::path& file) {
  TBitmap32 b;
  LoadPicture(b, file);
  return b;
}

std::string ReadText(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// ---- Names and structure ----------------------------------------------------------

TEST_F(ShippedCatalogue, OffersEnoughShapesAndPatternsAllNamedUniquely) {
  const int masks = ReadMaskCount(State());
  EXPECT_GE(masks, 6);
  std::set<std::string> maskNames;
  for (int m = 1; m <= masks; ++m) {
    const std::string name = ReadMaskName(State(), m);
    EXPECT_FALSE(name.empty()) << "mask " << m;
    EXPECT_TRUE(maskNames.insert(name).second) << "mask name twice: " << name;
    const int patterns = ReadPatternCount(State(), m);
    EXPECT_GE(patterns, 3) << name;
    std::set<std::string> patternNames;
    for (int p = 1; p <= patterns; ++p) {
      const std::string pn = ReadPatternName(State(), m, p);
      EXPECT_FALSE(pn.empty()) << name << " pattern " << p;
      EXPECT_TRUE(patternNames.insert(pn).second) << name << ": pattern name twice: " << pn;
    }
  }
  // Nothing beyond the counts: an entry past them could never be chosen.
  EXPECT_FALSE(State().PatternDefinitions->SectionExists(MaskSection(masks + 1)));
}

TEST_F(ShippedCatalogue, FirstPatternOfFirstMaskIsThePlainSquareGrid) {
  EXPECT_EQ(ReadMaskName(State(), 1), "Square");
  const TTSPattern pattern = Load({1, 1, "Square / 1"});
  ASSERT_EQ(pattern.LayerCount, 1);
  const TLayerPattern& layer = pattern.Layers[1];
  EXPECT_EQ(layer.Enabled, 1);
  EXPECT_EQ(layer.HasMask, 0);
  EXPECT_FALSE(State().PatternDefinitions->ValueExists(PatternLayerSection(1, 1, 1), "maskimage"));
  EXPECT_EQ(layer.HorzFactor, 1.0);
  EXPECT_EQ(layer.VertFactor, 1.0);
  EXPECT_EQ(layer.HorzOffset, 0.0);
  EXPECT_EQ(layer.VertOffset, 0.0);
  EXPECT_EQ(CountPatternCells(State().CurrentProject, pattern), kPlainGridCells);
}

TEST_F(ShippedCatalogue, FileUsesTheKeySpellingAndDecimalPoints) {
  const TMemIniFile& ini = *State().PatternDefinitions;
  for (const TPatternRef& ref : AllPatterns()) {
    for (int k = 1; k <= ReadLayerCount(State(), ref.Mask, ref.Pattern); ++k) {
      const std::string section = PatternLayerSection(ref.Mask, ref.Pattern, k);
      for (const char* key : {"HorzFactor", "VertFactor", "HorzOffset", "VertOffset"}) {
        const std::string value = ini.ReadString(section, key, "");
        EXPECT_FALSE(value.empty()) << section << " " << key;
        EXPECT_EQ(value.find(','), std::string::npos) << section << " " << key << "=" << value;
        double parsed = 0;
        EXPECT_TRUE(ParseIniFloat(value, parsed)) << section << " " << key << "=" << value;
      }
    }
  }
  // The keys as written, not only as matched without regard to case.
  const std::string text = ReadText(PatternDefinitionFile(State().AppDir));
  for (const char* key : {"[brief]", "maskcount=", "maskname=", "maskov=", "patterncount=",
                          "patternname=", "patov=", "layercount=", "maskimage=", "HorzFactor=",
                          "VertFactor=", "HorzOffset=", "VertOffset="})
    EXPECT_NE(text.find(key), std::string::npos) << key;
}

// ---- Pictures ------------------------------------------------------------------------

TEST_F(ShippedCatalogue, OverviewPicturesAreDistinctBmpsThatBothReadersDecode) {
  std::vector<fs::path> overviews;
  for (int m = 1; m <= ReadMaskCount(State()); ++m) overviews.push_back(MaskOverviewPath(State(), m));
  for (const TPatternRef& ref : AllPatterns())
    overviews.push_back(PatternOverviewPath(State(), ref.Mask, ref.Pattern));

  std::map<std::vector<TColor32>, fs::path> seen;
  for (const fs::path& file : overviews) {
    SCOPED_TRACE(file.string());
    ASSERT_TRUE(fs::is_regular_file(file));
    EXPECT_EQ(DetectPictureType(file), kPictureBmp);
    const TBitmap32 b = Decode(file);
    ASSERT_FALSE(b.Empty());
    // The manual embeds the overviews through Qt's reader.
    const QImage q(QString::fromStdString(file.string()));
    EXPECT_FALSE(q.isNull());
    EXPECT_EQ(q.width(), b.Width());
    EXPECT_EQ(q.height(), b.Height());
    const std::vector<TColor32> pixels(b.Bits(), b.Bits() + std::size_t(b.Width()) * b.Height());
    EXPECT_GT(std::set<TColor32>(pixels.begin(), pixels.end()).size(), 2u) << "a blank picture";
    const auto [it, fresh] = seen.emplace(pixels, file);
    EXPECT_TRUE(fresh) << "same picture as " << it->second;
  }
}

TEST_F(ShippedCatalogue, EveryLayerLoadsWithAMaskPictureOfWhiteShapeOnBlack) {
  for (const TPatternRef& ref : AllPatterns()) {
    SCOPED_TRACE(ref.Label);
    const TTSPattern pattern = Load(ref);
    EXPECT_EQ(pattern.MaskName, ReadMaskName(State(), ref.Mask));
    EXPECT_EQ(pattern.PatternName, ReadPatternName(State(), ref.Mask, ref.Pattern));
    EXPECT_EQ(pattern.LayerCount, ReadLayerCount(State(), ref.Mask, ref.Pattern));
    ASSERT_GE(pattern.LayerCount, 1);
    ASSERT_LE(pattern.LayerCount, kMaxPatternLayers);
    for (int k = 1; k <= kMaxPatternLayers; ++k) {
      const TLayerPattern& layer = pattern.Layers[k];
      EXPECT_EQ(layer.Enabled, k <= pattern.LayerCount ? 1 : 0) << "layer " << k;
      if (k > pattern.LayerCount) continue;
      const std::string section = PatternLayerSection(ref.Mask, ref.Pattern, k);
      const bool named = State().PatternDefinitions->ValueExists(section, "maskimage");
      EXPECT_EQ(layer.HasMask, named ? 1 : 0) << section;
      if (!layer.HasMask) continue;
      const TBitmap32 mask = Decode(layer.MaskImage);
      ASSERT_FALSE(mask.Empty()) << layer.MaskImage;
      std::int64_t white = 0, black = 0, other = 0;
      for (int y = 0; y < mask.Height(); ++y) {
        const TColor32* row = mask.ScanLine(y);
        for (int x = 0; x < mask.Width(); ++x) {
          const TColor32 rgb = row[x] & 0x00FFFFFFu;
          if (rgb == 0x00FFFFFFu) ++white;
          else if (rgb == 0) ++black;
          else ++other;
        }
      }
      EXPECT_GT(white, 0) << layer.MaskImage;
      EXPECT_GT(black, 0) << layer.MaskImage;
      // Hard edges: the gap band is drawn where the resampled mask is fully white, so
      // a soft edge of the picture itself would thin every shape.
      EXPECT_EQ(other, 0) << layer.MaskImage;
    }
  }
}

TEST_F(ShippedCatalogue, FolderHoldsOnlyFilesTheCatalogueNames) {
  std::set<fs::path> named = {PatternDefinitionFile(State().AppDir)};
  for (int m = 1; m <= ReadMaskCount(State()); ++m) named.insert(MaskOverviewPath(State(), m));
  for (const TPatternRef& ref : AllPatterns()) {
    named.insert(PatternOverviewPath(State(), ref.Mask, ref.Pattern));
    const TTSPattern pattern = Load(ref);
    for (int k = 1; k <= pattern.LayerCount; ++k)
      if (pattern.Layers[k].HasMask) named.insert(pattern.Layers[k].MaskImage);
  }
  for (const auto& entry : fs::directory_iterator(MasksFolder()))
    EXPECT_TRUE(named.count(entry.path())) << "not named by the catalogue: " << entry.path();
}

// ---- Geometry ------------------------------------------------------------------------

TEST_F(ShippedCatalogue, EveryPatternBuildsForANewProjectsMosaic) {
  const TtsProject07& project = State().CurrentProject;
  for (const TPatternRef& ref : AllPatterns()) {
    SCOPED_TRACE(ref.Label);
    const TTSPattern pattern = Load(ref);
    std::int32_t sum = 0;
    for (int k = 1; k <= pattern.LayerCount; ++k) {
      const TLayerGrid g = ComputeLayerGrid(pattern.Layers[k], kArea, kArea, kCell, kCell);
      EXPECT_TRUE(g.Buildable) << "layer " << k;
      EXPECT_GT(g.StepX, 0) << "layer " << k;
      EXPECT_GT(g.StepY, 0) << "layer " << k;
      EXPECT_GT(g.CellCount(), 0) << "layer " << k;
      sum += g.CellCount();
    }
    EXPECT_GT(CountPatternCells(project, pattern), 0);
    EXPECT_EQ(CountPatternCells(project, pattern), sum);
    EXPECT_FALSE(DescribePatternCells(project, pattern).empty());
  }
}

// What a pattern shows over the inside of the mosaic (away from the edge strips the
// layer rule leaves), cut by each layer's mask exactly as drawing cuts it.
struct TCoverage {
  double Covered = 0;                // share of pixels under some cell's shape
  std::vector<std::int64_t> OnTop;   // [k]: pixels where layer k is the top-most
};

TCoverage MeasureCoverage(const TTSPattern& pattern) {
  constexpr int kLo = 2 * kCell, kHi = kArea - 2 * kCell;
  std::vector<std::int8_t> top(std::size_t(kArea) * kArea, 0);
  for (int k = 1; k <= pattern.LayerCount; ++k) {
    const TLayerPattern& lp = pattern.Layers[k];
    // The inside of one cell: alpha 255 where the drawn picture shows.
    TBitmap32 cell(kCell, kCell);
    cell.Clear(clWhite32);
    if (lp.HasMask) {
      TBitmap32 mask;
      LoadPicture(mask, lp.MaskImage);
      ApplyCellMask(cell, cell, mask, 0, 0);
    }
    const TLayerGrid g = ComputeLayerGrid(lp, kArea, kArea, kCell, kCell);
    for (int row = 0; row < g.Rows; ++row)
      for (int col = 0; col < g.Columns; ++col) {
        const int left = g.StepX * col + g.OffsetX, top0 = g.StepY * row + g.OffsetY;
        for (int y = std::max(top0, kLo); y < std::min(top0 + kCell, kHi); ++y) {
          const TColor32* src = cell.ScanLine(y - top0);
          std::int8_t* dst = top.data() + std::size_t(y) * kArea;
          for (int x = std::max(left, kLo); x < std::min(left + kCell, kHi); ++x)
            if (AlphaOf(src[x - left]) == 255) dst[x] = std::int8_t(k);
        }
      }
  }
  TCoverage c;
  c.OnTop.assign(kMaxPatternLayers + 1, 0);
  std::int64_t covered = 0;
  for (int y = kLo; y < kHi; ++y)
    for (int x = kLo; x < kHi; ++x) {
      const int k = top[std::size_t(y) * kArea + x];
      if (k > 0) ++covered, ++c.OnTop[k];
    }
  c.Covered = double(covered) / (double(kHi - kLo) * (kHi - kLo));
  return c;
}

// Patterns whose names promise a closed surface: their layers must leave no gap.
const std::set<std::pair<std::string, std::string>> kClosedTilings = {
    {"Square", "Grid"},          {"Square", "Brick rows"},     {"Square", "Brick columns"},
    {"Square", "Third-bond rows"}, {"Square", "Two sizes"},    {"Circle", "Overlapping"},
    {"Hexagon", "Honeycomb"},    {"Hexagon", "Flat honeycomb"}, {"Diamond", "Lattice"},
    {"Rounded square", "Two sizes"}, {"Octagon", "Octagon and dot"},
    {"Triangle", "Triangle lattice"}, {"Triangle", "Triangle rows"},
};

TEST_F(ShippedCatalogue, LayersFitTogetherAsThePatternNamesSay) {
  std::set<std::pair<std::string, std::string>> closedSeen;
  for (const TPatternRef& ref : AllPatterns()) {
    SCOPED_TRACE(ref.Label);
    const TTSPattern pattern = Load(ref);
    const TCoverage c = MeasureCoverage(pattern);
    const auto key = std::make_pair(pattern.MaskName, pattern.PatternName);
    if (kClosedTilings.count(key)) {
      closedSeen.insert(key);
      EXPECT_GT(c.Covered, 0.995);
    } else {
      // Spaced or single-shape patterns leave gaps, but the cells stay the picture.
      EXPECT_GT(c.Covered, 0.45);
      EXPECT_LT(c.Covered, 0.995) << "a closed surface: list it among the closed tilings";
    }
    // A layer hidden everywhere by later ones (a copy of another) is wasted work.
    for (int k = 1; k <= pattern.LayerCount; ++k)
      EXPECT_GT(c.OnTop[k], 0) << "layer " << k << " never shows";
  }
  EXPECT_EQ(closedSeen, kClosedTilings) << "a closed tiling is missing from the catalogue";
}

}  // namespace
}  // namespace tessaro
