// Rotation about the picture's centre, keeping its size.
#include "image/imgfn_internal.h"
#include "image/ooimgfunction2007.h"

namespace tessaro {

void RotateBitmap(const TBitmap32& src, TBitmap32& dst, int angle, TColor32 fill) {
  const int w = src.Width(), h = src.Height();
  TBitmap32 work(w, h);
  work.Clear(fill);

  // The rotated pixels replace the fill whatever src's DrawMode (Transform would blend
  // a dmBlend source over it), so the transform reads from an opaque source: src's own
  // pixels moved aside when rotating in place, a copy only for a separate blend source.
  TBitmap32 aside;
  const TBitmap32* from = &src;
  if (&src == &dst) {
    aside.SwapPixels(dst);
    aside.StretchFilter = src.StretchFilter;  // src is dst: its properties are intact
    from = &aside;
  } else if (src.DrawMode != dmOpaque) {
    aside.Assign(src);
    aside.DrawMode = dmOpaque;
    from = &aside;
  }

  if (w > 0 && h > 0) {
    // Pixel coordinates name pixel centres, so the centre of a w-pixel row is at
    // (w - 1) / 2 and quarter turns of a square map pixels onto pixels.
    const double cx = (w - 1) / 2.0, cy = (h - 1) / 2.0;
    TAffineTransformation t;
    t.Translate(-cx, -cy);
    t.Rotate(angle);
    t.Translate(cx, cy);
    t.SrcRect = from->BoundsRect();
    Transform(work, *from, t);
  }
  // The in-place use (a cell picture already set to blend with the pen alpha and the
  // project's filter) relies on dst keeping those properties: dst is src rotated.
  if (&src != &dst) imgfn::CopyDrawingProperties(src, dst);
  dst.SwapPixels(work);
}

}  // namespace tessaro
