// Division and priority map lookups.
#include <cstdint>

#include "core/app_state.h"
#include "engine/layers.h"

namespace tessaro {

std::int32_t MapLevelAt(const TBitmap32& map, int mosaicWidth, int mosaicHeight, TPoint p) {
  if (map.Empty() || mosaicWidth <= 0 || mosaicHeight <= 0) return -1;
  // 64-bit products: a large mosaic times a large map overflows 32 bits.
  const std::int64_t x = std::int64_t(p.X) * map.Width() / mosaicWidth;
  const std::int64_t y = std::int64_t(p.Y) * map.Height() / mosaicHeight;
  if (x < 0 || y < 0 || x >= map.Width() || y >= map.Height()) return -1;
  return MapLevelOfPixel(map.Pixel(int(x), int(y)));
}

std::int32_t DivisionLevelAt(const TAppState& state, TPoint p) {
  return MapLevelAt(state.DivisionMap, state.CurrentProject.MosaicWidth,
                    state.CurrentProject.MosaicHeight, p);
}

std::int32_t PriorityLevelAt(const TAppState& state, TPoint p) {
  return MapLevelAt(state.PriorityMap, state.CurrentProject.MosaicWidth,
                    state.CurrentProject.MosaicHeight, p);
}

}  // namespace tessaro
