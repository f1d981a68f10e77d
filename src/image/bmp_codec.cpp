#include "image/bmp_codec.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

namespace tessaro {
namespace {

static_assert(std::endian::native == std::endian::little,
              "TColor32 rows are read and written as B, G, R, A bytes");

constexpr std::uint32_t kBiRgb = 0, kBiRle8 = 1, kBiRle4 = 2, kBiBitfields = 3,
                        kBiAlphaBitfields = 6;
constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kCoreHeaderSize = 12, kInfoHeaderSize = 40, kOs2HeaderSize = 64;

std::uint16_t Get16(const std::uint8_t* p) { return std::uint16_t(p[0] | (p[1] << 8)); }
std::uint32_t Get32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
         (std::uint32_t(p[3]) << 24);
}
void Put16(std::uint8_t* p, std::uint16_t v) {
  p[0] = std::uint8_t(v);
  p[1] = std::uint8_t(v >> 8);
}
void Put32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = std::uint8_t(v >> (8 * i));
}

bool ReadExact(std::filebuf& f, void* dst, std::uint64_t n) {
  return f.sgetn(static_cast<char*>(dst), std::streamsize(n)) == std::streamsize(n);
}
bool SeekTo(std::filebuf& f, std::uint64_t pos) {
  return f.pubseekpos(std::streampos(std::streamoff(pos)), std::ios::in) ==
         std::streampos(std::streamoff(pos));
}

// One colour channel of a bit-field pixel, scaled to 0..255.
struct Channel {
  std::uint32_t mask = 0;
  int shift = 0;
  int bits = 0;
  std::array<std::uint8_t, 256> scale{};  // for bits <= 8

  // False for a mask that is not one contiguous run of bits.
  bool Init(std::uint32_t m) {
    mask = m;
    if (m == 0) return true;
    shift = std::countr_zero(m);
    const std::uint32_t run = m >> shift;
    if ((run & (run + 1)) != 0) return false;
    bits = std::popcount(run);
    if (bits <= 8) {
      const unsigned max = (1u << bits) - 1;
      for (unsigned v = 0; v <= max; ++v) scale[v] = std::uint8_t((v * 255 + max / 2) / max);
    }
    return true;
  }
  std::uint8_t Get(std::uint32_t px) const {
    const std::uint32_t v = (px & mask) >> shift;
    return bits > 8 ? std::uint8_t(v >> (bits - 8)) : scale[v];
  }
};

struct Layout {
  std::uint64_t fileSize = 0;
  std::uint32_t headerSize = 0;
  std::int64_t width = 0, height = 0;  // height as |biHeight|
  bool topDown = false;
  int bpp = 0;
  std::uint32_t compression = kBiRgb;
  std::uint64_t dataOffset = 0;
  std::uint64_t dataSize = 0;             // bytes of pixel data to read
  std::uint32_t masks[4] = {0, 0, 0, 0};  // R, G, B, A
  std::array<TColor32, 256> palette{};
};

bool StandardMasks32(const Layout& l) {
  return l.masks[0] == 0x00FF0000u && l.masks[1] == 0x0000FF00u && l.masks[2] == 0x000000FFu &&
         (l.masks[3] == 0 || l.masks[3] == 0xFF000000u);
}

