// Helpers, the palette code and the signature record of ooimgfunction2007.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "image/ooimgfunction2007.h"

namespace tessaro {
namespace {

TEST(ImageFnPalette, ClampByte) {
  struct Case {
    int v, expected;
  } cases[] = {{-5, 0},     {0, 0},     {1, 1},     {128, 128},     {254, 254},
               {255, 255},  {300, 255}, {INT_MIN, 0}, {INT_MAX, 255}};
  for (const Case& c : cases) EXPECT_EQ(ClampByte(c.v), c.expected) << c.v;
}

TEST(ImageFnPalette, PointInRectHasFourInclusiveEdges) {
  const TRect r = MakeRect(10, 20, 30, 40);
  struct Case {
    TPoint p;
    bool inside;
  } cases[] = {
      {{10, 20}, true},  {{30, 20}, true},  {{30, 40}, true}, {{10, 40}, true},
      {{20, 30}, true},  {{9, 30}, false},  {{31, 30}, false}, {{20, 19}, false},
      {{20, 41}, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(PointInRect(c.p, r), c.inside) << c.p.X << "," << c.p.Y;
}

TEST(ImageFnPalette, RectCornerInRectLooksAtCornersOnly) {
  const TRect r = MakeRect(10, 10, 20, 20);
  struct Case {
    TRect a;
    bool expected;
    const char* what;
  } cases[] = {
      {MakeRect(12, 12, 18, 18), true, "inside"},
      {MakeRect(5, 5, 10, 10), true, "bottom-right corner on r's top-left"},
      {MakeRect(18, 5, 25, 12), true, "bottom-left corner only"},
      {MakeRect(15, 15, 30, 30), true, "top-left corner only"},
      {MakeRect(5, 15, 12, 30), true, "top-right corner only"},
      {MakeRect(0, 0, 30, 30), false, "encloses r: no corner inside"},
      {MakeRect(12, 0, 18, 30), false, "crosses r: no corner inside"},
      {MakeRect(21, 21, 25, 25), false, "disjoint"},
  };
  for (const Case& c : cases) EXPECT_EQ(RectCornerInRect(c.a, r), c.expected) << c.what;
}

SignatureColor Rgb(int r, int g, int b) {
  SignatureColor c;
  c.R = std::uint8_t(r);
  c.G = std::uint8_t(g);
  c.B = std::uint8_t(b);
  return c;
}

TEST(ImageFnPalette, ColorToPaletteIndex) {
  struct Case {
    SignatureColor c;
    int expected;
  } cases[] = {
      {Rgb(0, 0, 0), 0},       {Rgb(255, 255, 255), 215}, {Rgb(255, 0, 0), 5},
      {Rgb(0, 255, 0), 30},    {Rgb(0, 0, 255), 180},     {Rgb(50, 51, 101), 42},
      {Rgb(101, 152, 204), 4 * 36 + 2 * 6 + 1},
  };
  for (const Case& c : cases) EXPECT_EQ(ColorToPaletteIndex(c.c), c.expected);
}

TEST(ImageFnPalette, PaletteIndexToColorIsCanvasOrder) {
  struct Case {
    int i;
    TCanvasColor expected;
  } cases[] = {
      {0, 0x000000},   {215, 0xFFFFFF}, {5, 0x0000FF},  {30, 0x00FF00}, {180, 0xFF0000},
      {-4, 0x000000},  {121, 0x996633},
      // Beyond the cube: the index is clamped to 255, every level to 255.
      {255, 0xFF0099}, {300, 0xFF0099}, {216, 0xFF0000},
  };
  for (const Case& c : cases) EXPECT_EQ(PaletteIndexToColor(c.i), c.expected) << c.i;
}

TEST(ImageFnPalette, NoPaletteLevelSpillsOutOfItsByte) {
  for (int i = -1; i <= 256; ++i) {
    EXPECT_EQ(PaletteIndexToColor(i) >> 24, 0u) << i;
    const SignatureColor s = PaletteIndexToSignatureColor(i);
    EXPECT_EQ(PaletteIndexToColor(i), TCanvasColor(s.R | (s.G << 8) | (s.B << 16))) << i;
  }
}

TEST(ImageFnPalette, EveryCodeRoundTripsThroughItsColour) {
  for (int i = 0; i < 216; ++i) {
    const SignatureColor c = PaletteIndexToSignatureColor(i);
    EXPECT_EQ(ColorToPaletteIndex(c), i);
    EXPECT_EQ(c.Grey, SignatureGrey(c.R, c.G, c.B));
  }
  EXPECT_EQ(PaletteIndexToSignatureColor(215).Grey, 255);
  EXPECT_EQ(PaletteIndexToSignatureColor(5).Grey, 76);
}

TEST(ImageFnPalette, SignatureGreyKeepsEveryGreyLevel) {
  for (int v = 0; v < 256; ++v) EXPECT_EQ(SignatureGrey(v, v, v), v);
  EXPECT_EQ(SignatureGrey(255, 0, 0), 76);
  EXPECT_EQ(SignatureGrey(0, 255, 0), 149);
  EXPECT_EQ(SignatureGrey(0, 0, 255), 29);
}

TEST(ImageFnPalette, SignatureBytesAreInFileOrder) {
  ImageSignature s;
  s.PaletteIndex = 0x01020304;
  s.Average = SignatureColor{10, 11, 12, 13};
  s.Grid2[3].B = 20;
  s.Grid4[0].Grey = 30;
  s.Grid8[63].B = 40;
  unsigned char bytes[344];
  std::memcpy(bytes, &s, sizeof bytes);
  EXPECT_EQ(bytes[0], 0x04);
  EXPECT_EQ(bytes[3], 0x01);
  EXPECT_EQ(bytes[4], 10);
  EXPECT_EQ(bytes[7], 13);
  EXPECT_EQ(bytes[8 + 3 * 4 + 3], 20);
  EXPECT_EQ(bytes[24], 30);
  EXPECT_EQ(bytes[343], 40);
}

}  // namespace
}  // namespace tessaro
