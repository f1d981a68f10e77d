// The one halftone (area-averaging) resampler of the system.
//
// Every destination pixel receives the average of the source area that maps onto it,
// weighted by exact coverage (integer arithmetic, rounded to nearest), on all four
// channels. Thumbnails, previews, CropToAspect and every picture and cell signature
// go through it, so signatures taken at different times stay comparable.
#pragma once

#include "image/bitmap32.h"

namespace tessaro {

// Fills dstRect of dst (clipped to dst) with the area average of srcRect of src.
// Nothing happens when either rectangle is empty or srcRect is not inside src.
void HalftoneStretch(TBitmap32& dst, const TRect& dstRect, const TBitmap32& src,
                     const TRect& srcRect);

// dst resized to w x h and filled from the whole of src. An empty src or a zero size
// leaves dst untouched. dst may be src.
void HalftoneResize(const TBitmap32& src, TBitmap32& dst, int w, int h);

}  // namespace tessaro