// Reads and checks every header field; on success the pixel data of l.dataSize bytes
// at l.dataOffset lies inside the file and the picture's size is within the caps.
bool ReadLayout(std::filebuf& f, Layout& l) {
  const std::streamoff end = f.pubseekoff(0, std::ios::end, std::ios::in);
  if (end < 0 || !SeekTo(f, 0)) return false;
  l.fileSize = std::uint64_t(end);

  std::uint8_t fh[kFileHeaderSize + 4];
  if (!ReadExact(f, fh, sizeof fh) || fh[0] != 'B' || fh[1] != 'M') return false;
  // The file size field (offset 2) is wrong in too many writers' files to be checked.
  l.dataOffset = Get32(fh + 10);
  l.headerSize = Get32(fh + 14);
  const std::uint32_t hs = l.headerSize;
  if (hs != kCoreHeaderSize && hs != kInfoHeaderSize && hs != 52 && hs != 56 &&
      hs != kOs2HeaderSize && hs != 108 && hs != 124)
    return false;
  std::uint8_t h[124] = {};
  std::memcpy(h, fh + kFileHeaderSize, 4);
  if (!ReadExact(f, h + 4, hs - 4)) return false;

  std::uint32_t colorsUsed = 0;
  int planes = 0;
  if (hs == kCoreHeaderSize) {
    l.width = Get16(h + 4);
    l.height = Get16(h + 6);
    planes = Get16(h + 8);
    l.bpp = Get16(h + 10);
  } else {
    const auto w = std::int32_t(Get32(h + 4)), ht = std::int32_t(Get32(h + 8));
    if (w < 0 || ht == std::numeric_limits<std::int32_t>::min()) return false;
    l.width = w;
    l.topDown = ht < 0;
    l.height = ht < 0 ? -std::int64_t(ht) : ht;
    planes = Get16(h + 12);
    l.bpp = Get16(h + 14);
    l.compression = Get32(h + 16);
    colorsUsed = Get32(h + 32);
  }
  if (planes != 1) return false;
  const int bpp = l.bpp;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return false;

  const bool rle = l.compression == kBiRle8 || l.compression == kBiRle4;
  const bool fields = l.compression == kBiBitfields || l.compression == kBiAlphaBitfields;
  switch (l.compression) {
    case kBiRgb:
      break;
    case kBiRle8:
      if (bpp != 8 || l.topDown) return false;
      break;
    case kBiRle4:
      if (bpp != 4 || l.topDown) return false;
      break;
    case kBiBitfields:
    case kBiAlphaBitfields:
      // The 64-byte OS/2 header gives these codes other meanings (Huffman, RLE24).
      if ((bpp != 16 && bpp != 32) || hs == kOs2HeaderSize) return false;
      break;
    default:
      return false;  // embedded JPEG / PNG and unknown codes
  }

  std::uint64_t tablesEnd = kFileHeaderSize + hs;  // masks and palette follow the header
  if (fields) {
    if (hs == kInfoHeaderSize) {
      const std::uint32_t n = l.compression == kBiAlphaBitfields ? 4 : 3;
      std::uint8_t m[16];
      if (!ReadExact(f, m, 4 * n)) return false;
      for (std::uint32_t i = 0; i < n; ++i) l.masks[i] = Get32(m + 4 * i);
      tablesEnd += 4 * n;
    } else {
      for (int i = 0; i < 3; ++i) l.masks[i] = Get32(h + 40 + 4 * i);
      if (hs >= 56) l.masks[3] = Get32(h + 52);
    }
    if ((l.masks[0] | l.masks[1] | l.masks[2]) == 0) return false;
    for (int i = 0; i < 4; ++i)
      for (int j = i + 1; j < 4; ++j)
        if (l.masks[i] & l.masks[j]) return false;
    if (bpp == 16 && ((l.masks[0] | l.masks[1] | l.masks[2] | l.masks[3]) >> 16) != 0) return false;
  } else if (bpp == 16) {
    l.masks[0] = 0x7C00;
    l.masks[1] = 0x03E0;
    l.masks[2] = 0x001F;
  } else if (bpp == 32) {
    l.masks[0] = 0x00FF0000u;
    l.masks[1] = 0x0000FF00u;
    l.masks[2] = 0x000000FFu;
    l.masks[3] = 0xFF000000u;
  }

  if (l.dataOffset < tablesEnd || l.dataOffset > l.fileSize) return false;

  l.palette.fill(clBlack32);  // indices past the palette's end show black
  if (bpp <= 8) {
    const std::uint32_t entrySize = hs == kCoreHeaderSize ? 3 : 4;
    const std::uint64_t full = std::uint64_t(1) << bpp;
    std::uint64_t count = (colorsUsed == 0 || colorsUsed > full) ? full : colorsUsed;
    // The palette ends where the pixels begin (writers that leave out unused entries).
    count = std::min(count, (l.dataOffset - tablesEnd) / entrySize);
    if (count == 0) return false;
    std::uint8_t raw[256 * 4];
    if (!SeekTo(f, tablesEnd) || !ReadExact(f, raw, count * entrySize)) return false;
    for (std::uint64_t i = 0; i < count; ++i) {
      const std::uint8_t* e = raw + i * entrySize;
      l.palette[i] = Color32(e[2], e[1], e[0]);
    }
  }

  const std::uint64_t pixels = std::uint64_t(l.width) * std::uint64_t(l.height);
  if (rle) {
    // The size field is unreliable; the decoder itself notices data that ends early.
    if (pixels > kMaxRlePixels) return false;
    l.dataSize = l.fileSize - l.dataOffset;
  } else {
    if (pixels > kMaxBmpPixels) return false;
    const std::uint64_t rowBytes = (std::uint64_t(l.width) * std::uint64_t(bpp) + 7) / 8;
    const std::uint64_t stride = (rowBytes + 3) & ~std::uint64_t(3);
    // The last row's padding is often left out; the pixels themselves must be there.
    l.dataSize = l.height == 0 ? 0 : stride * std::uint64_t(l.height - 1) + rowBytes;
  }
  return l.dataSize <= l.fileSize - l.dataOffset;
}

