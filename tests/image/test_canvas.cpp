// TCanvas: the drawing layer over a bitmap's own pixels.
#include <gtest/gtest.h>

#include "image/bitmap32.h"
#include "image/canvas.h"

namespace tessaro {
namespace {

int CountColour(const TBitmap32& b, TColor32 c) {
  int n = 0;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) n += b.Pixel(x, y) == c;
  return n;
}

TEST(Canvas, ColourConversionBothWays) {
  EXPECT_EQ(CanvasToColor32(0x0000FF), 0xFFFF0000u);  // red is the low byte on the canvas
  EXPECT_EQ(CanvasToColor32(0xFF0000), 0xFF0000FFu);
  EXPECT_EQ(Color32ToCanvas(0x80123456), 0x563412u);
  TBitmap32 b(2, 2);
  b.Clear(0xFF102030);
  EXPECT_EQ(b.Canvas().PixelColor(1, 1), 0x302010u);
  b.Canvas().SetPixelColor(0, 0, 0x0000FF);
  EXPECT_EQ(b.Pixel(0, 0), 0xFFFF0000u);
  EXPECT_EQ(b.Canvas().PixelColor(5, 5), 0u);
}

TEST(Canvas, LinesLeaveOutTheirEndPoint) {
  TBitmap32 b(10, 10);
  b.Clear(clWhite32);
  TCanvas& c = b.Canvas();
  c.Pen.Color = 0x000000;
  c.MoveTo(1, 1);
  c.LineTo(6, 1);
  EXPECT_EQ(CountColour(b, clBlack32), 5);
  EXPECT_EQ(b.Pixel(1, 1), clBlack32);
  EXPECT_EQ(b.Pixel(5, 1), clBlack32);
  EXPECT_EQ(b.Pixel(6, 1), clWhite32);
  c.MoveTo(0, 0);
  c.LineTo(9, 9);  // diagonal
  for (int i = 0; i < 9; ++i) EXPECT_EQ(b.Pixel(i, i), clBlack32);
  EXPECT_EQ(b.Pixel(9, 9), clWhite32);
}

TEST(Canvas, RectangleOutlineAndFill) {
  TBitmap32 b(8, 8);
  b.Clear(clWhite32);
  TCanvas& c = b.Canvas();
  c.Pen.Color = 0x000000;
  c.Brush.Color = 0x0000FF;
  c.Rectangle({1, 1, 6, 5});  // 5 x 4: outline 14 pixels, inside 3 x 2
  EXPECT_EQ(CountColour(b, clBlack32), 14);
  EXPECT_EQ(CountColour(b, 0xFFFF0000u), 6);
  EXPECT_EQ(b.Pixel(6, 5), clWhite32);
  c.Brush.Color = 0x00FF00;
  c.FrameRect({0, 0, 8, 8});
  EXPECT_EQ(CountColour(b, 0xFF00FF00u), 28);
}

TEST(Canvas, FloodFillSurfaceAndBorder) {
  TBitmap32 b(7, 7);
  b.Clear(clWhite32);
  TCanvas& c = b.Canvas();
  c.Brush.Color = 0x000000;
  c.FrameRect({1, 1, 6, 6});  // a black ring around a 3 x 3 white hole
  c.Brush.Color = 0x0000FF;
  c.FloodFill(3, 3, 0xFFFFFF, fsSurface);
  EXPECT_EQ(CountColour(b, 0xFFFF0000u), 9);
  EXPECT_EQ(b.Pixel(0, 0), clWhite32);  // the ring stops the fill
  c.Brush.Color = 0x00FF00;
  c.FloodFill(0, 0, 0x000000, fsBorder);  // everything outside the black ring
  EXPECT_EQ(CountColour(b, 0xFF00FF00u), 49 - 16 - 9);
  c.FloodFill(3, 3, 0xFF0000, fsSurface);  // fill colour equals the surface: no hang
  c.FloodFill(-1, 3, 0xFF0000, fsSurface);  // outside: nothing
}

TEST(Canvas, TextIsDrawnAndMeasured) {
  TBitmap32 b(120, 30);
  b.Clear(clWhite32);
  TCanvas& c = b.Canvas();
  c.Font.Size = 12;
  const int w = c.TextWidth("Tile 12");
  const int h = c.TextHeight("Tile 12");
  EXPECT_GT(w, 20);
  EXPECT_LT(w, 120);
  EXPECT_GT(h, 8);
  EXPECT_GT(c.TextWidth("Tile 1234"), w);
  b.Textout(2, 2, "Tile 12");
  int dark = 0;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 120; ++x) dark += RedOf(b.Pixel(x, y)) < 128;
  EXPECT_GT(dark, 20);
  for (int y = 0; y < 30; ++y)  // nothing right of the measured width
    for (int x = 2 + w + 2; x < 120; ++x) ASSERT_EQ(b.Pixel(x, y), clWhite32);
}

// Reports give their fonts in pixels; Height 0 leaves the point Size in charge.
TEST(Canvas, FontHeightInPixelsOverridesTheSize) {
  TBitmap32 b(10, 10);
  TFont& f = b.Canvas().Font;
  f.Size = 8;
  const int bySize = b.TextHeight("Ag");
  f.Height = 12;
  const int h12 = b.TextHeight("Ag");
  f.Height = 24;
  const int h24 = b.TextHeight("Ag");
  EXPECT_GE(h12, 12);
  EXPECT_LE(h12, 18);
  EXPECT_GE(h24, 2 * h12 - 3);
  EXPECT_LE(h24, 2 * h12 + 3);
  f.Height = 0;
  EXPECT_EQ(b.TextHeight("Ag"), bySize);
  f.Size = 24;
  EXPECT_GT(b.TextHeight("Ag"), bySize);
}

}  // namespace
}  // namespace tessaro
