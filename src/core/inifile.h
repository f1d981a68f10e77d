// TMemIniFile: an INI file held whole in memory, read whole and written whole.
//
// Text form: "[section]" lines, then "key=value" lines. On reading, lines end with
// CR LF, LF or CR; a UTF-8 byte order mark is skipped; blanks around section names,
// keys and values are dropped; blank lines are dropped; any other line (a ";" comment,
// a line without "=", text before the first section) is kept as it is and written
// back in its place, so a file round-trips without losing what it does not use.
// A section that appears twice is one section (the later lines join the first).
// Writing produces CR LF line ends, no byte order mark, and a blank line after each
// section, through a temporary file renamed over the target.
//
// Section names and keys match without regard to ASCII case; a write to an existing
// key keeps the key's spelling and position, a new key goes to the end of its
// section, a new section to the end of the file. When a key occurs twice in a
// section, the first one is read and written.
//
// Numbers: ReadInteger takes optional blanks, an optional sign and either decimal
// digits or hexadecimal digits after "$" or "0x" (up to 8, read as a 32-bit pattern,
// so "$FFFFFFFF" is -1); ReadFloat takes a decimal number with "." or "," as the
// separator and an optional exponent. Anything else, including an out-of-range value,
// a NaN or an infinity, gives the default. ReadBool is ReadInteger(...) != 0.
//
// A write keeps the file's structure intact: CR and LF in a section name, key or
// value are replaced by blanks, so no value can start a new line of its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tessaro {

class TMemIniFile {
 public:
  // Files larger than this are refused rather than read.
  static constexpr std::size_t kMaxFileSize = std::size_t(64) << 20;

  TMemIniFile() = default;
  // Reads fileName when it exists and is readable; otherwise starts empty. Either way
  // UpdateFile writes to fileName.
  explicit TMemIniFile(std::filesystem::path fileName);

  // The file read into memory, or nothing when it is missing, unreadable or too large.
  static std::optional<TMemIniFile> Open(const std::filesystem::path& fileName);

  const std::filesystem::path& FileName() const { return fileName_; }
  void SetFileName(std::filesystem::path fileName) { fileName_ = std::move(fileName); }

  // Replaces the content by the parsed text / gives the content as written to disk.
  void SetText(std::string_view text);
  std::string GetText() const;
  void Clear();

  // Writes the whole content to FileName. Raises std::filesystem::filesystem_error
  // when the file cannot be written (or no file name is set).
  void UpdateFile() const;

  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view defaultValue) const;
  std::int32_t ReadInteger(std::string_view section, std::string_view key,
                           std::int32_t defaultValue) const;
  double ReadFloat(std::string_view section, std::string_view key, double defaultValue) const;
  bool ReadBool(std::string_view section, std::string_view key, bool defaultValue) const;

  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, std::int32_t value);
  void WriteFloat(std::string_view section, std::string_view key, double value);
  void WriteBool(std::string_view section, std::string_view key, bool value);

  bool SectionExists(std::string_view section) const;
  bool ValueExists(std::string_view section, std::string_view key) const;
  // Keys of a section in file order; empty for a missing section.
  std::vector<std::string> ReadSection(std::string_view section) const;
  std::vector<std::string> ReadSections() const;
  void EraseSection(std::string_view section);
  // Removes every occurrence of key in section.
  void DeleteKey(std::string_view section, std::string_view key);

 private:
  struct TLine {
    bool IsKey = false;  // false: kept verbatim in Value
    std::string Key;
    std::string Value;
  };
  struct TSection {
    std::string Name;
    std::vector<TLine> Lines;
  };

  const TSection* FindSection(std::string_view name) const;
  TSection* FindSection(std::string_view name);
  TSection& SectionForWrite(std::string_view name);
  const TLine* FindKey(std::string_view section, std::string_view key) const;
  void RebuildIndex();

  std::filesystem::path fileName_;
  std::vector<std::string> preamble_;  // lines before the first section
  std::vector<TSection> sections_;
  std::unordered_map<std::string, std::size_t> index_;  // folded name -> sections_
};

// The number parsers of ReadInteger and ReadFloat; false when text does not parse.
bool ParseIniInteger(std::string_view text, std::int32_t& value);
bool ParseIniFloat(std::string_view text, double& value);

}  // namespace tessaro
