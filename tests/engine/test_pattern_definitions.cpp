// The pattern catalogue readers and LoadPattern.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "engine/pattern_definitions.h"
#include "layer_fixtures.h"

namespace tessaro {
namespace {

using engine_testing::TempDir;

void Touch(const std::filesystem::path& p) {
  std::filesystem::create_directories(p.parent_path());
  std::ofstream(p) << "x";
}

constexpr const char* kCatalogue = R"(
[brief]
maskcount=10

[mask1]
maskname=Squares
maskov=squares_ov.bmp
patterncount=9

[mask1,pat1]
patternname=no layer count
patov=p11.bmp

[mask1,pat2]
patternname=zero layers
layercount=0

[mask1,pat3]
patternname=Plain
layercount=2

[mask1,pat3,layer1]

[mask1,pat3,layer2]
HorzFactor=1.5
VertFactor=0.5
HorzOffset=0.75
VertOffset=-0.25

[mask1,pat4]
patternname=Masks
layercount=4

[mask1,pat4,layer1]
maskimage=circle.bmp

[mask1,pat4,layer2]
maskimage=missing.bmp

[mask1,pat4,layer3]
maskimage=outside.bmp

[mask1,pat4,layer4]
maskimage=sub\hex.bmp

[mask1,pat5]
layercount=9

[mask1,pat5,layer6]
HorzFactor=2

[mask1,pat5,layer7]
HorzFactor=3

[mask1,pat6]
layercount=abc

[mask1,pat7]
layercount=-3

[mask1,pat8]
layercount=1

[mask1,pat8,layer1]
HorzFactor=wide
VertOffset=0,5

[mask2,pat1]
layercount=1

[mask2,pat1,layer1]
HorzFactor=7

[mask10]
maskname=Ten

[mask10,pat2]
patternname=Ten-two
layercount=1

[mask10,pat2,layer1]
HorzFactor=2.5

[mask1,pat10,layer2]
HorzFactor=9
)";

class PatternDefinitionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    state_.AppDir = dir_.path() / "app";
    Touch(state_.AppDir / "masks" / "circle.bmp");
    Touch(state_.AppDir / "masks" / "sub" / "hex.bmp");
    Touch(state_.AppDir / "outside.bmp");  // exists, but not in masks/
    Touch(dir_.path() / "elsewhere.bmp");
    TMemIniFile ini;
    ini.SetText(kCatalogue);
    state_.PatternDefinitions = ini;
  }

  TTSPattern Load(int m, int p) {
    TTSPattern pattern;
    LoadPattern(state_, m, p, pattern);
    return pattern;
  }

  std::filesystem::path Masks(const std::string& name) const {
    std::filesystem::path p = state_.AppDir / "masks" / "";
    p += name;
    return p;
  }

  TempDir dir_;
  TAppState state_;
};

TEST(PatternRecords, FreshRecordsAreAllZero) {
  const TTSPattern p;
  EXPECT_TRUE(p.MaskName.empty());
  EXPECT_TRUE(p.PatternName.empty());
  EXPECT_EQ(p.LayerCount, 0);
  for (const TLayerPattern& lp : p.Layers) {
    EXPECT_EQ(lp.Enabled, 0);
    EXPECT_EQ(lp.HasMask, 0);
    EXPECT_TRUE(lp.MaskImage.empty());
    EXPECT_EQ(lp.HorzFactor, 0.0);
    EXPECT_EQ(lp.VertFactor, 0.0);
    EXPECT_EQ(lp.HorzOffset, 0.0);
    EXPECT_EQ(lp.VertOffset, 0.0);
  }
}

TEST(PatternRecords, SectionNamesAreDecimalWithoutBlanks) {
  EXPECT_EQ(MaskSection(10), "mask10");
  EXPECT_EQ(PatternSection(10, 2), "mask10,pat2");
  EXPECT_EQ(PatternLayerSection(10, 2, 1), "mask10,pat2,layer1");
  EXPECT_EQ(PatternLayerSection(1, 12, 6), "mask1,pat12,layer6");
}

