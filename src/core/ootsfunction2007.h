// TtsProject07: the record of one mosaic project.
//
// The persistent settings are the eight sections of "project.TS8". Sections 2..8 are
// held as packed byte images (the T*Group structs below), so each section is written
// and read as exactly the bytes the file holds, unused bytes included. Section 1 is
// empty. TtsProject07 derives from the groups, so a field reads as
// project.StageFlags, and a group's byte image is a copy of its base subobject.
//
// Every group size is a multiple of 4 (the brush group starts at a multiple of 8), so
// the groups' 32-bit and 64-bit fields sit aligned inside the record; only the two
// curve point sets of the render group are unaligned (see curve_file.h).
//
// Array fields that the file format numbers from 1 (SectionSizes[1..8],
// LayerBytes[1..7]) are indexed from 1 here too; element 0 is unused.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/curve_file.h"
#include "engine/layer_records.h"

namespace tessaro {

static_assert(std::endian::native == std::endian::little,
              "the groups are the little-endian byte images of the project file");

// StageFlags values: how far the render job has got. Any other value means nothing
// is left to do.
inline constexpr std::int32_t kStageNew = 0;
inline constexpr std::int32_t kStageLoadedFinished = 2;
inline constexpr std::int32_t kStageLibraryReady = 0x10;
inline constexpr std::int32_t kStagePatternApplied = 0x100;
inline constexpr std::int32_t kStageCellsAssigned = 0x1000;
inline constexpr std::int32_t kStageDrawn = 0x10000;
inline constexpr std::int32_t kStageRedrawRequested = 0x20000;

using TCurveTable = std::array<std::int32_t, 256>;

#pragma pack(push, 1)

// Section 2.
struct TFrameGroup {
  std::int32_t FrameReservedWord;
  std::int32_t StageFlags;
  std::int32_t MosaicWidth;
  std::int32_t MosaicHeight;
  std::int32_t CellWidth;
  std::int32_t CellHeight;
  std::int32_t OutputDPI;
  std::int32_t PageWidth;
  std::int32_t PageHeight;
  std::uint8_t FrameReservedByte;
  std::uint8_t FrameUnused37[3];
  std::int32_t BorderSize;
  std::uint32_t BorderColor;  // 0x00BBGGRR
  std::uint32_t CanvasColor;  // 0x00BBGGRR
  std::uint8_t MainImageAsBackground;
  std::uint8_t FrameReserved53;
  std::uint8_t FrameReserved54;  // never set; 0 in every file this program writes
  std::uint8_t FrameUnused55;
};

// Section 3.
struct TMainImageGroup {
  std::uint8_t HasMainImage;
  std::uint8_t StretchMainImage;
  std::uint8_t MonochromeMainImage;
  std::uint8_t MainImageReserved;
};

// Section 4.
struct TCellOptionsGroup {
  std::uint8_t UseAllPhotos;
  std::uint8_t CropCell;
  std::uint8_t MonochromeCell;
  std::uint8_t AllowHorizontalFlip;
  std::uint8_t AllowVerticalFlip;
  std::uint8_t CellUnused5[3];
  std::int32_t RepeatRadius;
  std::uint8_t LimitRepeat;
  std::uint8_t CellUnused13[3];
  std::int32_t MinRepeatTimes;
  std::int32_t MaxRepeatTimes;
  std::uint8_t AdvancedRepeatControl;
  std::uint8_t AllowRotation;
  std::uint8_t RotationAngles[24];  // entry k = 1 allows 15 * k degrees
  std::uint8_t CellUnused50[2];
};

// Section 5: a free brush's settings. Nothing in this program edits them; they are
// kept as read and written back unchanged.
struct TBrushGroup {
  std::int32_t BrushMode;  // 1 drag area, 2 fix size, 3 fix aspect ratio, 4 random size
  std::int32_t BrushCellWidth;
  std::int32_t BrushCellHeight;
  std::int32_t BrushAspectWidth;
  std::int32_t BrushAspectHeight;
  std::int32_t BrushMinWidth;
  std::int32_t BrushMinHeight;
  std::int32_t BrushMaxWidth;
  std::int32_t BrushMaxHeight;
  std::uint8_t BrushUnused36[4];
  double BrushCoverFactor;
  std::int32_t BrushRadius;
  std::uint8_t BrushUnused52[4];
};

// Section 6.
struct TPatternChoiceGroup {
  std::int32_t PatternGroup;  // mask number, from 1
  std::int32_t PatternIndex;  // pattern number within the mask, from 1
};

// Section 7.
struct TRenderParamGroup {
  std::int32_t ColorEnhance;
  std::int32_t RandomizeLevel;
  std::uint8_t PaletteMatchOnly;
  std::uint8_t RenderUnused9[3];
  std::int32_t AlphaBlendMain;
  std::int32_t AlphaBlendPen;
  std::uint8_t StretchFilter;  // 0 nearest .. 6 Mitchell, as TStretchFilter
  TCurvePoints EnhanceCurvePoints;  // unaligned: follows StretchFilter without a gap
  TCurvePoints AlphaCurvePoints;
  std::uint8_t RenderUnused101[3];
  std::int32_t ColorDiffAverage;
  std::int32_t ColorDiffSingle;
  std::int32_t ShapeDiff;
};

// Section 8: stored and copied, read by nothing.
struct TPictureExportGroup {
  std::int32_t JpegQuality;
  std::uint8_t JpegProgressive;
  std::uint8_t ExportUnused5[3];
};

#pragma pack(pop)

static_assert(sizeof(TFrameGroup) == 56);
static_assert(sizeof(TMainImageGroup) == 4);
static_assert(sizeof(TCellOptionsGroup) == 52);
static_assert(sizeof(TBrushGroup) == 56);
static_assert(sizeof(TPatternChoiceGroup) == 8);
static_assert(sizeof(TRenderParamGroup) == 116);
static_assert(sizeof(TPictureExportGroup) == 8);

static_assert(offsetof(TFrameGroup, FrameReservedWord) == 0);
static_assert(offsetof(TFrameGroup, StageFlags) == 4);
static_assert(offsetof(TFrameGroup, MosaicWidth) == 8);
static_assert(offsetof(TFrameGroup, MosaicHeight) == 12);
static_assert(offsetof(TFrameGroup, CellWidth) == 16);
static_assert(offsetof(TFrameGroup, CellHeight) == 20);
static_assert(offsetof(TFrameGroup, OutputDPI) == 24);
static_assert(offsetof(TFrameGroup, PageWidth) == 28);
static_assert(offsetof(TFrameGroup, PageHeight) == 32);
static_assert(offsetof(TFrameGroup, FrameReservedByte) == 36);
static_assert(offsetof(TFrameGroup, FrameUnused37) == 37);
static_assert(offsetof(TFrameGroup, BorderSize) == 40);
static_assert(offsetof(TFrameGroup, BorderColor) == 44);
static_assert(offsetof(TFrameGroup, CanvasColor) == 48);
static_assert(offsetof(TFrameGroup, MainImageAsBackground) == 52);
static_assert(offsetof(TFrameGroup, FrameReserved53) == 53);
static_assert(offsetof(TFrameGroup, FrameReserved54) == 54);
static_assert(offsetof(TFrameGroup, FrameUnused55) == 55);

static_assert(offsetof(TMainImageGroup, HasMainImage) == 0);
static_assert(offsetof(TMainImageGroup, StretchMainImage) == 1);
static_assert(offsetof(TMainImageGroup, MonochromeMainImage) == 2);
static_assert(offsetof(TMainImageGroup, MainImageReserved) == 3);

static_assert(offsetof(TCellOptionsGroup, UseAllPhotos) == 0);
static_assert(offsetof(TCellOptionsGroup, CropCell) == 1);
static_assert(offsetof(TCellOptionsGroup, MonochromeCell) == 2);
static_assert(offsetof(TCellOptionsGroup, AllowHorizontalFlip) == 3);
static_assert(offsetof(TCellOptionsGroup, AllowVerticalFlip) == 4);
static_assert(offsetof(TCellOptionsGroup, CellUnused5) == 5);
static_assert(offsetof(TCellOptionsGroup, RepeatRadius) == 8);
static_assert(offsetof(TCellOptionsGroup, LimitRepeat) == 12);
static_assert(offsetof(TCellOptionsGroup, CellUnused13) == 13);
static_assert(offsetof(TCellOptionsGroup, MinRepeatTimes) == 16);
static_assert(offsetof(TCellOptionsGroup, MaxRepeatTimes) == 20);
static_assert(offsetof(TCellOptionsGroup, AdvancedRepeatControl) == 24);
static_assert(offsetof(TCellOptionsGroup, AllowRotation) == 25);
static_assert(offsetof(TCellOptionsGroup, RotationAngles) == 26);
static_assert(offsetof(TCellOptionsGroup, CellUnused50) == 50);

static_assert(offsetof(TBrushGroup, BrushMode) == 0);
static_assert(offsetof(TBrushGroup, BrushCellWidth) == 4);
static_assert(offsetof(TBrushGroup, BrushCellHeight) == 8);
static_assert(offsetof(TBrushGroup, BrushAspectWidth) == 12);
static_assert(offsetof(TBrushGroup, BrushAspectHeight) == 16);
static_assert(offsetof(TBrushGroup, BrushMinWidth) == 20);
static_assert(offsetof(TBrushGroup, BrushMinHeight) == 24);
static_assert(offsetof(TBrushGroup, BrushMaxWidth) == 28);
static_assert(offsetof(TBrushGroup, BrushMaxHeight) == 32);
static_assert(offsetof(TBrushGroup, BrushUnused36) == 36);
static_assert(offsetof(TBrushGroup, BrushCoverFactor) == 40);
static_assert(offsetof(TBrushGroup, BrushRadius) == 48);
static_assert(offsetof(TBrushGroup, BrushUnused52) == 52);

static_assert(offsetof(TPatternChoiceGroup, PatternGroup) == 0);
static_assert(offsetof(TPatternChoiceGroup, PatternIndex) == 4);

static_assert(offsetof(TRenderParamGroup, ColorEnhance) == 0);
static_assert(offsetof(TRenderParamGroup, RandomizeLevel) == 4);
static_assert(offsetof(TRenderParamGroup, PaletteMatchOnly) == 8);
static_assert(offsetof(TRenderParamGroup, RenderUnused9) == 9);
static_assert(offsetof(TRenderParamGroup, AlphaBlendMain) == 12);
static_assert(offsetof(TRenderParamGroup, AlphaBlendPen) == 16);
static_assert(offsetof(TRenderParamGroup, StretchFilter) == 20);
static_assert(offsetof(TRenderParamGroup, EnhanceCurvePoints) == 21);
static_assert(offsetof(TRenderParamGroup, AlphaCurvePoints) == 61);
static_assert(offsetof(TRenderParamGroup, RenderUnused101) == 101);
static_assert(offsetof(TRenderParamGroup, ColorDiffAverage) == 104);
static_assert(offsetof(TRenderParamGroup, ColorDiffSingle) == 108);
static_assert(offsetof(TRenderParamGroup, ShapeDiff) == 112);

static_assert(offsetof(TPictureExportGroup, JpegQuality) == 0);
static_assert(offsetof(TPictureExportGroup, JpegProgressive) == 4);
static_assert(offsetof(TPictureExportGroup, ExportUnused5) == 5);

// Section lengths of "project.TS8", indexed by section number 1..8 (element 0 unused).
inline constexpr std::array<std::int32_t, 9> kSectionSizes = {0, 0, 56, 4, 52, 56, 8, 116, 8};
inline constexpr int kSectionCount = 8;
// Header of eight lengths plus the sections as written.
inline constexpr std::size_t kProjectFileSize = 32 + 300;

// Default control points.
inline constexpr TCurvePoints kDefaultEnhanceCurvePoints = {
    {{10, 255}, {50, 190}, {100, 150}, {150, 120}, {200, 100}}};
inline constexpr TCurvePoints kDefaultAlphaCurvePoints = {
    {{10, 0}, {15, 20}, {35, 40}, {50, 50}, {120, 75}}};

class TtsProject07 : public TFrameGroup,
                     public TMainImageGroup,
                     public TCellOptionsGroup,
                     public TBrushGroup,
                     public TPatternChoiceGroup,
                     public TRenderParamGroup,
                     public TPictureExportGroup {
 public:
  // Zero-filled, then SetDefaults.
  TtsProject07();
  static TtsProject07 Create() { return TtsProject07(); }

  // Sets every field that has a default. Leaves PageWidth, PageHeight, the reserved
  // bytes 53/54 of the frame group, the main image group's reserved byte, every unused
  // byte, TilePreviewOnly, the brush group, the bytes that are not saved, the picture
  // export group, the paths other than MainimageFilename, the save scratch and the
  // curve tables as they are.
  void SetDefaults();

  // Copies what a mode panel's working copy hands to the live project. Not copied:
  // the save scratch, the frame's reserved word and reserved bytes 53/54, the unused
  // bytes of the frame and render groups, the main image group's reserved byte, the
  // brush group, PaletteMatchOnly, the curve tables (and, later, pattern and layers).
  void Assign(const TtsProject07& source);

  // BuildCurveTable of both point sets into EnhanceCurve and AlphaCurve.
  void BuildCurveTables();

  // Byte images of sections 2..8, exactly as the file holds them.
  std::array<std::uint8_t, 56> FrameGroupBytes() const;
  std::array<std::uint8_t, 4> MainImageGroupBytes() const;
  std::array<std::uint8_t, 52> CellOptionsGroupBytes() const;
  std::array<std::uint8_t, 56> BrushGroupBytes() const;
  std::array<std::uint8_t, 8> PatternChoiceGroupBytes() const;
  std::array<std::uint8_t, 116> RenderParamGroupBytes() const;
  std::array<std::uint8_t, 8> PictureExportGroupBytes() const;

  // Each fills the start of its group with the first min(n, group size) bytes of data
  // and leaves the rest of the group as it was: the rule for a short section. Bytes
  // beyond the group size are the caller's to skip. data may be null when n is 0.
  void ReadFrameGroupBytes(const std::uint8_t* data, std::size_t n);
  void ReadMainImageGroupBytes(const std::uint8_t* data, std::size_t n);
  void ReadCellOptionsGroupBytes(const std::uint8_t* data, std::size_t n);
  void ReadBrushGroupBytes(const std::uint8_t* data, std::size_t n);
  void ReadPatternChoiceGroupBytes(const std::uint8_t* data, std::size_t n);
  void ReadRenderParamGroupBytes(const std::uint8_t* data, std::size_t n);
  void ReadPictureExportGroupBytes(const std::uint8_t* data, std::size_t n);

  // By section number 1..8. Section 1 is empty when written and, when a file holds
  // bytes for it, they go to the frame group (before section 2 does). Other numbers
  // give no bytes and read nothing.
  std::vector<std::uint8_t> SectionBytes(int section) const;
  // Returns the number of bytes taken into the group (min(n, group size)).
  std::size_t ReadSectionBytes(int section, const std::uint8_t* data, std::size_t n);
  // Size of the group that takes a section's bytes (section 1: the frame group's).
  static std::size_t GroupSizeOfSection(int section);

  // Save scratch.
  std::array<std::int32_t, 9> SectionSizes{};  // [1..8]
  std::array<std::int32_t, 8> LayerBytes{};    // [1..7]

  // Paths, kept in "project.ini".
  std::string Projectpath;  // without a trailing separator
  std::string Projectname;
  std::string OrgMainimageFilename;
  std::string MainimageFilename;

  // Not saved; copied by Assign only.
  std::uint8_t UseDivisionMap = 0;
  std::uint8_t UsePriorityMap = 0;
  std::uint8_t MapReserved[2] = {0, 0};

  // Run-time fields, not saved.
  std::int32_t TilePreviewOnly = 0;
  std::uint8_t AutoRepeatLimit = 0;
  TCurveTable EnhanceCurve{};  // meaningful only after BuildCurveTables
  TCurveTable AlphaCurve{};

  // The current pattern and the seven cell layers, Layers[1..7] with LayerNo 1..7
  // (element 0 unused). Create, SetDefaults and Assign leave them untouched.
  TTSPattern Pattern;
  TProjectLayers Layers = MakeProjectLayers();
};

// The piecewise-linear table through the five points sorted by x (exchange sort),
// flat left of the first and right of the last point. x is clamped to 0..255 before
// use; each entry is the truncation toward zero of (x - xk) * (yk+1 - yk) / (xk+1 - xk)
// + yk, with the product in integers and the division in floating point. Two points
// with the same x give that entry the y of the later one after sorting.
void BuildCurveTable(const TCurvePoints& points, TCurveTable& table);

}  // namespace tessaro
