// Layers and cells: building a pattern's layers over the main image, the global cell
// numbering, the division and priority map lookups and a few cell geometry helpers.
//
// Conventions, said once here:
//
// - Globals. Every function that reads the main image, the maps or the project's
//   sizes takes the TAppState explicitly; the sizes are CurrentProject's MosaicWidth,
//   MosaicHeight, CellWidth and CellHeight. Functions that need only the project
//   take the TtsProject07.
// - Buildable layers. A pattern layer is built only when it is enabled and its grid
//   is sound: both pitches Trunc(cell size x factor) at least one pixel (a zero,
//   negative or NaN factor would divide by zero), a cell edge of 1..kMaxCellEdge
//   pixels, at most kMaxLayerCells cells, and every cell coordinate within 32 bits.
//   Any other layer is treated as disabled wherever layers are built, counted or
//   described, so no pattern can crash the program or allocate without bound.
// - Progress. Long operations take an IJobProgress that may be null. Detail texts,
//   percentages and the message pump come in the serial order of the cells.
// - Threads. The cell signatures of a layer are computed in batches of cells, each
//   split into threadCount contiguous bands (2 by default, at most 8; 1 keeps all on
//   the calling thread); the cells come out byte for byte the same. No worker runs
//   while pending messages are processed, so window code called from
//   ProcessMessages never sees a layer being written.
#pragma once

#include <cstdint>
#include <string>

#include "engine/layer_records.h"
#include "engine/pattern_definitions.h"
#include "image/bitmap32.h"
#include "image/signature.h"

