#include <algorithm>
#include <csetjmp>
#include <cstdio>  // before jpeglib.h, which needs FILE and size_t
#include <fstream>
#include <random>
#include <stdexcept>

#include <jpeglib.h>

#include "core/random.h"
#include "picture_fixtures.h"

namespace tessaro::fixtures {

ScratchDir::ScratchDir() {
  static std::random_device rd;
  const auto base = std::filesystem::temp_directory_path();
  for (;;) {
    path_ = base / ("tessaro-pics-" + std::to_string(rd()));
    if (std::filesystem::create_directory(path_)) break;
  }
}

ScratchDir::~ScratchDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

void WriteBytes(const std::filesystem::path& file, const Bytes& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  if (!out) throw std::runtime_error("cannot write fixture " + file.string());
}

Bytes ReadBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::uint32_t Le32(const Bytes& b, std::size_t o) {
  return std::uint32_t(b.at(o)) | (std::uint32_t(b.at(o + 1)) << 8) |
         (std::uint32_t(b.at(o + 2)) << 16) | (std::uint32_t(b.at(o + 3)) << 24);
}
std::uint16_t Le16(const Bytes& b, std::size_t o) {
  return std::uint16_t(b.at(o) | (b.at(o + 1) << 8));
}
void SetLe32(Bytes& b, std::size_t o, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b.at(o + i) = std::uint8_t(v >> (8 * i));
}
void SetLe16(Bytes& b, std::size_t o, std::uint16_t v) {
  b.at(o) = std::uint8_t(v);
  b.at(o + 1) = std::uint8_t(v >> 8);
}

TBitmap32 Gradient(int w, int h) {
  TBitmap32 b(w, h);
  for (int y = 0; y < h; ++y) {
    TColor32* row = b.ScanLine(y);
    for (int x = 0; x < w; ++x)
      row[x] =
          Color32(std::uint8_t(std::min(255, 40 + 3 * x)), std::uint8_t(std::min(255, 30 + 4 * y)),
                  std::uint8_t(std::max(0, 200 - x - y)));
  }
  return b;
}

TBitmap32 Noise(int w, int h, std::uint64_t seed, bool opaque) {
  TBitmap32 b(w, h);
  TRandom rnd(seed);
  for (int y = 0; y < h; ++y) {
    TColor32* row = b.ScanLine(y);
    for (int x = 0; x < w; ++x) row[x] = rnd.Next32() | (opaque ? 0xFF000000u : 0u);
  }
  return b;
}

bool SamePixels(const TBitmap32& a, const TBitmap32& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
  for (int y = 0; y < a.Height(); ++y)
    if (!std::equal(a.ScanLine(y), a.ScanLine(y) + a.Width(), b.ScanLine(y))) return false;
  return true;
}

Bytes PackRows(int width, int height, int bpp,
               const std::function<std::uint32_t(int, int)>& value) {
  const int h = height < 0 ? -height : height;
  const std::size_t stride = ((std::size_t(width) * bpp + 31) / 32) * 4;
  Bytes data(stride * h, 0);
  for (int fileRow = 0; fileRow < h; ++fileRow) {
    const int y = height < 0 ? fileRow : h - 1 - fileRow;
    std::uint8_t* p = data.data() + stride * fileRow;
    for (int x = 0; x < width; ++x) {
      const std::uint32_t v = value(x, y);
      if (bpp < 8) {
        const int bit = x * bpp;
        p[bit / 8] |= std::uint8_t(v << (8 - bpp - bit % 8));
      } else {
        for (int i = 0; i < bpp / 8; ++i) p[x * (bpp / 8) + i] = std::uint8_t(v >> (8 * i));
      }
    }
  }
  return data;
}

Bytes BuildBmp(const BmpLayout& l, const Bytes& pixelData) {
  const bool core = l.headerSize == 12;
  const std::size_t masksAfter = l.headerSize == 40 ? l.masks.size() * 4 : 0;
  const std::size_t paletteBytes = l.palette.size() * (core ? 3 : 4);
  const std::size_t offset = 14 + l.headerSize + masksAfter + paletteBytes;
  Bytes b(offset, 0);
  b[0] = 'B';
  b[1] = 'M';
  SetLe32(b, 2, std::uint32_t(offset + pixelData.size()));
  SetLe32(b, 10, std::uint32_t(offset));
  SetLe32(b, 14, l.headerSize);
  if (core) {
    SetLe16(b, 18, std::uint16_t(l.width));
    SetLe16(b, 20, std::uint16_t(l.height));
    SetLe16(b, 22, 1);
    SetLe16(b, 24, l.bpp);
  } else {
    SetLe32(b, 18, std::uint32_t(l.width));
    SetLe32(b, 22, std::uint32_t(l.height));
    SetLe16(b, 26, 1);
    SetLe16(b, 28, l.bpp);
    SetLe32(b, 30, l.compression);
    SetLe32(b, 34, std::uint32_t(pixelData.size()));
    SetLe32(b, 46, l.colorsUsed);
    for (std::size_t i = 0; i < l.masks.size(); ++i)
      SetLe32(b, 54 + 4 * i, l.masks[i]);  // right after a 40-byte header, or inside a larger one
  }
  std::size_t p = 14 + l.headerSize + masksAfter;
  for (TColor32 c : l.palette) {
    b[p++] = BlueOf(c);
    b[p++] = GreenOf(c);
    b[p++] = RedOf(c);
    if (!core) b[p++] = 0;
  }
  b.insert(b.end(), pixelData.begin(), pixelData.end());
  return b;
}

namespace {

struct JumpError {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};

[[noreturn]] void JumpOut(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<JumpError*>(cinfo->err)->jump, 1);
}

struct FileCloser {
  std::FILE* f;
  ~FileCloser() {
    if (f) std::fclose(f);
  }
};

bool RunWrite(jpeg_compress_struct& cinfo, JumpError& err, std::FILE* f, const JpegShape& s,
              const Bytes& samples) {
  if (setjmp(err.jump)) return false;
  jpeg_create_compress(&cinfo);
  jpeg_stdio_dest(&cinfo, f);
  cinfo.image_width = JDIMENSION(s.width);
  cinfo.image_height = JDIMENSION(s.height);
  cinfo.input_components = s.inComponents;
  cinfo.in_color_space = J_COLOR_SPACE(s.inColorSpace);
  jpeg_set_defaults(&cinfo);
  if (s.jpegColorSpace >= 0) jpeg_set_colorspace(&cinfo, J_COLOR_SPACE(s.jpegColorSpace));
  cinfo.write_Adobe_marker = s.adobeMarker ? TRUE : FALSE;
  jpeg_set_quality(&cinfo, s.quality, TRUE);
  if (s.progressive) jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPLE*>(samples.data()) +
                   std::size_t(cinfo.next_scanline) * s.width * s.inComponents;
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  return true;
}

bool RunRead(jpeg_decompress_struct& cinfo, JumpError& err, std::FILE* f, Bytes& out, int& w,
             int& h) {
  if (setjmp(err.jump)) return false;
  jpeg_create_decompress(&cinfo);
  jpeg_stdio_src(&cinfo, f);
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_RGB;
  cinfo.dct_method = JDCT_ISLOW;
  cinfo.do_fancy_upsampling = TRUE;
  jpeg_start_decompress(&cinfo);
  w = int(cinfo.output_width);
  h = int(cinfo.output_height);
  out.resize(std::size_t(w) * h * 3);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = out.data() + std::size_t(cinfo.output_scanline) * w * 3;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  return true;
}

}  // namespace

void WriteJpeg(const std::filesystem::path& file, const JpegShape& shape, const Bytes& samples) {
  if (samples.size() != std::size_t(shape.width) * shape.height * shape.inComponents)
    throw std::invalid_argument("WriteJpeg: sample count");
  FileCloser fc{std::fopen(file.c_str(), "wb")};
  if (!fc.f) throw std::runtime_error("cannot create fixture " + file.string());
  jpeg_compress_struct cinfo{};
  JumpError err{};
  cinfo.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = JumpOut;
  const bool ok = RunWrite(cinfo, err, fc.f, shape, samples);
  jpeg_destroy_compress(&cinfo);
  if (!ok) throw std::runtime_error("libjpeg failed writing fixture " + file.string());
}

Bytes DecodeJpegRgb(const std::filesystem::path& file, int& width, int& height) {
  FileCloser fc{std::fopen(file.c_str(), "rb")};
  if (!fc.f) return {};
  jpeg_decompress_struct cinfo{};
  JumpError err{};
  cinfo.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = JumpOut;
  Bytes out;
  const bool ok = RunRead(cinfo, err, fc.f, out, width, height);
  jpeg_destroy_decompress(&cinfo);
  return ok ? out : Bytes{};
}

}  // namespace tessaro::fixtures
