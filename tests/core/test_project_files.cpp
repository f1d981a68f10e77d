// The project folder's files: project.ini, project.TS8, project.LYS and imglist.lst.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/inifile.h"
#include "core/ootsfunction2007.h"
#include "core/project_files.h"
#include "core/core_test_support.h"
#include "engine/layers.h"

namespace tessaro {
namespace {

using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

std::int32_t I32At(const std::string& bytes, std::size_t offset) {
  std::int32_t v;
  std::memcpy(&v, bytes.data() + offset, 4);
  return v;
}

std::string I32(std::int32_t v) {
  std::string s(4, '\0');
  std::memcpy(s.data(), &v, 4);
  return s;
}

std::string Header(const std::vector<std::int32_t>& values) {
  std::string s;
  for (std::int32_t v : values) s += I32(v);
  return s;
}

std::unique_ptr<TAppState> NewState() { return std::make_unique<TAppState>(); }

// ---- project.TS8 and project.ini: writing ----------------------------------------------

TEST(ProjectFilesSave, DefaultProjectSavedTwiceIsByteIdentical332Bytes) {
  TempDir dir;
  TtsProject07 p;
  p.Projectpath = dir.path().string();
  SaveProject(p);
  const std::string first = ReadBytes(dir / "project.TS8");
  SaveProject(p);
  const std::string second = ReadBytes(dir / "project.TS8");

  ASSERT_EQ(first.size(), 332u);
  EXPECT_EQ(first, second);
  const std::int32_t expected[] = {0, 56, 4, 52, 56, 8, 116, 8};
  for (int s = 0; s < 8; ++s) {
    EXPECT_EQ(I32At(first, std::size_t(4 * s)), expected[s]) << "section " << s + 1;
    EXPECT_EQ(p.SectionSizes[std::size_t(s + 1)], expected[s]);
  }
  // No temporary file is left beside the project.
  EXPECT_EQ(testing_support::FolderEntries(dir.path()).size(), 2u);
}

TEST(ProjectFilesSave, FieldsLandAtTheirFileOffsets) {
  TempDir dir;
  TtsProject07 p;
  p.Projectpath = dir.path().string();
  p.StageFlags = 0x1000;
  p.MosaicHeight = 0x01020304;
  p.PageHeight = -7;
  p.HasMainImage = 0;
  p.MonochromeMainImage = 1;
  p.RepeatRadius = 0x0A0B0C0D;
  p.RotationAngles[23] = 1;
  p.BrushRadius = 99;
  p.PatternIndex = 12;
  p.StretchFilter = 6;
  p.EnhanceCurvePoints[0].X = 0x11223344;
  p.AlphaCurvePoints[4].Y = -2;
  p.ShapeDiff = 4242;
  p.JpegProgressive = 1;
  SaveProject(p);
  const std::string f = ReadBytes(dir / "project.TS8");
  ASSERT_EQ(f.size(), 332u);

  struct Case { const char* field; std::size_t offset; std::int64_t value; int width; };
  const Case cases[] = {
      {"StageFlags", 32 + 4, 0x1000, 4},
      {"MosaicHeight", 32 + 12, 0x01020304, 4},
      {"PageHeight", 32 + 32, -7, 4},
      {"HasMainImage", 88 + 0, 0, 1},
      {"MonochromeMainImage", 88 + 2, 1, 1},
      {"RepeatRadius", 92 + 8, 0x0A0B0C0D, 4},
      {"RotationAngles[23]", 92 + 26 + 23, 1, 1},
      {"BrushRadius", 144 + 48, 99, 4},
      {"PatternIndex", 200 + 4, 12, 4},
      {"StretchFilter", 208 + 20, 6, 1},
      {"EnhanceCurvePoints[1].x", 208 + 21, 0x11223344, 4},
      {"AlphaCurvePoints[5].y", 208 + 61 + 36, -2, 4},
      {"ShapeDiff", 208 + 112, 4242, 4},
      {"JpegProgressive", 324 + 4, 1, 1},
  };
  for (const Case& c : cases) {
    std::int64_t got = c.width == 1 ? std::int64_t(std::uint8_t(f[c.offset])) : I32At(f, c.offset);
    EXPECT_EQ(got, c.value) << c.field;
  }
}

TEST(ProjectFilesSave, IniHoldsPathsAndVersionAndKeepsForeignKeys) {
  TempDir dir;
  WriteBytes(dir / "project.ini", "[user]\r\nnote=keep me\r\n[pathpara]\r\nProjectpath=old\r\n");
  TtsProject07 p;
  p.Projectpath = dir.path().string();
  p.Projectname = "beach-2024-3-7-14-5-9";
  p.MainimageFilename = dir.path().string() + "/mainimage.jpg";
  p.OrgMainimageFilename = "/photos/beach.jpg";
  SaveProject(p);

  const auto ini = TMemIniFile::Open(dir / "project.ini");
  ASSERT_TRUE(ini);
  EXPECT_EQ(ini->ReadString("user", "note", ""), "keep me");
  EXPECT_EQ(ini->ReadString("pathpara", "Projectpath", ""), p.Projectpath);
  EXPECT_EQ(ini->ReadString("pathpara", "Projectname", ""), p.Projectname);
  EXPECT_EQ(ini->ReadString("pathpara", "MainimageFilename", ""), p.MainimageFilename);
  EXPECT_EQ(ini->ReadString("pathpara", "OrgMainimageFilename", ""), p.OrgMainimageFilename);
  EXPECT_EQ(ini->ReadInteger("renderpara", "ver", 0), 33);
  const std::vector<std::string> keys = {"Projectpath", "Projectname", "MainimageFilename",
                                         "OrgMainimageFilename"};
  EXPECT_EQ(ini->ReadSection("pathpara"), keys);
}

// A kept first line that starts with a byte order mark must not lose it on every save:
// "[user]" would turn from kept text into a section.
TEST(ProjectFilesSave, IniWhoseFirstLineStartsWithAByteOrderMarkIsStable) {
  TempDir dir;
  WriteBytes(dir / "project.ini", "\xEF\xBB\xBF\xEF\xBB\xBF[user]\r\nnote=1\r\n");
  TtsProject07 p;
  p.Projectpath = dir.path().string();
  SaveProject(p);
  const std::string first = ReadBytes(dir / "project.ini");
  SaveProject(p);
  EXPECT_EQ(ReadBytes(dir / "project.ini"), first);
  const auto ini = TMemIniFile::Open(dir / "project.ini");
  ASSERT_TRUE(ini);
  EXPECT_FALSE(ini->SectionExists("user"));
  EXPECT_EQ(ini->ReadInteger("renderpara", "ver", 0), 33);
}

TEST(ProjectFilesSave, MissingOrEmptyProjectFolderRaises) {
  TempDir dir;
  TtsProject07 p;
  p.Projectpath = (dir / "gone").string();
  EXPECT_THROW(SaveProject(p), std::filesystem::filesystem_error);
  p.Projectpath.clear();
  EXPECT_THROW(SaveProject(p), std::filesystem::filesystem_error);
  p.StageFlags = 2;
  EXPECT_THROW(SaveLayers(p), std::filesystem::filesystem_error);
}

// ---- project.TS8 and project.ini: reading ----------------------------------------------

void FillDistinct(TtsProject07& p) {
  for (int s = 2; s <= 8; ++s) {
    std::vector<std::uint8_t> b(TtsProject07::GroupSizeOfSection(s));
    for (std::size_t i = 0; i < b.size(); ++i) b[i] = std::uint8_t(s * 31 + i * 7 + 3);
    p.ReadSectionBytes(s, b.data(), b.size());
  }
}

TEST(ProjectFilesLoad, RoundTripRestoresEverySectionByte) {
  TempDir dir;
  TtsProject07 saved;
  FillDistinct(saved);
  saved.Projectpath = dir.path().string();
  SaveProject(saved);

  auto state = NewState();
  LoadProject(*state, dir / "project.TS8");
  for (int s = 2; s <= 8; ++s)
    EXPECT_EQ(state->CurrentProject.SectionBytes(s), saved.SectionBytes(s)) << "section " << s;
  EXPECT_EQ(state->CurrentProject.SectionSizes, saved.SectionSizes);
}

TEST(ProjectFilesLoad, MovedFolderTakesPathsFromTheFilesFolder) {
  TempDir dir;
  const auto moved = dir / "moved" / "beach-2024-3-7-14-5-9";
  std::filesystem::create_directories(moved);
  TtsProject07 p;
  p.Projectpath = moved.string();
  p.StageFlags = 0x100;
  SaveProject(p);
  WriteBytes(moved / "project.ini",
             "[pathpara]\r\nProjectpath=D:\\old\\beach\r\nProjectname=beach-2024-3-7-14-5-9\r\n"
             "MainimageFilename=D:\\old\\beach\\mainimage.jpg\r\nOrgMainimageFilename=C:\\b.jpg\r\n");

  auto state = NewState();
  LoadProject(*state, moved / "project.TS8");
  const TtsProject07& q = state->CurrentProject;
  EXPECT_EQ(q.Projectpath, moved.string());
  EXPECT_EQ(q.MainimageFilename, (moved / "mainimage.jpg").string());
  EXPECT_EQ(q.Projectname, "beach-2024-3-7-14-5-9");
  EXPECT_EQ(q.OrgMainimageFilename, "C:\\b.jpg");
  EXPECT_EQ(q.StageFlags, 0x100);
}

TEST(ProjectFilesLoad, MissingIniGivesNotAvailablePathsAndPlainMainimage) {
  TempDir dir;
  TtsProject07 p;
  p.Projectpath = dir.path().string();
  p.MosaicWidth = 1234;
  SaveProject(p);
  std::filesystem::remove(dir / "project.ini");

  auto state = NewState();
  LoadProject(*state, dir / "project.TS8");
  const TtsProject07& q = state->CurrentProject;
  EXPECT_EQ(q.MosaicWidth, 1234);
  EXPECT_EQ(q.Projectname, "N/A");
  EXPECT_EQ(q.OrgMainimageFilename, "N/A");
  EXPECT_EQ(q.Projectpath, dir.path().string());
  EXPECT_EQ(q.MainimageFilename, (dir / "mainimage").string());
}

TEST(ProjectFilesLoad, MissingFileChangesNothing) {
  TempDir dir;
  auto state = NewState();
  state->CurrentProject.Projectname = "kept";
  state->RenderCellImgList = {"a"};
  WriteBytes(dir / "imglist.lst", "x\r\n");
  LoadProject(*state, dir / "project.TS8");
  EXPECT_EQ(state->CurrentProject.Projectname, "kept");
  EXPECT_EQ(state->RenderCellImgList, std::vector<std::string>{"a"});
}

TEST(ProjectFilesLoad, StoredExtensionOfMainImage) {
  struct Case { const char* stored; const char* ext; };
  const Case cases[] = {
      {"D:\\old\\beach\\mainimage.jpg", ".jpg"}, {"/a/b/mainimage.BMP", ".BMP"},
      {"N/A", ""}, {"D:\\dir.d\\mainimage", ""}, {"/x.y/mainimage", ""}, {"", ""},
      {"C:mainimage.jpeg", ".jpeg"}};
  for (const Case& c : cases) EXPECT_EQ(StoredFileExtension(c.stored), c.ext) << c.stored;
}

// Each case writes a hand-made file and checks the record after loading it over a
// record whose groups all hold 0xEE.
TEST(ProjectFilesLoad, ShortLongTruncatedAndHugeSections) {
  const std::string frame(56, '\x11'), main4(4, '\x22'), cell(52, '\x33');
  struct Case {
    const char* name;
    std::string file;
    std::vector<std::uint8_t> frameWant, mainWant, cellWant;
  };
  auto fill = [](std::size_t n, std::uint8_t head, std::size_t headLen, std::uint8_t rest) {
    std::vector<std::uint8_t> v(n, rest);
    for (std::size_t i = 0; i < headLen && i < n; ++i) v[i] = head;
    return v;
  };
  const Case cases[] = {
      {"short section 3 fills its start",
       Header({0, 56, 2, 52, 0, 0, 0, 0}) + frame + "\x22\x22" + cell,
       fill(56, 0x11, 56, 0xEE), fill(4, 0x22, 2, 0xEE), fill(52, 0x33, 52, 0xEE)},
      {"long section 3 is skipped past",
       Header({0, 56, 10, 52, 0, 0, 0, 0}) + frame + main4 + std::string(6, '\x77') + cell,
       fill(56, 0x11, 56, 0xEE), fill(4, 0x22, 4, 0xEE), fill(52, 0x33, 52, 0xEE)},
      {"section 1 goes to the frame group before section 2",
       Header({60, 3, 4, 0, 0, 0, 0, 0}) + std::string(60, '\x55') + "\x11\x11\x11" + main4,
       [] { auto v = std::vector<std::uint8_t>(56, 0x55); v[0] = v[1] = v[2] = 0x11; return v; }(),
       fill(4, 0x22, 4, 0xEE), fill(52, 0xEE, 0, 0xEE)},
      {"file ends inside section 4",
       Header({0, 56, 4, 52, 56, 8, 116, 8}) + frame + main4 + cell.substr(0, 20),
       fill(56, 0x11, 56, 0xEE), fill(4, 0x22, 4, 0xEE), fill(52, 0x33, 20, 0xEE)},
      {"file ends inside the header", Header({0, 56}).substr(0, 6),
       fill(56, 0xEE, 0, 0xEE), fill(4, 0xEE, 0, 0xEE), fill(52, 0xEE, 0, 0xEE)},
      {"negative lengths read nothing",
       Header({-5, -56, 4, 0, 0, 0, 0, 0}) + main4,
       fill(56, 0xEE, 0, 0xEE), fill(4, 0x22, 4, 0xEE), fill(52, 0xEE, 0, 0xEE)},
      {"huge section 2 takes what is there and nothing after",
       Header({0, std::numeric_limits<std::int32_t>::max(), 4, 52, 56, 8, 116, 8}) + frame + main4,
       fill(56, 0x11, 56, 0xEE), fill(4, 0xEE, 0, 0xEE), fill(52, 0xEE, 0, 0xEE)},
      {"empty file", "", fill(56, 0xEE, 0, 0xEE), fill(4, 0xEE, 0, 0xEE), fill(52, 0xEE, 0, 0xEE)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    WriteBytes(dir / "project.TS8", c.file);
    auto state = NewState();
    TtsProject07& p = state->CurrentProject;
    for (int s = 2; s <= 8; ++s) {
      std::vector<std::uint8_t> b(TtsProject07::GroupSizeOfSection(s), 0xEE);
      p.ReadSectionBytes(s, b.data(), b.size());
    }
    LoadProject(*state, dir / "project.TS8");
    EXPECT_EQ(p.SectionBytes(2), c.frameWant);
    EXPECT_EQ(p.SectionBytes(3), c.mainWant);
    EXPECT_EQ(p.SectionBytes(4), c.cellWant);
    EXPECT_EQ(p.SectionBytes(8), std::vector<std::uint8_t>(8, 0xEE));
  }
}

TEST(ProjectFilesLoad, GarbageFilesNeverCrash) {
  for (std::size_t size : {1u, 31u, 33u, 331u, 4096u}) {
    TempDir dir;
    std::string junk(size, '\0');
    std::uint32_t x = 0x9E3779B9u * std::uint32_t(size);
    for (char& ch : junk) { x = x * 1664525u + 1013904223u; ch = char(x >> 24); }
    WriteBytes(dir / "project.TS8", junk);
    WriteBytes(dir / "project.ini", junk);
    WriteBytes(dir / "imglist.lst", junk);
    auto state = NewState();
    LoadProject(*state, dir / "project.TS8");
    EXPECT_EQ(state->CurrentProject.Projectpath, dir.path().string());
  }
}

TEST(ProjectFilesLoad, PictureListKeepsEmptyLinesWithEitherLineEnd) {
  struct Case { const char* text; std::vector<std::string> lines; };
  const Case cases[] = {
      {"a.jpg\r\n\r\nc.jpg\r\n", {"a.jpg", "", "c.jpg"}},
      {"a.jpg\n\nc.jpg", {"a.jpg", "", "c.jpg"}},
      {"", {}},
  };
  for (const Case& c : cases) {
    TempDir dir;
    TtsProject07 p;
    p.Projectpath = dir.path().string();
    SaveProject(p);
    WriteBytes(dir / "imglist.lst", c.text);
    auto state = NewState();
    state->RenderCellImgList = {"old"};
    LoadProject(*state, dir / "project.TS8");
    EXPECT_EQ(state->RenderCellImgList, c.lines) << c.text;
  }
  // No list in the folder: the list keeps its items.
  TempDir dir;
  TtsProject07 p;
  p.Projectpath = dir.path().string();
  SaveProject(p);
  auto state = NewState();
  state->RenderCellImgList = {"old"};
  LoadProject(*state, dir / "project.TS8");
  EXPECT_EQ(state->RenderCellImgList, std::vector<std::string>{"old"});
}

TEST(ProjectFilesVersion, ReadAndAccepted) {
  TempDir dir;
  EXPECT_EQ(ReadProjectVersion(dir / "project.TS8"), 0);  // no file
  WriteBytes(dir / "project.TS8", std::string(332, '\0'));
  EXPECT_EQ(ReadProjectVersion(dir / "project.TS8"), 0);  // no project.ini
  EXPECT_TRUE(IsAcceptedProjectVersion(ReadProjectVersion(dir / "project.TS8")));
  struct Case { const char* ini; std::int32_t version; bool accepted; };
  const Case cases[] = {
      {"[renderpara]\r\nver=33\r\n", 33, true}, {"[renderpara]\r\nver=0\r\n", 0, true},
      {"[renderpara]\r\nver=100\r\n", 100, true}, {"[renderpara]\r\nver=101\r\n", 101, false},
      {"[renderpara]\r\nver=-1\r\n", -1, false}, {"[pathpara]\r\nProjectpath=x\r\n", 0, true},
  };
  for (const Case& c : cases) {
    WriteBytes(dir / "project.ini", c.ini);
    const std::int32_t v = ReadProjectVersion(dir / "project.TS8");
    EXPECT_EQ(v, c.version) << c.ini;
    EXPECT_EQ(IsAcceptedProjectVersion(v), c.accepted) << c.ini;
  }
}

// ---- project.LYS ------------------------------------------------------------------------

// A catalogue with one pattern of one plain layer: a 210 x 210 mosaic of 10 x 10
// cells gives 21 x 21 = 441 cells in layer 1.
void UseOneLayerPattern(TAppState& state, const std::filesystem::path& folder) {
  TMemIniFile defs;
  defs.SetText("[brief]\r\nmaskcount=1\r\n[mask1]\r\npatterncount=1\r\n"
               "[mask1,pat1]\r\nlayercount=1\r\n[mask1,pat1,layer1]\r\nHorzFactor=1\r\n");
  state.PatternDefinitions = defs;
  TtsProject07& p = state.CurrentProject;
  p.Projectpath = folder.string();
  p.MosaicWidth = 210;
  p.MosaicHeight = 210;
  p.CellWidth = 10;
  p.CellHeight = 10;
  p.PatternGroup = 1;
  p.PatternIndex = 1;
  p.StageFlags = kStagePatternApplied;
}

TMosaicCell DistinctCell(int layer, int i) {
  TMosaicCell c;
  std::uint8_t* b = reinterpret_cast<std::uint8_t*>(&c);
  for (std::size_t k = 0; k < sizeof c; ++k) b[k] = std::uint8_t(layer * 13 + i * 7 + k);
  return c;
}

bool SameCell(const TMosaicCell& a, const TMosaicCell& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

void SetCells(TTSLayer& layer, int layerNo, int n) {
  layer.Cells.clear();
  for (int i = 0; i < n; ++i) layer.Cells.push_back(DistinctCell(layerNo, i));
  layer.CellCount = n;
}

TEST(ProjectFilesLayers, SaveAtStageZeroLeavesTheFileUntouched) {
  TempDir dir;
  WriteBytes(dir / "project.LYS", "old content");
  TtsProject07 p;
  p.Projectpath = dir.path().string();
  SetCells(p.Layers[1], 1, 3);
  p.StageFlags = 0;
  SaveLayers(p);
  EXPECT_EQ(ReadBytes(dir / "project.LYS"), "old content");
  p.StageFlags = -1;
  SaveLayers(p);
  EXPECT_EQ(ReadBytes(dir / "project.LYS"), "old content");
}

TEST(ProjectFilesLayers, FourHundredFortyOneCellsGive254044Bytes) {
  TempDir dir;
  TtsProject07 p;
  p.Projectpath = dir.path().string();
  p.StageFlags = kStagePatternApplied;
  SetCells(p.Layers[1], 1, 441);
  SaveLayers(p);
  const std::string f = ReadBytes(dir / "project.LYS");
  ASSERT_EQ(f.size(), 254044u);
  EXPECT_EQ(I32At(f, 0), 254016);
  for (int l = 2; l <= 7; ++l) EXPECT_EQ(I32At(f, std::size_t(4 * (l - 1))), 0);
  EXPECT_EQ(p.LayerBytes[1], 254016);
  EXPECT_EQ(std::memcmp(f.data() + 28 + 440 * 576, &p.Layers[1].Cells[440], 576), 0);
}

TEST(ProjectFilesLayers, RoundTripOfCellsWithPatternGeometry) {
  TempDir dir;
  auto state = NewState();
  UseOneLayerPattern(*state, dir.path());
  TtsProject07& p = state->CurrentProject;
  SetCells(p.Layers[1], 1, 441);
  SetCells(p.Layers[7], 7, 5);
  SaveLayers(p);

  auto loaded = NewState();
  UseOneLayerPattern(*loaded, dir.path());
  LoadLayers(*loaded);
  const TtsProject07& q = loaded->CurrentProject;
  EXPECT_EQ(q.Pattern.LayerCount, 1);
  EXPECT_EQ(q.Layers[1].Active, 1);
  EXPECT_EQ(q.Layers[1].Columns, 21);
  for (int l = 1; l <= 7; ++l) {
    const TTSLayer& a = p.Layers[std::size_t(l)];
    const TTSLayer& b = q.Layers[std::size_t(l)];
    ASSERT_EQ(b.Cells.size(), a.Cells.size()) << "layer " << l;
    EXPECT_EQ(b.CellCount, std::int32_t(b.Cells.size())) << "layer " << l;
    for (std::size_t i = 0; i < a.Cells.size(); ++i)
      ASSERT_TRUE(SameCell(a.Cells[i], b.Cells[i])) << "layer " << l << " cell " << i;
  }
}

TEST(ProjectFilesLayers, MissingFileDoesNothing) {
  TempDir dir;
  auto state = NewState();
  UseOneLayerPattern(*state, dir.path());
  SetCells(state->CurrentProject.Layers[1], 1, 2);
  LoadLayers(*state);
  EXPECT_EQ(state->CurrentProject.Pattern.LayerCount, 0);
  EXPECT_EQ(state->CurrentProject.Layers[1].Cells.size(), 2u);
}

TEST(ProjectFilesLayers, TruncatedFileKeepsTheUnreadCells) {
  TempDir dir;
  auto state = NewState();
  UseOneLayerPattern(*state, dir.path());
  std::string file = Header({441 * 576, 0, 0, 0, 0, 0, 0});
  for (int i = 0; i < 100; ++i) {
    const TMosaicCell c = DistinctCell(1, i);
    file.append(reinterpret_cast<const char*>(&c), sizeof c);
  }
  file += std::string(300, '\x5A');  // part of cell 100
  WriteBytes(dir / "project.LYS", file);

  TtsProject07 geometry = TtsProject07();  // what the pattern alone gives
  geometry.MosaicWidth = geometry.MosaicHeight = 210;
  geometry.CellWidth = geometry.CellHeight = 10;
  LoadPattern(*state, 1, 1, geometry.Pattern);
  ReapplyPattern(geometry);
  ASSERT_EQ(geometry.Layers[1].Cells.size(), 441u);

  LoadLayers(*state);
  const TTSLayer& layer = state->CurrentProject.Layers[1];
  ASSERT_EQ(layer.Cells.size(), 441u);
  EXPECT_EQ(layer.CellCount, 441);
  for (int i = 0; i < 100; ++i) ASSERT_TRUE(SameCell(layer.Cells[std::size_t(i)], DistinctCell(1, i))) << i;
  for (int i = 100; i < 441; ++i)
    ASSERT_TRUE(SameCell(layer.Cells[std::size_t(i)], geometry.Layers[1].Cells[std::size_t(i)])) << i;
}

TEST(ProjectFilesLayers, HostileHeaderValuesAreBoundedByTheFile) {
  constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
  struct Case {
    const char* name;
    std::vector<std::int32_t> header;
    int cellsInFile;
    std::vector<std::size_t> sizes;  // layers 1..7 after loading
  };
  const Case cases[] = {
      {"negative counts as 0", {-576, -1, kMin, 0, 0, 0, 0}, 0, {0, 0, 0, 0, 0, 0, 0}},
      {"huge layer 1 keeps its geometry", {kMax, 0, 0, 0, 0, 0, 0}, 2, {441, 0, 0, 0, 0, 0, 0}},
      {"huge layer 7 takes what the file holds", {0, 0, 0, 0, 0, 0, kMax}, 3, {0, 0, 0, 0, 0, 0, 3}},
      {"huge everywhere", {kMax, kMax, kMax, kMax, kMax, kMax, kMax}, 1, {441, 0, 0, 0, 0, 0, 0}},
      {"odd lengths round down", {577, 1151, 0, 0, 0, 0, 0}, 3, {1, 1, 0, 0, 0, 0, 0}},
      {"header cut short", {576}, 0, {0, 0, 0, 0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    auto state = NewState();
    UseOneLayerPattern(*state, dir.path());
    std::string file = Header(c.header);
    if (c.header.size() == 1) file = file.substr(0, 3);
    for (int i = 0; i < c.cellsInFile; ++i) {
      const TMosaicCell cell = DistinctCell(9, i);
      file.append(reinterpret_cast<const char*>(&cell), sizeof cell);
    }
    WriteBytes(dir / "project.LYS", file);
    LoadLayers(*state);
    for (int l = 1; l <= 7; ++l) {
      const TTSLayer& layer = state->CurrentProject.Layers[std::size_t(l)];
      EXPECT_EQ(layer.Cells.size(), c.sizes[std::size_t(l - 1)]) << "layer " << l;
      EXPECT_EQ(layer.CellCount, std::int32_t(layer.Cells.size())) << "layer " << l;
    }
  }
}

}  // namespace
}  // namespace tessaro
