// Drawing assigned cells into a target bitmap: an output page or a movie frame.
// Cells are in mosaic pixels; a page covers the rectangle Origin of the mosaic and a
// cell is drawn at its Bounds moved by (-Origin.Left, -Origin.Top), clipped to the
// target.
#pragma once

#include "image/bitmap32.h"

namespace tessaro {

struct TAppState;
class IJobProgress;

// Threads DrawLayer prepares cells on unless a caller says otherwise (1 keeps all on
// the calling thread). The result is byte for byte the same for any count: cells are
// prepared in parallel into bitmaps of their own, then measured into the layer, drawn
// onto the page and reported in the serial order, with no worker running while
// pending messages are processed.
inline constexpr int kDefaultDrawThreads = 2;

// DrawLayer for the active layers 1..7 in order, into OutputBitmap. progress may be
// null (the single-page drawing passes none).
void DrawAllLayers(TAppState& state, const TRect& page, IJobProgress* progress,
                   int threadCount = kDefaultDrawThreads);

// The layer's assigned cells that touch page, each picture file decoded once per page
// and layer and reused for all its cells. Progress after each cell: percent
// Done x 100 div Total, detail "Layer:" LayerNo ", Done:" Done "/" Total, then the
// message pump. A layer number outside 1..7 draws nothing.
void DrawLayer(TAppState& state, int layer, const TRect& page, IJobProgress* progress,
               int threadCount = kDefaultDrawThreads);

// One cell: the preloaded picture (already cropped and greyed) when usePreloaded,
// otherwise the cell's picture file. A cell whose picture index is outside the
// picture list, whose file is missing or cannot be decoded is skipped: nothing is
// drawn and the cell keeps its measures.
void DrawCell(TAppState& state, int layer, int index, TBitmap32& target,
              const TBitmap32* preloaded, bool usePreloaded, const TRect& origin);

// One cell into dest (the zoom movie's rectangle) instead of its Bounds; no rotation.
// Checks that the picture file exists, as DrawCell does: a missing or undecodable
// file draws nothing.
void DrawCellAt(TAppState& state, int layer, int index, TBitmap32& target, const TRect& dest,
                const TRect& origin);

// Stretches the source part of MainImage over the whole target with the given opacity.
void DrawMainImageBackground(TAppState& state, TBitmap32& target, const TRect& source,
                             int alpha);

}  // namespace tessaro
