// Helpers shared by the library unit's files; not part of its interface.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tessaro {
class TFileListGrid;
}

namespace tessaro::libinternal {

// Folder entries in name order: ASCII letters without regard to case, ties broken
// byte by byte, so the order is total and the same everywhere.
bool NameLess(std::string_view a, std::string_view b);

// "File contains no data or corrupt file <name>" / "Cannot open file <name>".
std::string CorruptFileText(const std::filesystem::path& file);
std::string CannotOpenText(const std::filesystem::path& file);

// Lines of text ended by LF or CR LF (a last line without an end counts; a UTF-8 byte
// order mark is dropped), passed one at a time without their end.
template <class F>
void ForEachLine(std::string_view text, F&& f) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  while (!text.empty()) {
    const std::size_t nl = text.find('\n');
    std::string_view line = text.substr(0, nl);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    f(line);
    if (nl == std::string_view::npos) break;
    text.remove_prefix(nl + 1);
  }
}

// The panels' library grid: cleared to the header row "File Name", "Size", "Type"
// (three columns, two rows), then "<library>/filelist.lst" loaded when it exists.
void ResetLibraryGrid(TFileListGrid& grid);
void LoadLibraryGrid(const std::filesystem::path& library, TFileListGrid& grid);

// Regular file or link to one; never blocks on special files.
bool IsRegularFile(const std::filesystem::path& file);

}  // namespace tessaro::libinternal
