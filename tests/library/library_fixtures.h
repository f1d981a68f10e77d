// Fixtures of the library tests, made at test time: scratch folders, library folders
// with their "libcfg.cfg" and "filelist.lst", tiny BMP and JPEG pictures, and a
// progress display that records what it is told.
#pragma once

#include "support/temp_dir.h"
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/job_progress.h"
#include "image/bitmap32.h"
#include "image/bmp_codec.h"
#include "image/jpeg_codec.h"

namespace tessaro::libtest {

namespace fs = std::filesystem;

using ScratchDir = testing_support::TempDir;

inline void WriteText(const fs::path& file, const std::string& text) {
  fs::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(text.data(), std::streamsize(text.size()));
  if (!out) throw std::runtime_error("cannot write " + file.string());
}

inline std::string ReadText(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// prefix + i + suffix, built by appending (GCC 12 warns falsely on "p" + to_string(i)).
inline std::string NumberedName(const char* prefix, int i, const char* suffix) {
  std::string s = prefix;
  s += std::to_string(i);
  s += suffix;
  return s;
}

// "libcfg.cfg" text with the given keys.
inline std::string LibCfgText(int coltype, int photoCount, int pathType, const std::string& path) {
  return "[LibCFG07]\r\ncolname=Test\r\ncoltype=" + std::to_string(coltype) +
         "\r\nPhotoCount=" + std::to_string(photoCount) + "\r\nPathType=" +
         std::to_string(pathType) + "\r\nPath=" + path + "\r\nCharFont=NOFONT\r\n";
}

// "filelist.lst" text as the library tool writes it: header row, one row per name,
// and the row count one above the pictures and header.
inline std::string FileListText(const std::vector<std::string>& names) {
  std::string s = "3," + std::to_string(names.size() + 2) + "\r\ncw 0,200\r\n";
  s += "0,0,File Name\r\n1,0,Size\r\n2,0,Type\r\n";
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::string row = std::to_string(i + 1);
    s += "0," + row + "," + names[i] + "\r\n1," + row + ",1234\r\n2," + row + ",JPG\r\n";
  }
  return s;
}

inline TBitmap32 Solid(int w, int h, TColor32 c) {
  TBitmap32 b(w, h);
  b.Clear(c);
  return b;
}

inline void WriteBmp(const fs::path& file, const TBitmap32& b) {
  fs::create_directories(file.parent_path());
  SaveBmp32(b, file, 2835);
}

inline void WriteJpeg(const fs::path& file, const TBitmap32& b, int quality = 90) {
  fs::create_directories(file.parent_path());
  SaveJpeg(b, file, quality, false);
}

// A deterministic picture with structure in every grid cell.
inline TBitmap32 Pattern(int w, int h, int seed) {
  TBitmap32 b(w, h);
  for (int y = 0; y < h; ++y) {
    TColor32* row = b.ScanLine(y);
    for (int x = 0; x < w; ++x)
      row[x] = Color32(std::uint8_t(x * 37 + seed * 11), std::uint8_t(y * 53 + seed * 29),
                       std::uint8_t((x ^ y) * 17 + seed * 7));
  }
  return b;
}

class RecordingProgress : public IJobProgress {
 public:
  void SetDetail(const std::string& text) override { details.push_back(text); }
  void SetPercent(int percent) override { percents.push_back(percent); }
  void ProcessMessages() override { ++pumps; }
  std::vector<std::string> details;
  std::vector<int> percents;
  int pumps = 0;
};

}  // namespace tessaro::libtest
