// Shared by the report writers (statistics.cpp, tile_reports.cpp,
// construction_plan.cpp): the line buffer and the file savers, the picture names,
// the tile numbering and the folder rule of the tile plan writers. Not part of the
// engine's interface.
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "core/app_state.h"
#include "core/file_io.h"
#include "image/bitmap32.h"
#include "image/bmp_codec.h"
#include "library/library_signatures.h"

namespace tessaro::report_text {

// One text report, line by line; every line is saved with CR LF after it.
using TReportLines = std::vector<std::string>;

inline void SaveReportLines(const std::filesystem::path& file, const TReportLines& lines) {
  std::size_t size = 0;
  for (const std::string& l : lines) size += l.size() + 2;
  std::string text;
  text.reserve(size);
  for (const std::string& l : lines) {
    text += l;
    text += "\r\n";
  }
  WriteFileAtomically(file, text);
}

// A 32-bit BMP, written whole through a temporary file like every other file.
inline void SaveReportBitmap(const std::filesystem::path& file, const TBitmap32& bitmap) {
  WriteFileAtomically(file, EncodeBmp32(bitmap, 0));
}

// The pictures the reports cover: LibImageCount kept inside the signature table, so a
// damaged count can never make a writer read beyond it.
inline int ReportPictureCount(const TAppState& state) {
  return std::clamp(state.Library.LibImageCount, 0, kLibImageCapacity);
}

inline std::int32_t UsageOf(const TAppState& state, int k) {
  return state.Library.LibImageInfos[std::size_t(k)].UsageCount;
}

// Item k of the picture list; a list shorter than the count gives an empty name.
inline const std::string& PictureFileOf(const TAppState& state, int k) {
  static const std::string kNone;
  return k >= 0 && std::size_t(k) < state.RenderCellImgList.size()
             ? state.RenderCellImgList[std::size_t(k)]
             : kNone;
}

// The name without its folder. Lists written on the original platform separate
// folders with a backslash, so both separators count.
inline std::string FileNameOnly(const std::string& path) {
  const std::size_t cut = path.find_last_of("/\\");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

// The name part of a tile book entry. Modes other than 1 and 2 show no name.
inline std::string TileNamePart(const TAppState& state, int fileNameMode, int k) {
  switch (fileNameMode) {
    case 1: return " file: " + FileNameOnly(PictureFileOf(state, k));
    case 2: return " file: " + PictureFileOf(state, k);
    default: return " ";
  }
}

// The used pictures (UsageCount > 0) in ascending index: position = tile ID.
inline std::vector<int> UsedPictures(const TAppState& state) {
  std::vector<int> used;
  const int count = ReportPictureCount(state);
  for (int k = 0; k < count; ++k)
    if (UsageOf(state, k) > 0) used.push_back(k);
  return used;
}

inline bool IsExistingFolder(const std::string& folder) {
  std::error_code ec;
  return !folder.empty() && std::filesystem::is_directory(folder, ec);
}

// The tile plan writers' folder: folder when it names an existing folder, else the
// project folder.
inline std::filesystem::path TilePlanFolder(const TAppState& state, const std::string& folder) {
  return IsExistingFolder(folder) ? std::filesystem::path(folder)
                                  : std::filesystem::path(state.CurrentProject.Projectpath);
}

}  // namespace tessaro::report_text
