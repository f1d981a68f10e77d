// The in-memory INI file.
#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

#include "core/core_test_support.h"
#include "core/inifile.h"
#include "core/random.h"

namespace tessaro {
namespace {

using testing_support::FolderEntries;
using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

TMemIniFile Parse(const std::string& text) {
  TMemIniFile ini;
  ini.SetText(text);
  return ini;
}

TEST(MemIniFile, WritesSectionsAndKeysInOrderWithCrLf) {
  TempDir dir;
  TMemIniFile ini(dir / "project.ini");
  ini.WriteString("pathpara", "Projectpath", "/p/beach");
  ini.WriteString("pathpara", "Projectname", "beach");
  ini.WriteInteger("renderpara", "ver", 33);
  ini.UpdateFile();
  EXPECT_EQ(ReadBytes(dir / "project.ini"),
            "[pathpara]\r\nProjectpath=/p/beach\r\nProjectname=beach\r\n\r\n"
            "[renderpara]\r\nver=33\r\n\r\n");
  EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"project.ini"});

  const auto back = TMemIniFile::Open(dir / "project.ini");
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(back->ReadString("pathpara", "Projectpath", "N/A"), "/p/beach");
  EXPECT_EQ(back->ReadInteger("renderpara", "ver", 0), 33);
  EXPECT_EQ(back->GetText(), ini.GetText());
}

std::string FloatKey(int i) {
  std::string key = std::to_string(i);
  key.insert(key.begin(), 'v');
  return key;
}

TEST(MemIniFile, TypedValuesRoundTrip) {
  TMemIniFile ini;
  const double values[] = {0.1, 1.0 / 3.0, -2.5e-10, 1.5, 0.0, 1e300, DBL_MIN};
  for (int i = 0; i < int(std::size(values)); ++i) ini.WriteFloat("f", FloatKey(i), values[i]);
  ini.WriteInteger("i", "min", INT_MIN);
  ini.WriteInteger("i", "max", INT_MAX);
  ini.WriteBool("b", "yes", true);
  ini.WriteBool("b", "no", false);
  const TMemIniFile back = Parse(ini.GetText());
  for (int i = 0; i < int(std::size(values)); ++i)
    EXPECT_EQ(back.ReadFloat("f", FloatKey(i), -7), values[i]) << i;
  EXPECT_EQ(back.ReadInteger("i", "min", 0), INT_MIN);
  EXPECT_EQ(back.ReadInteger("i", "max", 0), INT_MAX);
  EXPECT_TRUE(back.ReadBool("b", "yes", false));
  EXPECT_FALSE(back.ReadBool("b", "no", true));
}

TEST(MemIniFile, NamesMatchWithoutRegardToCase) {
  TMemIniFile ini = Parse("[Mask1,Pat2]\nPatternName=Bricks\n");
  EXPECT_EQ(ini.ReadString("mask1,pat2", "patternname", ""), "Bricks");
  EXPECT_EQ(ini.ReadString("MASK1,PAT2", "PATTERNNAME", ""), "Bricks");
  EXPECT_TRUE(ini.SectionExists("mask1,PAT2"));
  EXPECT_TRUE(ini.ValueExists("MASK1,pat2", "patternNAME"));
  // A write to an existing key keeps its spelling and place.
  ini.WriteString("MASK1,PAT2", "PATTERNNAME", "Waves");
  EXPECT_EQ(ini.GetText(), "[Mask1,Pat2]\r\nPatternName=Waves\r\n\r\n");
}

TEST(MemIniFile, KeepsWhatItDoesNotKnowInItsPlace) {
  TMemIniFile ini = Parse(
      "; written by hand\n"
      "[pathpara]\n"
      "Extra=keep me\n"
      "; a note\n"
      "Projectname=old\n"
      "loose line\n"
      "[other]\n"
      "z=1\n");
  ini.WriteString("pathpara", "Projectname", "new");
  ini.WriteString("pathpara", "Projectpath", "/p");
  ini.WriteInteger("renderpara", "ver", 33);
  EXPECT_EQ(ini.GetText(),
            "; written by hand\r\n"
            "[pathpara]\r\n"
            "Extra=keep me\r\n"
            "; a note\r\n"
            "Projectname=new\r\n"
            "loose line\r\n"
            "Projectpath=/p\r\n"
            "\r\n"
            "[other]\r\n"
            "z=1\r\n"
            "\r\n"
            "[renderpara]\r\n"
            "ver=33\r\n"
            "\r\n");
  EXPECT_EQ(ini.ReadSection("pathpara"), (std::vector<std::string>{"Extra", "Projectname", "Projectpath"}));
  EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"pathpara", "other", "renderpara"}));
}