// Uncompressed rows, read in file order straight into their bitmap rows.
bool ReadRows(std::filebuf& f, const Layout& l, TBitmap32& bmp) {
  const int w = int(l.width), h = int(l.height), bpp = l.bpp;
  const std::size_t rowBytes = (std::size_t(w) * std::size_t(bpp) + 7) / 8;
  const std::size_t stride = (rowBytes + 3) & ~std::size_t(3);
  std::vector<std::uint8_t> row(stride);
  Channel ch[4];
  for (int i = 0; i < 4; ++i)
    if (!ch[i].Init(l.masks[i])) return false;
  // A 32-bit file keeps its fourth byte as alpha; other depths are opaque.
  const bool directCopy = bpp == 32 && StandardMasks32(l);
  const bool maskAlpha = bpp == 32 && l.masks[3] != 0;

  if (!SeekTo(f, l.dataOffset)) return false;
  for (int i = 0; i < h; ++i) {
    TColor32* out = bmp.ScanLine(l.topDown ? i : h - 1 - i);
    const std::size_t n = i + 1 < h ? stride : rowBytes;
    if (directCopy) {
      if (!ReadExact(f, out, rowBytes)) return false;
      continue;
    }
    if (!ReadExact(f, row.data(), n)) return false;
    const std::uint8_t* p = row.data();
    switch (bpp) {
      case 1:
        for (int x = 0; x < w; ++x) out[x] = l.palette[(p[x >> 3] >> (7 - (x & 7))) & 1];
        break;
      case 4:
        for (int x = 0; x < w; ++x) out[x] = l.palette[(p[x >> 1] >> ((x & 1) ? 0 : 4)) & 15];
        break;
      case 8:
        for (int x = 0; x < w; ++x) out[x] = l.palette[p[x]];
        break;
      case 24:
        for (int x = 0; x < w; ++x, p += 3) out[x] = Color32(p[2], p[1], p[0]);
        break;
      case 16:
      case 32:
        for (int x = 0; x < w; ++x) {
          const std::uint32_t px = bpp == 16 ? Get16(p + 2 * x) : Get32(p + 4 * x);
          out[x] =
              Color32(ch[0].Get(px), ch[1].Get(px), ch[2].Get(px), maskAlpha ? ch[3].Get(px) : 255);
        }
        break;
    }
  }
  return true;
}

// RLE8 / RLE4, always bottom-up. Pixels the data skips (deltas, short lines) keep
// palette entry 0. The data must reach the end-of-bitmap code or fill every row;
// running out earlier is a truncated file.
bool ReadRle(std::filebuf& f, const Layout& l, TBitmap32& bmp) {
  std::vector<std::uint8_t> d(l.dataSize);
  if (!SeekTo(f, l.dataOffset) || !ReadExact(f, d.data(), d.size())) return false;
  bmp.Clear(l.palette[0]);
  const bool rle4 = l.compression == kBiRle4;
  const std::int64_t w = l.width, h = l.height;
  std::int64_t x = 0, y = 0;
  std::size_t pos = 0;
  const std::size_t n = d.size();
  auto put = [&](std::int64_t px, unsigned index) {
    if (px < w) bmp.ScanLine(int(h - 1 - y))[px] = l.palette[index];
  };
  while (y < h) {
    if (n - pos < 2) return false;
    const unsigned count = d[pos], value = d[pos + 1];
    pos += 2;
    if (count > 0) {  // a run of count pixels
      for (unsigned i = 0; i < count; ++i, ++x)
        put(x, rle4 ? ((i & 1) ? value & 15 : value >> 4) : value);
    } else if (value == 0) {  // end of line
      x = 0;
      ++y;
    } else if (value == 1) {  // end of bitmap
      return true;
    } else if (value == 2) {  // delta
      if (n - pos < 2) return false;
      x += d[pos];
      y += d[pos + 1];
      pos += 2;
    } else {  // value literal pixels, padded to a 16-bit boundary
      const std::size_t bytes = rle4 ? (value + 1) / 2 : value;
      if (n - pos < bytes) return false;
      for (unsigned i = 0; i < value; ++i, ++x)
        put(x, rle4 ? ((i & 1) ? d[pos + i / 2] & 15 : d[pos + i / 2] >> 4) : d[pos + i]);
      pos += std::min(n - pos, (bytes + 1) & ~std::size_t(1));
    }
  }
  return true;
}

}  // namespace

