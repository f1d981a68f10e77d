// TsPhotoLib: photo library folders, their configuration and file lists, the own
// picture lists, the project's picture list "imglist.lst", picture information, and
// (library_signatures.h) the signature tables of the project's pictures.
//
// Conventions, said once here:
//
// - Paths are UTF-8 std::strings or std::filesystem::path; the folder separator is
//   '/'. A library is a folder "<PhotoLibsDir>/<name>" holding "libcfg.cfg" and
//   "filelist.lst".
// - Order. This platform's file system lists a folder's entries in no particular
//   order, so every folder enumeration here sorts by name (ASCII letters compared
//   without regard to case, then byte by byte): lists and picture indices are the
//   same on every run and every machine.
// - Errors. A missing "libcfg.cfg" reads as all defaults and a missing "filelist.lst"
//   as an empty list; an unreadable or corrupt file list raises TLibraryFileError
//   with the text shown to the user. Nothing else here throws, except file writers
//   (std::filesystem::filesystem_error) and memory exhaustion.
// - Bounds. A file list is read only up to kMaxFileListBytes and its counts are cut
//   to the grid's caps; cells are stored sparsely, so a first line claiming two
//   billion rows costs nothing. Folder scans visit each folder once, however many
//   links lead to it. A project holds at most kMaxProjectPictures pictures.
// - Text files are written with CR LF line ends through a temporary file renamed over
//   the target; they are read with CR LF or LF.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "image/bitmap32.h"
#include "image/signature.h"
#include "library/library_signatures.h"
#include "library/library_state.h"

namespace tessaro {

struct TAppState;

inline constexpr const char* kLibCfgFileName = "libcfg.cfg";
inline constexpr const char* kLibCfgSection = "LibCFG07";
inline constexpr const char* kFileListFileName = "filelist.lst";
inline constexpr const char* kPictureListFileName = "imglist.lst";

// The most pictures a project holds (the signature table has one spare record).
inline constexpr std::size_t kMaxProjectPictures = 5000;
// File lists larger than this are refused as corrupt: about half a million pictures.
inline constexpr std::size_t kMaxFileListBytes = std::size_t(64) << 20;

// ---- The grid text format of "filelist.lst" -----------------------------------------

// Cell texts addressed by (column, row), as a grid control holds them. Cells are kept
// only when set to a non-empty text, so the counts cost nothing by themselves.
class TFileListGrid {
 public:
  static constexpr int kMaxColCount = 256;
  static constexpr int kMaxRowCount = 1 << 20;

  int ColCount() const { return colCount_; }
  int RowCount() const { return rowCount_; }
  // Clamped to 0..cap; cells beyond the new count are dropped.
  void SetColCount(int n);
  void SetRowCount(int n);

  // Empty outside the counts or when never set.
  const std::string& Cell(int col, int row) const;
  // Ignored outside the counts.
  void SetCell(int col, int row, std::string text);
  // Empties every cell; the counts stay.
  void Clear() { cells_.clear(); }

  // Non-empty cells in row order, each row from column 0.
  template <class F>
  void ForEachCell(F&& f) const {
    for (const auto& [key, text] : cells_) f(int(key & 0xFFFFFFFFu), int(key >> 32), text);
  }

