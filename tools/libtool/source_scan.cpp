#include "source_scan.h"

#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <system_error>

#include "library/library_internal.h"

namespace tessaro::libtool {

namespace fs = std::filesystem;

std::optional<TFolderId> FolderIdOf(const fs::path& folder) {
  struct stat st{};
  if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return std::nullopt;
  return TFolderId{st.st_dev, st.st_ino};
}

namespace {

struct Entry {
  std::string name;
  bool isFolder = false;
};

struct Frame {
  fs::path folder;
  std::vector<Entry> entries;
  std::size_t next = 0;
};

// The entries of folder in name order; false when it was entered before or cannot
// be read (then recorded as unreadable).
bool OpenFolder(const fs::path& folder, TSourceScan& scan, Frame& frame) {
  const std::optional<TFolderId> id = FolderIdOf(folder);
  if (!id) {
    scan.UnreadableFolders.push_back(folder);
    return false;
  }
  if (!scan.Folders.insert(*id).second) return false;

  frame.folder = folder;
  frame.entries.clear();
  frame.next = 0;
  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  for (const fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
    std::error_code sec;
    // status follows links: a link to a folder is a folder, a broken link is a file
    // that no picture test accepts.
    const fs::file_status status = it->status(sec);
    frame.entries.push_back({it->path().filename().string(), !sec && fs::is_directory(status)});
  }
  if (ec) scan.UnreadableFolders.push_back(folder);
  std::sort(frame.entries.begin(), frame.entries.end(), [](const Entry& a, const Entry& b) {
    return libinternal::NameLess(a.name, b.name);
  });
  return true;
}

}  // namespace

TSourceScan ScanSource(const fs::path& root, bool recurse,
                       const std::function<void(std::size_t)>& onFolder) {
  TSourceScan scan;
  // An explicit stack rather than recursion: a deep tree cannot exhaust the stack.
  std::vector<Frame> stack(1);
  if (!OpenFolder(root, scan, stack.back())) return scan;
  while (!stack.empty()) {
    Frame& top = stack.back();
    if (top.next == top.entries.size()) {
      stack.pop_back();
      if (onFolder) onFolder(scan.Files.size());
      continue;
    }
    const Entry& e = top.entries[top.next++];
    fs::path path = top.folder / e.name;
    if (!e.isFolder) {
      scan.Files.push_back(std::move(path));
    } else if (recurse) {
      Frame sub;
      if (OpenFolder(path, scan, sub)) stack.push_back(std::move(sub));  // top is stale now
    }
  }
  return scan;
}

}  // namespace tessaro::libtool
