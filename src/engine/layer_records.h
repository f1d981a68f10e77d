// The records of the cell layers: TMosaicCell, the 576-byte cell that "project.LYS"
// stores unchanged, and TTSLayer, one layer's grid of cells. The operations over them
// are in engine/layers.h; this header stays light because the project record
// (core/ootsfunction2007.h) holds the layers.
//
// TMosaicCell is laid out exactly as the file holds it. Every field sits at its
// natural alignment, so the record has no padding without #pragma pack; keeping it
// unpacked lets code bind references to its fields (a packed ImageSignature passed by
// const reference would be copied every time). The asserts below pin every offset.
// Readers and writers copy it whole with memcpy; it is trivially copyable.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "engine/pattern_definitions.h"
#include "image/bitmap32.h"
#include "image/signature.h"

namespace tessaro {

static_assert(std::endian::native == std::endian::little,
              "cells are stored as raw little-endian records");

// Map levels of a cell when no map is used.
inline constexpr std::int32_t kNoDivisionLevel = 9;
inline constexpr std::int32_t kDefaultPriorityLevel = 1;

struct TMosaicCell {
  TRect Bounds;  // mosaic pixels; Right and Bottom exclusive
  ImageSignature Signature;  // the main image under Bounds
  std::uint8_t Reserved360[4] = {0, 0, 0, 0};
  std::int32_t PictureIndex = -1;  // -1: none
  std::int32_t ColorDiffB = 0;
  std::int32_t ColorDiffG = 0;
  std::int32_t ColorDiffR = 0;
  std::int32_t EnhanceR = 0;
  std::int32_t EnhanceG = 0;
  std::int32_t EnhanceB = 0;
  std::int32_t PlainDifference = 0;
  std::int32_t MatchDifference = 0;
  std::int32_t DrawnDifference = 0;
  std::int32_t MeanDeviation = 0;
  std::int32_t MaxDeviation = 0;
  std::int32_t Reserved412 = 0;
  std::int32_t BlendAlpha = 0;
  std::int32_t FinalDifference = 0;
  std::int32_t CandidateCount = 0;
  std::uint8_t Reserved428[2] = {0, 0};
  std::uint8_t FlipHorz = 0;
  std::uint8_t FlipVert = 0;
  std::uint8_t Assigned = 0;
  std::uint8_t Drawn = 0;
  std::uint8_t Selected = 0;
  std::uint8_t Reserved435 = 0;
  std::int32_t RotationAngle = 0;  // degrees, a multiple of 15
  std::int32_t Reserved440[3] = {0, 0, 0};
  std::uint8_t Hovered = 0;
  std::uint8_t Reserved453[3] = {0, 0, 0};
  std::int32_t UsablePictureCount = 0;
  std::int32_t ColorPassCount = 0;
  std::int32_t DivisionLevel = 0;
  std::int32_t PriorityLevel = 0;
  std::uint8_t AnimationState[104] = {};  // owned by the cell animation
};

static_assert(std::is_standard_layout_v<TMosaicCell>);
static_assert(std::is_trivially_copyable_v<TMosaicCell>);
static_assert(sizeof(TMosaicCell) == 576);
static_assert(alignof(TMosaicCell) == 4);
static_assert(offsetof(TMosaicCell, Bounds) == 0);
static_assert(offsetof(TMosaicCell, Signature) == 16);
static_assert(offsetof(TMosaicCell, Reserved360) == 360);
static_assert(offsetof(TMosaicCell, PictureIndex) == 364);
static_assert(offsetof(TMosaicCell, ColorDiffB) == 368);
static_assert(offsetof(TMosaicCell, ColorDiffG) == 372);
static_assert(offsetof(TMosaicCell, ColorDiffR) == 376);
static_assert(offsetof(TMosaicCell, EnhanceR) == 380);
static_assert(offsetof(TMosaicCell, EnhanceG) == 384);
static_assert(offsetof(TMosaicCell, EnhanceB) == 388);
static_assert(offsetof(TMosaicCell, PlainDifference) == 392);
static_assert(offsetof(TMosaicCell, MatchDifference) == 396);
static_assert(offsetof(TMosaicCell, DrawnDifference) == 400);
static_assert(offsetof(TMosaicCell, MeanDeviation) == 404);
static_assert(offsetof(TMosaicCell, MaxDeviation) == 408);
static_assert(offsetof(TMosaicCell, Reserved412) == 412);
static_assert(offsetof(TMosaicCell, BlendAlpha) == 416);
static_assert(offsetof(TMosaicCell, FinalDifference) == 420);
static_assert(offsetof(TMosaicCell, CandidateCount) == 424);
static_assert(offsetof(TMosaicCell, Reserved428) == 428);
static_assert(offsetof(TMosaicCell, FlipHorz) == 430);
static_assert(offsetof(TMosaicCell, FlipVert) == 431);
static_assert(offsetof(TMosaicCell, Assigned) == 432);
static_assert(offsetof(TMosaicCell, Drawn) == 433);
static_assert(offsetof(TMosaicCell, Selected) == 434);
static_assert(offsetof(TMosaicCell, Reserved435) == 435);
static_assert(offsetof(TMosaicCell, RotationAngle) == 436);
static_assert(offsetof(TMosaicCell, Reserved440) == 440);
static_assert(offsetof(TMosaicCell, Hovered) == 452);
static_assert(offsetof(TMosaicCell, Reserved453) == 453);
static_assert(offsetof(TMosaicCell, UsablePictureCount) == 456);
static_assert(offsetof(TMosaicCell, ColorPassCount) == 460);
static_assert(offsetof(TMosaicCell, DivisionLevel) == 464);
static_assert(offsetof(TMosaicCell, PriorityLevel) == 468);
static_assert(offsetof(TMosaicCell, AnimationState) == 472);
static_assert(sizeof(TMosaicCell::AnimationState) == 104);

// A layer never holds more cells than the layer file can describe: its header gives
// each layer's byte length as a 32-bit signed value.
inline constexpr std::int32_t kMaxLayerCells = std::int32_t(INT32_MAX / sizeof(TMosaicCell));

// One layer of cells. Invariant kept by every operation here: CellCount equals
// Cells.size(). A new layer has no cells and an empty MaskBitmap.
class TTSLayer {
 public:
  explicit TTSLayer(std::int32_t layerNo = 0) : LayerNo(layerNo) {}

