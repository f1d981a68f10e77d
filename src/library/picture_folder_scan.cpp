// Folder scans for own pictures and the own-list limit.
#include <sys/stat.h>

#include <algorithm>
#include <set>
#include <system_error>
#include <utility>

#include "library/TsPhotoLib.h"
#include "library/library_internal.h"

namespace tessaro {

namespace {

bool IsPictureExtension(const std::string& name) {
  // The extension is what follows the last dot, as users of the original platform
  // know it (so ".jpg" alone is a JPG file, unlike std::filesystem's reading).
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos || name.size() - dot != 4) return false;
  std::string ext = name.substr(dot);
  for (char& c : ext)
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  return ext == ".JPG" || ext == ".BMP" || ext == ".GIF";
}

struct Entry {
  std::string name;
  bool isFolder = false;
};

struct Frame {
  std::filesystem::path folder;
  std::vector<Entry> entries;
  std::size_t next = 0;
};

using FolderId = std::pair<dev_t, ino_t>;

// Entries of folder in name order, or nothing when it was visited before (through a
// link) or cannot be read.
bool OpenFolder(const std::filesystem::path& folder, std::set<FolderId>& visited, Frame& frame) {
  struct stat st{};
  if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  if (!visited.insert({st.st_dev, st.st_ino}).second) return false;

  frame.folder = folder;
  frame.entries.clear();
  frame.next = 0;
  std::error_code ec;
  std::filesystem::directory_iterator it(folder, std::filesystem::directory_options::skip_permission_denied, ec);
  for (const std::filesystem::directory_iterator end; !ec && it != end; it.increment(ec)) {
    std::error_code sec;
    // status follows links; a broken link or a special file (a FIFO would block the
    // picture loader) is neither a folder nor a picture.
    const auto status = it->status(sec);
    if (sec) continue;
    Entry e{it->path().filename().string(), std::filesystem::is_directory(status)};
    if (e.isFolder || (std::filesystem::is_regular_file(status) && IsPictureExtension(e.name)))
      frame.entries.push_back(std::move(e));
  }
  std::sort(frame.entries.begin(), frame.entries.end(),
            [](const Entry& a, const Entry& b) { return libinternal::NameLess(a.name, b.name); });
  return true;
}

}  // namespace

void ScanPictureFolder(const std::filesystem::path& folder, std::vector<std::string>& list,
                       bool recurse, std::size_t limit) {
  // An explicit stack rather than recursion: a deep tree cannot exhaust the stack.
  std::set<FolderId> visited;
  std::vector<Frame> stack(1);
  if (!OpenFolder(folder, visited, stack.back())) return;
  while (!stack.empty() && list.size() < limit) {
    Frame& top = stack.back();
    if (top.next == top.entries.size()) {
      stack.pop_back();
      continue;
    }
    const Entry& e = top.entries[top.next++];
    const std::filesystem::path path = top.folder / e.name;
    if (!e.isFolder) {
      list.push_back(path.string());
    } else if (recurse) {
      Frame sub;
      if (OpenFolder(path, visited, sub)) stack.push_back(std::move(sub));  // top is stale now
    }
  }
}

void TruncateOwnPictureList(std::vector<std::string>& list) {
  if (list.size() > kMaxProjectPictures) list.resize(kMaxProjectPictures);
}

void AddPictureFolder(std::vector<std::string>& list, const std::filesystem::path& folder,
                      bool recurse) {
  ScanPictureFolder(folder, list, recurse, kMaxProjectPictures);
  TruncateOwnPictureList(list);
}

void AddPictureFiles(std::vector<std::string>& list, const std::vector<std::string>& files) {
  for (const std::string& f : files) {
    if (list.size() >= kMaxProjectPictures) break;
    list.push_back(f);
  }
  TruncateOwnPictureList(list);
}

}  // namespace tessaro