namespace tessaro {

struct TAppState;
class TtsProject07;
class IJobProgress;

// Cells larger than this on an edge are not built: each cell's signature is taken
// from a scratch bitmap of its own size.
inline constexpr std::int32_t kMaxCellEdge = 8192;
// PrepareMainImage never enlarges the main image beyond this many pixels.
inline constexpr std::int64_t kMaxPreparedPixels = std::int64_t(1) << 26;
// Threads used for the cell signatures unless a caller says otherwise.
inline constexpr int kDefaultBuildThreads = 2;

// ---- Geometry ----------------------------------------------------------------------

// ((Left + Right) div 2, (Top + Bottom) div 2), div truncating toward zero; the sums
// are formed in 64 bits, so no rectangle overflows.
constexpr TPoint CellCentre(const TRect& r) {
  return TPoint{int((std::int64_t(r.Left) + r.Right) / 2),
                int((std::int64_t(r.Top) + r.Bottom) / 2)};
}

// (P.X - Q.X)^2 + (P.Y - Q.Y)^2 as a 32-bit value. Distances beyond 32 bits (points
// more than about 46,000 pixels apart) saturate at INT32_MAX instead of wrapping.
constexpr std::int32_t DistSq(TPoint p, TPoint q) {
  constexpr std::int64_t kRoot = 46341;  // the smallest value whose square exceeds INT32_MAX
  const std::int64_t dx = std::int64_t(p.X) - q.X, dy = std::int64_t(p.Y) - q.Y;
  if (dx >= kRoot || dx <= -kRoot || dy >= kRoot || dy <= -kRoot) return INT32_MAX;
  const std::int64_t d = dx * dx + dy * dy;
  return d > INT32_MAX ? INT32_MAX : std::int32_t(d);
}
// PointInRect (edges included) is in image/ooimgfunction2007.h.

// ---- Map levels ----------------------------------------------------------------------

// The level of one map pixel by its exact 32-bit value: 0x001E1E1E 1, 0x002E2E2E 2,
// ..., 0x009E9E9E 9, 0x00FEFEFE 10; any other value -1.
constexpr std::int32_t MapLevelOfPixel(TColor32 pixel) {
  if (pixel == 0x00FEFEFEu) return 10;
  for (std::uint32_t level = 1; level <= 9; ++level) {
    const std::uint32_t v = 0x0E + 0x10 * level;
    if (pixel == ((v << 16) | (v << 8) | v)) return std::int32_t(level);
  }
  return -1;
}

// The level of map at (P.X x map width div mosaicWidth, P.Y x map height div
// mosaicHeight). -1 for an empty map, a mosaic size of 0 or less, or a point whose
// map pixel lies outside the map (a centre left of or above the mosaic).
std::int32_t MapLevelAt(const TBitmap32& map, int mosaicWidth, int mosaicHeight, TPoint p);
// The same on DivisionMap / PriorityMap with the project's mosaic size.
std::int32_t DivisionLevelAt(const TAppState& state, TPoint p);
std::int32_t PriorityLevelAt(const TAppState& state, TPoint p);

// ---- Grid of one pattern layer ---------------------------------------------------------

struct TLayerGrid {
  bool Buildable = false;  // false: treated as disabled (see the conventions)
  std::int32_t StepX = 0, StepY = 0;
  std::int32_t OffsetX = 0, OffsetY = 0;
  std::int32_t Columns = 0, Rows = 0;
  std::int32_t CellCount() const { return Columns * Rows; }
};

// Pitches, shifts and grid size of a pattern layer; Buildable false (and all zero)
// for a layer that is not enabled or not buildable.
TLayerGrid ComputeLayerGrid(const TLayerPattern& lp, int areaWidth, int areaHeight,
                            int cellWidth, int cellHeight);

struct TGridSize {
  std::int32_t Columns = 0, Rows = 0;
  friend bool operator==(const TGridSize&, const TGridSize&) = default;
};
// (Columns, Rows); (0, 0) when the layer is not enabled or not buildable.
TGridSize LayerGridSize(const TLayerPattern& lp, int areaWidth, int areaHeight, int cellWidth,
                        int cellHeight);
// Columns x Rows; 0 when not enabled or not buildable.
std::int32_t CountLayerCells(const TLayerPattern& lp, int areaWidth, int areaHeight,
                             int cellWidth, int cellHeight);

// ---- Cell signatures ---------------------------------------------------------------------

// The signature of the main image under r (mosaic pixels): r's part inside the mosaic
// is drawn, resampled with mainImage's StretchFilter and opaque, into a black scratch
// bitmap of r's size; the part outside stays black. A mosaic size of 0 or less or an
// empty main image gives the signature of black; so does an empty r.
ImageSignature ComputeCellSignature(const TBitmap32& mainImage, int mosaicWidth,
                                    int mosaicHeight, const TRect& r);
// The same over MainImage and the project's mosaic size.
ImageSignature ComputeCellSignature(const TAppState& state, const TRect& r);

// ---- Layer operations -------------------------------------------------------------------

// CellCount := 0, Cells emptied (BuiltCellCount too).
void ClearLayer(TTSLayer& layer);

// Bounds := r, Signature := ComputeCellSignature(r), PriorityLevel := 1.
void SetCellBounds(const TAppState& state, TTSLayer& layer, int index, const TRect& r);

// Builds the grid of lp: geometry, mask bitmap, cells laid out row by row with their
// signatures, then (with UseDivisionMap) the division into quarters and (with
// UsePriorityMap) the priority levels. Progress: after each grid cell i, percent
// i x 100 div the grid's cell count, detail "Layer " LayerNo " Done:" i "/" count,
// and the message pump.
//
// Division splits a cell whose level is below the pass level (9 down to 1) into four
// quarters. Three bounds keep it finite: level -1 (a map pixel that is no level
// colour, such as a smoothed edge) means no level and so no division, like 9; a
// cell whose half edge would be 0 pixels is not split; and splitting stops once the
// layer holds kMaxLayerCells cells.
void BuildLayer(TAppState& state, TTSLayer& layer, const TLayerPattern& lp, int areaWidth,
                int areaHeight, int cellWidth, int cellHeight, IJobProgress* progress,
                int threadCount = kDefaultBuildThreads);

// BuildLayer's geometry only: Active, Pattern, mask bitmap, sizes, grid and CellCount
// new cells (all zero but PictureIndex -1), for the layer file to fill.
void BuildLayerGeometry(TTSLayer& layer, const TLayerPattern& lp, int areaWidth, int areaHeight,
                        int cellWidth, int cellHeight);

// ---- Project-level operations --------------------------------------------------------------

// The size PrepareMainImage gives a width x height main image under `cells` cells:
// unchanged with at least 16 pixels per cell; otherwise each axis times
// f = 16 x cells / pixels (truncated), f lowered so the result stays within
// kMaxPreparedPixels, and never a reduction.
struct TImageSize {
  int Width = 0, Height = 0;
  friend bool operator==(const TImageSize&, const TImageSize&) = default;
};
TImageSize PreparedMainImageSize(int width, int height, std::int64_t cells);

// Resamples MainImage to PreparedMainImageSize for the cells of the project's
// pattern, then sets its draw mode and combine mode to blend, its filter to spline
// and its master alpha to 255. An empty main image is left empty.
void PrepareMainImage(TAppState& state);

// PrepareMainImage; ClearLayer on layers 1..6; then for n = 1..6 the detail "Layer " n
// and BuildLayer of layer n with Pattern.Layers[n] and the project's sizes.
void ApplyPattern(TAppState& state, IJobProgress* progress,
                  int threadCount = kDefaultBuildThreads);

// ClearLayer and BuildLayerGeometry on layers 1..6, before the layer file is read.
void ReapplyPattern(TtsProject07& project);

// Sum of CellCount of layers 1..7.
std::int32_t TotalCellCount(const TtsProject07& project);

// The cells the pattern gives for the project's mosaic and cell size.
std::int32_t CountPatternCells(const TtsProject07& project, const TTSPattern& pattern);

// "Layer" n ":" columns "X" rows "  " for each buildable enabled layer, in order;
// empty when there is none.
std::string DescribePatternCells(const TtsProject07& project, const TTSPattern& pattern);

// For each enabled layer 1..6 of the project's Pattern: LayerMaskWeights[layer] :=
// the GreySignatureVector of its mask image. A layer whose mask is missing or cannot
// be decoded has its cells drawn uncut, so it is weighted as a full-cell mask (all
// 1.0) rather than keeping weights that may be zero. Disabled layers keep theirs.
void ComputeLayerMaskSignatures(TAppState& state);

// ---- Cell numbering ----------------------------------------------------------------------
//
// Cells of the active layers are numbered globally: layer 1's cells first in array
// order, then layer 2's, up to layer 7, skipping inactive layers and layers without
// cells. ActiveCellCount and LocateCell read only the seven layers' counts: constant
// time, and never stale, whatever the caller changes. AssignedCellCount and
// CountUnassignedAtLevel count the cells' flags: linear in the cells, correct however
// the flags changed since the last call. First and Last are clamped to 1..7.

std::int32_t ActiveCellCount(const TtsProject07& project, int first, int last);
std::int32_t AssignedCellCount(const TtsProject07& project, int first, int last);
std::int32_t CountUnassignedAtLevel(const TtsProject07& project, int first, int last,
                                    std::int32_t level);

struct TCellLocation {
  int Layer = 0;   // 1..7; 0 when g is not a cell number
  int Index = -1;  // within the layer's Cells
  bool Valid() const { return Layer != 0; }
  friend bool operator==(const TCellLocation&, const TCellLocation&) = default;
};
// The layer and index of global cell number g; invalid for g < 0 or g at or beyond
// ActiveCellCount(1, 7).
TCellLocation LocateCell(const TtsProject07& project, std::int32_t g);

}  // namespace tessaro
