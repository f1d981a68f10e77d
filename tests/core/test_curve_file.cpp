// Curve files (".ehc", ".amc") and the default curves of the install folder.
#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <string>

#include "core/core_test_support.h"
#include "core/curve_file.h"
#include "core/ootsfunction2007.h"

namespace tessaro {
namespace {

using testing_support::FolderEntries;
using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

std::string LE32(std::int32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[std::size_t(i)] = char(std::uint32_t(v) >> (8 * i));
  return s;
}

std::string FileOf(const TCurvePoints& p) {
  std::string s;
  for (int i = 0; i < 5; ++i) s += LE32(p.P[i].X) + LE32(p.P[i].Y);
  return s;
}

const TCurvePoints kSample = {{{1, 2}, {-3, 400}, {255, 0}, {INT_MIN, INT_MAX}, {128, -1}}};
const TCurvePoints kOther = {{{9, 9}, {8, 8}, {7, 7}, {6, 6}, {5, 5}}};

TEST(CurveFile, WritesFortyLittleEndianBytesInPointOrder) {
  TempDir dir;
  WriteCurveFile(dir / "a.ehc", kSample);
  const std::string bytes = ReadBytes(dir / "a.ehc");
  ASSERT_EQ(bytes.size(), 40u);
  EXPECT_EQ(bytes.substr(0, 8), std::string("\x01\0\0\0\x02\0\0\0", 8));
  EXPECT_EQ(bytes.substr(8, 8), std::string("\xFD\xFF\xFF\xFF\x90\x01\0\0", 8));
  EXPECT_EQ(bytes, FileOf(kSample));
}

TEST(CurveFile, RoundTripReproducesThePoints) {
  TempDir dir;
  WriteCurveFile(dir / "a.amc", kSample);
  TCurvePoints back = kOther;
  ASSERT_TRUE(ReadCurveFile(dir / "a.amc", back));
  EXPECT_EQ(back, kSample);
}

TEST(CurveFile, ReplacingAFileLeavesNoTemporaryBehind) {
  TempDir dir;
  WriteCurveFile(dir / "a.ehc", kOther);
  WriteCurveFile(dir / "a.ehc", kSample);
  EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"a.ehc"});
  EXPECT_EQ(ReadBytes(dir / "a.ehc"), FileOf(kSample));
}

TEST(CurveFile, WriteIntoMissingFolderRaises) {
  TempDir dir;
  EXPECT_THROW(WriteCurveFile(dir / "no" / "a.ehc", kSample), std::filesystem::filesystem_error);
}

// (file length, how many leading points it replaces)
class ShortCurveFile : public ::testing::TestWithParam<std::pair<int, int>> {};

TEST_P(ShortCurveFile, FillsOnlyTheWholePointsItHolds) {
  const auto [length, points] = GetParam();
  TempDir dir;
  WriteBytes(dir / "s.ehc", FileOf(kSample).substr(0, std::size_t(length)));
  TCurvePoints p = kOther;
  ASSERT_TRUE(ReadCurveFile(dir / "s.ehc", p));
  for (int i = 0; i < 5; ++i) EXPECT_EQ(p[i], i < points ? kSample[i] : kOther[i]) << "point " << i;
}

INSTANTIATE_TEST_SUITE_P(CurveFile, ShortCurveFile,
                         ::testing::Values(std::pair{0, 0}, std::pair{4, 0}, std::pair{8, 1},
                                           std::pair{20, 2}, std::pair{39, 4}, std::pair{40, 5}));

TEST(CurveFile, LongerFileReadsTheFirstFortyBytes) {
  TempDir dir;
  WriteBytes(dir / "l.ehc", FileOf(kSample) + FileOf(kOther) + "tail");
  TCurvePoints p = kOther;
  ASSERT_TRUE(ReadCurveFile(dir / "l.ehc", p));
  EXPECT_EQ(p, kSample);
}

TEST(CurveFile, MissingFileOrFolderReadsNothing) {
  TempDir dir;
  TCurvePoints p = kOther;
  EXPECT_FALSE(ReadCurveFile(dir / "none.ehc", p));
  std::filesystem::create_directory(dir / "folder.ehc");
  EXPECT_FALSE(ReadCurveFile(dir / "folder.ehc", p));
  EXPECT_EQ(p, kOther);
}

TEST(CurveFile, DescendingFileEvaluatesLikeTheSortedOne) {
  TempDir dir;
  TCurvePoints descending{};
  for (int i = 0; i < 5; ++i) descending.P[i] = kDefaultEnhanceCurvePoints.P[4 - i];
  WriteCurveFile(dir / "d.ehc", descending);
  TCurvePoints read{};
  ASSERT_TRUE(ReadCurveFile(dir / "d.ehc", read));
  TCurveTable fromFile, sorted;
  BuildCurveTable(read, fromFile);
  BuildCurveTable(kDefaultEnhanceCurvePoints, sorted);
  EXPECT_EQ(fromFile, sorted);
}

TEST(LoadDefaultCurves, ReadsEachDefaultFileThatExists) {
  TempDir app;
  std::filesystem::create_directories(app / "config/enhance");
  TCurvePoints enhance = kOther, alpha = kOther;

  LoadDefaultCurves(app.path(), enhance, alpha);
  EXPECT_EQ(enhance, kOther);
  EXPECT_EQ(alpha, kOther);

  WriteCurveFile(app / "config/enhance/default.amc", kSample);
  LoadDefaultCurves(app.path(), enhance, alpha);
  EXPECT_EQ(enhance, kOther);
  EXPECT_EQ(alpha, kSample);

  WriteCurveFile(app / "config/enhance/default.ehc", kDefaultEnhanceCurvePoints);
  WriteCurveFile(app / "config/enhance/default.amc", kDefaultAlphaCurvePoints);
  LoadDefaultCurves(app.path(), enhance, alpha);
  EXPECT_EQ(enhance, kDefaultEnhanceCurvePoints);
  EXPECT_EQ(alpha, kDefaultAlphaCurvePoints);
}

}  // namespace
}  // namespace tessaro
