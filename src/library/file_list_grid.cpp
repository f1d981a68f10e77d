// The grid text format of "filelist.lst", and the helpers the unit's files share.
#include <algorithm>
#include <cctype>
#include <charconv>
#include <system_error>

#include "core/file_io.h"
#include "library/TsPhotoLib.h"
#include "library/library_internal.h"

namespace tessaro {

namespace libinternal {

bool NameLess(std::string_view a, std::string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const int ca = std::tolower(static_cast<unsigned char>(a[i]));
    const int cb = std::tolower(static_cast<unsigned char>(b[i]));
    if (ca != cb) return ca < cb;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

std::string CorruptFileText(const std::filesystem::path& file) {
  return "File contains no data or corrupt file " + file.string();
}

std::string CannotOpenText(const std::filesystem::path& file) {
  return "Cannot open file " + file.string();
}

bool IsRegularFile(const std::filesystem::path& file) {
  std::error_code ec;
  return std::filesystem::is_regular_file(file, ec);
}

}  // namespace libinternal

using libinternal::CannotOpenText;
using libinternal::CorruptFileText;

void TFileListGrid::SetColCount(int n) {
  n = std::clamp(n, 0, kMaxColCount);
  if (n < colCount_) std::erase_if(cells_, [n](const auto& c) { return int(c.first & 0xFFFFFFFFu) >= n; });
  colCount_ = n;
}

void TFileListGrid::SetRowCount(int n) {
  n = std::clamp(n, 0, kMaxRowCount);
  if (n < rowCount_) cells_.erase(cells_.lower_bound(Key(0, n)), cells_.end());
  rowCount_ = n;
}

const std::string& TFileListGrid::Cell(int col, int row) const {
  static const std::string empty;
  if (col < 0 || row < 0 || col >= colCount_ || row >= rowCount_) return empty;
  const auto it = cells_.find(Key(col, row));
  return it == cells_.end() ? empty : it->second;
}

void TFileListGrid::SetCell(int col, int row, std::string text) {
  if (col < 0 || row < 0 || col >= colCount_ || row >= rowCount_) return;
  if (text.empty())
    cells_.erase(Key(col, row));
  else
    cells_[Key(col, row)] = std::move(text);
}

namespace {

// Optional blanks, an optional sign and decimal digits, then optional blanks. Values
// beyond 32 bits saturate: they lie outside every grid either way.
bool ParseCount(std::string_view s, std::int64_t& value) {
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  bool negative = false;
  if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  if (s.empty()) return false;
  std::int64_t v = 0;
  for (const char c : s) {
    if (c < '0' || c > '9') return false;
    v = std::min<std::int64_t>(v * 10 + (c - '0'), std::int64_t(1) << 40);
  }
  value = negative ? -v : v;
  return true;
}

}  // namespace

void LoadFileListGrid(TFileListGrid& grid, const std::filesystem::path& file) {
  std::string text;
  switch (ReadFileBounded(file, kMaxFileListBytes, text)) {
    case TReadResult::Ok: break;
    case TReadResult::TooLarge: throw TLibraryFileError(CorruptFileText(file));
    default: throw TLibraryFileError(CannotOpenText(file));
  }

  bool first = true;
  libinternal::ForEachLine(text, [&](std::string_view line) {
    if (first) {
      first = false;
      const std::size_t comma = line.find(',');
      std::int64_t cols = 0, rows = 0;
      if (comma == std::string_view::npos || !ParseCount(line.substr(0, comma), cols) ||
          !ParseCount(line.substr(comma + 1), rows) || cols <= 0 || rows <= 0)
        throw TLibraryFileError(CorruptFileText(file));
      grid.SetColCount(int(std::min<std::int64_t>(cols, TFileListGrid::kMaxColCount)));
      grid.SetRowCount(int(std::min<std::int64_t>(rows, TFileListGrid::kMaxRowCount)));
      return;
    }
    if (line.empty() || line.substr(0, 2) == "cw") return;
    const std::size_t c1 = line.find(',');
    const std::size_t c2 = c1 == std::string_view::npos ? c1 : line.find(',', c1 + 1);
    std::int64_t col = 0, row = 0;
    if (c2 == std::string_view::npos || !ParseCount(line.substr(0, c1), col) ||
        !ParseCount(line.substr(c1 + 1, c2 - c1 - 1), row))
      throw TLibraryFileError(CorruptFileText(file));
    if (col < 0 || row < 0 || col >= grid.ColCount() || row >= grid.RowCount()) return;
    grid.SetCell(int(col), int(row), std::string(line.substr(c2 + 1)));
  });
  if (first) throw TLibraryFileError(CorruptFileText(file));  // not even a first line
}

void SaveFileListGrid(const TFileListGrid& grid, const std::filesystem::path& file) {
  std::string out = std::to_string(grid.ColCount()) + "," + std::to_string(grid.RowCount()) + "\r\n";
  grid.ForEachCell([&](int col, int row, const std::string& text) {
    out += std::to_string(col);
    out += ',';
    out += std::to_string(row);
    out += ',';
    for (const char c : text) out += (c == '\r' || c == '\n') ? ' ' : c;
    out += "\r\n";
  });
  WriteFileAtomically(file, out);
}

}  // namespace tessaro
