// GreyBitmap and ShiftChannels.
#include <gtest/gtest.h>

#include <climits>

#include "image/ooimgfunction2007.h"
#include "imgfn_fixtures.h"

namespace tessaro {
namespace {

using testing::AllPixels;
using testing::Noise;
using testing::SamePixels;
using testing::Solid;

constexpr TColor32 Grey(int g) {
  return Color32(std::uint8_t(g), std::uint8_t(g), std::uint8_t(g));
}

TEST(ImageFnGrey, TablesTruncateEachChannelSeparately) {
  struct Case {
    int type;
    TColor32 in;
    int grey;
  } cases[] = {
      {1, clWhite32, 254}, {2, clWhite32, 254}, {3, clWhite32, 253}, {4, clWhite32, 253},
      {1, Color32(255, 0, 0), 76}, {1, Color32(0, 255, 0), 149}, {1, Color32(0, 0, 255), 29},
      {2, Color32(255, 0, 0), 114}, {3, Color32(0, 0, 255), 60}, {4, Color32(0, 255, 0), 85},
      // 180 * 0.35 is exactly 63; in doubles it is 62.999...
      {2, Color32(0, 180, 0), 63},
      {1, Color32(100, 100, 100), 29 + 58 + 11},
      {0, clWhite32, 0}, {5, Color32(9, 9, 9), 0},
  };
  for (const Case& c : cases) {
    TBitmap32 dst;
    GreyBitmap(Solid(3, 2, c.in), dst, c.type);
    EXPECT_TRUE(AllPixels(dst, Grey(c.grey))) << "type " << c.type << " " << std::hex << c.in;
  }
}

TEST(ImageFnGrey, OutputIsOpaqueAndTakesTheSourceProperties) {
  TBitmap32 src = Solid(4, 4, Color32(255, 0, 0, 3));
  src.DrawMode = dmBlend;
  src.StretchFilter = sfLanczos;
  const TBitmap32 before = src;
  TBitmap32 dst = Noise(9, 9, 1);
  GreyBitmap(src, dst, 1);
  EXPECT_TRUE(AllPixels(dst, Grey(76)));
  EXPECT_EQ(dst.DrawMode, dmBlend);
  EXPECT_EQ(dst.StretchFilter, sfLanczos);
  EXPECT_TRUE(SamePixels(src, before));
}

TEST(ImageFnGrey, InPlaceMatchesSeparate) {
  TBitmap32 a = Noise(33, 17, 2, /*opaque=*/false);
  TBitmap32 expected;
  GreyBitmap(a, expected, 3);
  GreyBitmap(a, a, 3);
  EXPECT_TRUE(SamePixels(a, expected));
}

// Large pages run in row bands on several threads; processing the page as small
// single-threaded tiles must give the same pixels.
template <class Kernel>
void ExpectBandedEqualsTiled(const Kernel& kernel) {
  const int w = 1500, h = 1400;  // 2.1 million pixels: more than one band
  const TBitmap32 page = Noise(w, h, 3, /*opaque=*/false);
  TBitmap32 whole;
  kernel(page, whole);
  ASSERT_EQ(whole.Width(), w);
  ASSERT_EQ(whole.Height(), h);
  const int tile = 100;
  for (int ty = 0; ty < h; ty += tile)
    for (int tx = 0; tx < w; tx += tile) {
      TBitmap32 in(tile, tile), out;
      for (int y = 0; y < tile; ++y)
        for (int x = 0; x < tile; ++x) in.SetPixel(x, y, page.Pixel(tx + x, ty + y));
      kernel(in, out);
      for (int y = 0; y < tile; ++y)
        for (int x = 0; x < tile; ++x)
          ASSERT_EQ(out.Pixel(x, y), whole.Pixel(tx + x, ty + y)) << tx + x << "," << ty + y;
    }
}

TEST(ImageFnGrey, BandedPageEqualsTiles) {
  ExpectBandedEqualsTiled([](const TBitmap32& s, TBitmap32& d) { GreyBitmap(s, d, 1); });
}

TEST(ImageFnGrey, EmptyPicture) {
  TBitmap32 dst = Noise(3, 3, 4);
  GreyBitmap(TBitmap32(), dst, 1);
  EXPECT_TRUE(dst.Empty());
}

TEST(ImageFnShift, ChannelsShiftAndClamp) {
  struct Case {
    TColor32 in;
    int dR, dG, dB;
    TColor32 out;
  } cases[] = {
      {Color32(10, 20, 30, 0), 0, 0, 0, Color32(10, 20, 30)},
      {Color32(250, 5, 128), 10, -10, 0, Color32(255, 0, 128)},
      {Color32(100, 100, 100), -100, 155, -101, Color32(0, 255, 0)},
      {Color32(1, 2, 3), INT_MAX, INT_MIN, 300, Color32(255, 0, 255)},
      {Color32(200, 200, 200), -256, 256, -1, Color32(0, 255, 199)},
  };
  for (const Case& c : cases) {
    TBitmap32 dst;
    ShiftChannels(Solid(2, 3, c.in), dst, c.dR, c.dG, c.dB);
    EXPECT_TRUE(AllPixels(dst, c.out)) << c.dR << " " << c.dG << " " << c.dB;
  }
}

TEST(ImageFnShift, InPlaceMatchesSeparate) {
  TBitmap32 a = Noise(31, 19, 5, /*opaque=*/false);
  TBitmap32 expected;
  ShiftChannels(a, expected, -20, 7, 40);
  ShiftChannels(a, a, -20, 7, 40);
  EXPECT_TRUE(SamePixels(a, expected));
}

TEST(ImageFnShift, BandedPageEqualsTiles) {
  ExpectBandedEqualsTiled(
      [](const TBitmap32& s, TBitmap32& d) { ShiftChannels(s, d, -30, 12, 200); });
}

}  // namespace
}  // namespace tessaro
