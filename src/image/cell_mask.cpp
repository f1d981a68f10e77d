// Cutting a cell picture to its pattern mask, with the gap band along the edge.
#include <algorithm>
#include <cstdint>

#include "image/halftone.h"
#include "image/ooimgfunction2007.h"

namespace tessaro {

namespace {

// ResampleBitmap of the mask without touching the caller's mask: the spline path sets
// its source's filter, so that path works on a copy.
void ResampleMask(const TBitmap32& mask, TBitmap32& out, int w, int h) {
  if (ResampleUsesSpline(mask.Width(), mask.Height(), w, h)) {
    TBitmap32 copy(mask);
    ResampleBitmap(copy, out, w, h);
  } else {
    HalftoneResize(mask, out, w, h);  // the same halftone path, untouched on zero sizes
  }
}

constexpr TColor32 kColourBits = 0x00FFFFFFu;
constexpr TColor32 kOpaque = 0xFF000000u;

}  // namespace

void ApplyCellMask(const TBitmap32& src, TBitmap32& dst, const TBitmap32& mask,
                   TCanvasColor gapColour, int gap) {
  gap = std::max(gap, 0);
  // The masks take dst's size as it is before it becomes src.
  TBitmap32 inner, full;
  if (gap != 0) {
    ResampleMask(mask, inner, dst.Width() - gap, dst.Height() - gap);
    ResampleMask(mask, full, dst.Width(), dst.Height());
  }
  // A mask that is dst itself would be overwritten by the copy of src.
  TBitmap32 maskCopy;
  const TBitmap32* shape = &mask;
  if (gap == 0 && &mask == &dst && &src != &dst) {
    maskCopy.Assign(mask);
    shape = &maskCopy;
  }
  if (&src != &dst) dst.Assign(src);
  dst.DrawMode = dmBlend;
  const int w = dst.Width(), h = dst.Height();

  if (gap == 0) {
    if (shape->Width() != w || shape->Height() != h) {
      ResampleMask(*shape, full, w, h);
      shape = &full;
    }
    const int sw = shape->Width(), sh = shape->Height();  // 0 when dst or mask is empty
    for (int y = 0; y < h; ++y) {
      TColor32* d = dst.ScanLine(y);
      const TColor32* m = y < sh ? shape->ScanLine(y) : nullptr;
      for (int x = 0; x < w; ++x) {
        const bool inside = m && x < sw && BlueOf(m[x]) != 0;
        d[x] = (d[x] & kColourBits) | (inside ? kOpaque : 0u);
      }
    }
    return;
  }

  const TColor32 gapPixel = CanvasToColor32(gapColour);
  const int half = gap / 2;
  const int fw = full.Width(), fh = full.Height();
  const int iw = inner.Width(), ih = inner.Height();
  for (int y = 0; y < h; ++y) {
    TColor32* d = dst.ScanLine(y);
    const TColor32* f = y < fh ? full.ScanLine(y) : nullptr;
    const int iy = y - half;
    const TColor32* in = (iy >= 0 && iy < ih) ? inner.ScanLine(iy) : nullptr;
    for (int x = 0; x < w; ++x) {
      if (!f || x >= fw || BlueOf(f[x]) != 255) {
        d[x] &= kColourBits;  // outside the shape: transparent
        continue;
      }
      const int ix = x - half;
      const bool insideInner = in && ix >= 0 && ix < iw && BlueOf(in[ix]) != 0;
      d[x] = insideInner ? (d[x] | kOpaque) : gapPixel;
    }
  }
}

}  // namespace tessaro
