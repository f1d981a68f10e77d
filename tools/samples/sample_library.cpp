#include "sample_library.h"

#include <atomic>
#include <exception>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>

#include "core/inifile.h"
#include "image/jpeg_codec.h"
#include "library/TsPhotoLib.h"
#include "scenes.h"

namespace tessaro::samples {

namespace fs = std::filesystem;

namespace {

const char* Prefix(LibraryKind kind) { return kind == LibraryKind::Photos ? "photo-" : "tile-"; }

std::string Numbered(int number, int digits) {
  std::string s = std::to_string(number);
  if (int(s.size()) < digits) s.insert(0, std::size_t(digits) - s.size(), '0');
  return s;
}

int Digits(int n, int least) {
  int d = 1;
  for (int v = n; v >= 10; v /= 10) ++d;
  return std::max(d, least);
}

void SaveJpegOrThrow(const Picture& picture, const fs::path& file, int quality) {
  try {
    SaveJpeg(ToBitmap(picture), file, quality, false);
  } catch (const TPictureError& e) {
    throw std::runtime_error(file.string() + ": " + e.what());
  }
}

// Removes earlier pictures of this kind that the new list does not name; nothing
// else in the folder is touched.
void RemoveStalePictures(const fs::path& folder, LibraryKind kind, const std::vector<std::string>& names) {
  const std::set<std::string> keep(names.begin(), names.end());
  const std::string prefix = Prefix(kind);
  std::vector<fs::path> stale;
  for (const fs::directory_entry& e : fs::directory_iterator(folder)) {
    const std::string name = e.path().filename().string();
    if (e.is_regular_file() && name.rfind(prefix, 0) == 0 && e.path().extension() == ".jpg" && !keep.count(name))
      stale.push_back(e.path());
  }
  for (const fs::path& p : stale) fs::remove(p);
}

void WriteLibraryFiles(const LibraryJob& job, const std::vector<std::string>& names) {
  TFileListGrid grid;
  grid.SetColCount(3);
  grid.SetRowCount(int(names.size()) + 2);
  grid.SetCell(0, 0, "File Name");
  grid.SetCell(1, 0, "Size");
  grid.SetCell(2, 0, "Type");
  for (std::size_t i = 0; i < names.size(); ++i) {
    const int row = int(i) + 1;
    grid.SetCell(0, row, names[i]);
    grid.SetCell(1, row, std::to_string(fs::file_size(job.folder / names[i])));
    grid.SetCell(2, row, "JPG");
  }
  SaveFileListGrid(grid, job.folder / kFileListFileName);

  TMemIniFile cfg(job.folder / kLibCfgFileName);
  cfg.Clear();
  cfg.WriteString(kLibCfgSection, "colname", job.title);
  cfg.WriteInteger(kLibCfgSection, "coltype", job.kind == LibraryKind::Photos ? kPhotoLibraryType : kTileLibraryType);
  cfg.WriteInteger(kLibCfgSection, "PhotoCount", std::int32_t(names.size()));
  cfg.WriteInteger(kLibCfgSection, "PathType", 1);
  cfg.WriteString(kLibCfgSection, "Path", fs::absolute(job.folder).lexically_normal().string());
  cfg.WriteString(kLibCfgSection, "CharFont", "NOFONT");
  cfg.UpdateFile();
}

}  // namespace

std::vector<std::string> PictureNames(LibraryKind kind, int count) {
  std::vector<std::string> names;
  names.reserve(std::size_t(std::max(count, 0)));
  if (kind == LibraryKind::Photos) {
    const int digits = Digits(count, 4);
    for (int i = 0; i < count; ++i) names.push_back("photo-" + Numbered(i + 1, digits) + ".jpg");
  } else {
    const int digits = Digits(count, 3);
    for (int i = 0; i < count; ++i) names.push_back("tile-" + Numbered(i + 1, digits) + "-" + TileName(i) + ".jpg");
  }
  return names;
}

void WriteBatch(const Batch& batch) {
  // One task per picture: the demo first (the largest), then the libraries in order.
  struct Task {
    int library;  // -1: the demo
    int index;
  };
  std::vector<Task> tasks;
  std::vector<std::vector<std::string>> names;
  if (batch.demo) {
    fs::create_directories(batch.demo->file.parent_path().empty() ? fs::path(".") : batch.demo->file.parent_path());
    tasks.push_back({-1, 0});
  }
  for (std::size_t l = 0; l < batch.libraries.size(); ++l) {
    const LibraryJob& job = batch.libraries[l];
    fs::create_directories(job.folder);
    names.push_back(PictureNames(job.kind, job.count));
    RemoveStalePictures(job.folder, job.kind, names.back());
    for (int i = 0; i < job.count; ++i) tasks.push_back({int(l), i});
  }

  std::atomic<std::size_t> next{0};
  std::atomic<bool> failed{false};
  std::exception_ptr error;
  std::mutex errorMutex;
  auto work = [&] {
    for (;;) {
      const std::size_t t = next.fetch_add(1);
      if (t >= tasks.size() || failed) return;
      try {
        const Task& task = tasks[t];
        if (task.library < 0) {
          const DemoJob& d = *batch.demo;
          SaveJpegOrThrow(MakeDemo(d.width, d.height, batch.seed), d.file, d.quality);
          continue;
        }
        const LibraryJob& job = batch.libraries[std::size_t(task.library)];
        const fs::path file = job.folder / names[std::size_t(task.library)][std::size_t(task.index)];
        Picture picture;
        if (job.kind == LibraryKind::Photos) {
          int w = job.width, h = job.height;
          if (w <= 0 || h <= 0) {
            const bool upright = PhotoIsPortrait(batch.seed, task.index);
            w = upright ? kPhotoHeight : kPhotoWidth;
            h = upright ? kPhotoWidth : kPhotoHeight;
          }
          picture = MakePhoto(w, h, batch.seed, task.index);
        } else {
          const int w = job.width > 0 ? job.width : kTileSize, h = job.height > 0 ? job.height : kTileSize;
          picture = MakeTile(w, h, batch.seed, task.index);
        }
        SaveJpegOrThrow(picture, file, job.quality);
      } catch (...) {
        std::lock_guard<std::mutex> lock(errorMutex);
        if (!error) error = std::current_exception();
        failed = true;
        return;
      }
    }
  };
  std::vector<std::thread> pool;
  for (int i = 1; i < batch.threads; ++i) {
    try {
      pool.emplace_back(work);
    } catch (const std::system_error&) {
      break;  // fewer threads: the rest of the work runs on the ones we have
    }
  }
  work();
  for (std::thread& t : pool) t.join();
  if (error) std::rethrow_exception(error);

  for (std::size_t l = 0; l < batch.libraries.size(); ++l) WriteLibraryFiles(batch.libraries[l], names[l]);
}

}  // namespace tessaro::samples
