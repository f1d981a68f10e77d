// Pieces of the mosaic drawing shared by the one-cell drawing (cell_drawing.cpp) and
// the layer drawing (mosaic_drawing.cpp), which prepares cells on worker threads.
//
// Everything here that takes a const TAppState only reads it (MainImage, the project,
// the picture list, the layer's mask), so several threads may prepare cells at once;
// what a cell's drawing writes into the state (the cell's measures, PictureBitmap,
// the target) is left to the caller, which does it in the cells' serial order.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "core/ootsfunction2007.h"
#include "engine/layer_records.h"
#include "image/bitmap32.h"

namespace tessaro {

struct TAppState;

namespace drawing_internal {

// Picture files the drawing has decoded since the program started: how the tests see
// that a layer decodes each picture once per page.
std::uint64_t PictureLoadCount();

// The project's StretchFilter; a byte no filter has (a damaged file) draws with the
// default, spline.
TStretchFilter ProjectFilter(const TtsProject07& project);

// Layers[layerNo] of the project, or null when layerNo is not 1..7.
TTSLayer* LayerOf(TAppState& state, int layerNo);

// The file of a picture index when it names an existing regular file; null for an
// index outside the picture list or a missing file.
const std::string* CellPictureFile(const TAppState& state, std::int32_t pictureIndex);

// Decodes file, crops it to the cell aspect (CropCell) and greys it (MonochromeCell)
// into out. False, with out untouched, when the file cannot be decoded: the drawing
// then skips the cell instead of drawing whatever picture was decoded before.
bool LoadCellPicture(const TtsProject07& project, const std::string& file, TBitmap32& out);

// What drawing a cell records in it.
struct TCellMeasures {
  std::int32_t DrawnDifference = 0;
  std::int32_t MeanDeviation = 0;
  std::int32_t MaxDeviation = 0;
  std::int32_t BlendAlpha = 0;
  std::int32_t FinalDifference = 0;
};
void StoreMeasures(const TCellMeasures& m, TMosaicCell& cell);

// The layer cuts its cells to a shape only when its mask was found and decoded.
bool HasShape(const TTSLayer& layer);

// ApplyCellMask(picture, picture, mask, gapColour, gap) for pictures of one size,
// learnt once: which pixels turn transparent, which opaque and which take the gap
// colour depends only on the mask, the size, the gap and its colour. The layer
// drawing cuts thousands of same-size pictures, and resampling the mask twice for
// each of them would cost more than the rest of the cell. Learnt by running
// ApplyCellMask itself on two probes, so the two cannot disagree.
class TCellShape {
 public:
  TCellShape(const TBitmap32& mask, int width, int height, TCanvasColor gapColour, int gap);
  int Width() const { return width_; }
  int Height() const { return height_; }
  // picture must have Width() x Height() pixels.
  void Apply(TBitmap32& picture) const;

 private:
  enum : std::uint8_t { kTransparent, kInside, kGap };
  int width_ = 0, height_ = 0;
  TColor32 gapPixel_ = 0;
  std::vector<std::uint8_t> kind_;
};

// How PrepareCellPicture treats a cell: DrawCell's way, or DrawCellAt's (colour
// shift and flips always applied, the main image blended whatever BlendAlpha is, no
// rotation).
struct TCellSteps {
  bool AlwaysCorrect = false;
  bool AlwaysBlend = false;
  bool Rotate = true;
};

// Turns picture (the cell's picture, cropped and greyed) into the finished cell
// bitmap: colour shift, flips, measures, main image blend over the visible part of
// place (mosaic pixels), pen alpha and filter, rotation, mask (through shape when it
// is given and has the picture's size). Reads state only.
void PrepareCellPicture(const TAppState& state, const TTSLayer& layer, const TMosaicCell& cell,
                        const TRect& place, const TCellSteps& steps, TBitmap32& picture,
                        TCellMeasures& out, const TCellShape* shape = nullptr);

// r moved by (-origin.Left, -origin.Top) into out; false when a coordinate or an edge
// of the result would leave the range a rectangle can be drawn in.
bool MoveRect(const TRect& r, const TRect& origin, TRect& out);

// A finished cell bitmap resampled for its place on a target, ready to be combined
// onto it: Pixels drawn unstretched at (X, Y) gives exactly what the stretched draw of
// the picture into the rectangle gives. Splitting the two lets the resampling run on
// a worker while the combining stays in the serial order.
struct TPlacement {
  bool Visible = false;
  int X = 0, Y = 0;
  TBitmap32 Pixels;  // with the picture's drawing properties
};
// picture is consumed (moved into the placement when no resampling is needed).
void PlacePicture(TBitmap32&& picture, int targetWidth, int targetHeight, const TRect& dest,
                  TPlacement& out);
void DrawPlacement(const TPlacement& placement, TBitmap32& target);

}  // namespace drawing_internal
}  // namespace tessaro
