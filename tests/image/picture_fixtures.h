// Picture file fixtures built at test time (no binary files in the tree): scratch
// folders, raw BMP files of any layout, and JPEG files written with libjpeg directly
// in colour spaces our encoder does not produce (greyscale, CMYK, YCCK).
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "image/bitmap32.h"

namespace tessaro::fixtures {

using Bytes = std::vector<std::uint8_t>;

// A fresh folder under the system's temporary folder, removed with its content.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::filesystem::path& Path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

void WriteBytes(const std::filesystem::path& file, const Bytes& bytes);
Bytes ReadBytes(const std::filesystem::path& file);
std::uint32_t Le32(const Bytes& b, std::size_t offset);
std::uint16_t Le16(const Bytes& b, std::size_t offset);
void SetLe32(Bytes& b, std::size_t offset, std::uint32_t v);
void SetLe16(Bytes& b, std::size_t offset, std::uint16_t v);

// Deterministic pictures: an opaque gradient of a few levels per pixel (what JPEG
// keeps well) and noise (every pixel different, for exact round trips).
TBitmap32 Gradient(int w, int h);
TBitmap32 Noise(int w, int h, std::uint64_t seed, bool opaque);
bool SamePixels(const TBitmap32& a, const TBitmap32& b);

// --- BMP --------------------------------------------------------------------------

struct BmpLayout {
  std::uint32_t headerSize = 40;  // 12, 40, 52, 56, 108, 124
  std::int32_t width = 0;
  std::int32_t height = 0;  // negative: top-down
  std::uint16_t bpp = 24;
  std::uint32_t compression = 0;
  std::vector<std::uint32_t> masks;  // after a 40-byte header, or inside a larger one
  std::vector<TColor32> palette;     // written as B, G, R, 0 (B, G, R for 12-byte headers)
  std::uint32_t colorsUsed = 0;
};

// Packs value(x, y) (a palette index, or the little-endian pixel value for 16, 24 and
// 32 bits) into rows padded to 4 bytes, in file order (bottom row first unless the
// height is negative).
Bytes PackRows(int width, int height, int bpp, const std::function<std::uint32_t(int, int)>& value);

// A complete BMP file: file header, information header, masks, palette, then data.
Bytes BuildBmp(const BmpLayout& layout, const Bytes& pixelData);

// --- JPEG -------------------------------------------------------------------------

struct JpegShape {
  int width = 0, height = 0;
  int inComponents = 3;     // 1 greyscale, 3 RGB, 4 CMYK
  int inColorSpace = 2;     // J_COLOR_SPACE of the samples (JCS_RGB)
  int jpegColorSpace = -1;  // J_COLOR_SPACE written, -1 for libjpeg's default
  bool adobeMarker = true;  // only matters for CMYK / YCCK
  int quality = 95;
  bool progressive = false;
};

// Writes interleaved samples (width * height * inComponents bytes, top row first).
void WriteJpeg(const std::filesystem::path& file, const JpegShape& shape, const Bytes& samples);

// Plain libjpeg decode to RGB (accurate DCT, fancy upsampling), the reference the
// decoder under test must match exactly. Empty on failure.
Bytes DecodeJpegRgb(const std::filesystem::path& file, int& width, int& height);

}  // namespace tessaro::fixtures