TEST_F(PatternDefinitionsTest, ReadersAnswerFromTheCatalogue) {
  EXPECT_EQ(ReadMaskCount(state_), 10);
  EXPECT_EQ(ReadMaskName(state_, 1), "Squares");
  EXPECT_EQ(ReadMaskName(state_, 10), "Ten");
  EXPECT_EQ(ReadMaskName(state_, 3), "");
  EXPECT_EQ(ReadPatternCount(state_, 1), 9);
  EXPECT_EQ(ReadPatternCount(state_, 10), 0);
  EXPECT_EQ(ReadPatternName(state_, 1, 3), "Plain");
  EXPECT_EQ(ReadPatternName(state_, 10, 2), "Ten-two");
  EXPECT_EQ(ReadLayerCount(state_, 1, 3), 2);
  EXPECT_EQ(ReadLayerCount(state_, 1, 5), 9);  // as the file says
  EXPECT_EQ(ReadLayerCount(state_, 1, 1), 0);
  EXPECT_EQ(MaskOverviewPath(state_, 1), Masks("squares_ov.bmp"));
  EXPECT_EQ(PatternOverviewPath(state_, 1, 1), Masks("p11.bmp"));
  // Absent keys still give a path: the masks folder itself.
  EXPECT_EQ(MaskOverviewPath(state_, 2), Masks(""));
  EXPECT_EQ(PatternOverviewPath(state_, 1, 3), Masks(""));
}

TEST_F(PatternDefinitionsTest, LayerCountZeroOrUnreadableLeavesTheRecordAsItWas) {
  for (int p : {1, 2, 6, 7}) {
    SCOPED_TRACE(p);
    EXPECT_EQ(Load(1, p), TTSPattern{});

    TTSPattern earlier;
    earlier.MaskName = "kept";
    earlier.LayerCount = 1;
    earlier.Layers[1] = engine_testing::Layer(2, 2);
    TTSPattern same = earlier;
    LoadPattern(state_, 1, p, same);
    EXPECT_EQ(same, earlier);
  }
  // A pattern that is not in the catalogue at all (only a stray layer section).
  EXPECT_EQ(Load(1, 10), TTSPattern{});
}

TEST_F(PatternDefinitionsTest, LayerWithoutKeysIsAPlainGrid) {
  const TTSPattern p = Load(1, 3);
  EXPECT_EQ(p.MaskName, "Squares");
  EXPECT_EQ(p.PatternName, "Plain");
  EXPECT_EQ(p.LayerCount, 2);
  const TLayerPattern& plain = p.Layers[1];
  EXPECT_EQ(plain.Enabled, 1);
  EXPECT_EQ(plain.HasMask, 0);  // the masks folder itself is no mask image
  EXPECT_TRUE(plain.MaskImage.empty());
  EXPECT_EQ(plain.HorzFactor, 1.0);
  EXPECT_EQ(plain.VertFactor, 1.0);
  EXPECT_EQ(plain.HorzOffset, 0.0);
  EXPECT_EQ(plain.VertOffset, 0.0);
  // Fractional and negative values are stored unchanged.
  const TLayerPattern& staggered = p.Layers[2];
  EXPECT_EQ(staggered.HorzFactor, 1.5);
  EXPECT_EQ(staggered.VertFactor, 0.5);
  EXPECT_EQ(staggered.HorzOffset, 0.75);
  EXPECT_EQ(staggered.VertOffset, -0.25);
  for (int k = 3; k <= kMaxPatternLayers; ++k) EXPECT_EQ(p.Layers[k], TLayerPattern{}) << k;
}

