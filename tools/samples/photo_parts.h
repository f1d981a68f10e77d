// Building blocks shared by the photo scenes and the demo image: skies, sun and
// moon, clouds, mountain ridges, water with reflections, trees.
#pragma once

#include <cstdint>
#include <vector>

#include "paint.h"

namespace tessaro::samples {

enum class SkyKind { Day, Hazy, Golden, Sunset, Dusk, Night, Overcast, Storm, Dawn, Count };

struct SkyLook {
  SkyKind kind = SkyKind::Day;
  Rgb top, mid, horizon;
  Rgb sun;                 // disc colour (moon at night)
  Rgb cloudLit, cloudShade;
  float sunGlow = 0.5f;    // strength of the halo around the disc
  bool Dark() const { return kind == SkyKind::Night || kind == SkyKind::Dusk; }
};

SkyLook RandomSky(TRandom& rng, SkyKind kind);
SkyLook RandomSky(TRandom& rng);  // any kind, weighted toward the common ones

// Sky gradient from the top down to horizonY (and the horizon colour below it).
void PaintSky(Picture& p, float horizonY, const SkyLook& sky);
// Disc with a soft halo; the halo is added light.
void PaintSun(Picture& p, float cx, float cy, float r, Rgb color, float glow);
void PaintMoon(Picture& p, float cx, float cy, float r, Rgb color, std::uint32_t seed);
void PaintStars(Picture& p, float bottomY, int count, TRandom& rng);
// Fbm clouds between y0 and y1; cover 0..1 says how much of the band they take.
void PaintClouds(Picture& p, float y0, float y1, float cover, const SkyLook& sky,
                 std::uint32_t seed, float stretch = 3.f);

// A mountain or hill ridge: the region below baseY - amp * profile(x), where the
// profile is ridged (sharp) or rolling noise. Lit from the left or right; the far
// side in shade; optional snow on the heights; fades into haze toward the base.
struct Ridge {
  float baseY = 0, amp = 0;
  float freq = 3;       // features across the width
  bool sharp = true;
  Rgb color, shade, haze;
  float hazeAmount = 0;  // 0..1 mix toward haze at the ridge's base
  float snow = 0;        // 0..1 of the height covered by snow
  Rgb snowColor{0.95f, 0.96f, 1.f};
  float lightFromLeft = 1;  // +1 or -1
  float texture = 0.08f;    // strength of the surface noise
  std::uint32_t seed = 0;
};
void PaintRidge(Picture& p, const Ridge& r);
// Top of the ridge at x, in pixels.
float RidgeTop(const Picture& p, const Ridge& r, float x);

// Water below horizonY mirroring what is above, with ripples and a tint.
void PaintWater(Picture& p, float horizonY, Rgb tint, float reflect, float ripple,
                std::uint32_t seed);
// Glitter of a low sun on water: short bright dashes under cx.
void PaintSunPath(Picture& p, float horizonY, float cx, float width, Rgb color,
                  TRandom& rng, int count);

// Trees standing on groundY at x, height h.
void PaintConifer(Picture& p, float x, float groundY, float h, Rgb color, Rgb dark,
                  std::uint32_t seed);
void PaintLeafyTree(Picture& p, float x, float groundY, float h, Rgb leaf, Rgb dark,
                    Rgb trunk, std::uint32_t seed);

// A ground area below topY textured with noise between two colours.
void PaintGround(Picture& p, float topY, Rgb nearColor, Rgb farColor, float texture,
                 std::uint32_t seed);

// A shaded sphere (fruit, balloons, bubbles): lit from the upper left.
void PaintSphere(Picture& p, float cx, float cy, float rx, float ry, Rgb color,
                 float shine, float ambient = 0.35f);

}  // namespace tessaro::samples
