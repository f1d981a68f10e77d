#include "support_job_fixture.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "core/project_files.h"
#include "engine/layers.h"
#include "engine/pattern_definitions.h"
#include "image/jpeg_codec.h"
#include "image/picture_files.h"
#include "library/TsPhotoLib.h"
#include "render/ootsrender.h"

namespace tessaro::render_testing {

namespace {

constexpr const char* kPlainPattern =
    "[brief]\r\nmaskcount=1\r\n"
    "[mask1]\r\nmaskname=Square\r\npatterncount=1\r\n"
    "[mask1,pat1]\r\npatternname=Plain\r\nlayercount=1\r\n"
    "[mask1,pat1,layer1]\r\nHorzFactor=1\r\nVertFactor=1\r\nHorzOffset=0\r\nVertOffset=0\r\n";

// A main image with structure everywhere, so cells differ.
TBitmap32 MainPicture(int w, int h) {
  TBitmap32 b(w, h);
  for (int y = 0; y < h; ++y) {
    TColor32* row = b.ScanLine(y);
    for (int x = 0; x < w; ++x)
      row[x] = Color32(std::uint8_t(x * 4), std::uint8_t(y * 5), std::uint8_t((x + y) * 2));
  }
  return b;
}

}  // namespace

bool TJobRecorder::Logged(const std::string& line) const {
  return std::find(Logs.begin(), Logs.end(), line) != Logs.end();
}

std::string ReadBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path& file, const std::string& bytes) {
  fs::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), std::streamsize(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + file.string());
}

TBitmap32 ReadPicture(const fs::path& file) {
  TBitmap32 b;
  LoadPicture(b, file);
  return b;
}

TJobFixture::TJobFixture(const TJobGeometry& geometry) : Geometry(geometry) {
  if (Geometry.PageWidth == 0) Geometry.PageWidth = Geometry.MosaicWidth;
  if (Geometry.PageHeight == 0) Geometry.PageHeight = Geometry.MosaicHeight;
  AppDir = Temp / "app";
  Folder = Temp / "project";
  WriteBytes(AppDir / "masks" / "patterndefine.ini", kPlainPattern);
  fs::create_directories(Folder);
  MainImageFile = Folder / "mainimage.jpg";
  SaveJpeg(MainPicture(64, 48), MainImageFile, 90, false);
  fs::create_directories(Temp / "pics");
  for (std::size_t k = 0; k < kPictureColours.size(); ++k) {
    TBitmap32 b(16, 16);
    b.Clear(kPictureColours[k]);
    std::string name = "p";  // appended: GCC 12 warns falsely on "p" + to_string(k)
    name += std::to_string(k);
    name += ".jpg";
    const fs::path file = Temp / "pics" / name;
    SaveJpeg(b, file, 95, false);
    Pictures.push_back(file.string());
  }
}

std::unique_ptr<TAppState> TJobFixture::NewProjectState() const {
  auto state = std::make_unique<TAppState>();
  InitializeAppState(*state, AppDir);
  state->Rng.Seed(1);
  TtsProject07& p = state->CurrentProject;
  p.Projectpath = Folder.string();
  p.Projectname = "Test-2024-3-7-14-5-9";
  p.OrgMainimageFilename = (Temp / "Test.jpg").string();
  p.MainimageFilename = MainImageFile.string();
  p.MosaicWidth = Geometry.MosaicWidth;
  p.MosaicHeight = Geometry.MosaicHeight;
  p.CellWidth = Geometry.CellWidth;
  p.CellHeight = Geometry.CellHeight;
  p.PageWidth = Geometry.PageWidth;
  p.PageHeight = Geometry.PageHeight;
  // Five pictures cannot fill a neighbourhood of nine cells under the default radius
  // of one cell; tests of the job want every cell filled.
  p.RepeatRadius = 0;
  p.StageFlags = kStageNew;
  state->RenderCellImgList = Pictures;
  SavePictureList(Pictures, Folder / kPictureListFileName);
  SaveProject(p);
  return state;
}

std::unique_ptr<TAppState> TJobFixture::Reopen() const {
  auto state = std::make_unique<TAppState>();
  InitializeAppState(*state, AppDir);
  state->Rng.Seed(2);
  LoadProject(*state, Folder / kProjectSettingsFileName);
  return state;
}

void TJobFixture::RunStepsUpTo(TAppState& state, std::int32_t stage) {
  TSilentProgress silent;
  TtsProject07& p = state.CurrentProject;
  InitCanvas(state, silent);
  p.BuildCurveTables();
  TTSPattern pattern;
  LoadPattern(state, p.PatternGroup, p.PatternIndex, pattern);
  p.Pattern = pattern;
  ComputeLayerMaskSignatures(state);
  if (p.StageFlags < stage && p.StageFlags < kStageLibraryReady) BuildImageLibrary(state, silent);
  if (p.StageFlags < stage && p.StageFlags < kStagePatternApplied) ApplyPatternStage(state, silent);
  if (p.StageFlags < stage && p.StageFlags < kStageCellsAssigned) RenderPatternStage(state, silent);
  if (p.StageFlags != stage) throw std::logic_error("stage not reached");
}

bool TJobFixture::Has(const std::string& name) const {
  std::error_code ec;
  return fs::exists(Folder / name, ec);
}

std::vector<std::string> TJobFixture::FolderFiles() const {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(Folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::int32_t TJobFixture::StageOnDisk() const {
  const std::string bytes = ReadBytes(Folder / kProjectSettingsFileName);
  if (bytes.size() < 40) return -1;
  std::int32_t v;
  std::memcpy(&v, bytes.data() + 36, 4);
  return v;
}

void TJobFixture::Remove(const std::string& name) const { fs::remove_all(Folder / name); }

void TJobFixture::Block(const std::string& name) const {
  fs::remove_all(Folder / name);
  fs::create_directories(Folder / name / "in-the-way");
}

}  // namespace tessaro::render_testing
