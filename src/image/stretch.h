// Kernel resampling behind stretched DrawTo (the TStretchFilter kernels).
#pragma once

#include "image/bitmap32.h"

namespace tessaro {

// Resamples srcRect of src as if to a dstW x dstH picture and writes only the part
// `visible` (in that picture's coordinates, inside 0..dstW x 0..dstH) into out, which
// is resized to visible's size. Edges replicate the border pixels of srcRect.
void StretchResample(const TBitmap32& src, const TRect& srcRect, int dstW, int dstH,
                     const TRect& visible, TStretchFilter filter, TBitmap32& out);

}  // namespace tessaro
