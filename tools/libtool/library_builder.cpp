#include "library_builder.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <fstream>
#include <new>
#include <optional>
#include <thread>
#include <unordered_set>
#include <utility>

#include "core/inifile.h"
#include "image/bmp_codec.h"
#include "image/halftone.h"
#include "image/jpeg_codec.h"
#include "image/picture_files.h"
#include "library/TsPhotoLib.h"
#include "progress_display.h"
#include "source_scan.h"

namespace tessaro::libtool {

namespace fs = std::filesystem;

namespace {

const std::string kTool = "tessaro-libtool: ";

enum class TItemState { Pending, Ok, Undecodable, WriteFailed };

// One file whose first bytes say JPEG or BMP, on its way into the library.
struct TItem {
  fs::path Source;
  int Type = kPictureNone;
  TItemState State = TItemState::Pending;
  int Width = 0, Height = 0;  // as listed: the copy's size in copy mode
  fs::path Temp;              // copy mode: the picture written under its temporary name
  std::string Error;
};

// Files the run wrote, removed again when it fails, newest first.
class TRollback {
 public:
  void Add(fs::path p) { paths_.push_back(std::move(p)); }
  void Forget(const fs::path& p) { std::erase(paths_, p); }
  void Undo() {
    std::error_code ec;
    for (auto it = paths_.rbegin(); it != paths_.rend(); ++it) fs::remove(*it, ec);  // a folder only when empty
    paths_.clear();
  }

