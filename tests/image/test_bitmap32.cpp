// TBitmap32: pixel access, drawing and combining, stretching, flips, transforms.
#include <gtest/gtest.h>

#include <cstdlib>

#include "core/random.h"
#include "image/bitmap32.h"
#include "image/halftone.h"

namespace tessaro {
namespace {

TBitmap32 Noise(int w, int h, std::uint64_t seed, bool opaque = true) {
  TBitmap32 b(w, h);
  TRandom rnd(seed);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      TColor32 c = rnd.Next32();
      if (opaque) c |= 0xFF000000u;
      b.SetPixel(x, y, c);
    }
  return b;
}

bool SamePixels(const TBitmap32& a, const TBitmap32& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x)
      if (a.Pixel(x, y) != b.Pixel(x, y)) return false;
  return true;
}

TEST(Bitmap32, SizeClearAndBoundedAccess) {
  TBitmap32 b;
  EXPECT_TRUE(b.Empty());
  b.SetSize(-3, 5);
  EXPECT_EQ(b.Width(), 0);
  EXPECT_TRUE(b.Empty());
  b.SetSize(3, 2);
  b.Clear();
  EXPECT_EQ(b.Pixel(2, 1), 0xFF000000u);
  b.OuterColor = 0x12345678;
  for (auto [x, y] : {std::pair{-1, 0}, {3, 0}, {0, -1}, {0, 2}, {-100, 100}}) {
    EXPECT_EQ(b.PixelS(x, y), 0x12345678u) << x << "," << y;
    b.SetPixelS(x, y, 0xFFFFFFFF);
  }
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(b.Pixel(x, y), 0xFF000000u);
  b.SetPixelS(1, 1, 0xFF00FF00);
  EXPECT_EQ(b.PixelS(1, 1), 0xFF00FF00u);
  EXPECT_EQ(b.ScanLine(1) + 1, b.PixelPtr(1, 1));
  EXPECT_EQ(b.BoundsRect(), (TRect{0, 0, 3, 2}));
}

TEST(Bitmap32, FillRectClipsAndBlends) {
  TBitmap32 b(4, 4);
  b.Clear(0xFF000000);
  b.FillRectS({-2, -2, 2, 1}, 0xFFFF0000);
  b.FillRectS({3, 3, 3, 10}, 0xFF00FF00);  // empty: nothing
  EXPECT_EQ(b.Pixel(0, 0), 0xFFFF0000u);
  EXPECT_EQ(b.Pixel(1, 0), 0xFFFF0000u);
  EXPECT_EQ(b.Pixel(2, 0), 0xFF000000u);
  EXPECT_EQ(b.Pixel(0, 1), 0xFF000000u);
  EXPECT_EQ(b.Pixel(3, 3), 0xFF000000u);
  // Half-transparent white over black gives mid grey, alpha stays opaque.
  b.FillRectTS({0, 2, 4, 4}, 0x80FFFFFF);
  EXPECT_EQ(b.Pixel(0, 3), 0xFF808080u);
  b.FillRectTS({0, 2, 4, 4}, 0x00FFFFFF);  // fully transparent: no change
  EXPECT_EQ(b.Pixel(0, 3), 0xFF808080u);
  b.ResetAlpha(7);
  EXPECT_EQ(b.Pixel(0, 3), 0x07808080u);
  b.ResetAlpha();
  EXPECT_EQ(b.Pixel(0, 0), 0xFFFF0000u);
}

TEST(Bitmap32, DrawCombinesByTheSourcesMode) {
  struct Case {
    const char* name;
    TDrawMode mode;
    std::uint8_t master;
    TColor32 src, dst, expect;
  };
  const Case cases[] = {
      {"opaque copies alpha too", dmOpaque, 255, 0x40102030, 0xFFFFFFFF, 0x40102030},
      {"opaque ignores master alpha", dmOpaque, 0, 0xFF102030, 0xFFFFFFFF, 0xFF102030},
      {"blend opaque source replaces", dmBlend, 255, 0xFF102030, 0xFFFFFFFF, 0xFF102030},
      {"blend transparent source leaves", dmBlend, 255, 0x00102030, 0xFFFFFFFF, 0xFFFFFFFF},
      {"blend master 0 draws nothing", dmBlend, 0, 0xFF102030, 0xFFFFFFFF, 0xFFFFFFFF},
      {"blend half by master", dmBlend, 128, 0xFF000000, 0xFFFFFFFF, 0xFF7F7F7F},
      {"blend half by pixel alpha", dmBlend, 255, 0x80000000, 0xFFFFFFFF, 0xFF7F7F7F},
      {"blend quarter", dmBlend, 128, 0x80FFFFFF, 0xFF000000, 0xFF404040},
  };
  for (const Case& c : cases) {
    TBitmap32 src(2, 2), dst(3, 3);
    src.Clear(c.src);
    src.DrawMode = c.mode;
    src.MasterAlpha = c.master;
    dst.Clear(c.dst);
    dst.Draw(1, 1, src);
    EXPECT_EQ(dst.Pixel(2, 2), c.expect) << c.name;
    EXPECT_EQ(dst.Pixel(0, 0), c.dst) << c.name << ": outside the drawn area";
  }
}

