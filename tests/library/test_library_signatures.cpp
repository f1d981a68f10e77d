// The signature tables: computing them (serial and parallel alike), the previous-
// picture rule, rotation, capacities and the files "LibInfo.cls" / "LibInfo_R.cls".
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <optional>

#include "core/app_state.h"
#include "image/ooimgfunction2007.h"
#include "library/library_signatures.h"
#include "library_fixtures.h"

namespace tessaro {
namespace {

namespace fs = std::filesystem;
using libtest::ReadText;
using libtest::RecordingProgress;
using libtest::ScratchDir;
using libtest::WriteText;

// Whole records compared as bytes, reporting the first record that differs.
template <class Record, std::size_t N>
::testing::AssertionResult SameRecords(const TFixedTable<Record, N>& a, const TFixedTable<Record, N>& b,
                                       std::size_t count) {
  for (std::size_t k = 0; k < count; ++k)
    if (std::memcmp(&a[k], &b[k], sizeof(Record)) != 0)
      return ::testing::AssertionFailure() << "record " << k << " differs";
  return ::testing::AssertionSuccess();
}

std::vector<std::string> MissingFiles(const fs::path& dir, int n) {
  std::vector<std::string> list;
  for (int i = 0; i < n; ++i) list.push_back((dir / libtest::NumberedName("missing", i, ".jpg")).string());
  return list;
}

TEST(LibrarySignatures, UniformPictureGivesOneColourEverywhere) {
  ScratchDir dir;
  const auto file = dir / "warm.bmp";
  libtest::WriteBmp(file, libtest::Solid(8, 6, Color32(200, 100, 50)));
  TLibrarySignatureTables t;
  TSilentProgress progress;
  ComputeLibrarySignatures(t, {file.string()}, progress);
  const ImageSignature& s = t.LibImageInfos[0].Signature;
  const SignatureColor expected{124, 200, 100, 50};
  EXPECT_EQ(s.PaletteIndex, 9);
  EXPECT_EQ(s.Average, expected);
  for (const SignatureColor& c : s.Grid2) EXPECT_EQ(c, expected);
  for (const SignatureColor& c : s.Grid4) EXPECT_EQ(c, expected);
  for (const SignatureColor& c : s.Grid8) EXPECT_EQ(c, expected);
}

TEST(LibrarySignatures, HalfBlackHalfWhiteGrid2) {
  ScratchDir dir;
  TBitmap32 half = libtest::Solid(16, 8, clBlack32);
  half.FillRectS(MakeRect(8, 0, 16, 8), clWhite32);
  libtest::WriteBmp(dir / "half.bmp", half);
  TLibrarySignatureTables t;
  TSilentProgress progress;
  ComputeLibrarySignatures(t, {(dir / "half.bmp").string()}, progress);
  const SignatureColor black{0, 0, 0, 0}, white{255, 255, 255, 255};
  const ImageSignature& s = t.LibImageInfos[0].Signature;
  EXPECT_EQ(s.Grid2[0], black);
  EXPECT_EQ(s.Grid2[1], white);
  EXPECT_EQ(s.Grid2[2], black);
  EXPECT_EQ(s.Grid2[3], white);
}

TEST(LibrarySignatures, ProgressCountsPicturesAndPumpsAfterEach) {
  ScratchDir dir;
  libtest::WriteBmp(dir / "a.bmp", libtest::Pattern(8, 6, 1));
  for (const int workers : {1, 2}) {
    TLibrarySignatureTables t;
    RecordingProgress three;
    ComputeLibrarySignatures(t, std::vector<std::string>(3, (dir / "a.bmp").string()), three, workers);
    EXPECT_EQ(three.details, (std::vector<std::string>{" Done Images:0/3", " Done Images:1/3",
                                                       " Done Images:2/3"}));
    EXPECT_EQ(three.percents, (std::vector<int>{0, 50, 100}));
    EXPECT_EQ(three.pumps, 3);

    RecordingProgress one;
    ComputeLibrarySignatures(t, {(dir / "a.bmp").string()}, one, workers);
    EXPECT_EQ(one.percents, std::vector<int>{100});
    EXPECT_EQ(t.LibImageCount, 1);
  }
}

TEST(LibrarySignatures, EmptyListChangesNothing) {
  TLibrarySignatureTables t;
  t.LibImageCount = 7;
  t.LibDetailCount = 3;
  RecordingProgress progress;
  ComputeLibrarySignatures(t, {}, progress);
  ComputeLibrarySignaturesRotated(t, {}, 0, progress);
  EXPECT_EQ(t.LibImageCount, 7);
  EXPECT_EQ(t.LibDetailCount, 3);
  EXPECT_TRUE(progress.details.empty());
}

// A list that exercises the previous-picture rule from every side: failures first,
// between and after pictures, files that look like pictures but do not decode, a
// GIF, a BMP without pixels (a successful decode of an empty picture), a folder.
class MixedList : public ::testing::Test {
 protected:
  void SetUp() override {
    auto path = [&](const std::string& name) { return (dir / name).string(); };
    libtest::WriteJpeg(dir / "a.jpg", libtest::Pattern(40, 30, 1));
    libtest::WriteBmp(dir / "b.bmp", libtest::Pattern(9, 7, 2));
    libtest::WriteJpeg(dir / "c.jpg", libtest::Pattern(33, 20, 3));
    libtest::WriteBmp(dir / "d.bmp", libtest::Pattern(5, 12, 4));
    WriteText(dir / "garbage.jpg", "\xFF\xD8 this is no JPEG \xFF\xD9");
    WriteText(dir / "anim.gif", "GIF89a\x01\x00\x01\x00");
    WriteText(dir / "trailing.jpg", ReadText(dir / "a.jpg") + "tail");
    std::string cut = ReadText(dir / "c.jpg");
    WriteText(dir / "cut.jpg", cut.substr(0, cut.size() / 2) + "\xFF\xD9");
    // 54-byte header, 0 x 0 pixels.
    std::string empty(54, '\0');
    const unsigned char header[] = {'B', 'M', 54, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0};
    std::memcpy(empty.data(), header, sizeof header);
    empty[26] = 1;   // planes
    empty[28] = 24;  // bits per pixel
    WriteText(dir / "empty.bmp", empty);
    fs::create_directory(dir / "folder.jpg");

    list = {path("missing.jpg"), path("garbage.jpg"), path("a.jpg"),     path("anim.gif"),
            path("b.bmp"),       path("trailing.jpg"), path("cut.jpg"),  path("folder.jpg"),
            path("c.jpg"),       path("empty.bmp"),    path("gone.bmp"), path("d.bmp"),
            path("a.jpg"),       path("missing2.jpg")};
  }
  ScratchDir dir;
  std::vector<std::string> list;
};

TEST_F(MixedList, UndecodablePicturesTakeThePreviousSignature) {
  TLibrarySignatureTables t;
  TSilentProgress progress;
  ComputeLibrarySignatures(t, list, progress, 1);
  auto sig = [&](int k) { return t.LibImageInfos[std::size_t(k)].Signature; };
  ASSERT_EQ(t.LibImageCount, int(list.size()));
  EXPECT_EQ(sig(0), ImageSignature{});  // the first picture fails: an empty bitmap's
  EXPECT_EQ(sig(1), ImageSignature{});
  EXPECT_NE(sig(2), ImageSignature{});
  EXPECT_EQ(sig(3), sig(2));  // GIF
  EXPECT_NE(sig(4), sig(2));
  for (int k : {5, 6, 7}) EXPECT_EQ(sig(k), sig(4)) << k;
  EXPECT_NE(sig(8), sig(4));
  EXPECT_EQ(sig(9), ImageSignature{});  // decoded: a picture without pixels
  EXPECT_EQ(sig(10), sig(9));
  EXPECT_EQ(sig(12), sig(2));  // listed twice
  EXPECT_EQ(sig(13), sig(12));
}

TEST_F(MixedList, ParallelRunsMatchTheSerialRunByteForByte) {
  TSilentProgress progress;
  TLibrarySignatureTables serial, serialRotated;
  ComputeLibrarySignatures(serial, list, progress, 1);
  ComputeLibrarySignaturesRotated(serialRotated, list, 0x00336699, progress, 1);
  for (const int workers : {2, 3, 8}) {
    TLibrarySignatureTables parallel, parallelRotated;
    // Stale content must not survive either way.
    parallel.LibImageInfos[9].UsageCount = 5;
    parallelRotated.LibImageDetails[0].Rotated[3].PaletteIndex = 77;
    ComputeLibrarySignatures(parallel, list, progress, workers);
    ComputeLibrarySignaturesRotated(parallelRotated, list, 0x00336699, progress, workers);
    EXPECT_TRUE(SameRecords(serial.LibImageInfos, parallel.LibImageInfos, list.size())) << workers;
    EXPECT_TRUE(SameRecords(serialRotated.LibImageInfos, parallelRotated.LibImageInfos, list.size()));
    EXPECT_TRUE(SameRecords(serialRotated.LibImageDetails, parallelRotated.LibImageDetails, list.size()));
    EXPECT_EQ(parallelRotated.LibDetailCount, int(list.size()));
  }
  // The rotated run's upright signatures are the plain run's.
  EXPECT_TRUE(SameRecords(serial.LibImageInfos, serialRotated.LibImageInfos, list.size()));
}

TEST(LibrarySignaturesRotated, FifteenDegreesDarkenTheCornersOnly) {
  ScratchDir dir;
  libtest::WriteBmp(dir / "white.bmp", libtest::Solid(64, 48, clWhite32));
  for (const int workers : {1, 2}) {
    TLibrarySignatureTables t;
    TSilentProgress progress;
    ComputeLibrarySignaturesRotated(t, {(dir / "white.bmp").string()}, 0x000000, progress, workers);
    const ImageSignature& upright = t.LibImageDetails[0].Rotated[0];
    const ImageSignature& turned = t.LibImageDetails[0].Rotated[1];
    EXPECT_EQ(upright.Average, (SignatureColor{255, 255, 255, 255}));
    for (int corner : {0, 7, 56, 63}) EXPECT_LT(turned.Grid8[corner].Grey, 255) << corner;
    for (int centre : {27, 28, 35, 36}) EXPECT_EQ(turned.Grid8[centre].Grey, 255) << centre;

    // The project colour is 0x00BBGGRR: pure red in that form must fill red corners.
    ComputeLibrarySignaturesRotated(t, {(dir / "white.bmp").string()}, 0x0000FF, progress, workers);
    const SignatureColor corner = t.LibImageDetails[0].Rotated[1].Grid8[0];
    EXPECT_EQ(corner.R, 255);
    EXPECT_LT(corner.B, 255);
  }
}

TEST(LibrarySignaturesRotated, FifteenHundredPicturesDescribeTheFirstThousand) {
  ScratchDir dir;
  libtest::WriteBmp(dir / "a.bmp", libtest::Pattern(8, 6, 1));
  std::vector<std::string> list = MissingFiles(dir.Path(), 1500);
  list[0] = (dir / "a.bmp").string();  // the rest take its signatures cheaply
  TAppState state;
  state.CurrentProject.Projectpath = dir.Path().string();
  state.RenderCellImgList = list;
  state.Library.LibImageInfos[1200].UsageCount = 77;
  state.Library.LibImageInfos[1200].Signature.PaletteIndex = 5;
  RecordingProgress progress;
  ComputeLibrarySignaturesRotated(state, progress);
  EXPECT_EQ(state.Library.LibImageCount, 1500);
  EXPECT_EQ(state.Library.LibDetailCount, 1000);
  EXPECT_EQ(state.Library.LibImageInfos[1200].UsageCount, 0);  // cleared: not described
  EXPECT_EQ(state.Library.LibImageInfos[1200].Signature, ImageSignature{});
  EXPECT_EQ(state.Library.LibImageDetails[999].Rotated[5], state.Library.LibImageDetails[0].Rotated[5]);
  ASSERT_EQ(progress.details.size(), 1000u);
  EXPECT_EQ(progress.details.back(), " Done Images:999/1500");
  EXPECT_EQ(progress.percents.back(), 999 * 100 / 1499);

  SaveLibraryInfo(state);
  EXPECT_EQ(fs::file_size(dir / "LibInfo.cls"), 4u + 1500u * 356u);
  EXPECT_EQ(fs::file_size(dir / "LibInfo_R.cls"), 4u + 1000u * 8268u);
}

TEST(LibrarySignatures, ListsBeyondTheCapacityStopAtIt) {
  ScratchDir dir;
  const std::vector<std::string> list = MissingFiles(dir.Path(), 6000);
  for (const int workers : {1, 2}) {
    TLibrarySignatureTables t;
    RecordingProgress progress;
    ComputeLibrarySignatures(t, list, progress, workers);
    EXPECT_EQ(t.LibImageCount, kLibImageCapacity);
    EXPECT_EQ(progress.details.back(), " Done Images:5000/5001");
    ComputeLibrarySignaturesRotated(t, list, 0, progress, workers);
    EXPECT_EQ(t.LibImageCount, kLibImageCapacity);
    EXPECT_EQ(t.LibDetailCount, 1000);
  }
}

TEST(LibrarySignatures, SafeModePausesAroundEveryLoad) {
  ScratchDir dir;
  libtest::WriteBmp(dir / "a.bmp", libtest::Pattern(8, 6, 1));
  const std::vector<std::string> list = {(dir / "a.bmp").string(), (dir / "none.bmp").string()};
  TLibrarySignatureTables safe, normal;
  safe.SafeModeRendering = 1;
  TSilentProgress progress;
  const auto start = std::chrono::steady_clock::now();
  ComputeLibrarySignatures(safe, list, progress, 2);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(400));
  ComputeLibrarySignatures(normal, list, progress, 2);
  EXPECT_TRUE(SameRecords(safe.LibImageInfos, normal.LibImageInfos, 2));
}

// ---- Files -------------------------------------------------------------------------

void FillRecords(TLibrarySignatureTables& t, int seed) {
  for (std::size_t k = 0; k < t.LibImageInfos.size(); ++k) {
    t.LibImageInfos[k].UsageCount = int(k) * 3 + seed;
    t.LibImageInfos[k].Signature.PaletteIndex = int(k % 216);
    t.LibImageInfos[k].Signature.Grid8[k % 64].R = std::uint8_t(k + seed);
  }
  for (std::size_t k = 0; k < t.LibImageDetails.size(); ++k)
    t.LibImageDetails[k].Rotated[k % 24].Average.G = std::uint8_t(k + seed);
}

TEST(LibraryInfoFiles, TwoHundredFiftyPicturesMake89004Bytes) {
  ScratchDir dir;
  TAppState state;
  state.CurrentProject.Projectpath = dir.Path().string();
  TSilentProgress progress;
  state.RenderCellImgList = MissingFiles(dir.Path(), 3);
  ComputeLibrarySignaturesRotated(state, progress);
  state.RenderCellImgList = MissingFiles(dir.Path(), 250);
  ComputeLibrarySignatures(state, progress);
  SaveLibraryInfo(state);
  const std::string info = ReadText(dir / "LibInfo.cls");
  EXPECT_EQ(info.size(), 89004u);
  EXPECT_EQ(info.substr(0, 4), std::string("\xFA\0\0\0", 4));
  // Without rotation the detail table is written as the last rotated run left it.
  EXPECT_EQ(fs::file_size(dir / "LibInfo_R.cls"), 4u + 3u * 8268u);
  EXPECT_EQ(libtest::Names(dir.Path()), (std::vector<std::string>{"LibInfo.cls", "LibInfo_R.cls"}));
}

TEST(LibraryInfoFiles, RecordsComeBackExactlyAsSaved) {
  ScratchDir dir;
  TAppState saved;
  saved.CurrentProject.Projectpath = dir.Path().string();
  FillRecords(saved.Library, 1);
  saved.Library.LibImageCount = 321;
  saved.Library.LibDetailCount = 12;
  WriteText(dir / "LibInfo.cls", "old");
  SaveLibraryInfo(saved);

  TAppState loaded;
  loaded.CurrentProject.Projectpath = dir.Path().string();
  LoadLibraryInfo(loaded);
  EXPECT_EQ(loaded.Library.LibImageCount, 321);
  EXPECT_EQ(loaded.Library.LibDetailCount, 12);
  EXPECT_TRUE(SameRecords(saved.Library.LibImageInfos, loaded.Library.LibImageInfos, 321));
  EXPECT_TRUE(SameRecords(saved.Library.LibImageDetails, loaded.Library.LibImageDetails, 12));
  EXPECT_EQ(loaded.Library.LibImageInfos[321].UsageCount, 0);  // beyond the count: untouched
}

TEST(LibraryInfoFiles, CountsOutsideTheTablesAreClampedOnSaving) {
  ScratchDir dir;
  TLibrarySignatureTables t;
  t.LibImageCount = 9999;
  t.LibDetailCount = -5;
  SaveLibraryInfo(t, dir.Path());
  const std::string info = ReadText(dir / "LibInfo.cls");
  EXPECT_EQ(info.size(), 4u + 5001u * 356u);
  EXPECT_EQ(info.substr(0, 4), std::string("\x89\x13\0\0", 4));  // 5001
  EXPECT_EQ(ReadText(dir / "LibInfo_R.cls"), std::string(4, '\0'));
  EXPECT_THROW(SaveLibraryInfo(t, dir / "no" / "folder"), fs::filesystem_error);
}

std::string Le32(std::int32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[std::size_t(i)] = char(std::uint32_t(v) >> (8 * i));
  return s;
}

struct LoadCase {
  const char* name;
  std::int32_t count;
  std::size_t wholeRecords;
  std::size_t extraBytes;  // a torn record at the end
  std::int32_t expectedCount;
  std::size_t expectedFilled;
};

class LibraryInfoLoad : public ::testing::TestWithParam<LoadCase> {};

TEST_P(LibraryInfoLoad, FillsTheRecordsPresentWithinTheCapacity) {
  const LoadCase& c = GetParam();
  ScratchDir dir;
  TLibrarySignatureTables source;
  FillRecords(source, 9);
  std::string info = Le32(c.count), details = Le32(c.count);
  // Records beyond the source table are zeros; the reader never gets that far.
  auto append = [&](std::string& out, const auto& table, std::size_t records, std::size_t size) {
    const std::size_t n = std::min(records, table.size());
    out.append(reinterpret_cast<const char*>(table.data()), n * size);
    out.append((records - n) * size, '\0');
    out.append(reinterpret_cast<const char*>(table.data() + n), std::min(c.extraBytes, size));
  };
  append(info, source.LibImageInfos, c.wholeRecords, sizeof(LibImageInfo));
  append(details, source.LibImageDetails, std::min<std::size_t>(c.wholeRecords, kLibDetailCapacity),
         sizeof(LibImageDetail));
  WriteText(dir / "LibInfo.cls", info);
  WriteText(dir / "LibInfo_R.cls", details);

  TLibrarySignatureTables t, before;
  FillRecords(t, 4);
  FillRecords(before, 4);
  LoadLibraryInfo(t, dir.Path());
  EXPECT_EQ(t.LibImageCount, c.expectedCount);
  EXPECT_EQ(t.LibDetailCount, std::min(c.expectedCount, kLibDetailCapacity));
  for (std::size_t k = 0; k < kLibImageCapacity; ++k) {
    const auto& expected = k < c.expectedFilled ? source.LibImageInfos[k] : before.LibImageInfos[k];
    ASSERT_EQ(std::memcmp(&t.LibImageInfos[k], &expected, sizeof(LibImageInfo)), 0) << "record " << k;
  }
  const std::size_t detailFilled = std::min<std::size_t>(c.expectedFilled, kLibDetailCapacity);
  for (std::size_t k = 0; k < kLibDetailCapacity; ++k) {
    const auto& expected = k < detailFilled ? source.LibImageDetails[k] : before.LibImageDetails[k];
    ASSERT_EQ(std::memcmp(&t.LibImageDetails[k], &expected, sizeof(LibImageDetail)), 0) << "detail " << k;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, LibraryInfoLoad,
    ::testing::Values(LoadCase{"Exact", 3, 3, 0, 3, 3},
                      LoadCase{"ShortWithTornRecord", 5, 2, 100, 5, 2},
                      LoadCase{"CountOnly", 4, 0, 0, 4, 0},
                      LoadCase{"NegativeCount", -3, 2, 0, 0, 0},
                      LoadCase{"HugeCount", 0x7FFFFFFF, 3, 0, kLibImageCapacity, 3},
                      LoadCase{"MoreRecordsThanCount", 2, 4, 0, 2, 2},
                      LoadCase{"BeyondCapacity", 6000, 5100, 0, kLibImageCapacity, kLibImageCapacity}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LibraryInfoFiles, MissingOrCountlessFilesRaiseAndChangeNothing) {
  const std::string oneRecord = Le32(1) + std::string(sizeof(LibImageInfo), '\x11');
  const std::string noDetails = Le32(0);
  struct Case {
    const char* name;
    std::optional<std::string> info, details;  // nothing: the file is missing
    const char* failing;
    const char* prefix;
  };
  const Case cases[] = {
      {"no info", std::nullopt, noDetails, "LibInfo.cls", "Cannot open file "},
      {"no details", oneRecord, std::nullopt, "LibInfo_R.cls", "Cannot open file "},
      {"two-byte count", std::string("\1\0", 2), noDetails, "LibInfo.cls",
       "File contains no data or corrupt file "},
      {"empty details", oneRecord, std::string(), "LibInfo_R.cls",
       "File contains no data or corrupt file "}};
  for (const Case& c : cases) {
    ScratchDir dir;
    if (c.info) WriteText(dir / "LibInfo.cls", *c.info);
    if (c.details) WriteText(dir / "LibInfo_R.cls", *c.details);
    TLibrarySignatureTables t;
    t.LibImageCount = 42;
    t.LibDetailCount = 7;
    t.LibImageInfos[0].UsageCount = 13;
    try {
      LoadLibraryInfo(t, dir.Path());
      ADD_FAILURE() << c.name << ": no error raised";
    } catch (const TLibraryFileError& e) {
      EXPECT_EQ(std::string(e.what()), c.prefix + (dir / c.failing).string()) << c.name;
    }
    EXPECT_EQ(t.LibImageCount, 42) << c.name;
    EXPECT_EQ(t.LibDetailCount, 7) << c.name;
    EXPECT_EQ(t.LibImageInfos[0].UsageCount, 13) << c.name;
  }
}

}  // namespace
}  // namespace tessaro
