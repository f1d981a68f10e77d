// The project record: creation, SetDefaults, Assign and the section byte images.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core/ootsfunction2007.h"

namespace tessaro {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Section numbers of the seven groups.
constexpr int kSections[] = {2, 3, 4, 5, 6, 7, 8};

Bytes Section(const TtsProject07& p, int s) { return p.SectionBytes(s); }

void FillSection(TtsProject07& p, int s, const Bytes& bytes) {
  ASSERT_EQ(p.ReadSectionBytes(s, bytes.data(), bytes.size()), bytes.size());
}

std::uint8_t PatternA(int section, int offset) { return std::uint8_t(section * 37 + offset * 3 + 1); }
std::uint8_t PatternB(int section, int offset) { return std::uint8_t(~PatternA(section, offset)); }

void FillAllSections(TtsProject07& p, const std::function<std::uint8_t(int, int)>& pattern) {
  for (int s : kSections) {
    Bytes b(TtsProject07::GroupSizeOfSection(s));
    for (std::size_t i = 0; i < b.size(); ++i) b[i] = pattern(s, int(i));
    FillSection(p, s, b);
  }
}

void PutLE(Bytes& b, int offset, int width, std::int64_t value) {
  for (int i = 0; i < width; ++i) b[std::size_t(offset + i)] = std::uint8_t(std::uint64_t(value) >> (8 * i));
}

std::int32_t GetLE32(const Bytes& b, int offset) {
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= std::uint32_t(b[std::size_t(offset + i)]) << (8 * i);
  return std::int32_t(v);
}

// A field of a section with its default: (section, offset, width, value).
struct FieldDefault {
  int SectionNo, Offset, Width;
  std::int64_t Value;
};

std::vector<FieldDefault> ResetFields() {
  std::vector<FieldDefault> f = {
      {2, 0, 4, 0},  {2, 4, 4, 0},  {2, 8, 4, 1024}, {2, 12, 4, 1024}, {2, 16, 4, 48},
      {2, 20, 4, 48}, {2, 24, 4, 72}, {2, 36, 1, 0},   {2, 40, 4, 0},    {2, 44, 4, 0},
      {2, 48, 4, 0xFFFFFF}, {2, 52, 1, 0},
      {3, 0, 1, 0},  {3, 1, 1, 0},  {3, 2, 1, 0},
      {4, 0, 1, 0},  {4, 1, 1, 1},  {4, 2, 1, 0},  {4, 3, 1, 0},  {4, 4, 1, 0},
      {4, 8, 4, 1},  {4, 12, 1, 0}, {4, 16, 4, 0}, {4, 20, 4, 400}, {4, 24, 1, 0}, {4, 25, 1, 0},
      {6, 0, 4, 1},  {6, 4, 4, 1},
      {7, 0, 4, 20}, {7, 4, 4, 10}, {7, 8, 1, 0},  {7, 12, 4, 40}, {7, 16, 4, 255}, {7, 20, 1, 4},
      {7, 104, 4, 20}, {7, 108, 4, 30}, {7, 112, 4, 15},
  };
  for (int k = 0; k < 24; ++k) f.push_back({4, 26 + k, 1, 0});  // RotationAngles
  const int enhance[10] = {10, 255, 50, 190, 100, 150, 150, 120, 200, 100};
  const int alpha[10] = {10, 0, 15, 20, 35, 40, 50, 50, 120, 75};
  for (int k = 0; k < 10; ++k) {
    f.push_back({7, 21 + 4 * k, 4, enhance[k]});
    f.push_back({7, 61 + 4 * k, 4, alpha[k]});
  }
  return f;
}

TEST(ProjectRecord, CreateZeroFillsWhatHasNoDefault) {
  const TtsProject07 p = TtsProject07::Create();
  EXPECT_EQ(p.PageWidth, 0);
  EXPECT_EQ(p.PageHeight, 0);
  EXPECT_EQ(p.FrameReserved53, 0);
  EXPECT_EQ(p.FrameReserved54, 0);
  EXPECT_EQ(p.MainImageReserved, 0);
  EXPECT_EQ(Section(p, 5), Bytes(56, 0));  // brush group
  EXPECT_EQ(Section(p, 8), Bytes(8, 0));   // picture export group
  EXPECT_EQ(p.TilePreviewOnly, 0);
  EXPECT_EQ(p.UseDivisionMap, 0);
  EXPECT_EQ(p.UsePriorityMap, 0);
  EXPECT_EQ(p.MapReserved[0] | p.MapReserved[1], 0);
  EXPECT_EQ(p.EnhanceCurve, TCurveTable{});
  EXPECT_EQ(p.AlphaCurve, TCurveTable{});
  EXPECT_TRUE(p.Projectpath.empty() && p.Projectname.empty() && p.OrgMainimageFilename.empty() &&
              p.MainimageFilename.empty());
  for (int s = 1; s <= 8; ++s) EXPECT_EQ(p.SectionSizes[std::size_t(s)], 0);
  // Unused bytes, which a never-loaded project writes as 0.
  const Bytes frame = Section(p, 2), cells = Section(p, 4), render = Section(p, 7);
  for (int off : {37, 38, 39, 55}) EXPECT_EQ(frame[std::size_t(off)], 0) << off;
  for (int off : {5, 6, 7, 13, 14, 15, 50, 51}) EXPECT_EQ(cells[std::size_t(off)], 0) << off;
  for (int off : {9, 10, 11, 101, 102, 103}) EXPECT_EQ(render[std::size_t(off)], 0) << off;
}

TEST(ProjectRecord, CreateSetsTheDefaults) {
  const TtsProject07 p;
  EXPECT_EQ(p.StageFlags, 0);
  EXPECT_EQ(p.MosaicWidth, 1024);
  EXPECT_EQ(p.MosaicHeight, 1024);
  EXPECT_EQ(p.CellWidth, 48);
  EXPECT_EQ(p.CellHeight, 48);
  EXPECT_EQ(p.OutputDPI, 72);
  EXPECT_EQ(p.CanvasColor, 0xFFFFFFu);
  EXPECT_EQ(p.CropCell, 1);
  EXPECT_EQ(p.RepeatRadius, 1);
  EXPECT_EQ(p.MaxRepeatTimes, 400);
  EXPECT_EQ(p.PatternGroup, 1);
  EXPECT_EQ(p.PatternIndex, 1);
  EXPECT_EQ(p.ColorEnhance, 20);
  EXPECT_EQ(p.RandomizeLevel, 10);
  EXPECT_EQ(p.AlphaBlendMain, 40);
  EXPECT_EQ(p.AlphaBlendPen, 255);
  EXPECT_EQ(p.StretchFilter, 4);
  EXPECT_EQ(p.ColorDiffAverage, 20);
  EXPECT_EQ(p.ColorDiffSingle, 30);
  EXPECT_EQ(p.ShapeDiff, 15);
  const TCurvePoints e = p.EnhanceCurvePoints, a = p.AlphaCurvePoints;
  EXPECT_EQ(e, kDefaultEnhanceCurvePoints);
  EXPECT_EQ(a, kDefaultAlphaCurvePoints);
  EXPECT_EQ(e[2], (TCurvePoint{100, 150}));
  EXPECT_EQ(a[4], (TCurvePoint{120, 75}));
}

TEST(ProjectRecord, SetDefaultsResetsExactlyTheDefaultedFields) {
  const std::vector<FieldDefault> reset = ResetFields();

  // Every byte gets a value unlike what SetDefaults would put there, so a missed
  // reset shows, and a byte that must be kept is told apart from a reset one.
  std::vector<Bytes> before(9);
  TtsProject07 p;
  for (int s : kSections) {
    Bytes b(TtsProject07::GroupSizeOfSection(s));
    for (std::size_t i = 0; i < b.size(); ++i) b[i] = PatternA(s, int(i));
    for (const FieldDefault& f : reset)
      if (f.SectionNo == s)
        for (int k = 0; k < f.Width; ++k) {
          const std::size_t i = std::size_t(f.Offset + k);
          if (b[i] == std::uint8_t(std::uint64_t(f.Value) >> (8 * k))) b[i] = std::uint8_t(b[i] ^ 0xA5);
        }
    before[std::size_t(s)] = b;
    FillSection(p, s, b);
  }
  p.Projectpath = "/projects/beach";
  p.Projectname = "beach";
  p.OrgMainimageFilename = "/photos/beach.jpg";
  p.MainimageFilename = "/projects/beach/mainimage.jpg";
  p.UseDivisionMap = 1;
  p.UsePriorityMap = 1;
  p.MapReserved[0] = 7;
  p.MapReserved[1] = 9;
  p.TilePreviewOnly = 1;
  p.AutoRepeatLimit = 1;
  for (int s = 1; s <= 8; ++s) p.SectionSizes[std::size_t(s)] = 100 + s;
  for (int l = 1; l <= 7; ++l) p.LayerBytes[std::size_t(l)] = 576 * l;
  p.EnhanceCurve.fill(17);
  p.AlphaCurve.fill(19);

  p.SetDefaults();

  for (int s : kSections) {
    Bytes expected = before[std::size_t(s)];
    for (const FieldDefault& f : reset)
      if (f.SectionNo == s) PutLE(expected, f.Offset, f.Width, f.Value);
    const Bytes got = Section(p, s);
    for (std::size_t i = 0; i < got.size(); ++i)
      EXPECT_EQ(got[i], expected[i]) << "section " << s << " offset " << i;
  }
  EXPECT_EQ(p.PageWidth, GetLE32(before[2], 28));
  EXPECT_EQ(p.PageHeight, GetLE32(before[2], 32));
  EXPECT_EQ(p.FrameReserved53, before[2][53]);
  EXPECT_EQ(p.FrameReserved54, before[2][54]);
  EXPECT_EQ(p.MainImageReserved, before[3][3]);
  EXPECT_EQ(p.BrushMode, GetLE32(before[5], 0));
  EXPECT_EQ(p.JpegQuality, GetLE32(before[8], 0));

  EXPECT_EQ(p.Projectpath, "/projects/beach");
  EXPECT_EQ(p.Projectname, "beach");
  EXPECT_EQ(p.OrgMainimageFilename, "/photos/beach.jpg");
  EXPECT_EQ(p.MainimageFilename, "");
  EXPECT_EQ(p.UseDivisionMap, 1);
  EXPECT_EQ(p.UsePriorityMap, 1);
  EXPECT_EQ(p.MapReserved[0], 7);
  EXPECT_EQ(p.MapReserved[1], 9);
  EXPECT_EQ(p.TilePreviewOnly, 1);
  EXPECT_EQ(p.AutoRepeatLimit, 0);
  for (int s = 1; s <= 8; ++s) EXPECT_EQ(p.SectionSizes[std::size_t(s)], 100 + s);
  for (int l = 1; l <= 7; ++l) EXPECT_EQ(p.LayerBytes[std::size_t(l)], 576 * l);
  EXPECT_EQ(p.EnhanceCurve[0], 17);
  EXPECT_EQ(p.AlphaCurve[255], 19);
}

// Byte ranges [From, To] of a section that Assign copies.
struct CopiedRange {
  int SectionNo, From, To;
};

const std::vector<CopiedRange> kCopied = {
    {2, 4, 27},    // StageFlags .. OutputDPI
    {2, 28, 35},   // PageWidth, PageHeight
    {2, 36, 36},   // reserved byte after PageHeight
    {2, 40, 52},   // BorderSize, BorderColor, CanvasColor, MainImageAsBackground
    {3, 0, 2},     // HasMainImage, StretchMainImage, MonochromeMainImage
    {4, 0, 51},    // the whole cell options group
    {6, 0, 7},     // PatternGroup, PatternIndex
    {7, 0, 7},     // ColorEnhance, RandomizeLevel
    {7, 12, 100},  // AlphaBlendMain .. AlphaCurvePoints
    {7, 104, 115}, // the three thresholds
    {8, 0, 7},     // the whole picture export group
};

bool IsCopied(int s, int offset) {
  for (const CopiedRange& r : kCopied)
    if (r.SectionNo == s && offset >= r.From && offset <= r.To) return true;
  return false;
}

void SetScalars(TtsProject07& p, int base) {
  p.Projectpath = "path" + std::to_string(base);
  p.Projectname = "name" + std::to_string(base);
  p.OrgMainimageFilename = "org" + std::to_string(base);
  p.MainimageFilename = "main" + std::to_string(base);
  p.UseDivisionMap = std::uint8_t(base + 1);
  p.UsePriorityMap = std::uint8_t(base + 2);
  p.MapReserved[0] = std::uint8_t(base + 3);
  p.MapReserved[1] = std::uint8_t(base + 4);
  p.TilePreviewOnly = base + 5;
  p.AutoRepeatLimit = std::uint8_t(base + 6);
  for (int s = 1; s <= 8; ++s) p.SectionSizes[std::size_t(s)] = base + 10 + s;
  for (int l = 1; l <= 7; ++l) p.LayerBytes[std::size_t(l)] = base + 20 + l;
  p.EnhanceCurve.fill(base + 30);
  p.AlphaCurve.fill(base + 31);
}

TEST(ProjectRecord, AssignCopiesExactlyTheListedFields) {
  TtsProject07 source, target;
  FillAllSections(source, PatternA);
  FillAllSections(target, PatternB);
  SetScalars(source, 100);
  SetScalars(target, 50);
  std::vector<Bytes> targetBefore(9);
  for (int s : kSections) targetBefore[std::size_t(s)] = Section(target, s);

  target.Assign(source);

  for (int s : kSections) {
    const Bytes got = Section(target, s), src = Section(source, s);
    for (int i = 0; i < int(got.size()); ++i) {
      const std::uint8_t want = IsCopied(s, i) ? src[std::size_t(i)] : targetBefore[std::size_t(s)][std::size_t(i)];
      EXPECT_EQ(got[std::size_t(i)], want)
          << "section " << s << " offset " << i << (IsCopied(s, i) ? " (copied)" : " (kept)");
    }
  }
  // The same, spelled out for the fields a change is most likely to get wrong.
  EXPECT_NE(source.PaletteMatchOnly, target.PaletteMatchOnly);
  EXPECT_EQ(target.PaletteMatchOnly, PatternB(7, 8));
  EXPECT_EQ(Section(target, 5), targetBefore[5]) << "brush group";
  EXPECT_EQ(target.FrameReserved53, PatternB(2, 53));
  EXPECT_EQ(target.FrameReserved54, PatternB(2, 54));
  EXPECT_EQ(target.MainImageReserved, PatternB(3, 3));
  EXPECT_EQ(target.FrameReservedByte, source.FrameReservedByte);
  {
    const TCurvePoints se = source.EnhanceCurvePoints, te = target.EnhanceCurvePoints;
    const TCurvePoints sa = source.AlphaCurvePoints, ta = target.AlphaCurvePoints;
    EXPECT_EQ(te, se);
    EXPECT_EQ(ta, sa);
  }

  EXPECT_EQ(target.Projectpath, "path100");
  EXPECT_EQ(target.Projectname, "name100");
  EXPECT_EQ(target.OrgMainimageFilename, "org100");
  EXPECT_EQ(target.MainimageFilename, "main100");
  EXPECT_EQ(target.UseDivisionMap, 101);
  EXPECT_EQ(target.UsePriorityMap, 102);
  EXPECT_EQ(target.MapReserved[0], 103);
  EXPECT_EQ(target.MapReserved[1], 104);
  EXPECT_EQ(target.TilePreviewOnly, 105);
  EXPECT_EQ(target.AutoRepeatLimit, 106);
  for (int s = 1; s <= 8; ++s) EXPECT_EQ(target.SectionSizes[std::size_t(s)], 60 + s) << "save scratch";
  for (int l = 1; l <= 7; ++l) EXPECT_EQ(target.LayerBytes[std::size_t(l)], 70 + l) << "save scratch";
  for (int v = 0; v < 256; ++v) {
    EXPECT_EQ(target.EnhanceCurve[std::size_t(v)], 80) << "curve tables are not copied";
    EXPECT_EQ(target.AlphaCurve[std::size_t(v)], 81);
  }
}

TEST(ProjectRecord, AssignFromItselfChangesNothing) {
  TtsProject07 p;
  FillAllSections(p, PatternA);
  SetScalars(p, 1);
  std::vector<Bytes> before;
  for (int s : kSections) before.push_back(Section(p, s));
  p.Assign(p);
  for (int k = 0; k < 7; ++k) EXPECT_EQ(Section(p, kSections[k]), before[std::size_t(k)]);
  EXPECT_EQ(p.Projectpath, "path1");
}

TEST(ProjectRecord, SectionSizesAddUpToTheFileLength) {
  const TtsProject07 p;
  std::size_t total = 32;
  for (int s = 1; s <= 8; ++s) {
    EXPECT_EQ(p.SectionBytes(s).size(), std::size_t(kSectionSizes[std::size_t(s)])) << s;
    total += p.SectionBytes(s).size();
  }
  EXPECT_EQ(total, kProjectFileSize);
  EXPECT_EQ(total, 332u);
  EXPECT_TRUE(p.SectionBytes(0).empty());
  EXPECT_TRUE(p.SectionBytes(9).empty());
  EXPECT_TRUE(p.SectionBytes(-1).empty());
}

TEST(ProjectRecord, DefaultRecordGivesKnownBytes) {
  TtsProject07 p;
  p.PageWidth = 0x01020304;
  p.BrushCoverFactor = 0.25;
  p.JpegQuality = 90;
  p.JpegProgressive = 1;
  p.PaletteMatchOnly = 1;

  const Bytes frame = p.SectionBytes(2);
  EXPECT_EQ(GetLE32(frame, 8), 1024);
  EXPECT_EQ(GetLE32(frame, 16), 48);
  EXPECT_EQ(GetLE32(frame, 24), 72);
  EXPECT_EQ(Bytes(frame.begin() + 28, frame.begin() + 32), (Bytes{0x04, 0x03, 0x02, 0x01}));
  EXPECT_EQ(Bytes(frame.begin() + 48, frame.begin() + 52), (Bytes{0xFF, 0xFF, 0xFF, 0x00}));

  const Bytes cells = p.SectionBytes(4);
  EXPECT_EQ(cells[1], 1);  // CropCell
  EXPECT_EQ(GetLE32(cells, 8), 1);
  EXPECT_EQ(GetLE32(cells, 20), 400);

  const Bytes brush = p.SectionBytes(5);
  EXPECT_EQ(Bytes(brush.begin() + 40, brush.begin() + 48),
            (Bytes{0, 0, 0, 0, 0, 0, 0xD0, 0x3F}));

  const Bytes render = p.SectionBytes(7);
  EXPECT_EQ(render[8], 1);   // PaletteMatchOnly
  EXPECT_EQ(render[20], 4);  // StretchFilter
  // The enhance points follow StretchFilter without a gap.
  EXPECT_EQ(Bytes(render.begin() + 21, render.begin() + 29),
            (Bytes{10, 0, 0, 0, 255, 0, 0, 0}));
  EXPECT_EQ(GetLE32(render, 21 + 8 * 4), 200);
  EXPECT_EQ(GetLE32(render, 21 + 8 * 4 + 4), 100);
  EXPECT_EQ(GetLE32(render, 61), 10);
  EXPECT_EQ(GetLE32(render, 61 + 4), 0);
  EXPECT_EQ(GetLE32(render, 61 + 8 * 4), 120);
  EXPECT_EQ(GetLE32(render, 61 + 8 * 4 + 4), 75);
  EXPECT_EQ(GetLE32(render, 104), 20);
  EXPECT_EQ(GetLE32(render, 108), 30);
  EXPECT_EQ(GetLE32(render, 112), 15);

  EXPECT_EQ(p.SectionBytes(8), (Bytes{90, 0, 0, 0, 1, 0, 0, 0}));
  EXPECT_EQ(p.SectionBytes(6), (Bytes{1, 0, 0, 0, 1, 0, 0, 0}));
}

TEST(ProjectRecord, BytesReadIntoAGroupAreTheFieldsAtTheirOffsets) {
  Bytes render(116, 0);
  PutLE(render, 0, 4, 33);      // ColorEnhance
  PutLE(render, 16, 4, 128);    // AlphaBlendPen
  render[20] = 6;               // StretchFilter
  PutLE(render, 21 + 8, 4, 77);  // enhance point 2, x
  PutLE(render, 61 + 36, 4, -3); // alpha point 5, y
  PutLE(render, 112, 4, 44);    // ShapeDiff
  TtsProject07 p;
  p.ReadRenderParamGroupBytes(render.data(), render.size());
  EXPECT_EQ(p.ColorEnhance, 33);
  EXPECT_EQ(p.AlphaBlendPen, 128);
  EXPECT_EQ(p.StretchFilter, 6);
  const TCurvePoints e = p.EnhanceCurvePoints, a = p.AlphaCurvePoints;
  EXPECT_EQ(e[1], (TCurvePoint{77, 0}));
  EXPECT_EQ(a[4], (TCurvePoint{0, -3}));
  EXPECT_EQ(p.ShapeDiff, 44);
  EXPECT_EQ(p.SectionBytes(7), render);

  Bytes brush(56, 0);
  PutLE(brush, 0, 4, 3);
  PutLE(brush, 48, 4, 12);
  const double cover = 0.875;
  std::memcpy(brush.data() + 40, &cover, 8);
  p.ReadBrushGroupBytes(brush.data(), brush.size());
  EXPECT_EQ(p.BrushMode, 3);
  EXPECT_EQ(p.BrushRadius, 12);
  EXPECT_EQ(p.BrushCoverFactor, 0.875);
}

TEST(ProjectRecord, ShortSectionFillsOnlyTheStartOfItsGroup) {
  TtsProject07 p;
  FillAllSections(p, PatternA);
  const Bytes before = Section(p, 7);
  const Bytes data(30, 0xEE);
  p.ReadRenderParamGroupBytes(data.data(), data.size());
  const Bytes after = Section(p, 7);
  for (std::size_t i = 0; i < after.size(); ++i)
    EXPECT_EQ(after[i], i < 30 ? 0xEE : before[i]) << "offset " << i;

  // Nothing to read changes nothing, with or without a pointer.
  p.ReadRenderParamGroupBytes(nullptr, 0);
  EXPECT_EQ(Section(p, 7), after);
  EXPECT_EQ(p.ReadSectionBytes(3, nullptr, 0), 0u);
}

TEST(ProjectRecord, LongSectionFillsItsGroupAndNoMore) {
  TtsProject07 p;
  FillAllSections(p, PatternA);
  const Bytes exportBefore = Section(p, 8);
  const Bytes data(200, 0x11);
  EXPECT_EQ(p.ReadSectionBytes(7, data.data(), data.size()), 116u);
  EXPECT_EQ(Section(p, 7), Bytes(116, 0x11));
  EXPECT_EQ(Section(p, 8), exportBefore);
}

TEST(ProjectRecord, SectionOneGoesToTheFrameGroup) {
  TtsProject07 p;
  const Bytes data = {1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_EQ(p.ReadSectionBytes(1, data.data(), data.size()), 8u);
  EXPECT_EQ(p.FrameReservedWord, 0x04030201);
  EXPECT_EQ(p.StageFlags, 0x08070605);
  EXPECT_EQ(p.MosaicWidth, 1024);
  EXPECT_EQ(TtsProject07::GroupSizeOfSection(1), 56u);
  // Section numbers outside 1..8 read nothing.
  const Bytes before = Section(p, 2);
  EXPECT_EQ(p.ReadSectionBytes(0, data.data(), data.size()), 0u);
  EXPECT_EQ(p.ReadSectionBytes(9, data.data(), data.size()), 0u);
  EXPECT_EQ(Section(p, 2), before);
  EXPECT_EQ(TtsProject07::GroupSizeOfSection(9), 0u);
}

TEST(ProjectRecord, SectionBytesRoundTripThroughAnotherRecord) {
  TtsProject07 a, b;
  FillAllSections(a, PatternA);
  for (int s : kSections) {
    const Bytes bytes = a.SectionBytes(s);
    b.ReadSectionBytes(s, bytes.data(), bytes.size());
  }
  for (int s : kSections) EXPECT_EQ(b.SectionBytes(s), a.SectionBytes(s)) << s;
  EXPECT_EQ(b.MosaicWidth, a.MosaicWidth);
  EXPECT_EQ(b.BrushRadius, a.BrushRadius);
}

// The groups' integer and float fields sit aligned inside the record, so they can be
// handed to anything taking a const reference.
TEST(ProjectRecord, GroupFieldsAreAlignedInTheRecord) {
  const TtsProject07 p;
  const auto addr = [](const void* q) { return reinterpret_cast<std::uintptr_t>(q); };
  EXPECT_EQ(addr(&p) % alignof(double), 0u);
  for (const void* q : {static_cast<const void*>(&p.MosaicWidth), static_cast<const void*>(&p.BorderSize),
                        static_cast<const void*>(&p.RepeatRadius), static_cast<const void*>(&p.MaxRepeatTimes),
                        static_cast<const void*>(&p.BrushMode), static_cast<const void*>(&p.BrushRadius),
                        static_cast<const void*>(&p.PatternGroup), static_cast<const void*>(&p.ColorEnhance),
                        static_cast<const void*>(&p.AlphaBlendMain), static_cast<const void*>(&p.ShapeDiff),
                        static_cast<const void*>(&p.JpegQuality)})
    EXPECT_EQ(addr(q) % 4, 0u);
  EXPECT_EQ(addr(&p.BrushCoverFactor) % 8, 0u);
  EXPECT_EQ(std::max(p.MosaicWidth, 5), 1024);
}

}  // namespace
}  // namespace tessaro