TEST(Bitmap32, DrawClipsAtEveryEdge) {
  const TBitmap32 src = Noise(5, 4, 1);
  for (auto [ox, oy] : {std::pair{-2, -1}, {3, 2}, {-4, 3}, {0, 0}, {6, 0}, {0, -4}}) {
    TBitmap32 dst(4, 3);
    dst.Clear(0xFF010203);
    src.DrawTo(dst, ox, oy);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 4; ++x) {
        const int sx = x - ox, sy = y - oy;
        const bool in = sx >= 0 && sy >= 0 && sx < 5 && sy < 4;
        EXPECT_EQ(dst.Pixel(x, y), in ? src.Pixel(sx, sy) : 0xFF010203u) << ox << "," << oy;
      }
  }
}

TEST(Bitmap32, ConstantStaysConstantThroughEveryStretchFilter) {
  const TStretchFilter filters[] = {sfNearest, sfDraft, sfLinear, sfCosine, sfSpline, sfLanczos, sfMitchell};
  const std::pair<int, int> sizes[] = {{1, 1}, {7, 3}, {40, 40}, {123, 77}, {2, 300}};
  for (TStretchFilter f : filters)
    for (auto [w, h] : sizes) {
      TBitmap32 src(13, 9);
      src.Clear(0xFF3C7AB5);
      src.StretchFilter = f;
      TBitmap32 dst(w, h);
      dst.Clear(0);
      src.DrawTo(dst, dst.BoundsRect());
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
          ASSERT_EQ(dst.Pixel(x, y), 0xFF3C7AB5u) << "filter " << f << " size " << w << "x" << h;
    }
}

TEST(Bitmap32, NearestDoublingRepeatsPixels) {
  TBitmap32 src = Noise(3, 2, 7);
  TBitmap32 dst(6, 4);
  src.DrawTo(dst, dst.BoundsRect());
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) EXPECT_EQ(dst.Pixel(x, y), src.Pixel(x / 2, y / 2));
}

TEST(Bitmap32, StretchedDrawClipsToTheVisiblePart) {
  // Drawing into a rectangle that hangs over the edges must give exactly the
  // visible part of the whole stretched picture.
  TBitmap32 src = Noise(17, 11, 3);
  for (TStretchFilter f : {sfLinear, sfSpline, sfLanczos, sfDraft}) {
    src.StretchFilter = f;
    TBitmap32 whole(50, 40);
    src.DrawTo(whole, whole.BoundsRect());
    TBitmap32 part(30, 25);
    part.Clear(0);
    src.DrawTo(part, TRect{-12, -9, 38, 31});
    for (int y = 0; y < 25; ++y)
      for (int x = 0; x < 30; ++x) ASSERT_EQ(part.Pixel(x, y), whole.Pixel(x + 12, y + 9)) << f;
  }
}

TEST(Bitmap32, StretchSourceRectAndSameSizeCopy) {
  TBitmap32 src = Noise(8, 8, 11);
  TBitmap32 dst(4, 4);
  src.DrawTo(dst, TRect{0, 0, 4, 4}, TRect{2, 3, 6, 7});
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(dst.Pixel(x, y), src.Pixel(x + 2, y + 3));
}

TEST(Bitmap32, FlipsAndAssign) {
  TBitmap32 b = Noise(5, 3, 5);
  const TBitmap32 orig(b);
  b.FlipHorz();
  EXPECT_EQ(b.Pixel(0, 1), orig.Pixel(4, 1));
  b.FlipVert();
  EXPECT_EQ(b.Pixel(0, 0), orig.Pixel(4, 2));
  b.FlipHorz();
  b.FlipVert();
  EXPECT_TRUE(SamePixels(b, orig));

  TBitmap32 src(2, 2);
  src.DrawMode = dmBlend;
  src.MasterAlpha = 9;
  src.OuterColor = 0x55;
  src.StretchFilter = sfLanczos;
  TBitmap32 dst(9, 9);
  dst.Assign(src);
  EXPECT_EQ(dst.Width(), 2);
  EXPECT_EQ(dst.DrawMode, dmBlend);
  EXPECT_EQ(dst.MasterAlpha, 9);
  EXPECT_EQ(dst.OuterColor, 0x55u);
  EXPECT_EQ(dst.StretchFilter, sfLanczos);
}

