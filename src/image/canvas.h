// TCanvas: the drawing surface over a TBitmap32's own pixels (a QPainter over a
// QImage that wraps the buffer, no copy). Colours here are canvas colours 0x00BBGGRR;
// everything the canvas draws is opaque. Lines and shapes are not anti-aliased, so
// single pixels land where the coordinates say.
//
// Text needs a font database: the first text call makes sure a (headless, when no
// display is set) Qt GUI application object exists.
#pragma once

#include <string>
#include <vector>

#include "image/bitmap32.h"

namespace tessaro {

enum TPenStyle { psSolid, psDot, psClear };
enum TBrushStyle { bsSolid, bsClear };
enum TFillStyle { fsSurface, fsBorder };

struct TPen {
  TCanvasColor Color = 0x000000;
  int Width = 1;
  TPenStyle Style = psSolid;
};
struct TBrush {
  TCanvasColor Color = 0xFFFFFF;
  TBrushStyle Style = bsSolid;
};
struct TFont {
  std::string Name = "DejaVu Sans";
  int Size = 8;  // points at 96 dpi
  int Height = 0;  // character height in pixels; when above 0 it is used instead of Size
  TCanvasColor Color = 0x000000;
  bool Bold = false;
};

class TCanvas {
 public:
  explicit TCanvas(TBitmap32& target);

  TPen Pen;
  TBrush Brush;
  TFont Font;

  TCanvasColor PixelColor(int x, int y) const;  // 0 outside the bitmap
  void SetPixelColor(int x, int y, TCanvasColor c);

  void MoveTo(int x, int y);
  void LineTo(int x, int y);  // the end point itself is not drawn
  void Polyline(const std::vector<TPoint>& points);
  // Outline with the pen, inside filled with the brush (unless bsClear).
  void Rectangle(const TRect& r);
  void Ellipse(const TRect& r);
  void FillRect(const TRect& r);   // brush only
  void FrameRect(const TRect& r);  // one-pixel outline in the brush colour
  // fsSurface: fills the 4-connected area of colour c around (x, y);
  // fsBorder: fills up to the border colour c. Brush colour.
  void FloodFill(int x, int y, TCanvasColor c, TFillStyle style);

  // Text with its top-left at (x, y); background filled with the brush unless bsClear.
  void TextOut(int x, int y, const std::string& text);
  int TextWidth(const std::string& text);
  int TextHeight(const std::string& text);

  // Halftone (area-averaging) copy of srcRect of src into dstRect.
  void CopyRect(const TRect& dstRect, const TBitmap32& src, const TRect& srcRect);
  void StretchDraw(const TRect& dstRect, const TBitmap32& src);

 private:
  TBitmap32& bmp_;
  TPoint penPos_;
};

// Creates the process's Qt GUI application object when there is none (text needs a
// font database); uses the offscreen platform when no display is set.
void EnsureGuiApplication();

}  // namespace tessaro
