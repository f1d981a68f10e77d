// The walk over the user's picture folder: every file in a stable order, and the
// identity of every folder the walk entered, so that the caller can tell whether a
// folder (the library being written) lies inside what was scanned.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <utility>
#include <vector>

namespace tessaro::libtool {

// A folder as the file system knows it (device, inode): the same for every path and
// link that leads to it.
using TFolderId = std::pair<dev_t, ino_t>;
std::optional<TFolderId> FolderIdOf(const std::filesystem::path& folder);

struct TSourceScan {
  // Every entry that is not a folder, as root / relative path: in each folder the
  // entries in name order (ASCII letters without regard to case, then byte by byte),
  // each sub-folder entered depth first where it is met.
  std::vector<std::filesystem::path> Files;
  std::set<TFolderId> Folders;  // every folder entered, the root included
  std::vector<std::filesystem::path> UnreadableFolders;
};

// Walks root (and with recurse its sub-folders, links to folders included; each
// folder once, so links that lead back up never loop). onFolder is told the number
// of files found so far after each folder.
TSourceScan ScanSource(const std::filesystem::path& root, bool recurse,
                       const std::function<void(std::size_t)>& onFolder = {});

}  // namespace tessaro::libtool
