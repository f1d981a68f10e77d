// Writing the sample data: library folders (pictures, "libcfg.cfg", "filelist.lst")
// and the demo main image. All pictures of one batch are painted by a pool of
// threads, each picture whole by one thread; every file is the same whatever the
// thread count, since a picture depends only on its seed, index and size.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tessaro::samples {

enum class LibraryKind { Photos, Tiles };

// coltype of each kind.
constexpr int kPhotoLibraryType = 0;
constexpr int kTileLibraryType = 30;

// Default sizes.
constexpr int kPhotoWidth = 320, kPhotoHeight = 240;
constexpr int kTileSize = 128;
constexpr int kDemoWidth = 1600, kDemoHeight = 1200;

struct LibraryJob {
  LibraryKind kind = LibraryKind::Photos;
  std::filesystem::path folder;  // the library folder, created when missing
  std::string title;             // colname
  int count = 0;
  // 0 x 0: the kind's default; photos then mix upright frames (the default size
  // turned) in among the wide ones. A size given is used for every picture.
  int width = 0, height = 0;
  int quality = 88;  // JPEG quality
};

struct DemoJob {
  std::filesystem::path file;
  int width = kDemoWidth, height = kDemoHeight;
  int quality = 92;
};

struct Batch {
  std::vector<LibraryJob> libraries;
  std::optional<DemoJob> demo;
  std::uint64_t seed = 1;
  int threads = 1;
};

// Per library: the pictures "photo-0001.jpg" ... or "tile-001-<glaze>-<surface>.jpg"
// ..., then "filelist.lst" (header "File Name", "Size", "Type"; one row per picture:
// its name, its size in bytes, "JPG"; row count = pictures + 2) and "libcfg.cfg"
// (section "LibCFG07": colname, coltype, PhotoCount, PathType 1, Path = the folder,
// CharFont "NOFONT"). Pictures of the same kind left in the folder by an earlier run
// and not listed now are removed first, so the folder holds exactly its list.
// Raises std::runtime_error or std::filesystem::filesystem_error naming what failed.
void WriteBatch(const Batch& batch);

// File names of a library's pictures, in list order.
std::vector<std::string> PictureNames(LibraryKind kind, int count);

}  // namespace tessaro::samples
