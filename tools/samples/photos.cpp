// The photo scenes. Each scene paints a whole frame from a random generator of its
// own; sizes are fractions of the frame (S is one 240th of its shorter side), so a
// scene looks the same at 200 x 150 as at 320 x 240.
#include <cmath>
#include <cstdint>
#include <vector>

#include "photo_parts.h"
#include "scenes.h"

namespace tessaro::samples {

namespace {

struct Frame {
  float W, H, S;
  explicit Frame(const Picture& p)
      : W(float(p.W())), H(float(p.H())), S(float(std::min(p.W(), p.H())) / 240.f) {}
};

std::uint32_t Seed32(TRandom& rng) { return rng.Next32(); }

// Land colours of one season or climate: (lit, shade, far haze).
struct Land {
  Rgb lit, shade, far;
};
Land RandomLand(TRandom& rng) {
  static const Land lands[] = {
      {Hex(0x6fa83a), Hex(0x2f5a22), Hex(0x8fb0a0)},  // summer green
      {Hex(0x9bbd4a), Hex(0x4c6e2a), Hex(0xb0c4a8)},  // spring
      {Hex(0xc9a94a), Hex(0x7a5f2a), Hex(0xc8c0a0)},  // dry grass
      {Hex(0xc8702a), Hex(0x6a3418), Hex(0xb89a88)},  // autumn
      {Hex(0x8a7a6a), Hex(0x43382f), Hex(0xa7a4a8)},  // rock
      {Hex(0x4f7f4a), Hex(0x1f3a2a), Hex(0x7a9aa0)},  // dark forest
      {Hex(0xa07ab8), Hex(0x4e3a6a), Hex(0xb0a8c8)},  // heather
      {Hex(0xd9c49a), Hex(0x8a6e4a), Hex(0xd8ccb4)},  // sand
  };
  Land l = Pick(rng, lands);
  const float k = Uniform(rng, 0.85f, 1.15f);
  l.lit = l.lit * k;
  l.shade = l.shade * k;
  return l;
}

// ---- Landscapes ------------------------------------------------------------------------

void MountainLake(Picture& p, TRandom& rng) {
  const Frame f(p);
  SkyLook sky = RandomSky(rng);
  const float hz = f.H * Uniform(rng, 0.48f, 0.68f);
  PaintSky(p, hz, sky);
  if (sky.kind == SkyKind::Night) PaintStars(p, hz, int(f.W * f.H / 500.f), rng);
  const float sunX = f.W * Uniform(rng, 0.15f, 0.85f), sunY = hz * Uniform(rng, 0.25f, 0.8f);
  if (sky.kind == SkyKind::Night)
    PaintMoon(p, sunX, sunY * 0.6f, 9 * f.S, sky.sun, Seed32(rng));
  else if (sky.kind != SkyKind::Overcast && sky.kind != SkyKind::Storm && Chance(rng, 0.7f))
    PaintSun(p, sunX, sunY, Uniform(rng, 6, 12) * f.S, sky.sun, sky.sunGlow);
  if (Chance(rng, 0.75f)) PaintClouds(p, 0, hz * 0.8f, Uniform(rng, 0.2f, 0.9f), sky, Seed32(rng));
  const Land land = RandomLand(rng);
  const int layers = 2 + rng.Random(3);
  const float dark = sky.Dark() ? 0.35f : 1.f;
  for (int i = 0; i < layers; ++i) {
    const float k = float(i) / float(layers);
    Ridge r;
    r.baseY = hz + 1;
    r.amp = hz * Uniform(rng, 0.25f, 0.6f) * (1.f - 0.45f * k);
    r.freq = Uniform(rng, 1.5f, 4.f) + float(i);
    r.sharp = i < layers - 1 || Chance(rng, 0.5f);
    const Rgb far = Mix(sky.horizon, sky.mid, 0.3f);
    r.color = Mix(far, land.lit, 0.25f + 0.75f * k) * dark;
    r.shade = Mix(far, land.shade, 0.35f + 0.65f * k) * dark;
    r.haze = sky.horizon * dark;
    r.hazeAmount = 0.7f * (1.f - k);
    r.snow = (i == 0 && Chance(rng, 0.6f)) ? Uniform(rng, 0.2f, 0.5f) : 0.f;
    r.snowColor = Mix(Hex(0xf4f6fa), sky.horizon, 0.25f) * dark;
    r.lightFromLeft = sunX < f.W / 2 ? 1.f : -1.f;
    r.seed = Seed32(rng);
    PaintRidge(p, r);
  }
  const Rgb water = Mix(sky.top, land.shade, 0.4f) * 0.7f;
  PaintWater(p, hz, water, Uniform(rng, 0.55f, 0.85f), Uniform(rng, 0.5f, 3.f) * f.S, Seed32(rng));
  if (Chance(rng, 0.6f)) {
    // Near shore with conifers.
    const float shore = f.H * Uniform(rng, 0.82f, 0.95f);
    Ridge r;
    r.baseY = shore;
    r.amp = f.H * 0.05f;
    r.freq = 3;
    r.sharp = false;
    r.color = land.lit * 0.7f * dark;
    r.shade = land.shade * 0.6f * dark;
    r.seed = Seed32(rng);
    PaintRidge(p, r);
    const int trees = rng.Random(8);
    for (int t = 0; t < trees; ++t) {
      const float x = Uniform(rng, 0, f.W);
      PaintConifer(p, x, RidgeTop(p, r, x) + 3 * f.S, Uniform(rng, 25, 70) * f.S, land.shade * 0.8f * dark,
                   land.shade * 0.4f * dark, Seed32(rng));
    }
  }
}

void RollingHills(Picture& p, TRandom& rng) {
  const Frame f(p);
  SkyLook sky = RandomSky(rng, Chance(rng, 0.6f) ? SkyKind::Day : RandomSky(rng).kind);
  const float hz = f.H * Uniform(rng, 0.3f, 0.6f);
  PaintSky(p, hz, sky);
  if (Chance(rng, 0.8f)) PaintClouds(p, 0, hz, Uniform(rng, 0.3f, 0.9f), sky, Seed32(rng));
  if (sky.kind != SkyKind::Overcast && Chance(rng, 0.4f))
    PaintSun(p, Uniform(rng, 0, f.W), hz * Uniform(rng, 0.2f, 0.8f), 8 * f.S, sky.sun, sky.sunGlow);
  const Land land = RandomLand(rng);
  const float dark = sky.Dark() ? 0.4f : 1.f;
  const int layers = 3 + rng.Random(3);
  float base = hz;
  for (int i = 0; i < layers; ++i) {
    const float k = float(i + 1) / float(layers);
    Ridge r;
    base += (f.H - hz) * Uniform(rng, 0.1f, 0.3f) * k;
    r.baseY = base + f.H * 0.05f;
    r.amp = f.H * Uniform(rng, 0.06f, 0.16f);
    r.freq = Uniform(rng, 1.f, 3.f);
    r.sharp = false;
    // Fields in bands of colour: each hill its own crop.
    const Rgb crop = Chance(rng, 0.3f) ? Hsv(Uniform(rng, 0.1f, 0.3f), Uniform(rng, 0.4f, 0.8f), 0.8f) : land.lit;
    r.color = Mix(sky.horizon, crop, 0.35f + 0.65f * k) * dark;
    r.shade = Mix(sky.horizon, land.shade, 0.35f + 0.65f * k) * dark;
    r.haze = sky.horizon * dark;
    r.hazeAmount = 0.5f * (1.f - k);
    r.texture = 0.1f + 0.1f * k;
    r.seed = Seed32(rng);
    PaintRidge(p, r);
    const int trees = rng.Random(5);
    for (int t = 0; t < trees; ++t) {
      const float x = Uniform(rng, 0, f.W);
      const float h = Uniform(rng, 12, 40) * f.S * (0.4f + k);
      PaintLeafyTree(p, x, RidgeTop(p, r, x) + h * 0.1f, h, land.lit * 0.55f * dark, land.shade * 0.35f * dark,
                     Hex(0x3a2a1a) * dark, Seed32(rng));
    }
  }
  if (Chance(rng, 0.35f)) {
    // A path winding toward the horizon.
    const float vx = f.W * Uniform(rng, 0.3f, 0.7f), vy = hz + (f.H - hz) * 0.3f;
    const float bx = f.W * Uniform(rng, 0.2f, 0.8f);
    const Rgb road = Mix(Hex(0xb9a78a), Hex(0x6c6c6c), float(rng.RandomFloat())) * dark;
    Paint(p, p.Clip(0, vy, f.W, f.H),
          [&](float x, float y) {
            const float t = (y - vy) / (f.H - vy);
            const float cx = vx + (bx - vx) * t + std::sin(t * 5.f) * f.W * 0.04f * t;
            return Cover(std::abs(x - cx) - (1.f + t * t * f.W * 0.12f));
          },
          [&](float, float y) { return road * (0.8f + 0.3f * (y - vy) / (f.H - vy)); });
  }
}

void SunsetSea(Picture& p, TRandom& rng) {
  const Frame f(p);
  SkyLook sky = RandomSky(rng, Chance(rng, 0.7f) ? SkyKind::Sunset : (Chance(rng, 0.5f) ? SkyKind::Golden : SkyKind::Dusk));
  const float hz = f.H * Uniform(rng, 0.45f, 0.7f);
  PaintSky(p, hz, sky);
  const float sx = f.W * Uniform(rng, 0.2f, 0.8f);
  const float sr = Uniform(rng, 10, 24) * f.S;
  PaintSun(p, sx, hz - sr * Uniform(rng, -0.2f, 1.6f), sr, sky.sun, sky.sunGlow * 1.2f);
  if (Chance(rng, 0.8f)) PaintClouds(p, hz * 0.05f, hz * 0.95f, Uniform(rng, 0.3f, 0.8f), sky, Seed32(rng), 6.f);
  // The horizon line cuts the sun.
  const Rgb sea = Mix(sky.top, sky.cloudShade, 0.5f);
  PaintWater(p, hz, sea, 0.8f, Uniform(rng, 1.f, 2.5f) * f.S, Seed32(rng));
  PaintSunPath(p, hz, sx, sr * 2.f, sky.sun, rng, 80 + rng.Random(80));
  const Rgb silhouette = Mix(sky.top, Hex(0x000000), 0.75f);
  switch (rng.Random(4)) {
    case 0: {  // a headland on one side
      const bool left = Chance(rng, 0.5f);
      Ridge r;
      r.baseY = hz + 2;
      r.amp = f.H * Uniform(rng, 0.1f, 0.3f);
      r.freq = 2;
      r.color = r.shade = silhouette;
      r.texture = 0.02f;
      r.seed = Seed32(rng);
      Picture copy = p;
      PaintRidge(p, r);
      // Keep only one side: blend back the untouched copy on the other.
      const float cut = f.W * Uniform(rng, 0.25f, 0.5f);
      for (int y = 0; y < p.H(); ++y)
        for (int x = 0; x < p.W(); ++x) {
          const float fx = left ? float(x) : f.W - float(x);
          const float t = Smooth(cut - 10 * f.S, cut + 10 * f.S, fx + (ValueNoise(float(y) * 0.1f, 0, 3) - 0.5f) * 10 * f.S);
          p.At(x, y) = Mix(p.At(x, y), copy.At(x, y), t);
        }
      break;
    }
    case 1: {  // a palm
      const float x = Uniform(rng, 0.1f, 0.9f) * f.W, base = f.H;
      const float top = hz - Uniform(rng, 0.3f, 0.6f) * hz;
      const float lean = Uniform(rng, -0.3f, 0.3f) * f.W;
      Paint(p, p.All(),
            [&](float x2, float y2) {
              if (y2 < top - 60 * f.S) return 0.f;
              const float t = Clamp01((base - y2) / (base - top));
              const float cx = x + lean * t * t;
              return Cover(std::abs(x2 - cx) - (4.f - 2.f * t) * f.S);
            },
            [&](float, float) { return silhouette; });
      const float tx = x + lean;
      for (int i = 0; i < 7; ++i) {
        const float a = -2.8f + float(i) * 0.8f + Uniform(rng, -0.2f, 0.2f);
        const float len = Uniform(rng, 35, 55) * f.S;
        Paint(p, p.Clip(tx - len, top - len, tx + len, top + len),
              [&](float x2, float y2) {
                const float dx = x2 - tx, dy = y2 - top;
                const float along = dx * std::cos(a) + dy * std::sin(a);
                if (along < 0 || along > len) return 0.f;
                const float t = along / len;
                const float across = -dx * std::sin(a) + dy * std::cos(a) - t * t * len * 0.35f;
                return Cover(std::abs(across) - 5.f * f.S * std::sin(t * 3.14f) * (0.6f + 0.4f * std::abs(std::sin(along * 0.9f / f.S))));
              },
              [&](float, float) { return silhouette; });
      }
      break;
    }
    case 2: {  // a sailing boat
      const float bx = Uniform(rng, 0.15f, 0.85f) * f.W, by = hz + (f.H - hz) * Uniform(rng, 0.05f, 0.3f);
      const float s = Uniform(rng, 0.6f, 1.4f) * f.S;
      Paint(p, p.Clip(bx - 30 * s, by - 70 * s, bx + 30 * s, by + 6 * s),
            [&](float x2, float y2) {
              const float hull = SdBox(x2, y2, bx, by, 24 * s - (y2 - by + 6 * s) * 0.9f, 4 * s);
              const std::vector<Pt> sail{{bx + 2 * s, by - 68 * s}, {bx + 2 * s, by - 8 * s}, {bx + 26 * s, by - 10 * s}};
              const std::vector<Pt> jib{{bx - 1 * s, by - 62 * s}, {bx - 1 * s, by - 8 * s}, {bx - 22 * s, by - 9 * s}};
              return Cover(std::min({hull, SdPolygon(x2, y2, sail), SdPolygon(x2, y2, jib)}));
            },
            [&](float, float) { return silhouette; });
      break;
    }
    default:
      break;  // open sea
  }
}

void Beach(Picture& p, TRandom& rng) {
  const Frame f(p);
  SkyLook sky = RandomSky(rng, Chance(rng, 0.7f) ? SkyKind::Day : SkyKind::Hazy);
  const float hz = f.H * Uniform(rng, 0.3f, 0.5f);
  PaintSky(p, hz, sky);
  if (Chance(rng, 0.7f)) PaintClouds(p, 0, hz * 0.9f, Uniform(rng, 0.1f, 0.6f), sky, Seed32(rng));
  const Rgb sea = Hsv(Uniform(rng, 0.47f, 0.58f), Uniform(rng, 0.5f, 0.9f), Uniform(rng, 0.45f, 0.75f));
  const Rgb shallow = Mix(sea, Hex(0x9fe8d8), 0.6f);
  const float shore = hz + (f.H - hz) * Uniform(rng, 0.25f, 0.55f);
  const Rgb sand = Mix(Hex(0xe8d2a6), Hex(0xd6b98a), float(rng.RandomFloat()));
  const std::uint32_t s1 = Seed32(rng);
  const float tilt = Uniform(rng, -0.15f, 0.15f);
  Map(p, [&](float x, float y, Rgb c) {
    if (y < hz) return c;
    const float line = shore + tilt * (x - f.W / 2) + (ValueNoise(x * 0.03f / f.S, 0, s1) - 0.5f) * 12 * f.S;
    if (y < line) {
      const float t = (y - hz) / std::max(line - hz, 1.f);
      const float wave = 0.5f + 0.5f * std::sin(y * 0.9f / f.S / (0.3f + t) + ValueNoise(x * 0.05f, y * 0.2f, s1) * 4);
      Rgb w = Mix(Mix(sea * 0.8f, sea, t), shallow, t * t);
      return w * (0.93f + 0.1f * wave);
    }
    const float t = (y - line) / std::max(f.H - line, 1.f);
    const float foam = Smooth(3 * f.S, 0.f, y - line) * (0.6f + 0.4f * ValueNoise(x * 0.2f / f.S, 0, s1 + 1));
    const float grain = Fbm(x * 0.15f / f.S, y * 0.15f / f.S, s1 + 2, 2);
    Rgb s = Mix(sand * 0.82f, sand, Clamp01(t * 2.f)) * (0.92f + 0.16f * grain);
    return Mix(s, Hex(0xffffff), foam);
  });
  if (Chance(rng, 0.5f)) {  // a parasol
    const float ux = Uniform(rng, 0.15f, 0.85f) * f.W, uy = shore + (f.H - shore) * Uniform(rng, 0.3f, 0.6f);
    const float r = Uniform(rng, 28, 45) * f.S;
    const Rgb a = Hsv(float(rng.RandomFloat()), 0.8f, 0.9f), b = Hex(0xf8f8f0);
    Paint(p, p.Clip(ux - 2 * f.S, uy - r * 0.8f, ux + 2 * f.S, uy + r * 0.6f),
          [&](float x, float) { return Cover(std::abs(x - ux) - 1.2f * f.S); }, [&](float, float) { return Hex(0x5a4a3a); });
    Paint(p, p.Clip(ux - r, uy - r * 1.2f, ux + r, uy - r * 0.6f),
          [&](float x, float y) { return Cover(std::max(SdEllipse(x, y, ux, uy - r * 0.62f, r, r * 0.5f), uy - r * 0.62f - y)); },
          [&](float x, float y) {
            const float ang = std::atan2(y - (uy - r * 0.62f), x - ux);
            return (int(std::floor(ang * 8.f / 3.14159f + 8)) % 2) ? a : b;
          });
    Paint(p, p.Clip(ux - r, uy + r * 0.5f, ux + r * 1.2f, uy + r * 0.8f),
          [&](float x, float y) { return 0.35f * Cover(SdEllipse(x, y, ux + r * 0.2f, uy + r * 0.62f, r * 0.9f, r * 0.12f), 4.f); },
          [&](float, float) { return sand * 0.5f; });
  }
}

void NightScene(Picture& p, TRandom& rng) {
  const Frame f(p);
  SkyLook sky = RandomSky(rng, Chance(rng, 0.7f) ? SkyKind::Night : SkyKind::Dusk);
  const float hz = f.H * Uniform(rng, 0.55f, 0.8f);
  PaintSky(p, hz, sky);
  PaintStars(p, hz, int(f.W * f.H / Uniform(rng, 150.f, 600.f)), rng);
  if (Chance(rng, 0.7f))
    PaintMoon(p, Uniform(rng, 0.1f, 0.9f) * f.W, hz * Uniform(rng, 0.15f, 0.5f), Uniform(rng, 8, 22) * f.S,
              Mix(Hex(0xf4f0dc), Hex(0xffd890), float(rng.RandomFloat()) * 0.5f), Seed32(rng));
  if (Chance(rng, 0.4f)) PaintClouds(p, hz * 0.2f, hz, 0.4f, sky, Seed32(rng), 5.f);
  if (Chance(rng, 0.5f)) {
    // Aurora curtains.
    const Rgb a = Hsv(Uniform(rng, 0.3f, 0.5f), 0.8f, 0.8f), b = Hsv(Uniform(rng, 0.75f, 0.9f), 0.6f, 0.7f);
    const std::uint32_t s = Seed32(rng);
    Glow(p, p.Clip(0, 0, f.W, hz), [&](float x, float y) {
      const float curve = hz * (0.35f + 0.25f * std::sin(x / f.W * 5.f + Hash01(0, 0, s) * 6.f));
      const float d = (y - curve) / (hz * 0.25f);
      const float rays = 0.5f + 0.5f * ValueNoise(x * 0.08f / f.S, 0, s);
      const float k = std::exp(-d * d) * (d < 0 ? 1.f : 0.6f) * rays * 0.55f;
      return Mix(a, b, Clamp01(-d)) * k;
    });
  }
  const Rgb land = Mix(sky.top, Hex(0x000000), 0.6f);
  Ridge r;
  r.baseY = hz + 2;
  r.amp = hz * Uniform(rng, 0.1f, 0.4f);
  r.freq = Uniform(rng, 2, 5);
  r.color = land * 1.3f;
  r.shade = land;
  r.seed = Seed32(rng);
  PaintRidge(p, r);
  if (Chance(rng, 0.5f)) {
    PaintWater(p, hz + f.H * 0.08f, sky.top * 0.5f, 0.7f, 1.5f * f.S, Seed32(rng));
  }
  // Village lights along the foot of the hills.
  const int lights = rng.Random(40);
  for (int i = 0; i < lights; ++i) {
    const float x = Uniform(rng, 0, f.W), y = hz + Uniform(rng, -4, 10) * f.S;
    const Rgb c = Hsv(Uniform(rng, 0.08f, 0.15f), 0.6f, 1.f) * Uniform(rng, 0.4f, 1.f);
    Glow(p, p.Clip(x - 6 * f.S, y - 6 * f.S, x + 6 * f.S, y + 6 * f.S), [&](float px, float py) {
      const float d = std::hypot(px - x, py - y) / (1.5f * f.S);
      return c * std::exp(-d * d);
    });
  }
}

void Forest(Picture& p, TRandom& rng) {
  const Frame f(p);
  static const Land seasons[] = {
      {Hex(0x5e9a3a), Hex(0x1c3a1a), Hex(0xbfd8a8)},  // summer
      {Hex(0xd88a2a), Hex(0x6a2a12), Hex(0xf0d0a0)},  // autumn
      {Hex(0xe8b830), Hex(0x7a5a18), Hex(0xf6e8b0)},  // golden birch
      {Hex(0xa8c870), Hex(0x3a5a2a), Hex(0xe8f0d0)},  // spring
      {Hex(0xd8dee8), Hex(0x5a6470), Hex(0xeef2f6)},  // winter
      {Hex(0x3a6a5a), Hex(0x0e2420), Hex(0x8aa8a0)},  // misty pines
  };
  const Land s = Pick(rng, seasons);
  // Light through the canopy: a bright haze of the season's colour behind the trunks.
  const Rgb backLight = Mix(s.far, Hex(0xffffff), Uniform(rng, 0.f, 0.4f));
  const std::uint32_t seed = Seed32(rng);
  const float sc = 6.f / f.W;
  Map(p, [&](float x, float y, Rgb) {
    const float n = Fbm(x * sc, y * sc, seed, 4);
    const float t = y / f.H;
    Rgb c = Mix(s.lit, s.shade, Clamp01(n * 1.4f - 0.2f));
    c = Mix(c, backLight, Clamp01(0.6f - std::abs(t - 0.45f) * 1.5f) * (1.f - n));
    return c;
  });
  // Trunks, far ones pale, near ones dark and wide.
  const int trunks = 6 + rng.Random(10);
  const Rgb bark = Chance(rng, 0.25f) ? Hex(0xe8e4da) : Hex(0x4a3426);
  for (int i = 0; i < trunks; ++i) {
    const float k = float(i) / float(trunks);
    const float x = Uniform(rng, 0, f.W), w = (3 + 22 * k * k) * f.S * Uniform(rng, 0.6f, 1.3f);
    const float lean = Uniform(rng, -0.06f, 0.06f);
    const Rgb c = Mix(backLight, bark, 0.35f + 0.65f * k);
    const std::uint32_t ts = Seed32(rng);
    Paint(p, p.Clip(x - w - f.H * 0.1f, 0, x + w + f.H * 0.1f, f.H),
          [&](float px, float py) { return Cover(std::abs(px - x - lean * (py - f.H)) - w * (1.f + 0.15f * py / f.H)); },
          [&](float px, float py) {
            const float u = (px - x - lean * (py - f.H)) / w;
            const float stripe = ValueNoise(u * 3.f, py * 0.08f / f.S, ts);
            return c * (0.75f + 0.4f * (0.5f - u * 0.5f) + 0.2f * (stripe - 0.5f));
          });
  }
  // Forest floor.
  const float floorY = f.H * Uniform(rng, 0.72f, 0.9f);
  PaintGround(p, floorY, Mix(s.shade, s.lit, 0.4f), Mix(s.lit, backLight, 0.4f), 0.4f, Seed32(rng));
  if (Chance(rng, 0.5f)) {
    // Sun rays slanting through.
    const float ang = Uniform(rng, -0.5f, 0.5f);
    const std::uint32_t rs = Seed32(rng);
    Glow(p, p.All(), [&](float x, float y) {
      const float u = (x + y * ang) / f.W * 8.f;
      const float ray = std::pow(ValueNoise(u, 0, rs), 3.f);
      return backLight * (ray * 0.25f * (1.f - y / f.H));
    });
  }
}

void Desert(Picture& p, TRandom& rng) {
  const Frame f(p);
  SkyLook sky = RandomSky(rng, Chance(rng, 0.5f) ? SkyKind::Day : (Chance(rng, 0.5f) ? SkyKind::Golden : SkyKind::Sunset));
  const float hz = f.H * Uniform(rng, 0.3f, 0.55f);
  PaintSky(p, hz, sky);
  if (sky.kind != SkyKind::Day) PaintSun(p, Uniform(rng, 0.2f, 0.8f) * f.W, hz * 0.8f, 12 * f.S, sky.sun, sky.sunGlow);
  const Rgb sand = PickOf<Rgb>(rng, {Hex(0xe0a060), Hex(0xd88a4a), Hex(0xe8c890), Hex(0xc86a3a), Hex(0xf0d8b0)});
  const int dunes = 3 + rng.Random(3);
  for (int i = 0; i < dunes; ++i) {
    const float k = float(i + 1) / float(dunes);
    Ridge r;
    r.baseY = hz + (f.H - hz) * (0.2f + 0.8f * k) * Uniform(rng, 0.7f, 1.f);
    r.amp = (f.H - hz) * Uniform(rng, 0.2f, 0.5f);
    r.freq = Uniform(rng, 0.8f, 2.f);
    r.sharp = true;
    const Rgb light = Mix(sky.horizon, sand, 0.5f + 0.5f * k);
    r.color = light * 1.08f;
    r.shade = Mix(light * 0.55f, sky.top, 0.15f);
    r.haze = sky.horizon;
    r.hazeAmount = 0.4f * (1 - k);
    r.texture = 0.03f;
    r.lightFromLeft = Chance(rng, 0.5f) ? 1.f : -1.f;
    r.seed = Seed32(rng);
    PaintRidge(p, r);
  }
}

void SnowScene(Picture& p, TRandom& rng) {
  const Frame f(p);
  SkyLook sky = RandomSky(rng, PickOf<SkyKind>(rng, {SkyKind::Day, SkyKind::Overcast, SkyKind::Dawn, SkyKind::Hazy, SkyKind::Dusk}));
  const float hz = f.H * Uniform(rng, 0.35f, 0.6f);
  PaintSky(p, hz, sky);
  if (Chance(rng, 0.6f)) PaintClouds(p, 0, hz, Uniform(rng, 0.2f, 0.8f), sky, Seed32(rng));
  const Rgb snow = Mix(Hex(0xf6f8fc), sky.horizon, 0.2f) * (sky.Dark() ? 0.45f : 1.f);
  const Rgb blue = Mix(snow, Hex(0x7a90b8), 0.45f);
  for (int i = 0; i < 3; ++i) {
    Ridge r;
    r.baseY = hz + (f.H - hz) * (0.15f + 0.35f * float(i));
    r.amp = (f.H - hz) * Uniform(rng, 0.15f, 0.5f) * (i == 0 ? 2.f : 1.f);
    r.freq = Uniform(rng, 1, 3);
    r.sharp = i == 0;
    r.color = snow;
    r.shade = blue;
    r.haze = sky.horizon;
    r.hazeAmount = i == 0 ? 0.4f : 0.f;
    r.texture = 0.02f;
    r.seed = Seed32(rng);
    PaintRidge(p, r);
    const int trees = i == 0 ? 0 : rng.Random(6);
    for (int t = 0; t < trees; ++t) {
      const float x = Uniform(rng, 0, f.W);
      PaintConifer(p, x, RidgeTop(p, r, x) + 4 * f.S, Uniform(rng, 20, 60) * f.S * float(i), Hex(0x2a4a3a),
                   Hex(0x10201a), Seed32(rng));
    }
  }
}


void MistyLayers(Picture& p, TRandom& rng) {
  const Frame f(p);
  // Ridges fading into mist, all in the light's one hue: a quiet, low-contrast frame.
  const float hue = float(rng.RandomFloat());
  const float sat = Uniform(rng, 0.1f, 0.6f);
  const Rgb air = Hsv(hue, sat * 0.6f, Uniform(rng, 0.55f, 0.98f));
  const Rgb deep = Hsv(hue + Uniform(rng, -0.05f, 0.05f), Clamp01(sat * 1.3f), Uniform(rng, 0.1f, 0.45f));
  Map(p, [&](float, float y, Rgb) { return Mix(air, Mix(air, Hex(0xffffff), 0.3f), 1.f - y / f.H); });
  if (Chance(rng, 0.5f)) PaintSun(p, Uniform(rng, 0.2f, 0.8f) * f.W, f.H * Uniform(rng, 0.15f, 0.45f), 14 * f.S, Mix(air, Hex(0xffffff), 0.7f), 0.4f);
  const int layers = 3 + rng.Random(4);
  for (int i = 0; i < layers; ++i) {
    const float k = float(i + 1) / float(layers);
    Ridge r;
    r.baseY = f.H * (0.45f + 0.55f * k) + f.H * 0.1f;
    r.amp = f.H * Uniform(rng, 0.12f, 0.3f);
    r.freq = Uniform(rng, 1.5f, 4.f);
    r.sharp = Chance(rng, 0.5f);
    r.color = Mix(air, deep, k * 0.9f);
    r.shade = r.color * 0.9f;
    r.haze = air;
    r.hazeAmount = 0.6f * (1.f - k);
    r.texture = 0.02f;
    r.seed = Seed32(rng);
    PaintRidge(p, r);
    if (Chance(rng, 0.5f)) {
      const int trees = 3 + rng.Random(12);
      for (int t = 0; t < trees; ++t) {
        const float x = Uniform(rng, 0, f.W);
        PaintConifer(p, x, RidgeTop(p, r, x) + 3 * f.S, Uniform(rng, 10, 30) * f.S * (0.5f + k), r.color, r.color * 0.85f, Seed32(rng));
      }
    }
  }
}

void WaterSurface(Picture& p, TRandom& rng) {
  const Frame f(p);
  // Close to the water: the sky's colour in the swell, glints on the crests.
  SkyLook sky = RandomSky(rng);
  const Rgb deep = Mix(sky.top, Hsv(Uniform(rng, 0.45f, 0.65f), 0.7f, 0.35f), Uniform(rng, 0.2f, 0.7f));
  const Rgb light = Mix(sky.horizon, sky.mid, 0.4f);
  const std::uint32_t s = Seed32(rng);
  const float scale = Uniform(rng, 0.6f, 1.6f);
  const float glint = Uniform(rng, 0.f, 0.6f);
  Map(p, [&](float x, float y, Rgb) {
    const float t = y / f.H;
    const float fy = y / f.S / scale, fx = x / f.S / scale;
    const float warp = Fbm(fx * 0.02f, fy * 0.06f, s, 3);
    const float wave = std::sin(fy * 0.25f * (1.f + t) + warp * 9.f);
    const float slope = 0.5f + 0.5f * wave;
    Rgb c = Mix(deep, light, Clamp01(slope * (0.4f + 0.5f * (1.f - t))));
    const float sparkle = Smooth(0.92f, 1.f, slope) * Smooth(0.6f, 0.9f, ValueNoise(fx * 0.15f, fy * 0.3f, s + 1)) * glint;
    return c + sky.sun * sparkle;
  });
}

void Drapery(Picture& p, TRandom& rng) {
  const Frame f(p);
  // Satin folds: smooth light and shade in one colour.
  const Rgb cloth = Hsv(float(rng.RandomFloat()), Uniform(rng, 0.2f, 1.f), Uniform(rng, 0.3f, 1.f));
  const Rgb sheen = Mix(cloth, Hex(0xffffff), Uniform(rng, 0.2f, 0.6f));
  const std::uint32_t s = Seed32(rng);
  const float ang = Uniform(rng, -0.7f, 0.7f) + (Chance(rng, 0.5f) ? 1.5708f : 0.f);
  const float ca = std::cos(ang), sa = std::sin(ang);
  const float folds = Uniform(rng, 3.f, 8.f);
  Map(p, [&](float x, float y, Rgb) {
    const float u = (x * ca + y * sa) / f.W, v = (-x * sa + y * ca) / f.W;
    const float warp = Fbm(u * 1.5f, v * 1.5f, s, 3) * 2.f;
    const float fold = std::sin((u * folds + warp) * 3.14159f);
    const float lit = 0.5f + 0.5f * fold;
    return Mix(cloth * 0.35f, cloth, Smooth(0.f, 0.7f, lit)) + (sheen - cloth) * (std::pow(lit, 8.f) * 0.8f);
  });
}

// ---- Close-ups -------------------------------------------------------------------------

// A blurred background of colour blobs: the out-of-focus garden behind a flower or
// the street behind a figure.
void BlurredBackdrop(Picture& p, TRandom& rng, Rgb a, Rgb b, int blobs) {
  const Frame f(p);
  const std::uint32_t s = Seed32(rng);
  const float sc = 3.f / f.W;
  Map(p, [&](float x, float y, Rgb) { return Mix(a, b, Smooth(0.3f, 0.7f, Fbm(x * sc, y * sc, s, 3))); });
  for (int i = 0; i < blobs; ++i) {
    const float x = Uniform(rng, 0, f.W), y = Uniform(rng, 0, f.H), r = Uniform(rng, 8, 30) * f.S;
    const Rgb c = Mix(a, b, float(rng.RandomFloat())) * Uniform(rng, 0.7f, 1.3f);
    Paint(p, p.Clip(x - r, y - r, x + r, y + r), [&](float px, float py) { return 0.6f * Cover(SdCircle(px, py, x, y, r), r * 0.8f); },
          [&](float, float) { return c; });
  }
}

void FlowerCloseUp(Picture& p, TRandom& rng) {
  const Frame f(p);
  const float hue = float(rng.RandomFloat());
  const Rgb petal = Hsv(hue, Uniform(rng, 0.35f, 1.f), Uniform(rng, 0.7f, 1.f));
  const Rgb tip = Mix(petal, Chance(rng, 0.5f) ? Hex(0xffffff) : Hsv(hue + 0.08f, 0.9f, 0.9f), 0.4f);
  const Rgb bgA = Chance(rng, 0.7f) ? Hsv(Uniform(rng, 0.2f, 0.4f), 0.6f, Uniform(rng, 0.15f, 0.5f))
                                    : Hsv(float(rng.RandomFloat()), 0.4f, Uniform(rng, 0.2f, 0.9f));
  const Rgb bgB = Mix(bgA, Hsv(Uniform(rng, 0.15f, 0.35f), 0.5f, 0.7f), 0.6f);
  BlurredBackdrop(p, rng, bgA, bgB, 12);
  Blur(p, int(6 * f.S) + 1);
  // Stem and a leaf.
  const float cx = f.W * Uniform(rng, 0.3f, 0.7f), cy = f.H * Uniform(rng, 0.3f, 0.6f);
  // Now and then so close that the petals fill the frame.
  const float R = std::min(f.W, f.H) * (Chance(rng, 0.3f) ? Uniform(rng, 0.7f, 1.3f) : Uniform(rng, 0.25f, 0.45f));
  Paint(p, p.Clip(cx - R, cy, cx + R, f.H),
        [&](float x, float y) { return Cover(std::abs(x - cx - std::sin((y - cy) / f.H * 3.f) * R * 0.2f) - 3.f * f.S); },
        [&](float, float) { return Hex(0x3a7a2a); });
  const int n = 5 + rng.Random(10);
  const float spin = Uniform(rng, 0, 6.28f);
  const float round = Uniform(rng, 0.3f, 2.5f);
  const bool layered = Chance(rng, 0.5f);
  Paint(p, p.Clip(cx - R, cy - R, cx + R, cy + R),
        [&](float x, float y) {
          const float dx = x - cx, dy = y - cy;
          const float a = std::atan2(dy, dx) + spin;
          const float shape = std::pow(std::abs(std::cos(a * float(n) * 0.5f)), round);
          const float rr = R * (0.35f + 0.65f * shape);
          return Cover(std::hypot(dx, dy) - rr, 1.5f);
        },
        [&](float x, float y) {
          const float dx = x - cx, dy = y - cy;
          const float d = std::hypot(dx, dy) / R;
          const float a = std::atan2(dy, dx) + spin;
          const float vein = 0.92f + 0.08f * std::cos(a * float(n) * 6.f);
          const float fold = layered ? 0.85f + 0.15f * std::abs(std::cos(a * float(n) * 0.5f)) : 1.f;
          return Mix(petal * 0.7f, tip, Smooth(0.1f, 1.f, d)) * (vein * fold);
        });
  const float cr = R * Uniform(rng, 0.12f, 0.3f);
  const Rgb centre = PickOf<Rgb>(rng, {Hex(0xf0c020), Hex(0x5a3a1a), Hex(0x2a1a10), Hex(0xe8e060), Hex(0x9a6a2a)});
  const std::uint32_t s = Seed32(rng);
  Paint(p, p.Clip(cx - cr, cy - cr, cx + cr, cy + cr), [&](float x, float y) { return Cover(SdCircle(x, y, cx, cy, cr)); },
        [&](float x, float y) {
          float f1, f2;
          Cellular(x / (2.2f * f.S), y / (2.2f * f.S), s, f1, f2);
          const float shade = 1.f - 0.4f * std::hypot(x - cx, y - cy) / cr;
          return centre * (shade * (0.75f + 0.35f * Clamp01(f2 - f1)));
        });
}

void FlowerField(Picture& p, TRandom& rng) {
  const Frame f(p);
  SkyLook sky = RandomSky(rng, Chance(rng, 0.6f) ? SkyKind::Day : SkyKind::Golden);
  const float hz = f.H * Uniform(rng, 0.15f, 0.45f);
  PaintSky(p, hz, sky);
  if (Chance(rng, 0.6f)) PaintClouds(p, 0, hz, 0.5f, sky, Seed32(rng));
  const Rgb flower = Hsv(float(rng.RandomFloat()), Uniform(rng, 0.5f, 0.95f), Uniform(rng, 0.7f, 1.f));
  const Rgb green = Hsv(Uniform(rng, 0.2f, 0.35f), 0.6f, Uniform(rng, 0.35f, 0.6f));
  const bool rows = Chance(rng, 0.5f);
  const float vx = f.W * Uniform(rng, 0.3f, 0.7f);
  const std::uint32_t s = Seed32(rng);
  Map(p, [&](float x, float y, Rgb c) {
    if (y < hz) return c;
    const float t = (y - hz) / (f.H - hz);
    float amount;
    if (rows) {
      // Rows of flowers converging on a point on the horizon.
      const float u = (x - vx) / (0.02f + t) / f.W * 8.f;
      amount = Smooth(0.2f, 0.5f, 0.5f + 0.5f * std::sin(u * 3.14159f));
    } else {
      amount = Smooth(0.45f, 0.6f, Fbm(x / f.S * 0.08f / (0.1f + t), y / f.S * 0.3f / (0.1f + t), s, 3));
    }
    const Rgb far = Mix(sky.horizon, flower, 0.6f);
    const Rgb fl = Mix(far, flower, Clamp01(t * 2));
    const Rgb g = Mix(Mix(sky.horizon, green, 0.6f), green * 0.7f, t);
    const float n = ValueNoise(x * 0.5f / f.S, y * 0.5f / f.S, s + 3);
    return Mix(g, fl, amount * (0.6f + 0.4f * n));
  });
  // Single blooms in the foreground.
  const int blooms = rng.Random(40);
  for (int i = 0; i < blooms; ++i) {
    const float x = Uniform(rng, 0, f.W), y = Uniform(rng, hz + (f.H - hz) * 0.5f, f.H);
    const float r = (y - hz) / (f.H - hz) * 7 * f.S;
    const Rgb c = flower * Uniform(rng, 0.8f, 1.2f);
    Paint(p, p.Clip(x - r, y - r, x + r, y + r), [&](float px, float py) { return Cover(SdCircle(px, py, x, y, r)); },
          [&](float px, float py) { return c * (1.1f - 0.4f * (py - y + px - x) / (2 * r)); });
  }
}

void FruitStillLife(Picture& p, TRandom& rng) {
  const Frame f(p);
  struct Fruit {
    Rgb color;
    float rx, ry;  // radius factors
    bool stalk;
  };
  static const Fruit fruits[] = {
      {Hex(0xc81e1e), 1.f, 0.92f, true},   // red apple
      {Hex(0x8cc83a), 1.f, 0.92f, true},   // green apple
      {Hex(0xf08c14), 1.f, 1.f, false},    // orange
      {Hex(0xf4dc28), 1.15f, 0.85f, false},  // lemon
      {Hex(0x5a2a6a), 0.85f, 0.9f, true},  // plum
      {Hex(0xe04a2a), 1.f, 0.88f, true},   // tomato
      {Hex(0xf4a070), 0.95f, 0.95f, true},  // peach
      {Hex(0xe8c83a), 1.f, 0.9f, true},    // yellow apple
  };
  const Rgb wall = Hsv(float(rng.RandomFloat()), Uniform(rng, 0.1f, 0.6f), Uniform(rng, 0.2f, 0.9f));
  const Rgb table = Chance(rng, 0.5f) ? Hex(0x8a5a32) * Uniform(rng, 0.6f, 1.2f)
                                      : Hsv(float(rng.RandomFloat()), Uniform(rng, 0.2f, 0.7f), Uniform(rng, 0.4f, 0.95f));
  const float edge = f.H * Uniform(rng, 0.45f, 0.65f);
  const std::uint32_t s = Seed32(rng);
  Map(p, [&](float x, float y, Rgb) {
    if (y < edge) return wall * (0.75f + 0.35f * (1.f - y / edge)) * (1.f - 0.2f * std::abs(x / f.W - 0.5f));
    const float grain = 0.5f + 0.5f * std::sin(y * 0.7f / f.S + Fbm(x * 0.01f / f.S, y * 0.1f / f.S, s, 3) * 12.f);
    return table * (0.8f + 0.15f * grain + 0.15f * (y - edge) / (f.H - edge));
  });
  const Fruit main = Pick(rng, fruits);
  const int count = 2 + rng.Random(5);
  const float R = Uniform(rng, 22, 40) * f.S;
  std::vector<Pt> spots;
  for (int i = 0; i < count; ++i) spots.push_back({Uniform(rng, R, f.W - R), Uniform(rng, edge + R * 0.3f, f.H - R * 0.2f)});
  std::sort(spots.begin(), spots.end(), [](const Pt& a, const Pt& b) { return a.y < b.y; });
  for (const Pt& c : spots) {
    const Fruit fr = Chance(rng, 0.6f) ? main : Pick(rng, fruits);
    const float r = R * Uniform(rng, 0.8f, 1.2f);
    Paint(p, p.Clip(c.x - r * 1.5f, c.y, c.x + r * 1.8f, c.y + r * 1.2f),
          [&](float x, float y) { return 0.5f * Cover(SdEllipse(x, y, c.x + r * 0.35f, c.y + r * 0.8f, r * 1.3f, r * 0.3f), r * 0.3f); },
          [&](float, float) { return table * 0.35f; });
    PaintSphere(p, c.x, c.y, r * fr.rx, r * fr.ry, fr.color * Uniform(rng, 0.85f, 1.1f), 0.6f, 0.3f);
    if (fr.stalk)
      Paint(p, p.Clip(c.x - 4 * f.S, c.y - r * 1.2f, c.x + 4 * f.S, c.y - r * 0.7f),
            [&](float x, float y) { return Cover(SdSegment(x, y, c.x, c.y - r * 0.8f, c.x + 2 * f.S, c.y - r * 1.1f, 1.2f * f.S)); },
            [&](float, float) { return Hex(0x4a3a1a); });
  }
}

void Bokeh(Picture& p, TRandom& rng) {
  const Frame f(p);
  const float hue = float(rng.RandomFloat());
  const float spread = Chance(rng, 0.4f) ? 1.f : Uniform(rng, 0.03f, 0.2f);
  const Rgb bgTop = Hsv(hue + 0.5f, Uniform(rng, 0.3f, 0.9f), Uniform(rng, 0.02f, 0.25f));
  const Rgb bgBottom = Hsv(hue, Uniform(rng, 0.3f, 0.9f), Uniform(rng, 0.05f, 0.5f));
  const bool bright = Chance(rng, 0.2f);
  const float gAngle = Uniform(rng, 0, 6.28f);
  Map(p, [&](float x, float y, Rgb) {
    const float t = Clamp01(0.5f + ((x / f.W - 0.5f) * std::cos(gAngle) + (y / f.H - 0.5f) * std::sin(gAngle)));
    const Rgb c = Mix(bgTop, bgBottom, t);
    return bright ? Mix(c, Hex(0xffffff), 0.55f) : c;
  });
  const int n = 20 + rng.Random(60);
  for (int i = 0; i < n; ++i) {
    const float x = Uniform(rng, -10, f.W + 10), y = Uniform(rng, -10, f.H + 10);
    const float r = Uniform(rng, 5, 28) * f.S;
    const Rgb c = Hsv(hue + Uniform(rng, -spread, spread), Uniform(rng, 0.3f, 1.f), 1.f) * Uniform(rng, 0.15f, 0.6f);
    Glow(p, p.Clip(x - r, y - r, x + r, y + r), [&](float px, float py) {
      const float d = SdCircle(px, py, x, y, r);
      // Out-of-focus highlights: flat discs with a brighter rim.
      return c * (Cover(d, 2.f) * (0.8f + 0.5f * Smooth(-4 * f.S, 0.f, d)));
    });
  }
  Blur(p, 1);
}

void CityScape(Picture& p, TRandom& rng) {
  const Frame f(p);
  const SkyKind kinds[] = {SkyKind::Day, SkyKind::Dusk, SkyKind::Night, SkyKind::Sunset, SkyKind::Overcast, SkyKind::Golden};
  SkyLook sky = RandomSky(rng, Pick(rng, kinds));
  const bool night = sky.Dark();
  const float ground = f.H * Uniform(rng, 0.7f, 1.05f);
  PaintSky(p, ground, sky);
  if (sky.kind == SkyKind::Sunset || sky.kind == SkyKind::Golden)
    PaintSun(p, Uniform(rng, 0, f.W), ground * 0.7f, 12 * f.S, sky.sun, sky.sunGlow);
  if (sky.kind == SkyKind::Night) PaintStars(p, ground, 60, rng);
  // Three rows of buildings, far to near.
  for (int row = 0; row < 3; ++row) {
    const float k = float(row) / 2.f;
    float x = Uniform(rng, -20, 0) * f.S;
    while (x < f.W) {
      const float bw = Uniform(rng, 18, 50) * f.S * (0.7f + 0.5f * k);
      const float bh = f.H * Uniform(rng, 0.15f, 0.65f) * (1.1f - 0.35f * k);
      const float top = ground - bh;
      const Rgb wall = night ? Hsv(Uniform(rng, 0.55f, 0.7f), 0.3f, Uniform(rng, 0.06f, 0.16f))
                             : Mix(Hsv(Uniform(rng, 0.f, 1.f), Uniform(rng, 0.f, 0.3f), Uniform(rng, 0.45f, 0.85f)), sky.horizon, 0.4f * (1 - k));
      const Rgb shade = wall * 0.7f;
      const Rgb lit = night ? Hsv(Uniform(rng, 0.1f, 0.15f), 0.6f, 1.f) : Mix(sky.mid, Hex(0x303a48), 0.5f);
      const float ww = Uniform(rng, 3, 6) * f.S, wh = Uniform(rng, 4, 7) * f.S;
      const float gapX = ww * Uniform(rng, 1.6f, 2.4f), gapY = wh * Uniform(rng, 1.6f, 2.4f);
      const std::uint32_t ws = Seed32(rng);
      const float litShare = Uniform(rng, 0.2f, 0.8f);
      const float x0 = x;
      Paint(p, p.Clip(x0, top, x0 + bw, ground),
            [&](float px, float py) { return Cover(SdBox(px, py, x0 + bw / 2, top + bh / 2, bw / 2, bh / 2)); },
            [&](float px, float py) {
              const float u = px - x0 - gapX * 0.5f, v = py - top - gapY * 0.6f;
              const int cx = int(std::floor(u / gapX)), cy = int(std::floor(v / gapY));
              const float fx = u - float(cx) * gapX, fy = v - float(cy) * gapY;
              const Rgb base = (px - x0) > bw * 0.7f ? shade : wall;
              if (u > 0 && v > 0 && px < x0 + bw - gapX * 0.4f && fx < ww && fy < wh) {
                const bool on = Hash01(cx, cy, ws) < litShare;
                return night ? (on ? lit : base * 0.6f) : Mix(base, lit, on ? 0.8f : 0.5f);
              }
              return base;
            });
      x += bw + Uniform(rng, -5, 4) * f.S;
    }
  }
  if (ground < f.H) {
    PaintWater(p, ground, sky.top * 0.5f, 0.75f, 2.f * f.S, Seed32(rng));
  }
}

void Facades(Picture& p, TRandom& rng) {
  const Frame f(p);
  // Houses wall to wall, each its own colour.
  const float sat = Uniform(rng, 0.2f, 0.8f);
  const float baseHue = float(rng.RandomFloat());
  const float hueSpread = Chance(rng, 0.5f) ? 1.f : 0.12f;
  const float skyLine = f.H * Uniform(rng, 0.05f, 0.3f);
  const SkyLook sky = RandomSky(rng, Chance(rng, 0.7f) ? SkyKind::Day : SkyKind::Golden);
  PaintSky(p, skyLine * 2, sky);
  const float street = f.H * Uniform(rng, 0.85f, 1.f);
  float x = 0;
  while (x < f.W) {
    const float w = Uniform(rng, 40, 80) * f.S;
    const float top = skyLine + Uniform(rng, 0, 30) * f.S;
    const Rgb wall = Hsv(baseHue + Uniform(rng, -hueSpread, hueSpread), sat * Uniform(rng, 0.6f, 1.2f), Uniform(rng, 0.55f, 0.95f));
    const Rgb trim = Chance(rng, 0.5f) ? Hex(0xf4f0e8) : wall * 0.6f;
    const float x0 = x;
    const bool gable = Chance(rng, 0.5f);
    Paint(p, p.Clip(x0, top - w * 0.3f, x0 + w, street),
          [&](float px, float py) {
            float d = SdBox(px, py, x0 + w / 2, (top + street) / 2, w / 2, (street - top) / 2);
            if (gable) d = std::min(d, std::max(py - top, std::abs(px - x0 - w / 2) - (py - top + w * 0.3f) * 1.6f));
            return Cover(d);
          },
          [&](float px, float py) {
            // Windows two to a floor, a door at street level.
            const float fl = (py - top) / (22 * f.S);
            const float u = (px - x0) / w;
            const bool win = fl > 0.4f && std::fmod(fl, 1.f) > 0.25f && std::fmod(fl, 1.f) < 0.8f &&
                             ((u > 0.15f && u < 0.38f) || (u > 0.62f && u < 0.85f)) && py < street - 28 * f.S;
            const bool door = u > 0.38f && u < 0.62f && py > street - 26 * f.S;
            if (win) return Mix(sky.top * 0.5f, Hex(0x1a1e24), 0.5f);
            if (door) return wall * 0.35f;
            const bool frame = fl > 0.3f && std::fmod(fl, 1.f) > 0.18f && std::fmod(fl, 1.f) < 0.87f &&
                               ((u > 0.12f && u < 0.41f) || (u > 0.59f && u < 0.88f)) && py < street - 26 * f.S;
            return frame ? trim : wall * (0.95f + 0.05f * std::sin(py));
          });
    x += w;
  }
  if (street < f.H) PaintGround(p, street, Hex(0x6a6660), Hex(0x8a8680), 0.2f, Seed32(rng));
}

void Balloons(Picture& p, TRandom& rng) {
  const Frame f(p);
  SkyLook sky = RandomSky(rng, PickOf<SkyKind>(rng, {SkyKind::Day, SkyKind::Dawn, SkyKind::Golden, SkyKind::Hazy}));
  const float hz = f.H * Uniform(rng, 0.75f, 1.1f);
  PaintSky(p, hz, sky);
  if (Chance(rng, 0.5f)) PaintClouds(p, 0, hz, 0.4f, sky, Seed32(rng));
  if (hz < f.H) {
    Ridge r;
    r.baseY = hz;
    r.amp = f.H * 0.08f;
    r.sharp = false;
    const Land land = RandomLand(rng);
    r.color = Mix(land.lit, sky.horizon, 0.3f);
    r.shade = Mix(land.shade, sky.horizon, 0.3f);
    r.seed = Seed32(rng);
    PaintRidge(p, r);
  }
  const int n = 1 + rng.Random(5);
  for (int i = 0; i < n; ++i) {
    const float k = n == 1 ? 1.f : float(i) / float(n - 1);
    const float R = Uniform(rng, 10, 22) * f.S * (0.5f + k) * (n == 1 ? 2.f : 1.f);
    const float cx = Uniform(rng, R, f.W - R), cy = Uniform(rng, R * 1.2f, f.H * 0.7f);
    const Rgb a = Hsv(float(rng.RandomFloat()), 0.85f, 0.95f), b = Hsv(float(rng.RandomFloat()), 0.7f, 0.95f);
    const int stripes = 6 + 2 * rng.Random(4);
    Paint(p, p.Clip(cx - R, cy - R, cx + R, cy + R * 1.9f),
          [&](float x, float y) {
            const float top = SdCircle(x, y, cx, cy, R);
            // The envelope narrows into the throat above the basket.
            const float t = (y - cy) / (R * 1.4f);
            const float throat = (t > 0 && t < 1) ? std::abs(x - cx) - R * (1.f - 0.75f * t) * std::sqrt(1.f - t * 0.3f) : 1e9f;
            return Cover(std::min(top, std::max(throat, -(y - cy))));
          },
          [&](float x, float y) {
            const float u = (x - cx) / R;
            const float st = std::asin(std::clamp(u, -1.f, 1.f)) / 3.14159f * float(stripes);
            const Rgb c = (int(std::floor(st + 100)) % 2) ? a : b;
            const float lit = 0.55f + 0.45f * Clamp01(1.f - (u + 0.3f) * (u + 0.3f) - ((y - cy) / R + 0.4f) * ((y - cy) / R + 0.4f) * 0.4f);
            return c * lit;
          });
    Paint(p, p.Clip(cx - R * 0.3f, cy + R * 1.35f, cx + R * 0.3f, cy + R * 1.8f),
          [&](float x, float y) { return Cover(SdBox(x, y, cx, cy + R * 1.62f, R * 0.14f, R * 0.12f)); },
          [&](float, float) { return Hex(0x5a3a1a); });
  }
}

void People(Picture& p, TRandom& rng) {
  const Frame f(p);
  // Figures seen against the light: on a beach at sunset, a hill at dusk, a bright
  // square.
  SkyLook sky = RandomSky(rng, PickOf<SkyKind>(rng, {SkyKind::Sunset, SkyKind::Golden, SkyKind::Dusk, SkyKind::Hazy, SkyKind::Dawn, SkyKind::Day}));
  const float hz = f.H * Uniform(rng, 0.55f, 0.8f);
  PaintSky(p, hz, sky);
  if (sky.kind != SkyKind::Day) PaintSun(p, Uniform(rng, 0.2f, 0.8f) * f.W, hz * 0.85f, 14 * f.S, sky.sun, sky.sunGlow);
  if (Chance(rng, 0.5f)) PaintClouds(p, 0, hz, 0.4f, sky, Seed32(rng), 5.f);
  PaintWater(p, hz, Mix(sky.top, sky.horizon, 0.4f), 0.7f, 1.5f * f.S, Seed32(rng));
  const float ground = hz + (f.H - hz) * Uniform(rng, 0.4f, 0.8f);
  PaintGround(p, ground, Mix(sky.horizon, Hex(0x000000), 0.7f), Mix(sky.horizon, Hex(0x000000), 0.4f), 0.2f, Seed32(rng));
  const Rgb dark = Mix(sky.top, Hex(0x000000), 0.85f);
  const int n = 1 + rng.Random(4);
  for (int i = 0; i < n; ++i) {
    const float s = Uniform(rng, 0.8f, 1.3f) * f.S * (f.H / 240.f / f.S);
    const float px = Uniform(rng, 0.15f, 0.85f) * f.W, feet = ground + Uniform(rng, 2, 20) * f.S;
    const float h = 95 * s;
    const float head = h * 0.07f;
    const float stride = Uniform(rng, -0.15f, 0.15f) * h;
    const float armUp = Chance(rng, 0.25f) ? -1.f : 1.f;
    Paint(p, p.Clip(px - h * 0.4f, feet - h - head, px + h * 0.4f, feet + 2),
          [&](float x, float y) {
            const float headD = SdCircle(x, y, px, feet - h + head, head);
            const float body = SdSegment(x, y, px, feet - h + head * 2.6f, px, feet - h * 0.48f, h * 0.075f);
            const float leg1 = SdSegment(x, y, px, feet - h * 0.5f, px + stride, feet, h * 0.04f);
            const float leg2 = SdSegment(x, y, px, feet - h * 0.5f, px - stride * 0.6f, feet, h * 0.04f);
            const float arm1 = SdSegment(x, y, px, feet - h * 0.78f, px + h * 0.16f, feet - h * (armUp > 0 ? 0.5f : 1.05f), h * 0.03f);
            const float arm2 = SdSegment(x, y, px, feet - h * 0.78f, px - h * 0.14f, feet - h * 0.52f, h * 0.03f);
            return Cover(std::min({headD, body, leg1, leg2, arm1, arm2}));
          },
          [&](float, float) { return dark; });
  }
}

// ---- Textures and abstracts --------------------------------------------------------------

void Texture(Picture& p, TRandom& rng) {
  const Frame f(p);
  const std::uint32_t s = Seed32(rng);
  const float hue = float(rng.RandomFloat());
  switch (rng.Random(10)) {
    case 0: {  // wood planks
      const Rgb light = Hsv(Uniform(rng, 0.05f, 0.1f), Uniform(rng, 0.3f, 0.7f), Uniform(rng, 0.5f, 0.9f));
      const Rgb dark = light * 0.55f;
      const float plank = Uniform(rng, 30, 60) * f.S;
      const bool vertical = Chance(rng, 0.5f);
      Map(p, [&](float x, float y, Rgb) {
        const float u = vertical ? x : y, v = vertical ? y : x;
        const int idx = int(u / plank);
        const float rings = std::sin((u * 0.5f / f.S + Fbm(v * 0.004f / f.S, u * 0.03f / f.S, s + std::uint32_t(idx), 3) * 30.f));
        const float seam = Smooth(0.f, 1.5f * f.S, std::fmod(u, plank)) * Smooth(0.f, 1.5f * f.S, plank - std::fmod(u, plank));
        const float tone = 0.85f + 0.3f * Hash01(idx, 0, s);
        return Mix(dark, light, 0.5f + 0.5f * rings) * (tone * (0.4f + 0.6f * seam));
      });
      break;
    }
    case 1: {  // pebbles
      const float size = Uniform(rng, 14, 30) * f.S;
      const Rgb base = Hsv(Uniform(rng, 0.05f, 0.15f), Uniform(rng, 0.05f, 0.35f), Uniform(rng, 0.35f, 0.8f));
      Map(p, [&](float x, float y, Rgb) {
        float f1, f2;
        Cellular(x / size, y / size, s, f1, f2);
        const float edge = Smooth(0.02f, 0.12f, f2 - f1);
        const int cx = int(std::floor(x / size)), cy = int(std::floor(y / size));
        const float tone = 0.6f + 0.6f * Hash01(cx * 7 + int(f1 * 3), cy, s);
        const Rgb c = Mix(base * tone, Hsv(hue, 0.3f, 0.7f), 0.15f * Hash01(cy, cx, s));
        return c * (0.25f + 0.75f * edge * (1.1f - f1 * 0.6f));
      });
      break;
    }
    case 2: {  // sand ripples
      const Rgb sand = Hsv(Uniform(rng, 0.07f, 0.12f), Uniform(rng, 0.25f, 0.55f), Uniform(rng, 0.6f, 0.95f));
      const float ang = Uniform(rng, -0.6f, 0.6f);
      Map(p, [&](float x, float y, Rgb) {
        const float u = (y + x * ang) * 0.18f / f.S + Fbm(x * 0.01f / f.S, y * 0.01f / f.S, s, 3) * 8.f;
        const float r = std::sin(u);
        return sand * (0.82f + 0.2f * r + 0.1f * Hash01(int(x), int(y), s));
      });
      break;
    }
    case 3: {  // water caustics
      const Rgb deep = Hsv(Uniform(rng, 0.45f, 0.6f), Uniform(rng, 0.5f, 0.9f), Uniform(rng, 0.4f, 0.75f));
      const float size = Uniform(rng, 20, 40) * f.S;
      Map(p, [&](float x, float y, Rgb) {
        float f1, f2;
        const float wx = x + Fbm(x * 0.02f / f.S, y * 0.02f / f.S, s, 2) * size;
        Cellular(wx / size, y / size, s + 1, f1, f2);
        const float line = std::exp(-(f2 - f1) * 14.f);
        return deep * (0.8f + 0.2f * y / f.H) + Rgb{line, line, line} * 0.55f;
      });
      break;
    }
    case 4: {  // leaves
      const Rgb leaf = Chance(rng, 0.6f) ? Hsv(Uniform(rng, 0.2f, 0.38f), 0.7f, Uniform(rng, 0.4f, 0.8f))
                                         : Hsv(Uniform(rng, 0.0f, 0.14f), 0.8f, Uniform(rng, 0.5f, 0.9f));
      Map(p, [&](float, float, Rgb) { return leaf * 0.25f; });
      const int n = 40 + rng.Random(40);
      for (int i = 0; i < n; ++i) {
        const float cx = Uniform(rng, 0, f.W), cy = Uniform(rng, 0, f.H);
        const float L = Uniform(rng, 25, 50) * f.S, a = Uniform(rng, 0, 6.28f);
        const Rgb c = leaf * Uniform(rng, 0.6f, 1.3f) + Hsv(hue, 0.3f, 0.1f);
        const float ca = std::cos(a), sa = std::sin(a);
        Paint(p, p.Clip(cx - L, cy - L, cx + L, cy + L),
              [&](float x, float y) {
                const float u = ((x - cx) * ca + (y - cy) * sa) / L, v = (-(x - cx) * sa + (y - cy) * ca) / L;
                // A pointed leaf: width follows a sine along its length.
                const float half = 0.42f * std::sin(Clamp01((u + 1) * 0.5f) * 3.14159f);
                return Cover((std::abs(v) - half) * L, 1.2f);
              },
              [&](float x, float y) {
                const float u = ((x - cx) * ca + (y - cy) * sa) / L, v = (-(x - cx) * sa + (y - cy) * ca) / L;
                const float vein = Smooth(0.04f, 0.0f, std::abs(v)) + 0.5f * Smooth(0.03f, 0.f, std::abs(std::fmod(u * 4 + std::abs(v) * 5, 1.f) - 0.5f) * 0.2f);
                return c * (0.85f + 0.3f * v) + Rgb{0.15f, 0.15f, 0.1f} * vein;
              });
      }
      break;
    }
    case 5: {  // brick wall
      const Rgb brick = Hsv(Uniform(rng, 0.0f, 0.08f), Uniform(rng, 0.4f, 0.75f), Uniform(rng, 0.4f, 0.8f));
      const Rgb mortar = Hex(0xc8c0b0) * Uniform(rng, 0.6f, 1.1f);
      const float bh = Uniform(rng, 10, 18) * f.S, bw = bh * 2.2f;
      Map(p, [&](float x, float y, Rgb) {
        const int row = int(std::floor(y / bh));
        const float xo = x + (row % 2) * bw * 0.5f;
        const int col = int(std::floor(xo / bw));
        const float fx = xo - float(col) * bw, fy = y - float(row) * bh;
        const float m = std::min({fx, bw - fx, fy, bh - fy});
        const float n = Fbm(x * 0.15f / f.S, y * 0.15f / f.S, s, 2);
        const Rgb b = brick * (0.75f + 0.45f * Hash01(col, row, s)) * (0.85f + 0.3f * n);
        return Mix(mortar * (0.8f + 0.3f * n), b, Smooth(1.f * f.S, 2.f * f.S, m));
      });
      break;
    }
    case 6: {  // woven fabric with folds
      const Rgb a = Hsv(hue, Uniform(rng, 0.3f, 0.9f), Uniform(rng, 0.3f, 0.95f));
      const Rgb b = Chance(rng, 0.5f) ? a * 0.8f : Hsv(hue + 0.5f, 0.5f, 0.7f);
      const float t = Uniform(rng, 2.f, 4.f) * f.S;
      const bool check = Chance(rng, 0.4f);
      Map(p, [&](float x, float y, Rgb) {
        const float weave = 0.5f + 0.25f * std::sin(x / t * 3.14159f) * std::sin(y / t * 3.14159f);
        const float fold = 0.75f + 0.35f * std::sin(x / f.W * 6.f + Fbm(x * 0.005f / f.S, y * 0.005f / f.S, s, 2) * 6.f);
        const bool alt = check && ((int(x / (18 * f.S)) + int(y / (18 * f.S))) % 2);
        return (alt ? b : a) * ((0.8f + 0.3f * weave) * fold);
      });
      break;
    }
    case 7: {  // peeling paint and rust
      const Rgb paint = Hsv(hue, Uniform(rng, 0.3f, 0.8f), Uniform(rng, 0.5f, 0.9f));
      const Rgb rust = Hsv(Uniform(rng, 0.03f, 0.08f), 0.75f, Uniform(rng, 0.3f, 0.6f));
      const float amount = Uniform(rng, 0.35f, 0.6f);
      Map(p, [&](float x, float y, Rgb) {
        const float n = Fbm(x * 0.02f / f.S, y * 0.02f / f.S, s, 5);
        const float fine = Hash01(int(x), int(y), s);
        const float peel = Smooth(amount, amount + 0.03f, n);
        const Rgb r = rust * (0.7f + 0.5f * Fbm(x * 0.1f / f.S, y * 0.1f / f.S, s + 5, 3)) * (0.9f + 0.2f * fine);
        return Mix(r, paint * (0.95f + 0.1f * fine), peel);
      });
      break;
    }
    case 8: {  // ice and frost
      const Rgb ice = Hsv(Uniform(rng, 0.5f, 0.6f), Uniform(rng, 0.15f, 0.5f), Uniform(rng, 0.6f, 0.95f));
      const float size = Uniform(rng, 15, 40) * f.S;
      Map(p, [&](float x, float y, Rgb) {
        float f1, f2;
        Cellular(x / size, y / size, s, f1, f2);
        const float crack = Smooth(0.06f, 0.0f, f2 - f1);
        const float depth = Fbm(x * 0.02f / f.S, y * 0.02f / f.S, s + 3, 3);
        return Mix(ice * (0.6f + 0.6f * depth), Hex(0xffffff), crack * 0.8f);
      });
      break;
    }
    default: {  // grass blades
      const Rgb g = Hsv(Uniform(rng, 0.18f, 0.33f), Uniform(rng, 0.5f, 0.85f), Uniform(rng, 0.4f, 0.8f));
      Map(p, [&](float, float y, Rgb) { return g * (0.25f + 0.2f * y / f.H); });
      const int n = 250 + rng.Random(150);
      for (int i = 0; i < n; ++i) {
        const float bx = Uniform(rng, 0, f.W), by = f.H + 5, L = Uniform(rng, 0.3f, 1.1f) * f.H;
        const float bend = Uniform(rng, -0.4f, 0.4f) * L;
        const Rgb c = g * Uniform(rng, 0.6f, 1.4f);
        const float w = Uniform(rng, 1.f, 3.f) * f.S;
        Paint(p, p.Clip(std::min(bx, bx + bend) - w, by - L, std::max(bx, bx + bend) + w, by),
              [&](float x, float y) {
                const float t = Clamp01((by - y) / L);
                if (y < by - L) return 0.f;
                return Cover(std::abs(x - bx - bend * t * t) - w * (1.f - t));
              },
              [&](float, float y) { return c * (0.6f + 0.6f * (by - y) / L); });
      }
      break;
    }
  }
}

void Abstract(Picture& p, TRandom& rng) {
  const Frame f(p);
  const std::uint32_t s = Seed32(rng);
  const int kind = rng.Random(5);  // light painting one time in five
  switch (kind < 2 ? 0 : (kind == 2 ? 1 : 2)) {
    case 0: {  // drops on a coloured surface
      const Rgb a = Hsv(float(rng.RandomFloat()), Uniform(rng, 0.4f, 1.f), Uniform(rng, 0.3f, 1.f));
      const Rgb b = Hsv(float(rng.RandomFloat()), Uniform(rng, 0.4f, 1.f), Uniform(rng, 0.2f, 0.9f));
      Map(p, [&](float x, float y, Rgb) { return Mix(a, b, Smooth(0.2f, 0.8f, Fbm(x * 2.f / f.W, y * 2.f / f.W, s, 2))); });
      const int n = 10 + rng.Random(30);
      for (int i = 0; i < n; ++i) {
        const float cx = Uniform(rng, 0, f.W), cy = Uniform(rng, 0, f.H), r = Uniform(rng, 4, 25) * f.S;
        Picture src = p;
        Paint(p, p.Clip(cx - r, cy - r, cx + r, cy + r), [&](float x, float y) { return Cover(SdCircle(x, y, cx, cy, r)); },
              [&](float x, float y) {
                // A drop shows the surface behind it turned over, with a highlight.
                const float nx = (x - cx) / r, ny = (y - cy) / r;
                const Rgb m = src.Sample(cx - nx * r * 2.5f, cy - ny * r * 2.5f);
                const float hl = std::exp(-((nx + 0.4f) * (nx + 0.4f) + (ny + 0.45f) * (ny + 0.45f)) * 30.f);
                return m * (0.9f + 0.3f * ny) + Rgb{hl, hl, hl};
              });
      }
      break;
    }
    case 1: {  // light painting: ribbons of colour on black
      Map(p, [&](float, float, Rgb) { return Rgb{0.02f, 0.02f, 0.03f}; });
      const int n = 3 + rng.Random(5);
      for (int i = 0; i < n; ++i) {
        const Rgb c = Hsv(float(rng.RandomFloat()), 0.8f, 1.f) * 0.5f;
        const float y0 = Uniform(rng, 0, f.H), amp = Uniform(rng, 0.1f, 0.4f) * f.H, fr = Uniform(rng, 1, 4), ph = Uniform(rng, 0, 6.28f);
        const float w = Uniform(rng, 3, 14) * f.S;
        Glow(p, p.All(), [&](float x, float y) {
          const float cy = y0 + amp * std::sin(x / f.W * fr * 3.14159f + ph);
          const float d = (y - cy) / w;
          return c * std::exp(-d * d);
        });
      }
      break;
    }
    default: {  // sky only: a gradient with soft clouds
      SkyLook sky = RandomSky(rng);
      PaintSky(p, f.H * Uniform(rng, 0.8f, 1.4f), sky);
      PaintClouds(p, 0, f.H, Uniform(rng, 0.2f, 0.9f), sky, s, Uniform(rng, 1.5f, 5.f));
      if (Chance(rng, 0.4f) && sky.kind != SkyKind::Overcast)
        PaintSun(p, Uniform(rng, 0, f.W), Uniform(rng, 0, f.H), 10 * f.S, sky.sun, sky.sunGlow);
      break;
    }
  }
}

using SceneFn = void (*)(Picture&, TRandom&);
struct SceneEntry {
  SceneFn fn;
  int weight;
  bool portraitFriendly;
};
const SceneEntry kScenes[] = {
    {MountainLake, 9, false}, {RollingHills, 8, false}, {SunsetSea, 9, false},  {Beach, 5, false},
    {NightScene, 5, false},   {Forest, 7, true},        {Desert, 4, false},     {SnowScene, 4, false},
    {FlowerCloseUp, 9, true}, {FlowerField, 5, false},  {FruitStillLife, 6, false}, {Bokeh, 6, true},
    {CityScape, 7, true},     {Facades, 4, true},       {Balloons, 5, true},    {People, 5, true},
    {Texture, 7, true},       {Abstract, 7, true},      {MistyLayers, 7, false}, {WaterSurface, 5, true},
    {Drapery, 4, true},
};

SceneFn PickScene(TRandom& rng, bool portrait) {
  int total = 0;
  for (const SceneEntry& e : kScenes) total += portrait && !e.portraitFriendly ? 0 : e.weight;
  int r = rng.Random(total);
  for (const SceneEntry& e : kScenes) {
    const int w = portrait && !e.portraitFriendly ? 0 : e.weight;
    if (r < w) return e.fn;
    r -= w;
  }
  return kScenes[0].fn;
}

std::uint64_t PhotoSeed(std::uint64_t seed, int index, std::uint64_t salt) {
  TRandom mix(seed * 0x9E3779B97F4A7C15ull + std::uint64_t(index) * 0xD1B54A32D192ED03ull + salt);
  return (std::uint64_t(mix.Next32()) << 32) | mix.Next32();
}

// Point index of a low-discrepancy sequence over the colour cube (R3 sequence), so
// that the colour casts of consecutive photos fill the cube evenly.
Rgb CubePoint(int index) {
  const double g = 1.2207440846057596;  // the real root of x^4 = x + 1
  const double a1 = 1.0 / g, a2 = 1.0 / (g * g), a3 = 1.0 / (g * g * g);
  const double n = double(index) + 0.5;
  return {float(std::fmod(0.5 + a1 * n, 1.0)), float(std::fmod(0.5 + a2 * n, 1.0)), float(std::fmod(0.5 + a3 * n, 1.0))};
}

}  // namespace

bool PhotoIsPortrait(std::uint64_t seed, int index) {
  TRandom rng(PhotoSeed(seed, index, 1));
  return Chance(rng, 0.25f);
}

Picture MakePhoto(int w, int h, std::uint64_t seed, int index) {
  TRandom rng(PhotoSeed(seed, index, 0));
  Picture p(w, h);
  PickScene(rng, h > w)(p, rng);
  if (Chance(rng, 0.5f)) {
    // Mirror: the same scene lit from the other side.
    for (int y = 0; y < h; ++y) std::reverse(p.Row(y), p.Row(y) + w);
  }
  Finish fin;
  fin.seed = rng.Next32();
  const float roll = float(rng.RandomFloat());
  if (roll < 0.45f) {
    fin.grade = true;
    fin.target = CubePoint(index);
    // Far enough toward the target to reach the cube's bright and saturated corners,
    // which no untouched scene averages to but a main image's sun or a red coat needs.
    fin.strength = Uniform(rng, 0.35f, 0.9f);
    fin.duotone = roll < 0.06f;
  }
  if (Chance(rng, 0.5f)) {
    const float a = Uniform(rng, 0, 6.28f), k = Uniform(rng, 0.15f, 0.5f);
    fin.lightX = std::cos(a) * k;
    fin.lightY = std::sin(a) * k;
  }
  if (Chance(rng, 0.4f)) fin.vignette = Uniform(rng, 0.2f, 0.6f);
  fin.grain = Uniform(rng, 0.01f, 0.04f);
  // Haze, soft light, a low sun behind thin cloud: many real photos are gentle.
  const float c = float(rng.RandomFloat());
  fin.contrast = c < 0.3f ? Uniform(rng, 0.35f, 0.75f) : (c > 0.9f ? Uniform(rng, 1.1f, 1.3f) : 1.f);
  const float e = float(rng.RandomFloat());
  fin.exposure = e < 0.15f ? Uniform(rng, 0.35f, 0.7f) : (e > 0.88f ? Uniform(rng, 1.15f, 1.4f) : Uniform(rng, 0.9f, 1.08f));
  ApplyFinish(p, fin);
  return p;
}

}  // namespace tessaro::samples
