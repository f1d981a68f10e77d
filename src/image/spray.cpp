// The map editors' spray brush.
#include <cmath>
#include <cstdint>

#include "image/ooimgfunction2007.h"

namespace tessaro {

void SprayDots(TBitmap32& bitmap, TPoint centre, int n, TCanvasColor colour, TRandom& rng) {
  rng.SeedFromClock();
  SprayDotsFrom(rng, bitmap, centre, n, colour);
}

void SprayDotsFrom(TRandom& rng, TBitmap32& bitmap, TPoint centre, int n, TCanvasColor colour) {
  const int r = int(std::nearbyint(n * 0.65));  // ties to even: 10 gives 6
  const TColor32 dot = CanvasToColor32(colour);
  // 64-bit counts and squares: the brush size is not trusted to be small.
  const std::int64_t r2 = std::int64_t(r) * r;
  for (std::int64_t i = 0, tries = std::int64_t(n) + 1; i < tries; ++i) {
    const int s1 = rng.Random(100);
    std::int64_t dx = rng.Random(r);
    if (s1 < 50) dx = -dx;
    const int s2 = rng.Random(100);
    std::int64_t dy = rng.Random(r);
    if (s2 < 50) dy = -dy;
    if (dx * dx + dy * dy >= r2) continue;
    const std::int64_t x = centre.X + dx, y = centre.Y + dy;
    if (x >= 0 && x < bitmap.Width() && y >= 0 && y < bitmap.Height())
      bitmap.SetPixel(int(x), int(y), dot);
  }
}

}  // namespace tessaro
