// Drawing assigned cells into a target bitmap: an output page or a movie frame.
// Cells are in mosaic pixels; a page covers the rectangle Origin of the mosaic and a
// cell is drawn at its Bounds moved by (-Origin.Left, -Origin.Top), clipped to the
// target.
#pragma once

#include "image/bitmap32.h"

namespace tessaro {

struct TAppState;
class IJobProgress;

// DrawLayer for the active layers 1..7 in order, into OutputBitmap. progress may be
// null (the single-page drawing passes none).
void DrawAllLayers(TAppState& state, const TRect& page, IJobProgress* progress);

// The layer's assigned cells that touch page, each picture file decoded once per page
// and layer and reused for all its cells.
void DrawLayer(TAppState& state, int layer, const TRect& page, IJobProgress* progress);

// One cell: the preloaded picture (already cropped and greyed) when usePreloaded,
// otherwise the cell's picture file.
void DrawCell(TAppState& state, int layer, int index, TBitmap32& target,
              const TBitmap32* preloaded, bool usePreloaded, const TRect& origin);

// One cell into dest (the zoom movie's rectangle) instead of its Bounds; no rotation.
void DrawCellAt(TAppState& state, int layer, int index, TBitmap32& target, const TRect& dest,
                const TRect& origin);

// Stretches the source part of MainImage over the whole target with the given opacity.
void DrawMainImageBackground(TAppState& state, TBitmap32& target, const TRect& source,
                             int alpha);

}  // namespace tessaro