TEST(Bitmap32, TransformQuarterTurnsAndIdentity) {
  const int n = 6;
  for (TStretchFilter f : {sfNearest, sfLinear}) {
    TBitmap32 src = Noise(n, n, 9);
    src.StretchFilter = f;
    TAffineTransformation id;
    TBitmap32 same(n, n);
    same.Clear(0);
    Transform(same, src, id);
    EXPECT_TRUE(SamePixels(same, src)) << "identity, filter " << f;

    TBitmap32 cur(src);
    for (int turn = 0; turn < 4; ++turn) {
      TAffineTransformation t;
      t.Translate(-(n - 1) / 2.0, -(n - 1) / 2.0);
      t.Rotate(90);
      t.Translate((n - 1) / 2.0, (n - 1) / 2.0);
      TBitmap32 next(n, n);
      next.Clear(0);
      Transform(next, cur, t);
      if (turn == 0) {
        // x' = y, y' = -x about the centre: the top row becomes the left column, bottom up.
        for (int x = 0; x < n; ++x) EXPECT_EQ(next.Pixel(0, n - 1 - x), src.Pixel(x, 0)) << f;
      }
      cur = next;
      cur.StretchFilter = f;
    }
    EXPECT_TRUE(SamePixels(cur, src)) << "four quarter turns, filter " << f;
  }
}

TEST(Halftone, ExactAreaAverages) {
  // 3 -> 2 columns: destination pixel 0 covers source 0 fully and half of 1.
  TBitmap32 src(3, 1);
  src.SetPixel(0, 0, Color32(0, 0, 0));
  src.SetPixel(1, 0, Color32(90, 90, 90));
  src.SetPixel(2, 0, Color32(240, 240, 240));
  TBitmap32 dst;
  HalftoneResize(src, dst, 2, 1);
  EXPECT_EQ(dst.Pixel(0, 0), Color32(30, 30, 30));   // (0 * 2 + 90) / 3
  EXPECT_EQ(dst.Pixel(1, 0), Color32(190, 190, 190));  // (90 + 240 * 2) / 3

  // 4x4 -> 2x2 is a plain 2x2 box mean; the mean of the whole picture is kept.
  TBitmap32 big = Noise(64, 48, 21);
  HalftoneResize(big, dst, 16, 12);
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 16; ++x) {
      int sum = 0;
      for (int v = 0; v < 4; ++v)
        for (int u = 0; u < 4; ++u) sum += RedOf(big.Pixel(4 * x + u, 4 * y + v));
      ASSERT_EQ(RedOf(dst.Pixel(x, y)), (sum + 8) / 16);
    }
}

TEST(Halftone, ConstantStaysConstantAndTilesEqualWhole) {
  for (auto [sw, sh, dw, dh] : {std::array{4000, 3000, 64, 64}, {7, 5, 64, 64}, {333, 17, 5, 40}}) {
    TBitmap32 flat(sw, sh);
    flat.Clear(0xFF8040C0);
    TBitmap32 out;
    HalftoneResize(flat, out, dw, dh);
    ASSERT_EQ(out.Width(), dw);
    for (int y = 0; y < dh; ++y)
      for (int x = 0; x < dw; ++x) ASSERT_EQ(out.Pixel(x, y), 0xFF8040C0u);
  }
  // Big enough for the two-thread path; drawing it in pieces gives the same pixels.
  const TBitmap32 src = Noise(1500, 1100, 4);
  TBitmap32 whole;
  HalftoneResize(src, whole, 97, 61);
  TBitmap32 tiled(97, 61);
  tiled.Clear(0);
  for (int ty = -30; ty < 61; ty += 30)
    for (int tx = -40; tx < 97; tx += 40) {
      TBitmap32 tile(40, 30);
      HalftoneStretch(tile, TRect{-tx, -ty, 97 - tx, 61 - ty}, src, src.BoundsRect());
      for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) tiled.SetPixelS(tx + x, ty + y, tile.Pixel(x, y));
    }
  EXPECT_TRUE(SamePixels(whole, tiled));
}

TEST(Halftone, EmptyInputLeavesTargetAlone) {
  TBitmap32 dst(3, 3);
  dst.Clear(0xFF112233);
  TBitmap32 empty;
  HalftoneResize(empty, dst, 5, 5);
  HalftoneResize(Noise(2, 2, 1), dst, 0, 5);
  EXPECT_EQ(dst.Width(), 3);
  EXPECT_EQ(dst.Pixel(1, 1), 0xFF112233u);
  HalftoneStretch(dst, dst.BoundsRect(), Noise(2, 2, 1), TRect{0, 0, 3, 3});  // outside src
  EXPECT_EQ(dst.Pixel(1, 1), 0xFF112233u);
}

}  // namespace
}  // namespace tessaro
