// TBitmap32: the one raster class of the system.
//
// Pixels are TColor32 values 0xAARRGGBB (in memory B, G, R, A), row-major, top row
// first, one contiguous block without padding: row y starts at element y * Width.
// Alpha 255 is opaque. The project's and the controls' colours are 0x00BBGGRR
// (TCanvasColor); convert with CanvasToColor32 / Color32ToCanvas at each use.
//
// Drawing one bitmap onto another follows the *source's* DrawMode, CombineMode and
// MasterAlpha. Stretched drawing resamples with the source's StretchFilter. Halftone
// (area-averaging) copies go through HalftoneStretch in halftone.h, never through a
// stretch filter, so that every signature in the system is taken the same way.
//
// The bounded accessors (PixelS, SetPixelS, FillRectS) clip; ScanLine, Pixel and
// PixelPtr do not and are meant for hot loops.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace tessaro {

using TColor32 = std::uint32_t;   // 0xAARRGGBB
using TCanvasColor = std::uint32_t;  // 0x00BBGGRR

constexpr TColor32 clBlack32 = 0xFF000000u;
constexpr TColor32 clWhite32 = 0xFFFFFFFFu;

constexpr std::uint8_t AlphaOf(TColor32 c) { return std::uint8_t(c >> 24); }
constexpr std::uint8_t RedOf(TColor32 c) { return std::uint8_t(c >> 16); }
constexpr std::uint8_t GreenOf(TColor32 c) { return std::uint8_t(c >> 8); }
constexpr std::uint8_t BlueOf(TColor32 c) { return std::uint8_t(c); }
constexpr TColor32 Color32(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a = 255) {
  return (TColor32(a) << 24) | (TColor32(r) << 16) | (TColor32(g) << 8) | TColor32(b);
}
// Canvas colour 0x00BBGGRR to an opaque TColor32 and back (alpha dropped).
constexpr TColor32 CanvasToColor32(TCanvasColor c) {
  return Color32(std::uint8_t(c), std::uint8_t(c >> 8), std::uint8_t(c >> 16));
}
constexpr TCanvasColor Color32ToCanvas(TColor32 c) {
  return TCanvasColor(RedOf(c)) | (TCanvasColor(GreenOf(c)) << 8) | (TCanvasColor(BlueOf(c)) << 16);
}

enum TDrawMode : int { dmOpaque = 0, dmBlend = 1 };
enum TCombineMode : int { cmBlend = 0, cmMerge = 1 };
enum TStretchFilter : int {
  sfNearest = 0,
  sfDraft = 1,
  sfLinear = 2,
  sfCosine = 3,
  sfSpline = 4,
  sfLanczos = 5,
  sfMitchell = 6,
};

// Right and bottom exclusive, as every rectangle in the system unless a function says
// otherwise.
struct TRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  constexpr int Width() const { return Right - Left; }
  constexpr int Height() const { return Bottom - Top; }
  constexpr bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  friend constexpr bool operator==(const TRect&, const TRect&) = default;
};
constexpr TRect MakeRect(int l, int t, int r, int b) { return TRect{l, t, r, b}; }
TRect IntersectRect(const TRect& a, const TRect& b);

struct TPoint {
  int X = 0, Y = 0;
  friend constexpr bool operator==(const TPoint&, const TPoint&) = default;
};

// Raised by LoadFromFile and by the savers; the text is the user-facing message.
class TPictureError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TCanvas;

class TBitmap32 {
 public:
  TBitmap32();
  TBitmap32(int w, int h);
  ~TBitmap32();
  TBitmap32(const TBitmap32& other);             // same as Assign
  TBitmap32& operator=(const TBitmap32& other);  // same as Assign
  TBitmap32(TBitmap32&& other) noexcept;
  TBitmap32& operator=(TBitmap32&& other) noexcept;

  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Empty() const { return width_ == 0 || height_ == 0; }

  // Negative sizes count as 0; the content after a resize is undefined (zero here).
  void SetSize(int w, int h);
  void SetWidth(int w) { SetSize(w, height_); }
  void SetHeight(int h) { SetSize(width_, h); }

  void Clear(TColor32 c = clBlack32);

