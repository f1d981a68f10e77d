// Picture files: type detection, LoadPicture, LoadFromFile, the BMP reader and
// writer, the JPEG decoder, and what bad files do to the target (nothing).
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>  // before jpeglib.h, which needs FILE and size_t
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

#include "image/bitmap32.h"
#include "image/bmp_codec.h"
#include "image/jpeg_codec.h"
#include "image/picture_files.h"
#include "picture_fixtures.h"

namespace tessaro {
namespace {

using namespace fixtures;
namespace fs = std::filesystem;

// A target with content and drawing properties a failed load must leave alone.
TBitmap32 Sentinel() {
  TBitmap32 b = Noise(7, 5, 4242, false);
  b.DrawMode = dmBlend;
  b.MasterAlpha = 77;
  b.OuterColor = 0x12345678;
  b.StretchFilter = sfLanczos;
  return b;
}

void ExpectSentinel(const TBitmap32& b, const std::string& what) {
  const TBitmap32 s = Sentinel();
  EXPECT_TRUE(SamePixels(b, s)) << what << ": pixels or size changed (" << b.Width() << "x"
                                << b.Height() << ")";
  EXPECT_EQ(b.DrawMode, dmBlend) << what;
  EXPECT_EQ(b.MasterAlpha, 77) << what;
  EXPECT_EQ(b.OuterColor, 0x12345678u) << what;
  EXPECT_EQ(b.StretchFilter, sfLanczos) << what;
}

std::string LoadFromFileError(TBitmap32& b, const fs::path& file) {
  try {
    b.LoadFromFile(file);
  } catch (const TPictureError& e) {
    return e.what();
  }
  return "(no error)";
}

std::string JpegError(int code) { return "JPEG error #" + std::to_string(code); }

Bytes EncodedJpeg(const ScratchDir& dir, const TBitmap32& bmp, int quality = 90,
                  bool progressive = false) {
  const fs::path f = dir / "encoded.jpg";
  SaveJpeg(bmp, f, quality, progressive);
  return ReadBytes(f);
}

// Offset of the first marker 0xFF code at or after from, or npos.
std::size_t FindMarker(const Bytes& b, std::uint8_t code, std::size_t from = 2) {
  for (std::size_t i = from; i + 1 < b.size(); ++i)
    if (b[i] == 0xFF && b[i + 1] == code) return i;
  return std::string::npos;
}

Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Bytes Bmp24(int w, int h, const TBitmap32& src) {
  BmpLayout l;
  l.width = w;
  l.height = h;
  l.bpp = 24;
  return BuildBmp(l, PackRows(w, h, 24, [&](int x, int y) { return src.Pixel(x, y) & 0xFFFFFF; }));
}

// --- DetectPictureType ------------------------------------------------------------

TEST(DetectPictureType, FirstTwoAndLastTwoBytesDecide) {
  ScratchDir dir;
  const Bytes jpeg = EncodedJpeg(dir, Gradient(8, 8));
  ASSERT_EQ(jpeg.front(), 0xFF);
  ASSERT_EQ(jpeg.back(), 0xD9);
  struct Case {
    const char* name;
    const char* fileName;
    Bytes bytes;
    int expected;
  };
  const std::vector<Case> cases = {
      {"encoded JPEG", "a.jpg", jpeg, kPictureJpeg},
      {"JPEG named .bmp", "a.bmp", jpeg, kPictureJpeg},
      {"smallest JPEG frame", "b.jpg", {0xFF, 0xD8, 0xFF, 0xD9}, kPictureJpeg},
      {"JPEG with a trailing byte", "c.jpg", Concat(jpeg, {0x00}), kPictureNone},
      {"JPEG with trailing text", "d.jpg", Concat(jpeg, {'\r', '\n'}), kPictureNone},
      {"SOI without EOI", "e.jpg", {0xFF, 0xD8, 0xFF, 0xE0, 0x00}, kPictureNone},
      {"SOI only", "f.jpg", {0xFF, 0xD8}, kPictureNone},
      {"BM header", "g.bmp", Bmp24(2, 2, Gradient(2, 2)), kPictureBmp},
      {"BM alone", "h.bmp", {'B', 'M'}, kPictureBmp},
      {"BM ending like a JPEG", "i.bmp", {'B', 'M', 0x00, 0xFF, 0xD9}, kPictureBmp},
      {"BMP named .JPG", "j.JPG", Bmp24(2, 2, Gradient(2, 2)), kPictureBmp},
      {"lower-case bm", "k.bmp", {'b', 'm', 0, 0}, kPictureNone},
      {"GIF header", "l.gif", {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0xFF, 0xD9}, kPictureNone},
      {"PNG header", "m.png", {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}, kPictureNone},
      {"empty file", "n.jpg", {}, kPictureNone},
      {"one byte B", "o.bmp", {'B'}, kPictureNone},
      {"one byte 0xFF", "p.jpg", {0xFF}, kPictureNone},
  };
  for (const Case& c : cases) {
    const fs::path f = dir / c.fileName;
    WriteBytes(f, c.bytes);
    EXPECT_EQ(DetectPictureType(f), c.expected) << c.name;
  }
  EXPECT_EQ(DetectPictureType(dir / "missing.jpg"), kPictureNone);
  EXPECT_EQ(DetectPictureType(dir.Path()), kPictureNone) << "a folder";
}

// --- LoadPicture ------------------------------------------------------------------

TEST(LoadPicture, GoesByContentAndKeepsDrawingProperties) {
  ScratchDir dir;
  const TBitmap32 src = Noise(5, 3, 7, true);
  const fs::path f = dir / "really_a_bitmap.JPG";
  WriteBytes(f, Bmp24(5, 3, src));
  TBitmap32 b = Sentinel();
  LoadPicture(b, f);
  EXPECT_TRUE(SamePixels(b, src));
  EXPECT_EQ(b.DrawMode, dmBlend);
  EXPECT_EQ(b.MasterAlpha, 77);
  EXPECT_EQ(b.StretchFilter, sfLanczos);

  const fs::path j = dir / "photo.bmp";  // a JPEG under a BMP name
  SaveJpeg(Gradient(9, 4), j, 90, false);
  LoadPicture(b, j);
  EXPECT_EQ(b.Width(), 9);
  EXPECT_EQ(b.Height(), 4);
}

TEST(LoadPicture, NothingHappensForOtherFiles) {
  ScratchDir dir;
  const Bytes jpeg = EncodedJpeg(dir, Gradient(8, 8));
  struct Case {
    const char* name;
    Bytes bytes;
  };
  const std::vector<Case> cases = {
      {"GIF", {'G', 'I', 'F', '8', '9', 'a', 2, 0, 2, 0, 0x80, 0, 0, 0x3B}},
      {"PNG", {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R'}},
      {"decodable JPEG followed by a byte", Concat(jpeg, {0x00})},
      {"empty", {}},
      {"one byte", {'B'}},
  };
  for (const Case& c : cases) {
    const fs::path f = dir / "picture.jpg";
    WriteBytes(f, c.bytes);
    TBitmap32 b = Sentinel();
    LoadPicture(b, f);
    ExpectSentinel(b, c.name);
  }
  TBitmap32 b = Sentinel();
  LoadPicture(b, dir / "missing.jpg");
  ExpectSentinel(b, "missing file");
}

// The decoders recycle pixel buffers between loads; no bitmap may ever end up sharing
// one, whatever order of sizes, formats and failures the loads come in.
TEST(LoadPicture, RecycledBuffersNeverShowUpInAnotherBitmap) {
  ScratchDir dir;
  const TBitmap32 a = Noise(6, 4, 1, true), b = Noise(6, 4, 2, true), c = Noise(3, 9, 3, true);
  const fs::path fa = dir / "a.bmp", fb = dir / "b.bmp", fc = dir / "c.bmp";
  WriteBytes(fa, Bmp24(6, 4, a));
  WriteBytes(fb, Bmp24(6, 4, b));
  WriteBytes(fc, Bmp24(3, 9, c));
  const fs::path fj = dir / "j.jpg", bad = dir / "bad.jpg";
  SaveJpeg(Gradient(6, 4), fj, 90, false);
  Bytes cut = ReadBytes(fj);
  cut.resize(cut.size() / 2);
  WriteBytes(bad, Concat(cut, {0xFF, 0xD9}));  // 6 x 4, fails half-way through the scan
  TBitmap32 j;
  LoadPicture(j, fj);
  ASSERT_EQ(j.Width(), 6);

  TBitmap32 t1, t2, t3;
  LoadPicture(t1, fa);
  LoadPicture(t2, fb);
  LoadPicture(t1, fb);
  LoadPicture(t1, bad);
  LoadPicture(t3, fa);
  LoadPicture(t2, bad);
  LoadPicture(t2, fc);
  LoadPicture(t3, fj);
  LoadPicture(t1, bad);
  LoadPicture(t2, fj);
  LoadPicture(t2, fc);
  EXPECT_TRUE(SamePixels(t1, b));
  EXPECT_TRUE(SamePixels(t2, c));
  EXPECT_TRUE(SamePixels(t3, j));
  LoadPicture(t3, fa);
  EXPECT_TRUE(SamePixels(t1, b));
  EXPECT_TRUE(SamePixels(t3, a));
}

// --- LoadFromFile -----------------------------------------------------------------

TEST(LoadFromFile, ChoosesTheDecoderByExtension) {
  ScratchDir dir;
  const TBitmap32 src = Noise(4, 3, 11, true);
  const Bytes bmp = Bmp24(4, 3, src);
  const Bytes jpeg = EncodedJpeg(dir, Gradient(6, 5));
  struct Case {
    const char* fileName;
    const Bytes* bytes;
    int width;          // expected width when it loads
    std::string error;  // expected message otherwise
  };
  const std::vector<Case> cases = {
      {"a.bmp", &bmp, 4, ""},
      {"b.BMP", &bmp, 4, ""},
      {"c.dib", &bmp, 4, ""},
      {"d.Dib", &bmp, 4, ""},
      {"e.jpg", &jpeg, 6, ""},
      {"f.JPEG", &jpeg, 6, ""},
      {"g.jPeg", &jpeg, 6, ""},
      {"h.gif", &bmp, 0, "Unknown picture file extension (.gif)"},
      {"i.PNG", &jpeg, 0, "Unknown picture file extension (.PNG)"},
      {"j.bmp.txt", &bmp, 0, "Unknown picture file extension (.txt)"},
      {"noextension", &bmp, 0, "Unknown picture file extension (.)"},
      {"k.bmp", &jpeg, 0, "Bitmap image is not valid"},
      {"l.jpg", &bmp, 0, JpegError(JERR_NO_SOI)},
  };
  for (const Case& c : cases) {
    const fs::path f = dir / c.fileName;
    WriteBytes(f, *c.bytes);
    TBitmap32 b = Sentinel();
    const std::string err = LoadFromFileError(b, f);
    if (c.error.empty()) {
      EXPECT_EQ(err, "(no error)") << c.fileName;
      EXPECT_EQ(b.Width(), c.width) << c.fileName;
    } else {
      EXPECT_EQ(err, c.error) << c.fileName;
      ExpectSentinel(b, c.fileName);
    }
  }
  TBitmap32 b = Sentinel();
  EXPECT_EQ(LoadFromFileError(b, dir / "nothing.gif"), "Unknown picture file extension (.gif)")
      << "the extension is checked before the file is opened";
  const fs::path missing = dir / "missing.bmp";
  EXPECT_EQ(LoadFromFileError(b, missing), "Cannot open file \"" + missing.string() + "\"");
  ExpectSentinel(b, "missing file");
}

// --- BMP reading ------------------------------------------------------------------

TEST(BmpRead, TrueColourRowsPaddingAndOrientation) {
  ScratchDir dir;
  for (int bpp : {24, 32})
    for (bool topDown : {false, true})
      for (int w : {1, 2, 3, 5}) {
        const int h = 3;
        const TBitmap32 src = Noise(w, h, std::uint64_t(w * 100 + bpp), false);
        BmpLayout l;
        l.width = w;
        l.height = topDown ? -h : h;
        l.bpp = std::uint16_t(bpp);
        const std::uint32_t mask = bpp == 24 ? 0x00FFFFFFu : 0xFFFFFFFFu;
        const fs::path f = dir / "rows.bmp";
        WriteBytes(f, BuildBmp(l, PackRows(w, l.height, bpp,
                                           [&](int x, int y) { return src.Pixel(x, y) & mask; })));
        TBitmap32 viaContent, viaName;
        LoadPicture(viaContent, f);
        viaName.LoadFromFile(f);
        const std::string what = std::to_string(bpp) + " bit, width " + std::to_string(w) +
                                 (topDown ? ", top-down" : ", bottom-up");
        ASSERT_EQ(viaContent.Width(), w) << what;
        ASSERT_EQ(viaContent.Height(), h) << what;
        for (int y = 0; y < h; ++y)
          for (int x = 0; x < w; ++x) {
            // 32 bits keep the fourth byte as alpha, 24 bits are opaque.
            const TColor32 want = bpp == 32 ? src.Pixel(x, y) : (src.Pixel(x, y) | 0xFF000000u);
            ASSERT_EQ(viaContent.Pixel(x, y), want) << what << " at " << x << "," << y;
          }
        EXPECT_TRUE(SamePixels(viaContent, viaName)) << what;
      }
}

TEST(BmpRead, PaletteDepths) {
  ScratchDir dir;
  const std::vector<TColor32> palette = {0xFF102030, 0xFFA0B0C0, 0xFF00FF00, 0xFFFF0000,
                                         0xFF0000FF, 0xFF808080, 0xFFFFFFFF, 0xFF010203};
  struct Case {
    int bpp;
    std::uint32_t headerSize;
    std::size_t paletteEntries;  // written; indices beyond them read as black
  };
  for (const Case c : {Case{1, 40, 2}, Case{4, 40, 8}, Case{8, 40, 8}, Case{4, 40, 3},
                       Case{1, 12, 2}, Case{4, 12, 8}, Case{8, 12, 8}}) {
    const int w = 11, h = 3;  // 11 pixels: partial bytes and row padding at every depth
    const unsigned levels = 1u << c.bpp;
    auto index = [&](int x, int y) {
      return std::uint32_t((x * 3 + y * 5) % std::min(levels, 8u));
    };
    BmpLayout l;
    l.headerSize = c.headerSize;
    l.width = w;
    l.height = h;
    l.bpp = std::uint16_t(c.bpp);
    l.palette.assign(palette.begin(), palette.begin() + c.paletteEntries);
    l.colorsUsed = c.headerSize == 12 ? 0 : std::uint32_t(c.paletteEntries);
    const fs::path f = dir / "palette.bmp";
    WriteBytes(f, BuildBmp(l, PackRows(w, h, c.bpp, index)));
    TBitmap32 b;
    b.LoadFromFile(f);
    const std::string what = std::to_string(c.bpp) + " bit, header " +
                             std::to_string(c.headerSize) + ", " +
                             std::to_string(c.paletteEntries) + " entries";
    ASSERT_EQ(b.Width(), w) << what;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const std::uint32_t i = index(x, y);
        const TColor32 want = i < c.paletteEntries ? palette[i] : clBlack32;
        ASSERT_EQ(b.Pixel(x, y), want) << what << " at " << x << "," << y;
      }
  }
}

TEST(BmpRead, BitFieldsAndSixteenBits) {
  ScratchDir dir;
  struct Case {
    const char* name;
    std::uint32_t headerSize;
    std::uint16_t bpp;
    std::uint32_t compression;
    std::vector<std::uint32_t> masks;
    std::vector<std::uint32_t> values;  // raw pixel values of one row
    std::vector<TColor32> want;
  };
  const std::vector<Case> cases = {
      {"16 bit 5-5-5",
       40,
       16,
       0,
       {},
       {0x7FFF, 0x001F, 0x03E0, 0x7C00, 0x4210, 0x8000},
       {0xFFFFFFFF, 0xFF0000FF, 0xFF00FF00, 0xFFFF0000, 0xFF848484, 0xFF000000}},
      {"16 bit 5-6-5 fields",
       40,
       16,
       3,
       {0xF800, 0x07E0, 0x001F},
       {0xFFFF, 0x07E0, 0x0020, 0xF800, 0x0001},
       {0xFFFFFFFF, 0xFF00FF00, 0xFF000400, 0xFFFF0000, 0xFF000008}},
      {"16 bit 4-4-4-4 in a V4 header (alpha ignored)",
       108,
       16,
       3,
       {0x0F00, 0x00F0, 0x000F, 0xF000},
       {0x0F00, 0x1234, 0xF00F},
       {0xFFFF0000, 0xFF223344, 0xFF0000FF}},
      {"32 bit standard fields keep the fourth byte",
       40,
       32,
       3,
       {0x00FF0000, 0x0000FF00, 0x000000FF},
       {0x00112233, 0x80445566},
       {0x00112233, 0x80445566}},
      {"32 bit standard fields in a V5 header",
       124,
       32,
       3,
       {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000},
       {0x7F010203},
       {0x7F010203}},
      {"32 bit R, G, B, A from the top byte down",
       56,
       32,
       3,
       {0xFF000000, 0x00FF0000, 0x0000FF00, 0x000000FF},
       {0x11223344, 0xAABBCCDD},
       {0x44112233, 0xDDAABBCC}},
      {"32 bit 10-10-10 without alpha",
       52,
       32,
       3,
       {0x3FF00000, 0x000FFC00, 0x000003FF},
       {0x3FFFFFFF, 0x20000000 | (0x100 << 10) | 0x3},
       {0xFFFFFFFF, 0xFF804000}},
  };
  for (const Case& c : cases) {
    BmpLayout l;
    l.headerSize = c.headerSize;
    l.width = int(c.values.size());
    l.height = 1;
    l.bpp = c.bpp;
    l.compression = c.compression;
    l.masks = c.masks;
    const fs::path f = dir / "fields.bmp";
    WriteBytes(f,
               BuildBmp(l, PackRows(l.width, 1, c.bpp, [&](int x, int) { return c.values[x]; })));
    TBitmap32 b;
    b.LoadFromFile(f);
    ASSERT_EQ(b.Width(), l.width) << c.name;
    for (int x = 0; x < l.width; ++x)
      EXPECT_EQ(b.Pixel(x, 0), c.want[x]) << c.name << " pixel " << x;
  }
}

TEST(BmpRead, RunLengthEncoded) {
  ScratchDir dir;
  const std::vector<TColor32> palette = {0xFF000000, 0xFFFF0000, 0xFF00FF00, 0xFF0000FF};
  const TColor32 K = palette[0], R = palette[1], G = palette[2], B = palette[3];
  struct Case {
    const char* name;
    std::uint16_t bpp;
    std::uint32_t compression;
    Bytes data;
    std::vector<std::vector<TColor32>> rows;  // top row first
  };
  const std::vector<Case> cases = {
      {"RLE8 runs, literal with padding, delta, end of bitmap",
       8,
       1,
       {
           3, 1, 0, 0,        // bottom row: R R R, end of line
           0, 3, 2, 3, 1, 0,  // literal G B R plus a pad byte
           0, 2, 1, 0,        // delta: one right, same row
           1, 2, 0, 1,        // G, end of bitmap (the top row stays index 0)
       },
       {{K, K, K, K, K}, {G, B, R, K, G}, {R, R, R, K, K}}},
      {"RLE4 nibble runs and literals",
       4,
       2,
       {
           5, 0x12, 0, 0,           // R G R G R
           0, 3, 0x32, 0x10, 0, 1,  // literal B G R (two bytes, already even)
       },
       {{B, G, R, K, K}, {R, G, R, G, R}}},
  };
  for (const Case& c : cases) {
    BmpLayout l;
    l.width = 5;
    l.height = int(c.rows.size());
    l.bpp = c.bpp;
    l.compression = c.compression;
    l.palette = palette;
    l.colorsUsed = 4;
    const fs::path f = dir / "rle.bmp";
    WriteBytes(f, BuildBmp(l, c.data));
    TBitmap32 b;
    b.LoadFromFile(f);
    ASSERT_EQ(b.Height(), l.height) << c.name;
    for (int y = 0; y < l.height; ++y)
      for (int x = 0; x < 5; ++x)
        EXPECT_EQ(b.Pixel(x, y), c.rows[y][x]) << c.name << " " << x << "," << y;
  }
}

TEST(BmpRead, BadFilesLeaveTheTargetAlone) {
  ScratchDir dir;
  const Bytes good = Bmp24(4, 3, Noise(4, 3, 5, true));  // 12-byte rows: no padding
  ASSERT_EQ(good.size(), 54u + 36u);
  using Patch = std::function<void(Bytes&)>;
  auto set32 = [](std::size_t at, std::uint32_t v) {
    return Patch([=](Bytes& b) { SetLe32(b, at, v); });
  };
  auto set16 = [](std::size_t at, std::uint16_t v) {
    return Patch([=](Bytes& b) { SetLe16(b, at, v); });
  };
  struct Case {
    const char* name;
    Patch patch;
  };
  const std::vector<Case> cases = {
      {"BM alone", [](Bytes& b) { b.resize(2); }},
      {"cut inside the information header", [](Bytes& b) { b.resize(30); }},
      {"pixel data one byte short", [](Bytes& b) { b.pop_back(); }},
      {"pixel data missing", [](Bytes& b) { b.resize(54); }},
      {"width 2^31-1", set32(18, 0x7FFFFFFF)},
      {"height 2^31-1", set32(22, 0x7FFFFFFF)},
      {"height -(2^31-1)", set32(22, 0x80000001)},
      {"height -2^31", set32(22, 0x80000000)},
      {"negative width", set32(18, std::uint32_t(-4))},
      {"width 65536 x height 65536",
       [](Bytes& b) {
         SetLe32(b, 18, 65536);
         SetLe32(b, 22, 65536);
       }},
      {"pixel offset past the end", set32(10, 1000)},
      {"pixel offset 2^32-1", set32(10, 0xFFFFFFFF)},
      {"pixel offset inside the header", set32(10, 20)},
      {"pixel offset zero", set32(10, 0)},
      {"header size 0", set32(14, 0)},
      {"header size 41", set32(14, 41)},
      {"header size 200", set32(14, 200)},
      {"header size 2^32-1", set32(14, 0xFFFFFFFF)},
      {"0 bits per pixel", set16(28, 0)},
      {"7 bits per pixel", set16(28, 7)},
      {"64 bits per pixel", set16(28, 64)},
      {"0 planes", set16(26, 0)},
      {"embedded JPEG", set32(30, 4)},
      {"embedded PNG", set32(30, 5)},
      {"unknown compression", set32(30, 9)},
      {"bit fields on 24 bits", set32(30, 3)},
      {"RLE8 on 24 bits", set32(30, 1)},
      {"not BM", [](Bytes& b) { b[1] = 'A'; }},
  };
  for (const Case& c : cases) {
    Bytes bytes = good;
    c.patch(bytes);
    const fs::path f = dir / "bad.bmp";
    WriteBytes(f, bytes);
    TBitmap32 b = Sentinel();
    EXPECT_EQ(LoadFromFileError(b, f), "Bitmap image is not valid") << c.name;
    ExpectSentinel(b, c.name);
    LoadPicture(b, f);
    ExpectSentinel(b, std::string(c.name) + " (LoadPicture)");
  }

  // Layouts that need their own tables.
  struct Built {
    const char* name;
    BmpLayout layout;
    Bytes data;
    std::size_t cut;  // bytes removed from the end
  };
  BmpLayout fields;
  fields.width = 2;
  fields.height = 1;
  fields.bpp = 32;
  fields.compression = 3;
  BmpLayout overlap = fields, gap = fields, none = fields;
  overlap.masks = {0x00FF0000, 0x0000FFFF, 0x000000FF};
  gap.masks = {0x00F0F000, 0x00000F00, 0x000000FF};
  none.masks = {0, 0, 0};
  BmpLayout pal8;
  pal8.width = 4;
  pal8.height = 2;
  pal8.bpp = 8;
  BmpLayout rle = pal8;
  rle.compression = 1;
  rle.palette = {0xFF112233, 0xFF445566};
  BmpLayout rleTopDown = rle;
  rleTopDown.height = -2;
  const std::vector<Built> built = {
      {"overlapping masks", overlap, Bytes(8), 0},
      {"mask with a gap", gap, Bytes(8), 0},
      {"all masks zero", none, Bytes(8), 0},
      {"8 bits without a palette", pal8, Bytes(8), 0},
      {"RLE8 ending before its last row", rle, {4, 1, 0, 0, 2, 1}, 0},
      {"RLE8 literal running past the data", rle, {4, 1, 0, 0, 0, 4, 1, 1}, 0},
      {"RLE8 delta cut short", rle, {0, 2, 1}, 0},
      {"RLE8 top-down", rleTopDown, {4, 1, 0, 0, 4, 1, 0, 1}, 0},
      {"file ending inside the palette",
       [] {
         BmpLayout l;
         l.width = 1;
         l.height = 1;
         l.bpp = 8;
         l.palette = {0xFF000000, 0xFFFFFFFF};
         l.colorsUsed = 2;
         return l;
       }(),
       Bytes(4), 8},
  };
  for (const Built& c : built) {
    Bytes bytes = BuildBmp(c.layout, c.data);
    bytes.resize(bytes.size() - c.cut);
    const fs::path f = dir / "bad.bmp";
    WriteBytes(f, bytes);
    TBitmap32 b = Sentinel();
    EXPECT_EQ(LoadFromFileError(b, f), "Bitmap image is not valid") << c.name;
    ExpectSentinel(b, c.name);
    LoadPicture(b, f);
    ExpectSentinel(b, std::string(c.name) + " (LoadPicture)");
  }
}

// --- BMP writing ------------------------------------------------------------------

// --- BMP writing ------------------------------------------------------------------

TEST(BmpWrite, OnePixelFileFieldByField) {
  ScratchDir dir;
  TBitmap32 b(1, 1);
  b.SetPixel(0, 0, 0x80112233);
  const fs::path f = dir / "one.bmp";
  b.SaveToFileWithDPI(f, 300);
  const Bytes d = ReadBytes(f);
  ASSERT_EQ(d.size(), 58u);
  EXPECT_EQ(d[0], 'B');
  EXPECT_EQ(d[1], 'M');
  struct Field {
    std::size_t offset;
    int size;
    std::uint32_t value;
    const char* name;
  };
  const std::vector<Field> fields = {
      {2, 4, 58, "file size"},
      {6, 4, 0, "reserved"},
      {10, 4, 54, "pixel offset"},
      {14, 4, 40, "header size"},
      {18, 4, 1, "width"},
      {22, 4, 1, "height"},
      {26, 2, 1, "planes"},
      {28, 2, 32, "bits per pixel"},
      {30, 4, 0, "compression"},
      {34, 4, 4, "image size"},
      {38, 4, 11811, "x pixels per metre"},
      {42, 4, 11811, "y pixels per metre"},
      {46, 4, 0, "colours used"},
      {50, 4, 0, "important colours"},
  };
  for (const Field& fl : fields)
    EXPECT_EQ(fl.size == 4 ? Le32(d, fl.offset) : Le16(d, fl.offset), fl.value) << fl.name;
  EXPECT_EQ(Bytes(d.begin() + 54, d.end()), (Bytes{0x33, 0x22, 0x11, 0x80})) << "B, G, R, A";
}

TEST(BmpWrite, BottomRowFirstAlphaKeptBitmapUnchanged) {
  ScratchDir dir;
  TBitmap32 b = Noise(3, 2, 9, false);
  b.SetPixel(1, 0, 0x00FFFFFF);  // fully transparent white must stay so
  const TBitmap32 before = b;
  const fs::path f = dir / "rows.bmp";
  b.SaveToFileWithDPI(f, 72);
  EXPECT_TRUE(SamePixels(b, before)) << "the bitmap is unchanged afterwards";
  const Bytes d = ReadBytes(f);
  ASSERT_EQ(d.size(), 54u + 3 * 2 * 4);
  EXPECT_EQ(Le32(d, 2), 78u);
  EXPECT_EQ(Le32(d, 18), 3u);
  EXPECT_EQ(Le32(d, 22), 2u);
  EXPECT_EQ(Le32(d, 34), 24u);
  EXPECT_EQ(Le32(d, 38), 2835u);
  for (int fileRow = 0; fileRow < 2; ++fileRow)
    for (int x = 0; x < 3; ++x)
      EXPECT_EQ(Le32(d, 54 + std::size_t(fileRow * 3 + x) * 4), before.Pixel(x, 1 - fileRow))
          << "file row " << fileRow << " pixel " << x;

  TBitmap32 byName, byContent;
  byName.LoadFromFile(f);
  LoadPicture(byContent, f);
  EXPECT_TRUE(SamePixels(byName, before));
  EXPECT_TRUE(SamePixels(byContent, before));
}

TEST(BmpWrite, ResolutionStamp) {
  ScratchDir dir;
  TBitmap32 b = Noise(2, 2, 3, true);
  struct Case {
    int dpi;
    std::int32_t perMetre;
  };
  const std::vector<Case> cases = {
      {0, 0},
      {1, 39},
      {72, 2835},
      {96, 3780},
      {150, 5906},
      {300, 11811},
      {600, 23622},
      {2400, 94488},
      {-72, -2835},
      {INT_MAX, INT32_MAX},
      {INT_MIN, INT32_MIN},
  };
  const fs::path f = dir / "dpi.bmp";
  for (const Case& c : cases) {
    b.SaveToFileWithDPI(f, c.dpi);
    const Bytes d = ReadBytes(f);
    EXPECT_EQ(std::int32_t(Le32(d, 38)), c.perMetre) << c.dpi << " dpi";
    EXPECT_EQ(std::int32_t(Le32(d, 42)), c.perMetre) << c.dpi << " dpi";
  }

  // SaveToFile writes the same file with no resolution.
  b.SaveToFileWithDPI(f, 300);
  Bytes stamped = ReadBytes(f);
  b.SaveToFile(dir / "plain.bmp");
  const Bytes plain = ReadBytes(dir / "plain.bmp");
  for (std::size_t i = 38; i < 46; ++i) stamped[i] = 0;
  EXPECT_EQ(plain, stamped);
}

TEST(BmpWrite, EmptyBitmapAndUnwritablePaths) {
  ScratchDir dir;
  TBitmap32 empty;
  const fs::path f = dir / "empty.bmp";
  empty.SaveToFileWithDPI(f, 96);
  const Bytes d = ReadBytes(f);
  ASSERT_EQ(d.size(), 54u);
  EXPECT_EQ(Le32(d, 2), 54u);
  TBitmap32 b = Sentinel();
  b.LoadFromFile(f);
  EXPECT_TRUE(b.Empty()) << "a 0 x 0 file is a valid empty picture";

  const TBitmap32 pic = Noise(2, 2, 1, true);
  const fs::path bad = dir / "no such folder" / "out.bmp";
  const std::string want = "Cannot create file \"" + bad.string() + "\"";
  auto message = [](auto&& save) -> std::string {
    try {
      save();
    } catch (const TPictureError& e) {
      return e.what();
    }
    return "(no error)";
  };
  EXPECT_EQ(message([&] { pic.SaveToFile(bad); }), want);
  EXPECT_EQ(message([&] { TBitmap32(pic).SaveToFileWithDPI(bad, 300); }), want);
  EXPECT_EQ(message([&] { SaveJpeg(pic, bad, 90, false); }), want);
  EXPECT_EQ(message([&] { SaveJpeg(empty, dir / "empty.jpg", 90, false); }),
            JpegError(JERR_EMPTY_IMAGE));
}

// --- JPEG -------------------------------------------------------------------------

// Our B, G, R, A rows must be libjpeg's own RGB decode, byte for byte, with alpha 255.
void ExpectMatchesReference(const TBitmap32& b, const fs::path& f, const std::string& what) {
  int w = 0, h = 0;
  const Bytes ref = DecodeJpegRgb(f, w, h);
  ASSERT_FALSE(ref.empty()) << what;
  ASSERT_EQ(b.Width(), w) << what;
  ASSERT_EQ(b.Height(), h) << what;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const std::uint8_t* r = ref.data() + (std::size_t(y) * w + x) * 3;
      ASSERT_EQ(b.Pixel(x, y), Color32(r[0], r[1], r[2])) << what << " at " << x << "," << y;
    }
}

int MaxChannelDiff(TColor32 a, TColor32 b) {
  int m = 0;
  for (int s = 0; s < 24; s += 8)
    m = std::max(m, std::abs(int((a >> s) & 255) - int((b >> s) & 255)));
  return m;
}

TEST(JpegDecode, ColourMatchesLibjpegAndStaysCloseToTheSource) {
  ScratchDir dir;
  struct Size {
    int w, h;
  };
  for (bool progressive : {false, true})
    for (const Size s : {Size{64, 48}, Size{37, 23}, Size{1, 1}, Size{17, 1}, Size{1, 9}}) {
      const std::string what = std::to_string(s.w) + "x" + std::to_string(s.h) +
                               (progressive ? " progressive" : " baseline");
      const TBitmap32 src = Gradient(s.w, s.h);
      const fs::path f = dir / "colour.jpg";
      SaveJpeg(src, f, 95, progressive);
      const Bytes bytes = ReadBytes(f);
      EXPECT_NE(FindMarker(bytes, progressive ? 0xC2 : 0xC0), std::string::npos) << what;
      TBitmap32 b = Sentinel();
      LoadPicture(b, f);
      ExpectMatchesReference(b, f, what);
      int worst = 0;
      double sum = 0;
      for (int y = 0; y < s.h; ++y)
        for (int x = 0; x < s.w; ++x) {
          const int d = MaxChannelDiff(b.Pixel(x, y), src.Pixel(x, y));
          worst = std::max(worst, d);
          sum += d;
        }
      EXPECT_LE(worst, 12) << what;
      EXPECT_LE(sum / (s.w * s.h), 3.0) << what;
      TBitmap32 byName;
      byName.LoadFromFile(f);
      EXPECT_TRUE(SamePixels(byName, b)) << what;
    }
}

TEST(JpegDecode, GreyscaleFiles) {
  ScratchDir dir;
  const int w = 29, h = 13;
  Bytes grey(std::size_t(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) grey[std::size_t(y) * w + x] = std::uint8_t(10 + 6 * x + 5 * y);
  JpegShape shape;
  shape.width = w;
  shape.height = h;
  shape.inComponents = 1;
  shape.inColorSpace = JCS_GRAYSCALE;
  const fs::path f = dir / "grey.jpg";
  WriteJpeg(f, shape, grey);
  TBitmap32 b;
  LoadPicture(b, f);
  ExpectMatchesReference(b, f, "greyscale");
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const TColor32 c = b.Pixel(x, y);
      ASSERT_TRUE(RedOf(c) == GreenOf(c) && GreenOf(c) == BlueOf(c)) << x << "," << y;
      ASSERT_LE(std::abs(int(RedOf(c)) - int(grey[std::size_t(y) * w + x])), 4) << x << "," << y;
    }
}

TEST(JpegDecode, CmykAndYcckFilesBecomeRgb) {
  ScratchDir dir;
  const int w = 24, h = 16;
  auto ink = [](int x, int y, int i) {
    const int v[4] = {10 + 4 * x, 200 - 3 * y, 60 + 2 * x + 2 * y, 30 + y};
    return v[i];
  };
  struct Case {
    const char* name;
    int jpegColorSpace;
    bool adobe;  // with an Adobe marker the inks are stored inverted
  };
  for (const Case c : {Case{"plain CMYK", JCS_CMYK, false},
                       Case{"Adobe-inverted CMYK", JCS_CMYK, true}, Case{"YCCK", JCS_YCCK, true}}) {
    Bytes samples(std::size_t(w) * h * 4);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        for (int i = 0; i < 4; ++i)
          samples[(std::size_t(y) * w + x) * 4 + i] =
              std::uint8_t(c.adobe ? 255 - ink(x, y, i) : ink(x, y, i));
    JpegShape shape;
    shape.width = w;
    shape.height = h;
    shape.inComponents = 4;
    shape.inColorSpace = JCS_CMYK;
    shape.jpegColorSpace = c.jpegColorSpace;
    shape.adobeMarker = c.adobe;
    shape.quality = 100;
    const fs::path f = dir / "cmyk.jpg";
    WriteJpeg(f, shape, samples);
    TBitmap32 b = Sentinel();
    LoadPicture(b, f);
    ASSERT_EQ(b.Width(), w) << c.name;
    ASSERT_EQ(b.Height(), h) << c.name;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const int k = 255 - ink(x, y, 3);
        auto rgb = [&](int i) { return std::uint8_t((255 - ink(x, y, i)) * k / 255); };
        const TColor32 want = Color32(rgb(0), rgb(1), rgb(2));
        const TColor32 got = b.Pixel(x, y);
        ASSERT_EQ(AlphaOf(got), 255) << c.name;
        ASSERT_LE(MaxChannelDiff(got, want), 6)
            << c.name << " at " << x << "," << y << ": " << std::hex << got << " vs " << want;
      }
  }
}

Bytes RemoveSegments(Bytes b, std::uint8_t code) {
  for (std::size_t at; (at = FindMarker(b, code)) != std::string::npos;)
    b.erase(b.begin() + std::ptrdiff_t(at),
            b.begin() + std::ptrdiff_t(at + 2 + ((b[at + 2] << 8) | b[at + 3])));
  return b;
}

void SetBe16(Bytes& b, std::size_t at, std::uint16_t v) {
  b.at(at) = std::uint8_t(v >> 8);
  b.at(at + 1) = std::uint8_t(v);
}

// The first scan of a file with the Huffman tables defined right before it: the
// segments a decoder needs to read that scan again.
Bytes FirstScanWithTables(const Bytes& b) {
  std::size_t at = 2, tables = std::string::npos;
  while (at + 4 <= b.size() && b[at] == 0xFF) {
    const std::uint8_t code = b[at + 1];
    const std::size_t length = std::size_t(b[at + 2] << 8) | b[at + 3];
    if (code == 0xC4) {
      if (tables == std::string::npos) tables = at;
    } else if (code != 0xDA) {
      tables = std::string::npos;
    } else {
      std::size_t end = at + 2 + length;
      while (end + 1 < b.size() &&
             !(b[end] == 0xFF && b[end + 1] != 0 && (b[end + 1] < 0xD0 || b[end + 1] > 0xD7)))
        ++end;
      return Bytes(b.begin() + std::ptrdiff_t(tables == std::string::npos ? at : tables),
                   b.begin() + std::ptrdiff_t(end));
    }
    at += 2 + length;
  }
  return {};
}

// A progressive file with its first (DC) scan read n more times after the last one:
// each repeat is a valid scan that only earns an "odd progression" warning.
Bytes RepeatFirstScan(const Bytes& prog, int n) {
  const Bytes scan = FirstScanWithTables(prog);
  Bytes out(prog.begin(), prog.end() - 2);
  for (int i = 0; i < n; ++i) out.insert(out.end(), scan.begin(), scan.end());
  return Concat(out, {0xFF, 0xD9});
}

TEST(JpegDecode, BadFilesGiveLibjpegsCodeAndLeaveTheTargetAlone) {
  ScratchDir dir;
  const Bytes good = EncodedJpeg(dir, Gradient(64, 48), 90, false);
  const Bytes prog = EncodedJpeg(dir, Gradient(64, 48), 90, true);
  const std::size_t sof = FindMarker(good, 0xC0), sos = FindMarker(good, 0xDA);
  ASSERT_NE(sof, std::string::npos);
  ASSERT_NE(sos, std::string::npos);
  auto cut = [](Bytes b, std::size_t n) {
    b.resize(n);
    return b;
  };
  const std::size_t midScan = (sos + good.size()) / 2;
  Bytes zeroWidth = good, huge = good, badLength = good, noImage = {0xFF, 0xD8};
  SetBe16(zeroWidth, sof + 7, 0);
  SetBe16(huge, sof + 5, 65500);
  SetBe16(huge, sof + 7, 65500);
  SetBe16(badLength, sof + 2, 2);
  for (int i = 0; i < 300; ++i) noImage.push_back(std::uint8_t((i * 37) % 255));  // no 0xFF
  noImage.insert(noImage.end(), {0xFF, 0xD9});

  struct Case {
    const char* name;
    Bytes bytes;
    int code;
  };
  const std::vector<Case> cases = {
      {"empty file", {}, JERR_INPUT_EMPTY},
      {"SOI only", {0xFF, 0xD8}, JWRN_JPEG_EOF},
      {"cut before the scan", cut(good, sos), JWRN_JPEG_EOF},
      {"cut in the middle of the scan", cut(good, midScan), JWRN_JPEG_EOF},
      {"half a scan closed with EOI", Concat(cut(good, midScan), {0xFF, 0xD9}), JWRN_HIT_MARKER},
      {"progressive cut in half", cut(prog, prog.size() / 2), JWRN_JPEG_EOF},
      {"zero width", zeroWidth, JERR_EMPTY_IMAGE},
      {"65500 x 65500 pixels", huge, JERR_IMAGE_TOO_BIG},
      {"frame header length 2", badLength, JERR_BAD_LENGTH},
      {"no quantisation tables", RemoveSegments(good, 0xDB), JERR_NO_QUANT_TABLE},
      {"garbage between SOI and EOI", noImage, JERR_NO_IMAGE},
      {"more scans than any real file", RepeatFirstScan(prog, kMaxJpegScans), JERR_BAD_PROGRESSION},
  };
  for (const Case& c : cases) {
    const fs::path f = dir / "bad.jpg";
    WriteBytes(f, c.bytes);
    TBitmap32 b = Sentinel();
    EXPECT_EQ(LoadFromFileError(b, f), JpegError(c.code)) << c.name;
    ExpectSentinel(b, c.name);
    LoadPicture(b, f);
    ExpectSentinel(b, std::string(c.name) + " (LoadPicture)");
  }
}

TEST(JpegDecode, ToleratesWhatLibjpegRecoversFrom) {
  ScratchDir dir;
  const Bytes good = EncodedJpeg(dir, Gradient(40, 30), 90, false);
  const fs::path f = dir / "file.jpg";
  WriteBytes(f, good);
  TBitmap32 clean;
  clean.LoadFromFile(f);

  Bytes extraneous(good.begin(), good.end() - 2);
  extraneous.insert(extraneous.end(), {0x00, 0x11, 0x22, 0xFF, 0xD9});
  WriteBytes(f, extraneous);
  TBitmap32 b;
  b.LoadFromFile(f);
  EXPECT_TRUE(SamePixels(b, clean)) << "stray bytes before EOI";

  WriteBytes(f, Bytes(good.begin(), good.end() - 2));
  b = TBitmap32();
  b.LoadFromFile(f);
  EXPECT_TRUE(SamePixels(b, clean)) << "complete scan without EOI";

  const Bytes prog = EncodedJpeg(dir, Gradient(40, 30), 90, true);
  ASSERT_FALSE(FirstScanWithTables(prog).empty());
  WriteBytes(f, RepeatFirstScan(prog, 20));
  b = TBitmap32();
  b.LoadFromFile(f);
  EXPECT_EQ(b.Width(), 40) << "twenty repeated scans are only warnings";
}

}  // namespace
}  // namespace tessaro
