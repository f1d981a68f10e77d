#include "core/inifile.h"

#include <charconv>
#include <cmath>
#include <system_error>

#include "core/file_io.h"

namespace tessaro {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

char FoldChar(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

std::string Fold(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = FoldChar(c);
  return out;
}

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (FoldChar(a[i]) != FoldChar(b[i])) return false;
  return true;
}

// A line break inside a name or value would split it into lines of its own on the
// next read (and could forge sections); blanks keep the file's structure.
std::string OneLine(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c == '\r' || c == '\n') c = ' ';
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

bool ParseIniInteger(std::string_view text, std::int32_t& value) {
  std::string_view s = Trim(text);
  bool negative = false;
  if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  std::int64_t v = 0;
  if (!s.empty() && (s.front() == '$' || (s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')))) {
    s.remove_prefix(s.front() == '$' ? 1 : 2);
    if (s.empty()) return false;
    std::uint64_t bits = 0;
    for (char c : s) {
      const int d = HexDigit(c);
      if (d < 0) return false;
      bits = (bits << 4) | std::uint64_t(d);
      if (bits > 0xFFFFFFFFull) return false;
    }
    // A 32-bit pattern, as colours are written: $FFFFFFFF is -1.
    v = std::int32_t(std::uint32_t(bits));
  } else {
    if (s.empty()) return false;
    for (char c : s) {
      if (c < '0' || c > '9') return false;
      v = v * 10 + (c - '0');
      if (v > std::int64_t(INT32_MAX) + 1) return false;
    }
  }
  if (negative) v = -v;
  if (v < INT32_MIN || v > INT32_MAX) return false;
  value = std::int32_t(v);
  return true;
}

bool ParseIniFloat(std::string_view text, double& value) {
  std::string s(Trim(text));
  if (!s.empty() && s.front() == '+') s.erase(0, 1);
  if (s.empty()) return false;
  // Only digits, one separator, sign and exponent; this also keeps out the "inf",
  // "nan" and hexadecimal forms that from_chars would take.
  int separators = 0;
  for (char& c : s) {
    if (c == ',') c = '.';
    if (c == '.') ++separators;
    const bool ok = (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E';
    if (!ok) return false;
  }
  if (separators > 1) return false;
  double v = 0;
  const char* first = s.data();
  const char* last = s.data() + s.size();
  const auto r = std::from_chars(first, last, v, std::chars_format::general);
  if (r.ec != std::errc() || r.ptr != last || !std::isfinite(v)) return false;
  value = v;
  return true;
}

TMemIniFile::TMemIniFile(std::filesystem::path fileName) : fileName_(std::move(fileName)) {
  std::string text;
  if (ReadFileBounded(fileName_, kMaxFileSize, text) == TReadResult::Ok) SetText(text);
}

std::optional<TMemIniFile> TMemIniFile::Open(const std::filesystem::path& fileName) {
  std::string text;
  if (ReadFileBounded(fileName, kMaxFileSize, text) != TReadResult::Ok) return std::nullopt;
  TMemIniFile ini;
  ini.fileName_ = fileName;
  ini.SetText(text);
  return ini;
}

void TMemIniFile::Clear() {
  preamble_.clear();
  sections_.clear();
  index_.clear();
}

void TMemIniFile::SetText(std::string_view text) {
  Clear();
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);

  TSection* current = nullptr;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view raw = text.substr(pos, end - pos);
    pos = end;
    if (pos < text.size()) {
      // CR LF, LF or a lone CR ends the line.
      if (text[pos] == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n') ++pos;
      ++pos;
    }

    const std::string_view line = Trim(raw);
    if (line.empty()) continue;
    if (line.front() == '[' && line.back() == ']' && line.size() >= 2) {
      const std::string_view name = Trim(line.substr(1, line.size() - 2));
      current = FindSection(name);
      if (!current) {
        sections_.push_back(TSection{std::string(name), {}});
        index_.emplace(Fold(name), sections_.size() - 1);
        current = &sections_.back();
      }
      continue;
    }
    TLine entry;
    const std::size_t eq = line.find('=');
    if (line.front() != ';' && eq != std::string_view::npos) {
      entry.IsKey = true;
      entry.Key = std::string(Trim(line.substr(0, eq)));
      entry.Value = std::string(Trim(line.substr(eq + 1)));
    } else {
      entry.Value = std::string(line);
    }
    if (current)
      current->Lines.push_back(std::move(entry));
    else
      preamble_.push_back(std::string(line));
  }
}

std::string TMemIniFile::GetText() const {
  std::string out;
  for (const auto& line : preamble_) out.append(line).append("\r\n");
  for (const auto& section : sections_) {
    out.append("[").append(section.Name).append("]\r\n");
    for (const auto& line : section.Lines) {
      if (line.IsKey) out.append(line.Key).append("=");
      out.append(line.Value).append("\r\n");
    }
    out.append("\r\n");
  }
  // The reader skips one leading byte order mark; content that itself starts with one
  // (a kept first line) gets a mark of its own, so the line reads back unchanged.
  if (out.compare(0, 3, "\xEF\xBB\xBF") == 0) out.insert(0, "\xEF\xBB\xBF");
  return out;
}

void TMemIniFile::UpdateFile() const {
  if (fileName_.empty())
    throw std::filesystem::filesystem_error("INI file has no name",
                                            std::make_error_code(std::errc::invalid_argument));
  WriteFileAtomically(fileName_, GetText());
}

void TMemIniFile::RebuildIndex() {
  index_.clear();
  for (std::size_t i = 0; i < sections_.size(); ++i) index_.emplace(Fold(sections_[i].Name), i);
}

const TMemIniFile::TSection* TMemIniFile::FindSection(std::string_view name) const {
  const auto it = index_.find(Fold(Trim(name)));
  return it == index_.end() ? nullptr : &sections_[it->second];
}

TMemIniFile::TSection* TMemIniFile::FindSection(std::string_view name) {
  const auto it = index_.find(Fold(Trim(name)));
  return it == index_.end() ? nullptr : &sections_[it->second];
}

TMemIniFile::TSection& TMemIniFile::SectionForWrite(std::string_view name) {
  const std::string clean = OneLine(Trim(name));
  if (TSection* s = FindSection(clean)) return *s;
  sections_.push_back(TSection{clean, {}});
  index_.emplace(Fold(clean), sections_.size() - 1);
  return sections_.back();
}

const TMemIniFile::TLine* TMemIniFile::FindKey(std::string_view section, std::string_view key) const {
  const TSection* s = FindSection(section);
  if (!s) return nullptr;
  const std::string_view k = Trim(key);
  for (const auto& line : s->Lines)
    if (line.IsKey && SameText(line.Key, k)) return &line;
  return nullptr;
}

std::string TMemIniFile::ReadString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue) const {
  const TLine* line = FindKey(section, key);
  return line ? line->Value : std::string(defaultValue);
}

std::int32_t TMemIniFile::ReadInteger(std::string_view section, std::string_view key,
                                      std::int32_t defaultValue) const {
  const TLine* line = FindKey(section, key);
  std::int32_t v = 0;
  return line && ParseIniInteger(line->Value, v) ? v : defaultValue;
}

double TMemIniFile::ReadFloat(std::string_view section, std::string_view key,
                              double defaultValue) const {
  const TLine* line = FindKey(section, key);
  double v = 0;
  return line && ParseIniFloat(line->Value, v) ? v : defaultValue;
}

bool TMemIniFile::ReadBool(std::string_view section, std::string_view key, bool defaultValue) const {
  return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void TMemIniFile::WriteString(std::string_view section, std::string_view key,
                              std::string_view value) {
  TSection& s = SectionForWrite(section);
  const std::string k = OneLine(Trim(key));
  for (auto& line : s.Lines)
    if (line.IsKey && SameText(line.Key, k)) {
      line.Value = OneLine(value);
      return;
    }
  s.Lines.push_back(TLine{true, k, OneLine(value)});
}

void TMemIniFile::WriteInteger(std::string_view section, std::string_view key, std::int32_t value) {
  WriteString(section, key, std::to_string(value));
}

void TMemIniFile::WriteFloat(std::string_view section, std::string_view key, double value) {
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, value);
  WriteString(section, key, std::string_view(buf, std::size_t(r.ptr - buf)));
}

void TMemIniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

bool TMemIniFile::SectionExists(std::string_view section) const {
  return FindSection(section) != nullptr;
}

bool TMemIniFile::ValueExists(std::string_view section, std::string_view key) const {
  return FindKey(section, key) != nullptr;
}

std::vector<std::string> TMemIniFile::ReadSection(std::string_view section) const {
  std::vector<std::string> keys;
  if (const TSection* s = FindSection(section))
    for (const auto& line : s->Lines)
      if (line.IsKey) keys.push_back(line.Key);
  return keys;
}

std::vector<std::string> TMemIniFile::ReadSections() const {
  std::vector<std::string> names;
  names.reserve(sections_.size());
  for (const auto& s : sections_) names.push_back(s.Name);
  return names;
}

void TMemIniFile::EraseSection(std::string_view section) {
  const auto it = index_.find(Fold(Trim(section)));
  if (it == index_.end()) return;
  sections_.erase(sections_.begin() + std::ptrdiff_t(it->second));
  RebuildIndex();
}

void TMemIniFile::DeleteKey(std::string_view section, std::string_view key) {
  TSection* s = FindSection(section);
  if (!s) return;
  const std::string_view k = Trim(key);
  std::erase_if(s->Lines, [&](const TLine& line) { return line.IsKey && SameText(line.Key, k); });
}

}  // namespace tessaro