TDecodeResult LoadBmp(TBitmap32& target, const std::filesystem::path& fileName) {
  try {
    std::filebuf f;
    std::error_code ec;
    if (std::filesystem::is_directory(fileName, ec) ||
        !f.open(fileName, std::ios::in | std::ios::binary))
      return {TDecodeStatus::CannotOpen, 0};
    Layout l;
    if (!ReadLayout(f, l)) return {TDecodeStatus::Invalid, 0};
    TBitmap32 picture;
    TakeSpareBitmap(picture);
    picture.SetSize(int(l.width), int(l.height));
    const bool rle = l.compression == kBiRle8 || l.compression == kBiRle4;
    const bool ok = picture.Empty() || (rle ? ReadRle(f, l, picture) : ReadRows(f, l, picture));
    if (ok) target.SwapPixels(picture);
    KeepSpareBitmap(picture);
    return {ok ? TDecodeStatus::Ok : TDecodeStatus::Invalid, 0};
  } catch (const std::exception&) {  // out of memory; libstdc++'s read errors
    return {TDecodeStatus::Invalid, 0};
  }
}

std::int32_t DpiToPixelsPerMetre(int dpi) {
  const double v = std::nearbyint(dpi / 2.54 * 100);
  return std::int32_t(std::clamp(v, double(std::numeric_limits<std::int32_t>::min()),
                                 double(std::numeric_limits<std::int32_t>::max())));
}

namespace {

// The 54-byte header of the 32-bit file; raises when the picture does not fit the format.
void FillBmp32Header(const TBitmap32& bitmap, std::int32_t pixelsPerMetre, std::uint8_t (&hd)[54]) {
  const int w = bitmap.Width(), h = bitmap.Height();
  const std::uint64_t imageBytes = std::uint64_t(w) * std::uint64_t(h) * 4;
  if (imageBytes + 54 > 0xFFFFFFFFu) throw TPictureError("Bitmap too large for a BMP file");
  hd[0] = 'B';
  hd[1] = 'M';
  Put32(hd + 2, std::uint32_t(imageBytes + 54));
  Put32(hd + 10, 54);
  Put32(hd + 14, 40);
  Put32(hd + 18, std::uint32_t(w));
  Put32(hd + 22, std::uint32_t(h));
  Put16(hd + 26, 1);
  Put16(hd + 28, 32);
  Put32(hd + 34, std::uint32_t(imageBytes));
  Put32(hd + 38, std::uint32_t(pixelsPerMetre));
  Put32(hd + 42, std::uint32_t(pixelsPerMetre));
}

}  // namespace

std::string EncodeBmp32(const TBitmap32& bitmap, std::int32_t pixelsPerMetre) {
  std::uint8_t hd[54] = {};
  FillBmp32Header(bitmap, pixelsPerMetre, hd);
  const int w = bitmap.Width(), h = bitmap.Height();
  const std::size_t rowBytes = std::size_t(w) * 4;
  std::string out(54 + rowBytes * std::size_t(h), '\0');
  std::memcpy(out.data(), hd, 54);
  char* p = out.data() + 54;
  for (int y = h - 1; y >= 0; --y, p += rowBytes) std::memcpy(p, bitmap.ScanLine(y), rowBytes);
  return out;
}

void SaveBmp32(const TBitmap32& bitmap, const std::filesystem::path& fileName,
               std::int32_t pixelsPerMetre) {
  const int w = bitmap.Width(), h = bitmap.Height();
  std::uint8_t hd[54] = {};
  FillBmp32Header(bitmap, pixelsPerMetre, hd);

  std::filebuf f;
  if (!f.open(fileName, std::ios::out | std::ios::binary | std::ios::trunc))
    throw TPictureError("Cannot create file \"" + fileName.string() + "\"");
  bool ok = false;
  try {
    ok = f.sputn(reinterpret_cast<const char*>(hd), 54) == 54;
    // Bottom row first, straight from the rows: the same bytes as flipping, writing
    // the buffer whole and flipping back, without touching the bitmap.
    const std::streamsize rowBytes = std::streamsize(w) * 4;
    for (int y = h - 1; ok && y >= 0; --y)
      ok = f.sputn(reinterpret_cast<const char*>(bitmap.ScanLine(y)), rowBytes) == rowBytes;
    ok = f.close() != nullptr && ok;
  } catch (const std::exception&) {
    ok = false;
  }
  if (!ok) throw TPictureError("Cannot write file \"" + fileName.string() + "\"");
}

}  // namespace tessaro