 private:
  std::vector<fs::path> paths_;
};

bool HasLineBreak(const std::string& s) { return s.find_first_of("\r\n") != std::string::npos; }

fs::path Normalised(const fs::path& p) {
  std::error_code ec;
  fs::path a = fs::absolute(p, ec);
  if (ec) a = p;
  a = a.lexically_normal();
  if (a.filename().empty() && a.has_parent_path() && a != a.root_path()) a = a.parent_path();
  return a;
}

bool StartsWithJpegMarker(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  unsigned char head[2] = {0, 0};
  in.read(reinterpret_cast<char*>(head), 2);
  return in.gcount() == 2 && head[0] == 0xFF && head[1] == 0xD8;
}

// Why a file is not taken, for --verbose; empty when its content is JPEG or BMP.
std::string RejectReason(const fs::path& file, int type) {
  std::error_code ec;
  if (!fs::is_regular_file(file, ec)) return "not a regular file";
  if (type != kPictureNone) return {};
  if (StartsWithJpegMarker(file)) return "JPEG data does not end the file (bytes after its end marker)";
  return "not a JPEG or BMP picture";
}

// The longer edge becomes maxEdge, the shorter keeps the aspect (rounded, at least
// 1); a picture that fits already keeps its size.
std::pair<int, int> ReducedSize(int w, int h, int maxEdge) {
  if (std::max(w, h) <= maxEdge) return {w, h};
  const std::int64_t m = maxEdge;
  if (w >= h) return {maxEdge, int(std::max<std::int64_t>(1, (2 * h * m + w) / (2 * std::int64_t(w))))};
  return {int(std::max<std::int64_t>(1, (2 * w * m + h) / (2 * std::int64_t(h)))), maxEdge};
}

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return s;
}

// The name a copy gets: the file name without its last extension (control
// characters made '_', cut to 200 bytes at a character boundary so that a suffix
// still fits the file system's name limit; "picture" when nothing is left) +
// ".jpg", made unique without regard to ASCII case (the library may end up on a
// file system that ignores case) by "_2", "_3", ... before the extension.
std::string UniqueCopyName(const fs::path& source, std::unordered_set<std::string>& taken) {
  std::string stem = source.filename().string();
  const std::size_t dot = stem.rfind('.');
  if (dot != std::string::npos) stem.resize(dot);
  for (char& c : stem)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '_';
  if (stem.size() > 200) {
    std::size_t cut = 200;
    while (cut > 0 && (static_cast<unsigned char>(stem[cut]) & 0xC0) == 0x80) --cut;  // UTF-8 continuation
    stem.resize(cut);
  }
  if (stem.empty()) stem = "picture";
  std::string name = stem + ".jpg";
  for (int n = 2; !taken.insert(Lower(name)).second; ++n) name = stem + "_" + std::to_string(n) + ".jpg";
  return name;
}

struct TJob {
  const TLibToolOptions& options;
  fs::path library;
  std::atomic<bool> stop{false};
};

void ProcessItem(TItem& item, std::size_t index, TJob& job) {
  TBitmap32 picture;
  try {
    const TDecodeResult r = item.Type == kPictureJpeg ? LoadJpeg(picture, item.Source)
                                                      : LoadBmp(picture, item.Source);
    if (!r.Ok() || picture.Empty()) {
      item.State = TItemState::Undecodable;
      item.Error = "cannot be decoded";
      return;
    }
  } catch (const std::bad_alloc&) {
    item.State = TItemState::Undecodable;
    item.Error = "too large to decode";
    return;
  }
  if (job.options.Link) {
    item.Width = picture.Width();
    item.Height = picture.Height();
    item.State = TItemState::Ok;
    return;
  }

  const auto [w, h] = ReducedSize(picture.Width(), picture.Height(), job.options.MaxEdge);
  item.Temp = job.library / (".tessaro-libtool-" + std::to_string(index) + ".part");
  try {
    if (w == picture.Width() && h == picture.Height()) {
      // Small enough already: a JPEG is copied as it is (no second loss), a BMP is
      // encoded so that the library holds only JPEG files.
      if (item.Type == kPictureJpeg)
        fs::copy_file(item.Source, item.Temp, fs::copy_options::overwrite_existing);
      else
        SaveJpeg(picture, item.Temp, job.options.Quality, false);
    } else {
      TBitmap32 reduced;
      HalftoneResize(picture, reduced, w, h);
      picture = TBitmap32();  // free the full-size picture before encoding
      SaveJpeg(reduced, item.Temp, job.options.Quality, false);
    }
  } catch (const std::bad_alloc&) {
    item.State = TItemState::Undecodable;
    item.Error = "too large to reduce";
    std::error_code ec;
    fs::remove(item.Temp, ec);
    item.Temp.clear();
    return;
  } catch (const std::exception& e) {
    item.State = TItemState::WriteFailed;
    item.Error = e.what();
    job.stop = true;
    return;
  }
  item.Width = w;
  item.Height = h;
  item.State = TItemState::Ok;
}

// items[begin, end) over the job's threads; each item is touched by one thread.
void ProcessRange(std::vector<TItem>& items, std::size_t begin, std::size_t end, TJob& job,
                  TProgressDisplay& progress) {
  std::atomic<std::size_t> next{begin};
  auto work = [&] {
    for (std::size_t i; !job.stop && (i = next.fetch_add(1)) < end;) {
      ProcessItem(items[i], i, job);
      progress.Advance();
    }
  };
  const std::size_t threadCount = std::min<std::size_t>(std::size_t(std::max(job.options.Jobs, 1)), end - begin);
  std::vector<std::jthread> threads;
  for (std::size_t t = 1; t < threadCount; ++t) threads.emplace_back(work);
  work();
}

void Say(TProgressDisplay& progress, const std::string& text) { progress.Line(kTool + text); }

// The run's checks on the two folders before anything is scanned; false with a
// message when the run cannot go on.
bool CheckFolders(const TLibToolOptions& o, const fs::path& source, const fs::path& library,
                  TProgressDisplay& progress) {
  std::error_code ec;
  const fs::file_status s = fs::status(source, ec);
  if (!fs::exists(s)) {
    Say(progress, "picture folder " + source.string() + " does not exist");
    return false;
  }
  if (!fs::is_directory(s)) {
    Say(progress, source.string() + " is not a folder");
    return false;
  }
  const fs::file_status l = fs::status(library, ec);
  if (fs::exists(l) && !fs::is_directory(l)) {
    Say(progress, "library folder " + library.string() + " exists and is not a folder");
    return false;
  }
  if (o.Link) return true;

  // The quick test by path; links are caught after the scan by folder identity.
  std::error_code srcEc, libEc;
  const fs::path src = fs::weakly_canonical(source, srcEc);
  const fs::path lib = fs::weakly_canonical(library, libEc);
  auto [a, b] = std::mismatch(src.begin(), src.end(), lib.begin(), lib.end());
  const bool inside = a == src.end() && (b == lib.end() || o.Recurse);
  if (!srcEc && !libEc && inside) {
    Say(progress, "the library folder " + library.string() +
                      (b == lib.end() ? " is the picture folder" : " lies inside the picture folder") +
                      "; copy mode needs a folder of its own outside the pictures");
    return false;
  }
  if (fs::exists(l)) {
    fs::directory_iterator it(library, ec);
    if (ec) {
      Say(progress, "cannot read library folder " + library.string() + ": " + ec.message());
      return false;
    }
    if (it != fs::directory_iterator()) {
      Say(progress, "library folder " + library.string() +
                        " is not empty; copy mode writes only into a new or empty folder");
      return false;
    }
  }
  return true;
}

// True when the scan entered library or, recursing, a folder above it (so the
// library would be scanned next time): links inside the source count.
bool LibraryInScan(const TSourceScan& scan, const fs::path& library, bool recurse) {
  if (!recurse) {
    const std::optional<TFolderId> id = FolderIdOf(library);
    return id && scan.Folders.count(*id);
  }
  for (fs::path p = library;; p = p.parent_path()) {
    if (const std::optional<TFolderId> id = FolderIdOf(p); id && scan.Folders.count(*id)) return true;
    if (p == p.parent_path() || p.empty()) return false;
  }
}

void WriteLibraryFiles(const TLibToolOptions& o, const fs::path& library, const std::string& name,
                       const std::vector<const TItem*>& listed,
                       const std::vector<std::string>& names) {
  TFileListGrid grid;
  grid.SetColCount(3);
  grid.SetRowCount(int(listed.size()) + 2);
  grid.SetCell(0, 0, "File Name");
  grid.SetCell(1, 0, "Size");
  grid.SetCell(2, 0, "Type");
  for (std::size_t k = 0; k < listed.size(); ++k) {
    const TItem& item = *listed[k];
    const int row = int(k) + 1;
    grid.SetCell(0, row, names[k]);
    grid.SetCell(1, row, std::to_string(item.Width) + "x" + std::to_string(item.Height));
    grid.SetCell(2, row, (o.Link && item.Type == kPictureBmp) ? "BMP" : "JPG");
  }
  SaveFileListGrid(grid, library / kFileListFileName);

  TMemIniFile ini;
  ini.SetFileName(library / kLibCfgFileName);
  ini.WriteString(kLibCfgSection, "colname", name);
  ini.WriteInteger(kLibCfgSection, "coltype", o.ColType);
  ini.WriteInteger(kLibCfgSection, "PhotoCount", int(listed.size()));
  ini.WriteInteger(kLibCfgSection, "PathType", o.Link ? 0 : 1);
  ini.WriteString(kLibCfgSection, "Path", library.string());
  ini.WriteString(kLibCfgSection, "CharFont", "NOFONT");
  ini.UpdateFile();
}

}  // namespace