  TColor32* Bits() { return pixels_.data(); }
  const TColor32* Bits() const { return pixels_.data(); }
  TColor32* ScanLine(int y) { return pixels_.data() + std::size_t(y) * std::size_t(width_); }
  const TColor32* ScanLine(int y) const {
    return pixels_.data() + std::size_t(y) * std::size_t(width_);
  }
  TColor32 Pixel(int x, int y) const { return ScanLine(y)[x]; }
  TColor32* PixelPtr(int x, int y) { return ScanLine(y) + x; }
  void SetPixel(int x, int y, TColor32 c) { ScanLine(y)[x] = c; }

  TColor32 PixelS(int x, int y) const;
  void SetPixelS(int x, int y, TColor32 c);

  TRect BoundsRect() const { return TRect{0, 0, width_, height_}; }
  void FillRectS(const TRect& r, TColor32 c);
  void FillRectTS(const TRect& r, TColor32 c);  // blends c over the pixels with c's alpha
  void ResetAlpha(std::uint8_t a = 255);

  // Copy this bitmap onto dst at (0, 0) / src onto this bitmap at (x, y), clipped,
  // combined by the source's DrawMode, CombineMode and MasterAlpha.
  void DrawTo(TBitmap32& dst) const;
  void DrawTo(TBitmap32& dst, int x, int y) const;
  void Draw(int x, int y, const TBitmap32& src);
  // Stretched copy of the whole bitmap (or srcRect of it) into dstRect of dst,
  // resampled with this bitmap's StretchFilter, combined as above, clipped to dst.
  void DrawTo(TBitmap32& dst, const TRect& dstRect) const;
  void DrawTo(TBitmap32& dst, const TRect& dstRect, const TRect& srcRect) const;

  void FlipHorz();
  void FlipVert();

  // Pixels and DrawMode, CombineMode, MasterAlpha, OuterColor, StretchFilter.
  void Assign(const TBitmap32& source);
  // Exchanges size and pixels only (not the drawing properties): how a decoder hands
  // over a finished picture so that a failed decode leaves the target untouched.
  void SwapPixels(TBitmap32& other);

  // Text in the bitmap's font (Canvas().Font), through the canvas.
  void Textout(int x, int y, const std::string& text);
  int TextWidth(const std::string& text);
  int TextHeight(const std::string& text);

  // A drawing surface over this bitmap's own pixels; valid until the next resize.
  TCanvas& Canvas();

  // Decode by extension (bmp/dib as BMP, jpg/jpeg as JPEG, case-insensitive) and
  // assign. Raises TPictureError ("Unknown picture file extension (.%s)", "Bitmap
  // image is not valid", "JPEG error #%d"); the bitmap keeps its content then.
  void LoadFromFile(const std::filesystem::path& name);
  // 32-bit BMP through the platform writer. Raises TPictureError when the file
  // cannot be written.
  void SaveToFile(const std::filesystem::path& name) const;
  // The exact 54-byte-header 32-bit BMP, bottom-up, stamped with dpi.
  void SaveToFileWithDPI(const std::filesystem::path& name, int dpi);

  TDrawMode DrawMode = dmOpaque;
  TCombineMode CombineMode = cmBlend;
  std::uint8_t MasterAlpha = 255;
  TColor32 OuterColor = 0;
  TStretchFilter StretchFilter = sfNearest;

 private:
  void CombineRow(TColor32* dst, const TColor32* src, int n) const;
  void DropCanvas();

  int width_ = 0;
  int height_ = 0;
  std::vector<TColor32> pixels_;
  std::unique_ptr<TCanvas> canvas_;
};

// 2-D affine map of pixel coordinates: x' = a x + b y + tx, y' = c x + d y + ty.
struct TAffineTransformation {
  double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

  void Clear() { *this = TAffineTransformation{}; }
  // Each appends an operation applied after the ones before.
  void Translate(double dx, double dy);
  // x' = cos x + sin y, y' = -sin x + cos y: with y pointing down, positive angles
  // turn the picture counter-clockwise on screen.
  void Rotate(double degrees);
  void Map(double x, double y, double& ox, double& oy) const;
  bool Invert(TAffineTransformation& out) const;
  // Source rectangle: only points mapping into it are drawn.
  TRect SrcRect;
};

// Draws src into dst through t: every dst pixel whose preimage lies in src (and in
// t.SrcRect when that is not empty) receives src's colour there, nearest-neighbour when
// src's StretchFilter is sfNearest, bilinear otherwise, combined by src's DrawMode as
// any draw is (an opaque source replaces); other dst pixels are left as they are.
void Transform(TBitmap32& dst, const TBitmap32& src, const TAffineTransformation& t);

}  // namespace tessaro
