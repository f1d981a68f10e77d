#include <algorithm>
#include <cstring>

#include "core/ootsfunction2007.h"

namespace tessaro {

namespace {

// A group's byte image: copy the base subobject into a local and take its bytes, so no
// bytes are copied into or out of a base subobject directly.
template <typename Group>
std::array<std::uint8_t, sizeof(Group)> BytesOf(const Group& group) {
  const Group copy = group;
  std::array<std::uint8_t, sizeof(Group)> out;
  std::memcpy(out.data(), &copy, sizeof(Group));
  return out;
}

template <typename Group>
std::size_t ReadInto(Group& group, const std::uint8_t* data, std::size_t n) {
  const std::size_t take = std::min(n, sizeof(Group));
  if (take == 0) return 0;
  Group copy = group;
  std::memcpy(&copy, data, take);
  group = copy;
  return take;
}

template <std::size_t N>
std::vector<std::uint8_t> ToVector(const std::array<std::uint8_t, N>& a) {
  return std::vector<std::uint8_t>(a.begin(), a.end());
}

}  // namespace

TtsProject07::TtsProject07()
    : TFrameGroup{},
      TMainImageGroup{},
      TCellOptionsGroup{},
      TBrushGroup{},
      TPatternChoiceGroup{},
      TRenderParamGroup{},
      TPictureExportGroup{} {
  SetDefaults();
}

void TtsProject07::SetDefaults() {
  MainimageFilename.clear();

  FrameReservedWord = 0;
  StageFlags = kStageNew;
  MosaicWidth = 1024;
  MosaicHeight = 1024;
  CellWidth = 48;
  CellHeight = 48;
  OutputDPI = 72;
  FrameReservedByte = 0;
  BorderSize = 0;
  BorderColor = 0x000000;
  CanvasColor = 0xFFFFFF;
  MainImageAsBackground = 0;

  HasMainImage = 0;
  StretchMainImage = 0;
  MonochromeMainImage = 0;

  UseAllPhotos = 0;
  CropCell = 1;
  MonochromeCell = 0;
  AllowHorizontalFlip = 0;
  AllowVerticalFlip = 0;
  RepeatRadius = 1;
  LimitRepeat = 0;
  MinRepeatTimes = 0;
  MaxRepeatTimes = 400;
  AdvancedRepeatControl = 0;
  AllowRotation = 0;
  std::fill(std::begin(RotationAngles), std::end(RotationAngles), std::uint8_t(0));

  PatternGroup = 1;
  PatternIndex = 1;

  ColorEnhance = 20;
  RandomizeLevel = 10;
  PaletteMatchOnly = 0;
  AlphaBlendMain = 40;
  AlphaBlendPen = 255;
  StretchFilter = 4;  // spline
  EnhanceCurvePoints = kDefaultEnhanceCurvePoints;
  AlphaCurvePoints = kDefaultAlphaCurvePoints;
  ColorDiffAverage = 20;
  ColorDiffSingle = 30;
  ShapeDiff = 15;

  AutoRepeatLimit = 0;
}

void TtsProject07::Assign(const TtsProject07& source) {
  if (&source == this) return;

  Projectpath = source.Projectpath;
  Projectname = source.Projectname;
  MainimageFilename = source.MainimageFilename;
  OrgMainimageFilename = source.OrgMainimageFilename;

  PageWidth = source.PageWidth;
  PageHeight = source.PageHeight;
  StageFlags = source.StageFlags;
  MosaicWidth = source.MosaicWidth;
  MosaicHeight = source.MosaicHeight;
  CellWidth = source.CellWidth;
  CellHeight = source.CellHeight;
  OutputDPI = source.OutputDPI;
  FrameReservedByte = source.FrameReservedByte;
  BorderSize = source.BorderSize;
  BorderColor = source.BorderColor;
  CanvasColor = source.CanvasColor;
  MainImageAsBackground = source.MainImageAsBackground;

  HasMainImage = source.HasMainImage;
  StretchMainImage = source.StretchMainImage;
  MonochromeMainImage = source.MonochromeMainImage;

  UseDivisionMap = source.UseDivisionMap;
  UsePriorityMap = source.UsePriorityMap;
  MapReserved[0] = source.MapReserved[0];
  MapReserved[1] = source.MapReserved[1];

  PatternGroup = source.PatternGroup;
  PatternIndex = source.PatternIndex;

  static_cast<TCellOptionsGroup&>(*this) = static_cast<const TCellOptionsGroup&>(source);

  ColorEnhance = source.ColorEnhance;
  RandomizeLevel = source.RandomizeLevel;
  AlphaBlendMain = source.AlphaBlendMain;
  AlphaBlendPen = source.AlphaBlendPen;
  StretchFilter = source.StretchFilter;
  EnhanceCurvePoints = source.EnhanceCurvePoints;
  AlphaCurvePoints = source.AlphaCurvePoints;
  ColorDiffAverage = source.ColorDiffAverage;
  ColorDiffSingle = source.ColorDiffSingle;
  ShapeDiff = source.ShapeDiff;

  static_cast<TPictureExportGroup&>(*this) = static_cast<const TPictureExportGroup&>(source);

  TilePreviewOnly = source.TilePreviewOnly;
  AutoRepeatLimit = source.AutoRepeatLimit;
}

void TtsProject07::BuildCurveTables() {
  BuildCurveTable(EnhanceCurvePoints, EnhanceCurve);
  BuildCurveTable(AlphaCurvePoints, AlphaCurve);
}

std::array<std::uint8_t, 56> TtsProject07::FrameGroupBytes() const {
  return BytesOf<TFrameGroup>(*this);
}
std::array<std::uint8_t, 4> TtsProject07::MainImageGroupBytes() const {
  return BytesOf<TMainImageGroup>(*this);
}
std::array<std::uint8_t, 52> TtsProject07::CellOptionsGroupBytes() const {
  return BytesOf<TCellOptionsGroup>(*this);
}
std::array<std::uint8_t, 56> TtsProject07::BrushGroupBytes() const {
  return BytesOf<TBrushGroup>(*this);
}
std::array<std::uint8_t, 8> TtsProject07::PatternChoiceGroupBytes() const {
  return BytesOf<TPatternChoiceGroup>(*this);
}
std::array<std::uint8_t, 116> TtsProject07::RenderParamGroupBytes() const {
  return BytesOf<TRenderParamGroup>(*this);
}
std::array<std::uint8_t, 8> TtsProject07::PictureExportGroupBytes() const {
  return BytesOf<TPictureExportGroup>(*this);
}

void TtsProject07::ReadFrameGroupBytes(const std::uint8_t* data, std::size_t n) {
  ReadInto<TFrameGroup>(*this, data, n);
}
void TtsProject07::ReadMainImageGroupBytes(const std::uint8_t* data, std::size_t n) {
  ReadInto<TMainImageGroup>(*this, data, n);
}
void TtsProject07::ReadCellOptionsGroupBytes(const std::uint8_t* data, std::size_t n) {
  ReadInto<TCellOptionsGroup>(*this, data, n);
}
void TtsProject07::ReadBrushGroupBytes(const std::uint8_t* data, std::size_t n) {
  ReadInto<TBrushGroup>(*this, data, n);
}
void TtsProject07::ReadPatternChoiceGroupBytes(const std::uint8_t* data, std::size_t n) {
  ReadInto<TPatternChoiceGroup>(*this, data, n);
}
void TtsProject07::ReadRenderParamGroupBytes(const std::uint8_t* data, std::size_t n) {
  ReadInto<TRenderParamGroup>(*this, data, n);
}
void TtsProject07::ReadPictureExportGroupBytes(const std::uint8_t* data, std::size_t n) {
  ReadInto<TPictureExportGroup>(*this, data, n);
}

std::vector<std::uint8_t> TtsProject07::SectionBytes(int section) const {
  switch (section) {
    case 2: return ToVector(FrameGroupBytes());
    case 3: return ToVector(MainImageGroupBytes());
    case 4: return ToVector(CellOptionsGroupBytes());
    case 5: return ToVector(BrushGroupBytes());
    case 6: return ToVector(PatternChoiceGroupBytes());
    case 7: return ToVector(RenderParamGroupBytes());
    case 8: return ToVector(PictureExportGroupBytes());
    default: return {};
  }
}

std::size_t TtsProject07::ReadSectionBytes(int section, const std::uint8_t* data, std::size_t n) {
  switch (section) {
    case 1:
    case 2: return ReadInto<TFrameGroup>(*this, data, n);
    case 3: return ReadInto<TMainImageGroup>(*this, data, n);
    case 4: return ReadInto<TCellOptionsGroup>(*this, data, n);
    case 5: return ReadInto<TBrushGroup>(*this, data, n);
    case 6: return ReadInto<TPatternChoiceGroup>(*this, data, n);
    case 7: return ReadInto<TRenderParamGroup>(*this, data, n);
    case 8: return ReadInto<TPictureExportGroup>(*this, data, n);
    default: return 0;
  }
}

std::size_t TtsProject07::GroupSizeOfSection(int section) {
  if (section == 1) return sizeof(TFrameGroup);
  if (section < 1 || section > kSectionCount) return 0;
  return std::size_t(kSectionSizes[std::size_t(section)]);
}

}  // namespace tessaro