TEST(MemIniFile, LineEndsAndByteOrderMarkReadAlike) {
  const std::string expected = "[s]\r\na=1\r\nb=two\r\n\r\n";
  for (const std::string& text : {std::string("[s]\r\na=1\r\nb=two\r\n"), std::string("[s]\na=1\nb=two"),
                                  std::string("[s]\ra=1\rb=two\r"), std::string("\xEF\xBB\xBF[s]\na=1\r\nb=two\n"),
                                  std::string("\n\n  [ s ]  \n\n  a = 1 \n\tb\t=\ttwo\t\n\n")}) {
    const TMemIniFile ini = Parse(text);
    EXPECT_EQ(ini.GetText(), expected) << text;
    EXPECT_EQ(ini.ReadInteger("s", "a", 0), 1);
    EXPECT_EQ(ini.ReadString("s", "b", ""), "two");
  }
}

TEST(MemIniFile, ValueKeepsEverythingAfterTheFirstEqualsSign) {
  const TMemIniFile ini = Parse("[s]\nformula=a=b=c\nempty=\n");
  EXPECT_EQ(ini.ReadString("s", "formula", ""), "a=b=c");
  EXPECT_TRUE(ini.ValueExists("s", "empty"));
  EXPECT_EQ(ini.ReadString("s", "empty", "default"), "");
  EXPECT_EQ(ini.ReadInteger("s", "empty", 5), 5);
}

TEST(MemIniFile, MissingSectionsAndKeysGiveDefaults) {
  const TMemIniFile ini = Parse("[brief]\nmaskcount=3\n");
  EXPECT_EQ(ini.ReadInteger("brief", "patterncount", 0), 0);
  EXPECT_EQ(ini.ReadInteger("mask1", "patterncount", -1), -1);
  EXPECT_EQ(ini.ReadString("mask1", "maskname", "N/A"), "N/A");
  EXPECT_EQ(ini.ReadFloat("mask1,pat1,layer1", "HorzFactor", 1.0), 1.0);
  EXPECT_TRUE(ini.ReadBool("x", "y", true));
  EXPECT_FALSE(ini.SectionExists("mask1"));
  EXPECT_FALSE(ini.ValueExists("brief", "other"));
  EXPECT_TRUE(ini.ReadSection("mask1").empty());
}

TEST(MemIniFile, RepeatedSectionsJoinAndTheFirstKeyWins) {
  TMemIniFile ini = Parse("[a]\nk=1\n[b]\nx=0\n[A]\nk=2\nm=3\n");
  EXPECT_EQ(ini.ReadInteger("a", "k", 0), 1);
  EXPECT_EQ(ini.ReadInteger("a", "m", 0), 3);
  EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"a", "b"}));
  ini.WriteInteger("a", "k", 9);
  EXPECT_EQ(ini.GetText(), "[a]\r\nk=9\r\nk=2\r\nm=3\r\n\r\n[b]\r\nx=0\r\n\r\n");
  ini.DeleteKey("A", "K");
  EXPECT_FALSE(ini.ValueExists("a", "k"));
  EXPECT_EQ(ini.ReadSection("a"), std::vector<std::string>{"m"});
}

TEST(MemIniFile, EraseSectionRemovesItAndItsKeys) {
  TMemIniFile ini = Parse("[a]\nk=1\n[b]\nk=2\n[c]\nk=3\n");
  ini.EraseSection("B");
  EXPECT_FALSE(ini.SectionExists("b"));
  EXPECT_EQ(ini.ReadInteger("c", "k", 0), 3);  // the index still finds later sections
  EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"a", "c"}));
  ini.EraseSection("missing");
  ini.DeleteKey("missing", "k");
  ini.WriteInteger("b", "k", 4);
  EXPECT_EQ(ini.GetText(), "[a]\r\nk=1\r\n\r\n[c]\r\nk=3\r\n\r\n[b]\r\nk=4\r\n\r\n");
}

