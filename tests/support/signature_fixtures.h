// Hand-made and random picture signatures for the tests and benchmarks of matching.
#pragma once

#include <cstdint>
#include <random>

#include "image/signature.h"

namespace tessaro::testing_support {

// A colour with the grey the signature functions give it (0.299 R + 0.587 G + 0.114 B).
inline SignatureColor Colour(int r, int g, int b) {
  return SignatureColor{std::uint8_t((299 * r + 587 * g + 114 * b) / 1000), std::uint8_t(r),
                        std::uint8_t(g), std::uint8_t(b)};
}

inline ImageSignature Uniform(SignatureColor c, std::int32_t palette = 0) {
  ImageSignature s;
  s.PaletteIndex = palette;
  s.Average = c;
  for (auto& e : s.Grid2) e = c;
  for (auto& e : s.Grid4) e = c;
  for (auto& e : s.Grid8) e = c;
  return s;
}

// Every grid entry an independent random colour; the palette code one of paletteCodes.
inline ImageSignature RandomSignature(std::mt19937& rng, int paletteCodes = 216) {
  std::uniform_int_distribution<int> byte(0, 255);
  ImageSignature s;
  auto colour = [&] {  // drawn in sequence: argument order is unspecified
    const int r = byte(rng), g = byte(rng), b = byte(rng);
    return Colour(r, g, b);
  };
  s.Average = colour();
  for (auto& e : s.Grid2) e = colour();
  for (auto& e : s.Grid4) e = colour();
  for (auto& e : s.Grid8) e = colour();
  s.PaletteIndex = byte(rng) % paletteCodes;
  return s;
}

}  // namespace tessaro::testing_support
