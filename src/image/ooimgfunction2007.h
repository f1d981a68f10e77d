// ooimgfunction2007: the stateless pixel and signature functions over TBitmap32.
//
// Conventions, said once here so that each function's comment stays short:
//
// - Picture bitmaps. Some functions treat a bitmap as a plain picture (the header of
//   each says "picture"): they read only B, G and R, ignore the alpha byte, and give
//   alpha 255 to every pixel they write. The others carry all four channels through.
// - Targets. A function writes only into the bitmap or buffer it is given. When its
//   inputs cannot produce a result (an empty source, a zero or negative size, a ratio
//   with a zero term) it returns and leaves the target exactly as it was, unless its
//   comment says otherwise. Nothing here throws except on memory exhaustion.
// - Aliasing. Passing the same bitmap as src and dst is allowed everywhere; it is
//   handled explicitly (in place where the kernel allows, through a temporary
//   otherwise). "dst becomes a copy of src" includes src's drawing properties
//   (DrawMode, CombineMode, MasterAlpha, OuterColor, StretchFilter).
// - Arithmetic. Conversions to integer truncate toward zero and integer divisions are
//   C++ '/', as the stored signatures require; "round" is std::nearbyint (ties to even).
//   Products with decimal weights (greys, grey tables) are truncated in exact integer
//   arithmetic, not in doubles, whose representation error would drop whole values.
// - Resampling. Every area-averaged ("halftone") copy goes through HalftoneStretch /
//   HalftoneResize, the one resampler of the system, so that signatures stay comparable.
// - Threads. The whole-page kernels (GreyBitmap, ShiftChannels) split large bitmaps
//   into row bands over the machine's cores; the result is identical to a serial run.
//   The functions keep no state; distinct bitmaps may be processed concurrently.
// - Colours. TColor32 is 0xAARRGGBB; TCanvasColor (controls, project fields, the
//   palette code's colour) is 0x00BBGGRR and is made opaque where it is written.
#pragma once

#include <array>
#include <cstdint>

#include "core/random.h"
#include "image/bitmap32.h"
#include "image/picture_files.h"  // DetectPictureType, LoadPicture: part of this unit
#include "image/signature.h"