TEST(MemIniFile, LineBreaksInWrittenTextCannotForgeLines) {
  TMemIniFile ini;
  ini.WriteString("pathpara", "Projectpath", "/p\r\n[evil]\nx=1");
  ini.WriteString("s\nt", "k\r", "v");
  const TMemIniFile back = Parse(ini.GetText());
  EXPECT_FALSE(back.SectionExists("evil"));
  EXPECT_EQ(back.ReadString("pathpara", "Projectpath", ""), "/p  [evil] x=1");
  EXPECT_EQ(back.ReadSections(), (std::vector<std::string>{"pathpara", "s t"}));
  EXPECT_EQ(back.ReadString("s t", "k", ""), "v");
}

struct IntCase {
  const char* Text;
  bool Parses;
  std::int32_t Value;
};

void PrintTo(const IntCase& c, std::ostream* os) { *os << '"' << c.Text << '"'; }

class IniIntegers : public ::testing::TestWithParam<IntCase> {};

TEST_P(IniIntegers, ParseOrGiveTheDefault) {
  const IntCase& c = GetParam();
  std::int32_t v = 4242;
  EXPECT_EQ(ParseIniInteger(c.Text, v), c.Parses) << '"' << c.Text << '"';
  EXPECT_EQ(v, c.Parses ? c.Value : 4242) << '"' << c.Text << '"';
  TMemIniFile ini;
  ini.WriteString("s", "k", c.Text);
  EXPECT_EQ(ini.ReadInteger("s", "k", 77), c.Parses ? c.Value : 77);
  EXPECT_EQ(ini.ReadBool("s", "k", true), c.Parses ? c.Value != 0 : true);
}

INSTANTIATE_TEST_SUITE_P(
    MemIniFile, IniIntegers,
    ::testing::Values(IntCase{"12", true, 12}, IntCase{"  12\t", true, 12}, IntCase{"+5", true, 5},
                      IntCase{"-5", true, -5}, IntCase{"007", true, 7}, IntCase{"0", true, 0},
                      IntCase{"$1F", true, 31}, IntCase{"0x1F", true, 31}, IntCase{"0X1f", true, 31},
                      IntCase{"-$10", true, -16}, IntCase{"$FFFFFFFF", true, -1},
                      IntCase{"0x00FFFFFF", true, 0xFFFFFF}, IntCase{"2147483647", true, INT_MAX},
                      IntCase{"-2147483648", true, INT_MIN}, IntCase{"2147483648", false, 0},
                      IntCase{"-2147483649", false, 0}, IntCase{"99999999999999999999999", false, 0},
                      IntCase{"$100000000", false, 0}, IntCase{"12abc", false, 0}, IntCase{"abc", false, 0},
                      IntCase{"", false, 0}, IntCase{"   ", false, 0}, IntCase{"1.5", false, 0},
                      IntCase{"1e3", false, 0}, IntCase{"1 2", false, 0}, IntCase{"--1", false, 0},
                      IntCase{"-", false, 0}, IntCase{"+", false, 0}, IntCase{"$", false, 0},
                      IntCase{"0x", false, 0}, IntCase{"$G", false, 0}, IntCase{"0x-1", false, 0}));

struct FloatCase {
  const char* Text;
  bool Parses;
  double Value;
};

void PrintTo(const FloatCase& c, std::ostream* os) { *os << '"' << c.Text << '"'; }

class IniFloats : public ::testing::TestWithParam<FloatCase> {};

TEST_P(IniFloats, ParseOrGiveTheDefault) {
  const FloatCase& c = GetParam();
  double v = 42.0;
  EXPECT_EQ(ParseIniFloat(c.Text, v), c.Parses) << '"' << c.Text << '"';
  EXPECT_EQ(v, c.Parses ? c.Value : 42.0) << '"' << c.Text << '"';
  TMemIniFile ini;
  ini.WriteString("s", "k", c.Text);
  EXPECT_EQ(ini.ReadFloat("s", "k", -1.25), c.Parses ? c.Value : -1.25);
}

INSTANTIATE_TEST_SUITE_P(
    MemIniFile, IniFloats,
    ::testing::Values(FloatCase{"1.5", true, 1.5}, FloatCase{"-0.75", true, -0.75},
                      FloatCase{" 0.75 ", true, 0.75}, FloatCase{"+3", true, 3.0}, FloatCase{"2", true, 2.0},
                      FloatCase{".5", true, 0.5}, FloatCase{"1.", true, 1.0}, FloatCase{"1,5", true, 1.5},
                      FloatCase{"1e3", true, 1000.0}, FloatCase{"2.5E-1", true, 0.25},
                      FloatCase{"abc", false, 0}, FloatCase{"", false, 0}, FloatCase{"1.2.3", false, 0},
                      FloatCase{"1,2.3", false, 0}, FloatCase{"nan", false, 0}, FloatCase{"inf", false, 0},
                      FloatCase{"-infinity", false, 0}, FloatCase{"1e400", false, 0},
                      FloatCase{"0x1p3", false, 0}, FloatCase{"1e", false, 0}, FloatCase{"1.5x", false, 0},
                      FloatCase{"-", false, 0}, FloatCase{"++1", false, 0}, FloatCase{"1 5", false, 0}));

