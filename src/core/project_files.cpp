#include "core/project_files.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <string>
#include <system_error>

#include "core/app_state.h"
#include "core/file_io.h"
#include "core/inifile.h"
#include "core/ootsfunction2007.h"
#include "engine/layers.h"
#include "engine/pattern_definitions.h"
#include "library/TsPhotoLib.h"

namespace tessaro {

namespace {

constexpr const char* kPathSection = "pathpara";
constexpr const char* kRenderSection = "renderpara";
constexpr const char* kNotAvailable = "N/A";
constexpr std::size_t kCellSize = sizeof(TMosaicCell);

std::filesystem::path ProjectFolder(const TtsProject07& project) {
  if (project.Projectpath.empty())
    throw std::filesystem::filesystem_error(
        "project folder not set", std::make_error_code(std::errc::no_such_file_or_directory));
  return std::filesystem::path(project.Projectpath);
}

bool IsRegular(const std::filesystem::path& file) {
  std::error_code ec;
  return std::filesystem::is_regular_file(file, ec);
}

std::int32_t ReadI32(const std::uint8_t* p) {
  std::int32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

void AppendI32(std::string& out, std::int32_t v) {
  char b[4];
  std::memcpy(b, &v, 4);
  out.append(b, 4);
}

// Reads up to n bytes at offset; returns the count read (0 past the end).
std::size_t ReadAt(std::ifstream& in, std::uint64_t fileSize, std::uint64_t offset, void* into,
                   std::size_t n) {
  if (offset >= fileSize) return 0;
  n = std::size_t(std::min<std::uint64_t>(n, fileSize - offset));
  in.clear();
  in.seekg(std::streamoff(offset));
  in.read(static_cast<char*>(into), std::streamsize(n));
  return std::size_t(std::max<std::streamsize>(in.gcount(), 0));
}

}  // namespace

std::string StoredFileExtension(const std::string& name) {
  const std::size_t sep = name.find_last_of("/\\:");
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos || (sep != std::string::npos && dot < sep)) return {};
  return name.substr(dot);
}

void SaveProject(TtsProject07& project) {
  const std::filesystem::path folder = ProjectFolder(project);

  TMemIniFile ini(folder / kProjectIniFileName);
  ini.WriteString(kPathSection, "Projectpath", project.Projectpath);
  ini.WriteString(kPathSection, "Projectname", project.Projectname);
  ini.WriteString(kPathSection, "MainimageFilename", project.MainimageFilename);
  ini.WriteString(kPathSection, "OrgMainimageFilename", project.OrgMainimageFilename);
  ini.WriteInteger(kRenderSection, "ver", kProjectFormatVersion);
  ini.UpdateFile();

  for (int s = 1; s <= kSectionCount; ++s) project.SectionSizes[std::size_t(s)] = kSectionSizes[std::size_t(s)];

  std::string image;
  image.reserve(kProjectFileSize);
  for (int s = 1; s <= kSectionCount; ++s) AppendI32(image, project.SectionSizes[std::size_t(s)]);
  for (int s = 1; s <= kSectionCount; ++s) {
    const std::vector<std::uint8_t> bytes = project.SectionBytes(s);
    image.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  }
  WriteFileAtomically(folder / kProjectSettingsFileName, image);
}

void LoadProject(TAppState& state, const std::filesystem::path& fileName) {
  if (!IsRegular(fileName)) return;
  TtsProject07& project = state.CurrentProject;

  // A bare file name has no folder part; the folder it lies in is the current one.
  std::error_code ec;
  std::filesystem::path file = std::filesystem::absolute(fileName, ec);
  if (ec) file = fileName;
  const std::filesystem::path folder = file.parent_path();

  const TMemIniFile ini(folder / kProjectIniFileName);
  project.Projectname = ini.ReadString(kPathSection, "Projectname", kNotAvailable);
  project.OrgMainimageFilename = ini.ReadString(kPathSection, "OrgMainimageFilename", kNotAvailable);
  const std::string storedMain = ini.ReadString(kPathSection, "MainimageFilename", kNotAvailable);
  project.Projectpath = folder.string();
  project.MainimageFilename = (folder / ("mainimage" + StoredFileExtension(storedMain))).string();

  std::ifstream in(file, std::ios::binary);
  const std::uint64_t size = std::filesystem::file_size(file, ec);
  if (in && !ec) {
    std::uint8_t header[32];
    const std::size_t got = ReadAt(in, size, 0, header, sizeof header);
    const int lengths = int(got / 4);  // entries the file holds whole
    for (int s = 1; s <= lengths; ++s)
      project.SectionSizes[std::size_t(s)] = ReadI32(header + 4 * (s - 1));

    std::uint64_t offset = 32;
    std::uint8_t buffer[128];
    for (int s = 1; s <= lengths; ++s) {
      const std::int32_t length = std::max<std::int32_t>(project.SectionSizes[std::size_t(s)], 0);
      const std::size_t want = std::min<std::size_t>(std::size_t(length),
                                                     TtsProject07::GroupSizeOfSection(s));
      static_assert(sizeof buffer >= 116);
      const std::size_t n = ReadAt(in, size, offset, buffer, want);
      project.ReadSectionBytes(s, buffer, n);
      offset += std::uint64_t(length);
    }
  }

  ReadPictureList(folder / kPictureListFileName, state.RenderCellImgList);
}

void SaveLayers(TtsProject07& project) {
  if (project.StageFlags <= 0) return;
  const std::filesystem::path folder = ProjectFolder(project);

  std::size_t total = 0;
  for (int l = 1; l <= kLayerCount; ++l) {
    const std::size_t n = project.Layers[std::size_t(l)].Cells.size();
    if (n > std::size_t(kMaxLayerCells))
      throw std::length_error("layer " + std::to_string(l) + " holds more cells than project.LYS can describe");
    project.LayerBytes[std::size_t(l)] = std::int32_t(n * kCellSize);
    total += n;
  }

  std::string image;
  image.reserve(kLayerFileHeaderSize + total * kCellSize);
  for (int l = 1; l <= kLayerCount; ++l) AppendI32(image, project.LayerBytes[std::size_t(l)]);
  for (int l = 1; l <= kLayerCount; ++l) {
    const auto& cells = project.Layers[std::size_t(l)].Cells;
    image.append(reinterpret_cast<const char*>(cells.data()), cells.size() * kCellSize);
  }
  WriteFileAtomically(folder / kProjectLayersFileName, image);
}

void LoadLayers(TAppState& state) {
  TtsProject07& project = state.CurrentProject;
  if (project.Projectpath.empty()) return;
  const std::filesystem::path file = std::filesystem::path(project.Projectpath) / kProjectLayersFileName;
  if (!IsRegular(file)) return;

  TTSPattern pattern;
  LoadPattern(state, project.PatternGroup, project.PatternIndex, pattern);
  project.Pattern = std::move(pattern);
  ReapplyPattern(project);

  std::error_code ec;
  const std::uint64_t size = std::filesystem::file_size(file, ec);
  std::ifstream in(file, std::ios::binary);
  if (ec || !in) return;

  std::uint8_t header[kLayerFileHeaderSize];
  const std::size_t got = ReadAt(in, size, 0, header, sizeof header);
  for (int l = 1; l <= int(got / 4); ++l)
    project.LayerBytes[std::size_t(l)] = ReadI32(header + 4 * (l - 1));

  TMosaicCell zero;
  std::memset(static_cast<void*>(&zero), 0, sizeof zero);
  std::uint64_t offset = kLayerFileHeaderSize;
  for (int l = 1; l <= kLayerCount; ++l) {
    TTSLayer& layer = project.Layers[std::size_t(l)];
    const std::int32_t bytes = project.LayerBytes[std::size_t(l)];
    std::uint64_t count = bytes > 0 ? std::uint64_t(bytes) / kCellSize : 0;
    // The header alone never decides an allocation: a layer grows only to the cells
    // the rest of the file can hold.
    const std::uint64_t available = offset < size ? (size - offset) / kCellSize : 0;
    count = std::min<std::uint64_t>(count, std::max<std::uint64_t>(available, layer.Cells.size()));
    count = std::min<std::uint64_t>(count, std::uint64_t(kMaxLayerCells));
    layer.Cells.resize(std::size_t(count), zero);
    layer.CellCount = std::int32_t(layer.Cells.size());

    const std::size_t whole = std::size_t(std::min<std::uint64_t>(count, available));
    if (whole > 0) {
      // Whole cells only: a cell cut off by the end of the file keeps its content.
      std::vector<TMosaicCell> read(whole);
      const std::size_t n = ReadAt(in, size, offset, read.data(), whole * kCellSize) / kCellSize;
      std::copy_n(read.begin(), n, layer.Cells.begin());
    }
    offset += count * kCellSize;
  }
}

std::int32_t ReadProjectVersion(const std::filesystem::path& fileName) {
  std::error_code ec;
  if (!std::filesystem::exists(fileName, ec)) return 0;
  std::filesystem::path file = std::filesystem::absolute(fileName, ec);
  if (ec) file = fileName;
  const TMemIniFile ini(file.parent_path() / kProjectIniFileName);
  return ini.ReadInteger(kRenderSection, "ver", 0);
}

bool ReadPictureList(const std::filesystem::path& file, std::vector<std::string>& lines) {
  if (!IsRegular(file)) return false;
  try {
    lines = LoadPictureList(file);
    return true;
  } catch (const TLibraryFileError&) {
    return false;
  }
}

}  // namespace tessaro
