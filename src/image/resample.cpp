// Resampling copies: stretch, resample, preview fit, flips and the aspect crop.
#include <algorithm>
#include <cstdint>

#include "image/halftone.h"
#include "image/imgfn_internal.h"
#include "image/ooimgfunction2007.h"

namespace tessaro {

void StretchBitmap(const TBitmap32& src, TBitmap32& dst, int w, int h) {
  w = std::max(w, 0);
  h = std::max(h, 0);
  if (src.Empty()) {
    // Nothing to average: the picture is resized all the same, and defined.
    dst.SetSize(w, h);
    dst.Clear(clBlack32);
    return;
  }
  if (w == 0 || h == 0) {
    dst.SetSize(w, h);
    return;
  }
  HalftoneResize(src, dst, w, h);
  dst.ResetAlpha(255);
}

void ResampleBitmap(TBitmap32& src, TBitmap32& dst, int w, int h) {
  if (w <= 0 || h <= 0 || src.Empty()) return;
  if (!ResampleUsesSpline(src.Width(), src.Height(), w, h)) {
    HalftoneResize(src, dst, w, h);  // handles src == dst
    return;
  }
  src.StretchFilter = sfSpline;
  // Resizing dst would destroy an aliased src: move its pixels aside first.
  TBitmap32 aside;
  TBitmap32* from = &src;
  if (&src == &dst) {
    aside.SwapPixels(dst);
    imgfn::CopyDrawingProperties(src, aside);
    from = &aside;
  }
  dst.SetSize(w, h);
  // A copy, like the halftone path: a dmBlend source must not blend over the
  // undefined content of the freshly sized dst.
  struct ModeGuard {
    TBitmap32& b;
    TDrawMode saved;
    ~ModeGuard() { b.DrawMode = saved; }
  };
  ModeGuard guard{*from, from->DrawMode};
  from->DrawMode = dmOpaque;
  from->DrawTo(dst, dst.BoundsRect());
}

void FitPreview(const TBitmap32& src, TBitmap32& dst, const TRect& frame) {
  if (src.Empty()) return;
  const std::int64_t sw = src.Width(), sh = src.Height();
  const std::int64_t fw = std::max(frame.Width(), 0), fh = std::max(frame.Height(), 0);
  // scale = min(fw / sw, fh / sh), evaluated exactly: in doubles trunc(sw * (fw / sw))
  // falls one short of fw for many sizes (49 into 64 gives 63).
  std::int64_t w, h;
  if (fw * sh <= fh * sw) {
    w = fw;
    h = sh * fw / sw;
  } else {
    h = fh;
    w = sw * fh / sh;
  }
  if (w == 0 || h == 0) {
    dst.SetSize(int(w), int(h));
    return;
  }
  HalftoneResize(src, dst, int(w), int(h));
  dst.ResetAlpha(255);
}

void CopyFlipped(const TBitmap32& src, TBitmap32& dst, bool flipH, bool flipV) {
  if (&src != &dst) dst.Assign(src);
  if (flipH) dst.FlipHorz();
  if (flipV) dst.FlipVert();
}

void CropToAspect(const TBitmap32& src, TBitmap32& dst, int a, int b) {
  if (a <= 0 || b <= 0 || src.Empty()) return;
  const std::int64_t w = src.Width(), h = src.Height();
  const std::int64_t wb = w * b, ah = std::int64_t(a) * h;
  std::int64_t x0 = 0, y0 = 0, x1, y1;
  if (wb < ah) {  // too tall
    y0 = (ah - wb) / (2 * std::int64_t(a));
    x1 = w;
    y1 = h - y0;
  } else if (wb > ah) {  // too wide
    x0 = (wb - ah) / (2 * std::int64_t(b));
    x1 = w - x0;
    y1 = h;
  } else {
    x1 = w - 1;
    y1 = h - 1;
  }
  // The kept rectangle is one pixel smaller than the result; on a one-pixel-wide or
  // -high source it would have no area and leave the result undefined.
  const std::int64_t rw = std::max<std::int64_t>(x1 - x0, 1);
  const std::int64_t rh = std::max<std::int64_t>(y1 - y0, 1);
  const TRect from = MakeRect(int(x0), int(y0), int(x0 + rw), int(y0 + rh));

  // dst becomes a copy of src resized, so only src's properties need copying; an
  // aliased src is moved aside, not copied.
  TBitmap32 aside;
  const TBitmap32* source = &src;
  if (&src == &dst) {
    aside.SwapPixels(dst);
    source = &aside;
  } else {
    imgfn::CopyDrawingProperties(src, dst);
  }
  dst.SetSize(int(x1 - x0 + 1), int(y1 - y0 + 1));
  HalftoneStretch(dst, dst.BoundsRect(), *source, from);
}

}  // namespace tessaro