TEST(MemIniFile, MalformedLinesAreKeptAndNeverBreakTheParse) {
  const TMemIniFile ini = Parse(
      "[\n]\n[]\n=\n==\n[a\nb]\n=value\n[ok]\nk=1\n[x]y\n[\x01\x02]\nq=\x7F\n");
  EXPECT_EQ(ini.ReadInteger("ok", "k", 0), 1);
  // "=" and "==" are two keys named "" under the section "[]"; the first one counts.
  EXPECT_EQ(ini.ReadString("", "", "none"), "");
  EXPECT_TRUE(ini.SectionExists("\x01\x02"));
  // What was kept reads back the same.
  EXPECT_EQ(Parse(ini.GetText()).GetText(), ini.GetText());
}

TEST(MemIniFile, ArbitraryBytesParseAndReparseStably) {
  TRandom rng(20240307);
  const char alphabet[] = "[]=;\r\n \tab$0x9,.-\0\xEF\xBB\xBF\xFF";
  for (int round = 0; round < 300; ++round) {
    std::string text;
    const int length = rng.Random(400);
    for (int i = 0; i < length; ++i)
      text += rng.Random(4) == 0 ? char(rng.Random(256)) : alphabet[rng.Random(int(sizeof alphabet) - 1)];
    const TMemIniFile ini = Parse(text);
    const std::string written = ini.GetText();
    EXPECT_EQ(Parse(written).GetText(), written) << "round " << round;
    for (const std::string& s : ini.ReadSections())
      for (const std::string& k : ini.ReadSection(s)) {
        (void)ini.ReadInteger(s, k, 0);
        (void)ini.ReadFloat(s, k, 0);
      }
  }
}

TEST(MemIniFile, OpenOfMissingOrUnusableFileGivesNothing) {
  TempDir dir;
  EXPECT_FALSE(TMemIniFile::Open(dir / "missing.ini").has_value());
  std::filesystem::create_directory(dir / "folder.ini");
  EXPECT_FALSE(TMemIniFile::Open(dir / "folder.ini").has_value());
  // Larger than any settings file: refused instead of read.
  {
    std::ofstream big(dir / "big.ini", std::ios::binary);
  }
  std::filesystem::resize_file(dir / "big.ini", TMemIniFile::kMaxFileSize + 1);
  EXPECT_FALSE(TMemIniFile::Open(dir / "big.ini").has_value());
}

TEST(MemIniFile, FileMissingAtConstructionIsCreatedByUpdate) {
  TempDir dir;
  TMemIniFile ini(dir / "new.ini");
  EXPECT_TRUE(ini.ReadSections().empty());
  ini.WriteString("s", "k", "v");
  ini.UpdateFile();
  EXPECT_EQ(ReadBytes(dir / "new.ini"), "[s]\r\nk=v\r\n\r\n");
}

TEST(MemIniFile, UpdateFileReportsWhatItCannotWrite) {
  TempDir dir;
  TMemIniFile unnamed;
  EXPECT_THROW(unnamed.UpdateFile(), std::filesystem::filesystem_error);
  TMemIniFile lost(dir / "no" / "such" / "folder.ini");
  lost.WriteString("s", "k", "v");
  EXPECT_THROW(lost.UpdateFile(), std::filesystem::filesystem_error);

  // A failed rewrite leaves the old file whole.
  WriteBytes(dir / "keep.ini", "[s]\r\nk=old\r\n");
  std::filesystem::create_directory(dir / "keep.ini.dir");
  TMemIniFile overFolder(dir / "keep.ini.dir");
  EXPECT_THROW(overFolder.UpdateFile(), std::filesystem::filesystem_error);
  EXPECT_EQ(ReadBytes(dir / "keep.ini"), "[s]\r\nk=old\r\n");
  EXPECT_EQ(FolderEntries(dir.path()).size(), 2u) << "no temporary file left behind";
}

}  // namespace
}  // namespace tessaro