  std::int32_t LayerNo = 0;  // 1..7, set by the project
  std::vector<TMosaicCell> Cells;
  std::uint8_t Active = 0;  // the layer was built from an enabled, buildable pattern layer
  std::int32_t BuiltCellCount = 0;  // cells of the regular grid, before division
  std::int32_t CellCount = 0;       // cells now (after division)
  std::int32_t AreaWidth = 0, AreaHeight = 0;
  std::int32_t CellWidth = 0, CellHeight = 0;
  std::int32_t StepX = 0, StepY = 0;
  std::int32_t OffsetX = 0, OffsetY = 0;
  std::int32_t Columns = 0, Rows = 0;
  TLayerPattern Pattern;
  TBitmap32 MaskBitmap;
};

// Layers[1..7] of a project (element 0 unused), LayerNo 1..7.
inline constexpr int kLayerCount = 7;
using TProjectLayers = std::array<TTSLayer, kLayerCount + 1>;
inline TProjectLayers MakeProjectLayers() {
  return {TTSLayer(0), TTSLayer(1), TTSLayer(2), TTSLayer(3),
          TTSLayer(4), TTSLayer(5), TTSLayer(6), TTSLayer(7)};
}

// LayerMaskWeights[1..6] (element 0 unused): 85 weights per pattern layer.
using TLayerMaskWeights = std::array<std::array<float, 85>, kMaxPatternLayers + 1>;

}  // namespace tessaro