 private:
  static std::uint64_t Key(int col, int row) {
    return (std::uint64_t(std::uint32_t(row)) << 32) | std::uint32_t(col);
  }
  int colCount_ = 0;
  int rowCount_ = 0;
  std::map<std::uint64_t, std::string> cells_;  // key: row << 32 | col
};

// Reads the grid text format into grid: line 1 "<columns>,<rows>", then lines
// "<column>,<row>,<text>" (the text runs to the end of the line, commas included);
// lines starting "cw" and blank lines carry no data, cells outside the counts are
// ignored, and cells the file does not name keep their text. Counts above the grid's
// caps are cut to them. Raises TLibraryFileError "Cannot open file <name>" when the
// file cannot be read, and "File contains no data or corrupt file <name>" when the
// first line gives no positive counts, a data line is malformed or the file exceeds
// kMaxFileListBytes; the grid keeps what was filled before the fault.
void LoadFileListGrid(TFileListGrid& grid, const std::filesystem::path& file);

// Writes the grid in the same format: the counts, then every non-empty cell row by
// row. CR and LF inside a text become blanks, so no text can start a line of its own.
void SaveFileListGrid(const TFileListGrid& grid, const std::filesystem::path& file);

// ---- Library folders and configuration ---------------------------------------------

// Reads cfgFile (keys colname, coltype, PhotoCount, PathType, Path, CharFont); a
// missing file or key gives the defaults. With PathType 1, Path becomes the folder
// holding cfgFile, whatever the file says.
void ReadLibCfg(const std::filesystem::path& cfgFile, Tlibcfg& cfg);
Tlibcfg ReadLibCfg(const std::filesystem::path& cfgFile);
// coltype of cfgFile (0 when missing).
int ReadLibType(const std::filesystem::path& cfgFile);

// PhotoLibsDir := appDir/PhotoLibs.
void InitPhotoLibs(TPhotoLibState& libs, const std::filesystem::path& appDir);
void InitPhotoLibs(TAppState& state);

// Fills pathList with "<PhotoLibsDir>/<folder>" for every folder in PhotoLibsDir
// (links to folders included), sorted by name; with a filter other than -1 only the
// folders whose "libcfg.cfg" has that coltype. nameList, when given, receives the
// bare names index for index. Both lists are cleared first. A missing PhotoLibsDir
// gives empty lists.
void ScanLibraries(const TPhotoLibState& libs, std::vector<std::string>* nameList,
                   std::vector<std::string>& pathList, int coltypeFilter);

// The grid of library pathList[index]: cleared, header "File Name", "Size", "Type",
// three columns and two rows, then "<library>/filelist.lst" loaded into it when the
// file exists (an index outside the list loads nothing). Sets
// HighlightedLibraryPhotoCount to the row count - 2, also when the file is corrupt
// (the grid then holds what was read; the error is raised afterwards).
void LoadLibraryFileList(TPhotoLibState& libs, const std::vector<std::string>& pathList,
                         int index, TFileListGrid& grid);

// CurrentLibCfg.Path + "/" + name.
std::string LibraryPicturePath(const TPhotoLibState& libs, const std::string& name);

// A picture's path from a file list's column 0 text: PathType 0 the text unchanged,
// 1 cfg.Path + "/" + text, any other an empty path (which no later step accepts).
std::string ResolvePicturePath(const Tlibcfg& cfg, const std::string& cellText);

// The sum of PhotoCount over the libraries (each "libcfg.cfg" read again).
std::int64_t SelectedLibraryPhotoTotal(const std::vector<std::string>& tickedLibraryPaths);
// The number compared with the picture limit.
constexpr std::int64_t SelectedPhotoTotal(std::int64_t libraryTotal, std::size_t ownPictures) {
  return libraryTotal + std::int64_t(ownPictures);
}
// Canvas colour of the "Selected Photo Count" label: red for 0 or less, green above.
constexpr TCanvasColor SelectedPhotoTotalColor(std::int64_t total) {
  return total <= 0 ? 0x0000FFu : 0x008000u;
}

// ---- Own pictures ------------------------------------------------------------------

inline constexpr const char* kOwnPictureLimitText = "You can load 5000 files into Tessaro";
inline constexpr const char* kOwnPictureLimitCaption = "Limit";

// "Add Files" and "Add Folder" are refused (kOwnPictureLimitText) at this total.
constexpr bool OwnPictureLimitReached(std::int64_t selectedPhotoTotal) {
  return selectedPhotoTotal >= std::int64_t(kMaxProjectPictures) + 1;
}

// Appends "<folder>/<name>" for every regular file (or link to one) whose extension,
// upper-cased, is ".JPG", ".BMP" or ".GIF"; with recurse, enters every sub-folder
// depth first where it is met. Entries are taken in name order. Each folder is
// visited once, so links that lead back up never loop. Stops once list holds limit
// entries (the rest would be cut by the own-list rule anyway).
void ScanPictureFolder(const std::filesystem::path& folder, std::vector<std::string>& list,
                       bool recurse,
                       std::size_t limit = std::numeric_limits<std::size_t>::max());

// The own-list rule after "Add Files" / "Add Folder": entries beyond the first
// kMaxProjectPictures are dropped from the end.
void TruncateOwnPictureList(std::vector<std::string>& list);
// "Add Folder": ScanPictureFolder, then the own-list rule.
void AddPictureFolder(std::vector<std::string>& list, const std::filesystem::path& folder,
                      bool recurse);
// "Add Files": append, then the own-list rule.
void AddPictureFiles(std::vector<std::string>& list, const std::vector<std::string>& files);

// ---- The project's picture list ----------------------------------------------------

enum class TPictureListFilter {
  AllPaths,   // Beginner and tile mosaic panels: every resolved path
  Decodable,  // Advanced panel: only files DetectPictureType accepts (JPEG or BMP)
};

struct TPictureListResult {
  std::vector<std::string> Paths;  // index k = picture k
  // Entries not taken because the list was full (kMaxProjectPictures); with the
  // Decodable filter they are not examined, so this counts listed entries.
  std::size_t LeftOut = 0;
};

// The ticked libraries' pictures in list order (file list rows 1 .. row count - 2,
// resolved with each library's own "libcfg.cfg"), then the own pictures, filtered,
// cut after kMaxProjectPictures. A picture listed twice is taken twice. Paths holding
// CR or LF cannot be a line of "imglist.lst" and are never taken. CurrentLibCfg and
// HighlightedLibraryPhotoCount are not touched. A corrupt file list raises
// TLibraryFileError.
TPictureListResult BuildProjectPictureList(const std::vector<std::string>& tickedLibraryPaths,
                                           const std::vector<std::string>& ownPictures,
                                           TPictureListFilter filter);
// The Master panel's list: the rows of the library shown in its grid, resolved with
// that library's configuration.
TPictureListResult BuildLibraryPictureList(const TFileListGrid& grid, const Tlibcfg& cfg,
                                           TPictureListFilter filter);

// One path per line, CR LF, through a temporary file renamed over file. Raises
// std::invalid_argument for a path holding CR or LF (it would shift every later
// index) and std::filesystem::filesystem_error when the file cannot be written.
void SavePictureList(const std::vector<std::string>& paths, const std::filesystem::path& file);
// The lines of file (CR LF or LF; a last line without an end is a line; a UTF-8
// byte order mark is skipped). Raises TLibraryFileError "Cannot open file <name>"
// when it cannot be read and "File contains no data or corrupt file <name>" above
// kMaxFileListBytes.
std::vector<std::string> LoadPictureList(const std::filesystem::path& file);

// Project creation: state.RenderCellImgList := the built list, saved as
// "<projectFolder>/imglist.lst". Returns the number of entries left out.
std::size_t CreateProjectPictureList(TAppState& state,
                                     const std::vector<std::string>& tickedLibraryPaths,
                                     const std::vector<std::string>& ownPictures,
                                     TPictureListFilter filter,
                                     const std::filesystem::path& projectFolder);

// ---- Picture information -----------------------------------------------------------

struct TPictureInfoOptions {
  bool Grey = false;       // "Monochrome (Gray Scale )": grey the picture first (type 1)
  bool ColorData = false;  // "Read More Color Data": histogram and signature previews
  TRect PreviewFrame;      // the preview box the picture is fitted into
};

struct TPictureInfo {
  std::string FileName;  // without its folder, for the name label
  int Width = 0, Height = 0;
  std::string SizeText;    // "<width>x<height> pixels"
  std::string AspectText;  // width / height as "0.0000"; empty for an empty picture
  ImageSignature Signature;
  TBitmap32 Preview;  // fitted into PreviewFrame
  // Only with ColorData: the channel 0 histogram (128 x 48) and the signature at
  // levels 1, 4, 16 and 64 in colour (64 x 64 each).
  TBitmap32 Histogram, Average, Grid4, Grid16, Grid64;
};

// Loads file (an undecodable file gives the empty picture), greys it on request,
// takes its signature and draws the previews the options ask for.
TPictureInfo ShowPictureInfo(const std::filesystem::path& file, const TPictureInfoOptions& options);

// A click on row of a library grid: column 0 resolved with CurrentLibCfg; nothing
// when the resolved file does not exist.
std::optional<TPictureInfo> ShowLibraryPictureInfo(const TPhotoLibState& libs,
                                                   const TFileListGrid& grid, int row,
                                                   const TPictureInfoOptions& options);

// width / height formatted "0.0000", rounded half away from zero in exact integer
// arithmetic; empty when either is not positive.
std::string FormatAspect(int width, int height);

}  // namespace tessaro
