// The project's picture list and its file "imglist.lst".
#include <stdexcept>

#include "core/app_state.h"
#include "core/file_io.h"
#include "image/picture_files.h"
#include "library/TsPhotoLib.h"
#include "library/library_internal.h"

namespace tessaro {

namespace {

bool HasLineBreak(const std::string& s) { return s.find_first_of("\r\n") != std::string::npos; }

class ListBuilder {
 public:
  explicit ListBuilder(TPictureListFilter filter) : filter_(filter) {}

  // Offers the next listed entry; false once the list is full.
  bool Offer(const std::string& path) {
    if (result_.Paths.size() >= kMaxProjectPictures) {
      ++result_.LeftOut;
      return false;
    }
    if (HasLineBreak(path)) return true;
    // Only regular files are opened: DetectPictureType would wait forever on a FIFO.
    if (filter_ == TPictureListFilter::Decodable &&
        (!libinternal::IsRegularFile(path) || DetectPictureType(path) == kPictureNone))
      return true;
    result_.Paths.push_back(path);
    return true;
  }
  // Entries that are counted, not examined, once the list is full.
  void Skip(std::size_t n) { result_.LeftOut += n; }
  bool Full() const { return result_.Paths.size() >= kMaxProjectPictures; }

  void AddGrid(const TFileListGrid& grid, const Tlibcfg& cfg) {
    const int last = grid.RowCount() - 2;
    for (int row = 1; row <= last; ++row) {
      if (Full()) {
        Skip(std::size_t(last - row + 1));
        return;
      }
      Offer(ResolvePicturePath(cfg, grid.Cell(0, row)));
    }
  }

  TPictureListResult Take() { return std::move(result_); }

 private:
  TPictureListFilter filter_;
  TPictureListResult result_;
};

}  // namespace

TPictureListResult BuildProjectPictureList(const std::vector<std::string>& tickedLibraryPaths,
                                           const std::vector<std::string>& ownPictures,
                                           TPictureListFilter filter) {
  ListBuilder builder(filter);
  TFileListGrid grid;
  for (const std::string& library : tickedLibraryPaths) {
    const Tlibcfg cfg = ReadLibCfg(std::filesystem::path(library) / kLibCfgFileName);
    libinternal::LoadLibraryGrid(library, grid);
    builder.AddGrid(grid, cfg);
  }
  for (std::size_t i = 0; i < ownPictures.size(); ++i) {
    if (builder.Full()) {
      builder.Skip(ownPictures.size() - i);
      break;
    }
    builder.Offer(ownPictures[i]);
  }
  return builder.Take();
}

TPictureListResult BuildLibraryPictureList(const TFileListGrid& grid, const Tlibcfg& cfg,
                                           TPictureListFilter filter) {
  ListBuilder builder(filter);
  builder.AddGrid(grid, cfg);
  return builder.Take();
}

void SavePictureList(const std::vector<std::string>& paths, const std::filesystem::path& file) {
  std::string out;
  for (const std::string& p : paths) {
    if (HasLineBreak(p)) throw std::invalid_argument("picture path holds a line break: " + p);
    out += p;
    out += "\r\n";
  }
  WriteFileAtomically(file, out);
}

std::vector<std::string> LoadPictureList(const std::filesystem::path& file) {
  std::string text;
  switch (ReadFileBounded(file, kMaxFileListBytes, text)) {
    case TReadResult::Ok: break;
    case TReadResult::TooLarge: throw TLibraryFileError(libinternal::CorruptFileText(file));
    default: throw TLibraryFileError(libinternal::CannotOpenText(file));
  }
  std::vector<std::string> lines;
  libinternal::ForEachLine(text, [&](std::string_view line) { lines.emplace_back(line); });
  return lines;
}

std::size_t CreateProjectPictureList(TAppState& state,
                                     const std::vector<std::string>& tickedLibraryPaths,
                                     const std::vector<std::string>& ownPictures,
                                     TPictureListFilter filter,
                                     const std::filesystem::path& projectFolder) {
  state.RenderCellImgList.clear();
  TPictureListResult built = BuildProjectPictureList(tickedLibraryPaths, ownPictures, filter);
  SavePictureList(built.Paths, projectFolder / kPictureListFileName);
  state.RenderCellImgList = std::move(built.Paths);
  return built.LeftOut;
}

}  // namespace tessaro
