#include "core/curve_file.h"

#include <array>
#include <fstream>
#include <system_error>

#include "core/file_io.h"

namespace tessaro {

namespace {

std::int32_t GetLE32(const unsigned char* p) {
  return std::int32_t(std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) |
                      (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24));
}

void PutLE32(unsigned char* p, std::int32_t v) {
  const std::uint32_t u = std::uint32_t(v);
  p[0] = std::uint8_t(u);
  p[1] = std::uint8_t(u >> 8);
  p[2] = std::uint8_t(u >> 16);
  p[3] = std::uint8_t(u >> 24);
}

}  // namespace

bool ReadCurveFile(const std::filesystem::path& file, TCurvePoints& points) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec)) return false;
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;
  // Only the first 40 bytes count, however long the file is.
  std::array<char, kCurveFileSize> data{};
  in.read(data.data(), data.size());
  if (in.bad()) return false;
  const std::size_t whole = std::size_t(in.gcount()) / sizeof(TCurvePoint);
  const auto* p = reinterpret_cast<const unsigned char*>(data.data());
  for (std::size_t i = 0; i < whole; ++i) {
    points.P[i].X = GetLE32(p + 8 * i);
    points.P[i].Y = GetLE32(p + 8 * i + 4);
  }
  return true;
}

void WriteCurveFile(const std::filesystem::path& file, const TCurvePoints& points) {
  std::array<unsigned char, kCurveFileSize> bytes{};
  for (int i = 0; i < 5; ++i) {
    PutLE32(bytes.data() + 8 * i, points.P[i].X);
    PutLE32(bytes.data() + 8 * i + 4, points.P[i].Y);
  }
  WriteFileAtomically(file, bytes.data(), bytes.size());
}

std::filesystem::path CurveFolder(const std::filesystem::path& appDir) {
  return appDir / "config" / "enhance";
}

std::filesystem::path DefaultCurveFile(const std::filesystem::path& appDir, TCurveKind kind) {
  return CurveFolder(appDir) / (kind == ckEnhance ? "default.ehc" : "default.amc");
}

void LoadDefaultCurves(const std::filesystem::path& appDir, TCurvePoints& enhance,
                       TCurvePoints& alpha) {
  ReadCurveFile(DefaultCurveFile(appDir, ckEnhance), enhance);
  ReadCurveFile(DefaultCurveFile(appDir, ckAlpha), alpha);
}

}  // namespace tessaro