TLibToolResult BuildLibrary(const TLibToolOptions& o, TProgressDisplay& progress) {
  TLibToolResult result;
  const fs::path source = Normalised(o.Source);
  const fs::path library = Normalised(o.Library);
  result.Library = library;
  result.Name = o.Name.empty() ? library.filename().string() : o.Name;
  if (result.Name.empty()) result.Name = "Library";
  if (!CheckFolders(o, source, library, progress)) return result;

  // ---- Scan and sort out what is not a picture.
  TSourceScan scan = ScanSource(source, o.Recurse, [&](std::size_t files) {
    progress.Count("Scanning", files, "files");
  });
  progress.Clear();
  result.Folders = scan.Folders.size();
  for (const fs::path& f : scan.UnreadableFolders) Say(progress, "warning: cannot read folder " + f.string());
  if (!o.Link && LibraryInScan(scan, library, o.Recurse)) {
    Say(progress, "the library folder " + library.string() +
                      " is reached by the scan of the picture folder (through a link); copy mode "
                      "needs a folder of its own outside the pictures");
    return result;
  }

  std::vector<TItem> items;
  for (fs::path& file : scan.Files) {
    if (o.Link && HasLineBreak(file.string())) {
      ++result.Unlistable;
      if (o.Verbose) Say(progress, "skipped " + file.string() + ": its path holds a line break");
      continue;
    }
    std::error_code ec;
    // Only regular files are opened: reading a FIFO would wait forever.
    const int type = fs::is_regular_file(file, ec) ? DetectPictureType(file) : kPictureNone;
    if (type == kPictureNone) {
      ++result.NotPictures;
      if (o.Verbose) Say(progress, "skipped " + file.string() + ": " + RejectReason(file, type));
      continue;
    }
    TItem& item = items.emplace_back();
    item.Source = std::move(file);
    item.Type = type;
  }
  scan.Files.clear();
  if (items.empty()) {
    Say(progress, "no JPEG or BMP picture in " + source.string());
    return result;
  }

  // ---- Decode (and in copy mode reduce and write) on all threads, in batches that
  // stop once the project limit is reached.
  TRollback rollback;
  std::error_code ec;
  if (!fs::exists(library, ec)) {
    // Only the folders this run makes are removed again on failure.
    std::vector<fs::path> made;
    for (fs::path p = library; !p.empty() && !fs::exists(p, ec); p = p.parent_path()) {
      made.push_back(p);
      if (p == p.parent_path()) break;
    }
    fs::create_directories(library, ec);
    if (ec) {
      Say(progress, "cannot create library folder " + library.string() + ": " + ec.message());
      return result;
    }
    for (auto it = made.rbegin(); it != made.rend(); ++it) rollback.Add(*it);
  }

  TJob job{o, library};
  const std::size_t cap = kMaxProjectPictures;
  std::vector<const TItem*> listed;
  progress.Begin(o.Link ? "Checking pictures" : "Reducing pictures", items.size());
  std::size_t pos = 0;
  while (pos < items.size() && listed.size() < cap && !job.stop) {
    // Near the limit a batch still keeps both threads busy; what lies beyond the
    // limit is dropped below exactly as if it had never been looked at.
    const std::size_t want = std::max<std::size_t>(cap - listed.size(), 64);
    const std::size_t end = std::min(items.size(), pos + want);
    ProcessRange(items, pos, end, job, progress);
    for (std::size_t i = pos; i < end; ++i) {
      TItem& item = items[i];
      if (!item.Temp.empty()) rollback.Add(item.Temp);
      if (job.stop) continue;
      if (listed.size() >= cap) {
        ++result.LeftOut;
        continue;
      }
      if (item.State == TItemState::Ok) {
        listed.push_back(&item);
      } else if (item.State == TItemState::Undecodable) {
        ++result.Undecodable;
        Say(progress, "warning: " + item.Source.string() + ": " + item.Error + ", skipped");
      }
    }
    pos = end;
  }
  progress.End();
  result.LeftOut += items.size() - pos;

  if (job.stop) {
    for (const TItem& item : items)
      if (item.State == TItemState::WriteFailed) {
        Say(progress, "cannot write into library folder " + library.string() + ": " + item.Error);
        break;
      }
    rollback.Undo();
    return result;
  }
  if (listed.empty()) {
    Say(progress, "no picture in " + source.string() + " could be decoded");
    rollback.Undo();
    return result;
  }

  // ---- Final names, in scan order, then the two library files.
  try {
    std::vector<std::string> names;
    names.reserve(listed.size());
    if (o.Link) {
      for (const TItem* item : listed) names.push_back(item->Source.string());
    } else {
      std::unordered_set<std::string> taken;
      for (const TItem* item : listed) {
        names.push_back(UniqueCopyName(item->Source, taken));
        const fs::path target = library / names.back();
        if (fs::exists(target)) throw fs::filesystem_error("a file appeared in the library folder", target,
                                                           std::make_error_code(std::errc::file_exists));
        fs::rename(item->Temp, target);
        rollback.Forget(item->Temp);
        rollback.Add(target);
      }
      // Temporaries of pictures past the limit.
      for (const TItem& item : items)
        if (!item.Temp.empty() && fs::exists(item.Temp, ec)) fs::remove(item.Temp, ec);
    }
    const bool hadList = fs::exists(library / kFileListFileName, ec);
    const bool hadCfg = fs::exists(library / kLibCfgFileName, ec);
    if (!hadList) rollback.Add(library / kFileListFileName);
    if (!hadCfg) rollback.Add(library / kLibCfgFileName);
    WriteLibraryFiles(o, library, result.Name, listed, names);
  } catch (const std::exception& e) {
    Say(progress, "cannot write into library folder " + library.string() + ": " + e.what());
    rollback.Undo();
    return result;
  }
  result.Pictures = listed.size();
  result.Status = TLibToolStatus::Ok;
  return result;
}

}  // namespace tessaro::libtool