namespace tessaro {

// ---- Small helpers ------------------------------------------------------------------

constexpr int ClampByte(int v) { return v <= 0 ? 0 : (v >= 255 ? 255 : v); }

// All four edges inclusive (unlike the exclusive right/bottom of TRect elsewhere).
constexpr bool PointInRect(TPoint p, const TRect& r) {
  return r.Left <= p.X && p.X <= r.Right && r.Top <= p.Y && p.Y <= r.Bottom;
}

// True when a corner of a lies in r by PointInRect, tested top-left, top-right,
// bottom-right, bottom-left.
constexpr bool RectCornerInRect(const TRect& a, const TRect& r) {
  return PointInRect({a.Left, a.Top}, r) || PointInRect({a.Right, a.Top}, r) ||
         PointInRect({a.Right, a.Bottom}, r) || PointInRect({a.Left, a.Bottom}, r);
}

// trunc(0.299 R + 0.587 G + 0.114 B) in exact arithmetic, so that a grey (v, v, v)
// keeps its value v (in doubles (1, 1, 1) would give 0.9999... and thus 0). Every
// signature grey in the system is this one.
constexpr int SignatureGrey(int r, int g, int b) { return (299 * r + 587 * g + 114 * b) / 1000; }

// ---- Palette code: one colour of the 6 x 6 x 6 cube with levels 0, 51, ..., 255 -----

// B div 51 * 36 + G div 51 * 6 + R div 51, 0..215.
int ColorToPaletteIndex(const SignatureColor& c);
// Canvas colour 0x00BBGGRR of palette code i. i is clamped to 0..255; codes 216..255
// lie beyond the cube and would give a blue level above 255, so each level is clamped
// to 255 as well (255 gives R 153, G 0, B 255).
TCanvasColor PaletteIndexToColor(int i);
// The same levels as a SignatureColor, with its grey.
SignatureColor PaletteIndexToSignatureColor(int i);

// ---- Resampling, flipping, cropping ---------------------------------------------------

// Pictures: dst is resized to w x h (negative counts as 0) and filled with the
// halftone copy of the whole of src. An empty src gives a w x h opaque black dst.
void StretchBitmap(const TBitmap32& src, TBitmap32& dst, int w, int h);

// dst resized to w x h and filled from the whole of src, all four channels. An
// enlargement by 2 or more on either axis uses the spline filter: as a side effect
// src's StretchFilter becomes sfSpline (src's DrawMode does not affect the copy).
// Smaller ratios use the halftone copy. A zero or negative size or an empty src
// leaves dst untouched.
void ResampleBitmap(TBitmap32& src, TBitmap32& dst, int w, int h);

// True when ResampleBitmap(src of sw x sh, w x h) takes the spline path.
constexpr bool ResampleUsesSpline(int sw, int sh, int w, int h) {
  return std::int64_t(w) >= 2 * std::int64_t(sw) || std::int64_t(h) >= 2 * std::int64_t(sh);
}

// Picture preview: dst takes the largest size with src's aspect that fits the frame
// (the fitting axis gets the frame's extent exactly, the other is truncated) and is
// filled by a halftone copy of src. An empty src leaves dst untouched; a frame too
// small for one pixel row or column leaves dst empty.
void FitPreview(const TBitmap32& src, TBitmap32& dst, const TRect& frame);

// dst becomes a copy of src (nothing to copy when they are the same bitmap), then is
// mirrored left-right when flipH and top-bottom when flipV.
void CopyFlipped(const TBitmap32& src, TBitmap32& dst, bool flipH, bool flipV);

// Keeps the centre of src with aspect a : b (a wide, b high), halftone-copied into a
// dst one pixel wider and higher than the kept source rectangle: 400 x 300 to 1 : 1
// gives 301 x 301 from the 300 x 300 rectangle at x 50; an exact aspect gives a
// same-size dst from the rectangle one pixel smaller at the top left. Where that
// rectangle has no width or height (a one-pixel-wide src), it is widened to one pixel.
// a <= 0, b <= 0 or an empty src leaves dst untouched.
void CropToAspect(const TBitmap32& src, TBitmap32& dst, int a, int b);

// Rotates src by angle degrees (positive turns counter-clockwise on screen) about
// ((w - 1) / 2, (h - 1) / 2). dst keeps src's size; the parts no source pixel maps to
// show fill. Nearest-neighbour sampling when src's StretchFilter is sfNearest,
// bilinear otherwise. dst takes src's drawing properties.
void RotateBitmap(const TBitmap32& src, TBitmap32& dst, int angle, TColor32 fill);

// ---- Grey and channel shifts (whole pages: table-driven, banded over the cores) -----

// dst becomes src with every pixel grey g = TR[R] + TG[G] + TB[B], alpha 255, where
// each table entry is trunc(i * weight) of its own channel (so white gives 254 for
// types 1 and 2, 253 for 3 and 4). Weights (R, G, B): 1 = 0.299, 0.587, 0.114;
// 2 = 0.45, 0.35, 0.2; 3 = 0.3588, 0.402, 0.2392; 4 = 0.333, 0.334, 0.333. Any other
// type turns every pixel opaque black. In place when src and dst are one bitmap.
void GreyBitmap(const TBitmap32& src, TBitmap32& dst, int type);

// dst becomes src with R + dR, G + dG, B + dB clamped to 0..255 and alpha 255.
void ShiftChannels(const TBitmap32& src, TBitmap32& dst, int dR, int dG, int dB);

// ---- Signatures ------------------------------------------------------------------------

// Picture: channel means (sum div count) and their grey over rect (right and bottom
// exclusive), clipped to the bitmap. An empty area gives all zeros.
SignatureColor BlockAverage(const TBitmap32& bitmap, const TRect& rect);

// Picture: the signature of the 64 x 64 halftone reduction of the whole bitmap. An
// empty bitmap gives the signature of black (all zeros).
void ComputeSignature(const TBitmap32& bitmap, ImageSignature& out);
inline ImageSignature ComputeSignature(const TBitmap32& bitmap) {
  ImageSignature s;
  ComputeSignature(bitmap, s);
  return s;
}

// The signature's greys / 255: [0] Average, [1..4] Grid2, [5..20] Grid4, [21..84]
// Grid8, each grid row-major.
using TGreySignatureVector = std::array<float, 85>;
void GreySignatureVector(const TBitmap32& bitmap, TGreySignatureVector& out);

// ---- Previews -------------------------------------------------------------------------

// Which kind of source DrawHistogram is given: a picture preview keeps the target's
// size; a bitmap resizes the target to 128 x 48 first.
enum class THistogramSource { PicturePreview, Bitmap };

// Picture: a 256-bin histogram of src's 256 x 256 halftone reduction (channel 0 counts
// R, G and B together; 1 R, 2 G, 3 B), bars scaled to 128 rows on a white 257 x 128
// chart with a black outline, halftone-copied into target. An empty src or another
// channel counts nothing and draws the empty chart. A 0 x 0 PicturePreview target
// stays empty.
void DrawHistogram(const TBitmap32& src, TBitmap32& target, int channel,
                   THistogramSource kind);

// Picture: target resized to 64 x 64 and painted with the signature's level 1
// (Average), 4 (Grid2 as 32-pixel squares), 16 (Grid4, 16) or 64 (Grid8, 8), in each
// entry's colour or, with grey, its grey. Another level leaves target untouched.
void DrawSignaturePreview(TBitmap32& target, const ImageSignature& signature, int level,
                          bool grey);

// ---- Cell masks and brushes ------------------------------------------------------------

// Cuts a cell picture to a mask's shape (white inside) with a gap band of gapColour
// along the shape's edge. The mask is resampled to dst's size before the copy, and to
// that size less gap for the inside; dst becomes src (all alpha 0, DrawMode dmBlend),
// then pixels where the full-size mask's blue is 255 turn opaque, taking gapColour
// outside the inner mask's rectangle or where its blue is 0. Where src and the old dst
// differ in size, only their overlap is cut (the rest stays transparent). A gap at or
// beyond dst's size makes the whole shape gap; a negative gap counts as 0.
// With gap 0: alpha 255 where the mask's blue is not 0 and 0 elsewhere, using the mask
// resampled to dst's size when it has another size. The mask itself is never changed.
void ApplyCellMask(const TBitmap32& src, TBitmap32& dst, const TBitmap32& mask,
                   TCanvasColor gapColour, int gap);

// Spray brush: reseeds rng from the clock, then scatters n + 1 tries of dots of
// colour within radius r = nearbyint(n * 0.65) of centre (clipped to the bitmap).
void SprayDots(TBitmap32& bitmap, TPoint centre, int n, TCanvasColor colour, TRandom& rng);
// The same without the reseed, continuing rng's sequence: per try random(100), dx =
// random(r) (negated when the first draw < 50), random(100), dy likewise; a dot where
// dx * dx + dy * dy < r * r.
void SprayDotsFrom(TRandom& rng, TBitmap32& bitmap, TPoint centre, int n, TCanvasColor colour);

}  // namespace tessaro