TEST_F(PatternDefinitionsTest, MasksAreTakenOnlyFromExistingFilesInTheMasksFolder) {
  const TTSPattern p = Load(1, 4);
  ASSERT_EQ(p.LayerCount, 4);
  struct Case {
    int layer;
    bool hasMask;
    std::filesystem::path path;
  };
  const Case cases[] = {
      {1, true, Masks("circle.bmp")},
      {2, false, {}},                   // missing file
      {3, false, {}},                   // exists in AppDir, not in masks/
      {4, true, Masks("sub/hex.bmp")},  // a backslash is the separator
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.layer);
    const TLayerPattern& lp = p.Layers[c.layer];
    EXPECT_EQ(lp.Enabled, 1);
    EXPECT_EQ(lp.HasMask, c.hasMask ? 1 : 0);
    EXPECT_EQ(lp.MaskImage, c.path);
    EXPECT_EQ(lp.HorzFactor, 1.0);
  }
}

TEST_F(PatternDefinitionsTest, AnAbsoluteMaskNameDoesNotEscapeTheMasksFolder) {
  TMemIniFile ini;
  ini.SetText("[mask1,pat1]\nlayercount=1\n[mask1,pat1,layer1]\nmaskimage=" +
              (dir_.path() / "elsewhere.bmp").string() + "\n");
  state_.PatternDefinitions = ini;
  const TTSPattern p = Load(1, 1);
  EXPECT_EQ(p.Layers[1].Enabled, 1);
  EXPECT_EQ(p.Layers[1].HasMask, 0);
}

TEST_F(PatternDefinitionsTest, MoreThanSixLayersTakesTheFirstSix) {
  const TTSPattern p = Load(1, 5);
  EXPECT_EQ(p.LayerCount, 6);
  for (int k = 1; k <= 6; ++k) EXPECT_EQ(p.Layers[k].Enabled, 1) << k;
  EXPECT_EQ(p.Layers[6].HorzFactor, 2.0);
  EXPECT_EQ(p.Layers[1].HorzFactor, 1.0);
}

TEST_F(PatternDefinitionsTest, UnparsableDecimalsGiveTheirDefaults) {
  const TTSPattern p = Load(1, 8);
  EXPECT_EQ(p.Layers[1].HorzFactor, 1.0);
  EXPECT_EQ(p.Layers[1].VertOffset, 0.5);  // a comma is a decimal separator too
}

TEST_F(PatternDefinitionsTest, NumbersPickTheirOwnSections) {
  const TTSPattern ten = Load(10, 2);
  EXPECT_EQ(ten.MaskName, "Ten");
  EXPECT_EQ(ten.PatternName, "Ten-two");
  EXPECT_EQ(ten.LayerCount, 1);
  EXPECT_EQ(ten.Layers[1].HorzFactor, 2.5);
  // mask 1 / pattern 10 and mask 2 / pattern 1 must not be confused with it.
  EXPECT_EQ(Load(2, 1).Layers[1].HorzFactor, 7.0);
  EXPECT_EQ(Load(2, 1).MaskName, "");
}

TEST(PatternDefinitionsMissing, EveryReaderAnswersItsDefault) {
  TempDir dir;
  TAppState state;
  state.AppDir = dir.path();
  ASSERT_FALSE(state.PatternDefinitions.has_value());
  EXPECT_EQ(ReadMaskCount(state), 0);
  EXPECT_EQ(ReadMaskName(state, 1), "");
  EXPECT_EQ(ReadPatternCount(state, 1), 0);
  EXPECT_EQ(ReadPatternName(state, 1, 1), "");
  EXPECT_EQ(ReadLayerCount(state, 1, 1), 0);
  const std::string ov = MaskOverviewPath(state, 1).string();
  const std::string pov = PatternOverviewPath(state, 1, 1).string();
  EXPECT_EQ(ov, (dir.path() / "masks").string() + "/");
  EXPECT_EQ(pov, ov);
  TTSPattern p;
  LoadPattern(state, 1, 1, p);
  EXPECT_EQ(p, TTSPattern{});
}

}  // namespace
}  // namespace tessaro
