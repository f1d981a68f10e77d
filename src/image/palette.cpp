// Palette code of the 6 x 6 x 6 colour cube.
#include <algorithm>

#include "image/ooimgfunction2007.h"

namespace tessaro {

namespace {

struct Levels {
  int r, g, b;
};

// Codes 216..255 are accepted (the index is clamped to a byte) but lie beyond the
// cube; their blue level would reach 306 or 357, so every level is held at 255.
Levels PaletteLevels(int i) {
  i = std::clamp(i, 0, 255);
  return {std::min((i % 6) * 51, 255), std::min((i % 36) / 6 * 51, 255),
          std::min(i / 36 * 51, 255)};
}

}  // namespace

int ColorToPaletteIndex(const SignatureColor& c) {
  return c.B / 51 * 36 + c.G / 51 * 6 + c.R / 51;
}

TCanvasColor PaletteIndexToColor(int i) {
  const Levels l = PaletteLevels(i);
  return TCanvasColor(l.r) | (TCanvasColor(l.g) << 8) | (TCanvasColor(l.b) << 16);
}

SignatureColor PaletteIndexToSignatureColor(int i) {
  const Levels l = PaletteLevels(i);
  SignatureColor c;
  c.R = std::uint8_t(l.r);
  c.G = std::uint8_t(l.g);
  c.B = std::uint8_t(l.b);
  c.Grey = std::uint8_t(SignatureGrey(l.r, l.g, l.b));
  return c;
}

}  // namespace tessaro
