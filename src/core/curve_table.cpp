#include <algorithm>

#include "core/ootsfunction2007.h"

namespace tessaro {

void BuildCurveTable(const TCurvePoints& points, TCurveTable& table) {
  // Plain ints, copied out of the packed set, clamped before they index the table.
  int x[5], y[5];
  for (int i = 0; i < 5; ++i) {
    const int px = points.P[i].X;  // by value: std::clamp takes references
    x[i] = std::clamp(px, 0, 255);
    y[i] = points.P[i].Y;
  }
  // The exchange sort decides which of two points with equal x comes later, and so
  // which y wins at that x; a different sort would change tables.
  for (int i = 0; i < 5; ++i)
    for (int j = i + 1; j < 5; ++j)
      if (x[j] < x[i]) {
        std::swap(x[i], x[j]);
        std::swap(y[i], y[j]);
      }

  if (x[0] > 0)
    for (int v = 0; v <= x[0]; ++v) table[v] = y[0];

  for (int k = 0; k < 4; ++k) {
    const int x0 = x[k], x1 = x[k + 1];
    if (x1 == x0) {
      table[x1] = y[k + 1];
      continue;
    }
    // 64-bit product: y is not range-checked and a wild file must not overflow.
    const std::int64_t dy = std::int64_t(y[k + 1]) - y[k];
    for (int v = x0; v <= x1; ++v)
      table[v] = std::int32_t(double(std::int64_t(v - x0) * dy) / double(x1 - x0) + y[k]);
  }

  if (x[4] < 255)
    for (int v = x[4]; v <= 255; ++v) table[v] = y[4];
}

}  // namespace tessaro
