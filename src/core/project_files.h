// The project's own files in its folder: "project.ini" (paths and format version),
// "project.TS8" (the eight settings sections) and "project.LYS" (the cells of the
// seven layers), plus the reader of the picture list "imglist.lst".
//
// Writing: every file is written whole to a temporary file in the project folder and
// renamed over the old one, so an interrupted save leaves the previous project intact.
// Failures raise std::filesystem::filesystem_error.
//
// Reading never trusts a length or count: a short file fills what it holds and leaves
// the rest as it was, a longer one is skipped over, and no header value makes the
// reader allocate more than the file could actually supply.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tessaro {

struct TAppState;
class TtsProject07;

inline constexpr const char* kProjectIniFileName = "project.ini";
inline constexpr const char* kProjectSettingsFileName = "project.TS8";
inline constexpr const char* kProjectLayersFileName = "project.LYS";
inline constexpr std::int32_t kProjectFormatVersion = 33;
// Header of "project.LYS": seven byte lengths.
inline constexpr std::size_t kLayerFileHeaderSize = 28;

// "project.ini" (keys kept that are not ours) and "project.TS8" into Projectpath.
// Sets SectionSizes to the lengths written. An empty Projectpath is refused (raised
// as a filesystem_error) rather than writing into the current folder.
void SaveProject(TtsProject07& project);

// Reads the project whose "project.TS8" is fileName into state.CurrentProject; the
// folder is the file's folder, whatever "project.ini" says, so a moved project opens.
// Replaces state.RenderCellImgList by the folder's "imglist.lst" when it exists and
// can be read. A missing file (or one that is not a regular file) changes nothing.
void LoadProject(TAppState& state, const std::filesystem::path& fileName);

// Writes "project.LYS" when StageFlags > 0 (sets LayerBytes); otherwise does nothing.
void SaveLayers(TtsProject07& project);

// When Projectpath holds "project.LYS": rebuilds Pattern from PatternGroup and
// PatternIndex, lays out the layers' geometry, then takes the cell counts and the
// cells from the file. A layer's count is cut to kMaxLayerCells and to what the file
// can supply (never below the cells the layer already has); cells the file does not
// hold whole keep their content. CellCount stays equal to Cells.size().
void LoadLayers(TAppState& state);

// 0 when fileName does not exist; otherwise "ver" of "renderpara" in the
// "project.ini" beside it, 0 when missing.
std::int32_t ReadProjectVersion(const std::filesystem::path& fileName);

// The Load button's version check.
constexpr bool IsAcceptedProjectVersion(std::int32_t version) {
  return version >= 0 && version <= 100;
}

// The lines of a picture list (CR LF or LF, empty lines kept: line k is picture k).
// False, with lines untouched, when the file is missing, unreadable or too large.
bool ReadPictureList(const std::filesystem::path& file, std::vector<std::string>& lines);

// The extension of a stored file name from the last "." after the last "/", "\" or
// ":" (names written on another platform use "\"); empty when there is none.
std::string StoredFileExtension(const std::string& name);

}  // namespace tessaro
