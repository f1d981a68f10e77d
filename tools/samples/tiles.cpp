// Ceramic tiles: a tile maker's glaze palette, each glaze fired in several surfaces.
// A tile is the glazed face filling the picture, with a softly rounded edge; the
// handmade surface also shows a thin line of grout around its uneven outline.
#include <cmath>
#include <cstdint>
#include <string>

#include "scenes.h"

namespace tessaro::samples {

namespace {

struct Glaze {
  const char* name;
  std::uint32_t color;   // the glaze where it lies thick
  std::uint32_t breaks;  // where it runs thin over edges and texture: the body shows
};

// Named as a tile maker's catalogue would; the colours are those of fired glazes,
// from whites and creams through earth tones, greens, blues and the bright
// majolica colours to the near-blacks.
const Glaze kGlazes[] = {
    {"snow-white", 0xf4f3ee, 0xd8d4c8},     {"ivory", 0xeee6d0, 0xcfc2a0},
    {"shino-cream", 0xe9d9bd, 0xd0a27a},    {"oatmeal", 0xd8c9aa, 0xa58c66},
    {"ash-grey", 0xb8b6ae, 0x8a877c},       {"pewter", 0x8c8f91, 0x5e6163},
    {"slate", 0x545c63, 0x363b40},          {"charcoal", 0x33353a, 0x1f2024},
    {"tenmoku", 0x3a2418, 0xa0582a},        {"temple-black", 0x16171a, 0x3a3530},
    {"honey-amber", 0xc98a2e, 0x7a4a18},    {"ochre", 0xc89a3a, 0x8a6420},
    {"mustard", 0xd6b23a, 0x9a7a20},        {"saffron", 0xf0b42a, 0xc07a18},
    {"sunflower", 0xf6d13a, 0xd8a020},      {"lemon-chiffon", 0xf2e88c, 0xd6c25a},
    {"terracotta", 0xc0643a, 0x8a3e22},     {"rust-red", 0x9a3a1e, 0x5a2010},
    {"tangerine", 0xec7a2a, 0xb4501a},      {"coral", 0xec8072, 0xc05848},
    {"blush-pink", 0xe8b4b0, 0xc48a86},     {"rose-quartz", 0xd8a0b0, 0xa87080},
    {"oxblood", 0x6e1420, 0x3a0a10},        {"copper-red", 0xb0202a, 0x6a1018},
    {"raspberry", 0xb02a5a, 0x701838},      {"plum", 0x6a2a5a, 0x3e1836},
    {"aubergine", 0x3e1e3a, 0x24101e},      {"lavender", 0xa898c8, 0x7a6a9e},
    {"wisteria", 0x8a7ab8, 0x5e4e8e},       {"iris", 0x5a4a9a, 0x3a2e6a},
    {"cobalt", 0x1e3c9a, 0x122460},         {"ultramarine", 0x2a4ab8, 0x1a2e7a},
    {"delft-blue", 0x2e5a9a, 0x1e3a6a},     {"denim", 0x4a6a8e, 0x2e4662},
    {"sky-blue", 0x8ab8e0, 0x5a8ab8},       {"powder-blue", 0xb8d0e4, 0x8aa6c0},
    {"turquoise", 0x2aa8b0, 0x187478},      {"peacock", 0x1a7a86, 0x0e4a52},
    {"teal", 0x1e5a5e, 0x0e3438},           {"aqua", 0x7ad0c8, 0x4aa69e},
    {"celadon", 0xa8c8a8, 0x7a9a7a},        {"sage", 0x9aaa88, 0x6a7a5a},
    {"jade", 0x4a9a6a, 0x2a6a44},           {"emerald", 0x1e7a4a, 0x0e4a2a},
    {"bottle-green", 0x1e4a32, 0x0e2a1a},   {"olive", 0x7a7a3a, 0x4e4e20},
    {"moss", 0x5a6a2e, 0x38441a},           {"chartreuse", 0xb0c83a, 0x7a9420},
    {"lime-green", 0x8ad04a, 0x5a9a2a},     {"sand", 0xd8c08a, 0xa88e5a},
    {"caramel", 0xa8703a, 0x6e4420},        {"chocolate", 0x5a3422, 0x341e12},
};
constexpr int kGlazeCount = int(sizeof(kGlazes) / sizeof(kGlazes[0]));

enum Surface { Gloss, Flecked, Crackle, Marbled, Ombre, Metallic, Handmade, Reactive, kSurfaceCount };
const char* const kSurfaceNames[kSurfaceCount] = {"gloss",  "flecked",  "crackle",  "marbled",
                                                  "ombre",  "metallic", "handmade", "reactive"};
// Each glaze comes in four surfaces: gloss always, then three more that rotate
// through the others with the glaze's position, so every surface meets every kind
// of colour.
constexpr int kSurfacesPerGlaze = 4;

Surface SurfaceOf(int glaze, int k) {
  if (k == 0) return Gloss;
  return Surface(1 + (glaze * 3 + (k - 1)) % (kSurfaceCount - 1));
}

std::uint32_t TileSeed(std::uint64_t seed, int index) {
  TRandom mix(seed * 0xA24BAED4963EE407ull + std::uint64_t(index) * 0x9FB21C651E98DF25ull + 77);
  return mix.Next32();
}

}  // namespace

int TileCombinationCount() { return kGlazeCount * kSurfacesPerGlaze; }

std::string TileName(int index) {
  const int combo = index % TileCombinationCount();
  const int glazeIndex = combo / kSurfacesPerGlaze;
  return std::string(kGlazes[glazeIndex].name) + "-" +
         kSurfaceNames[SurfaceOf(glazeIndex, combo % kSurfacesPerGlaze)];
}

Picture MakeTile(int w, int h, std::uint64_t seed, int index) {
  const int combo = index % TileCombinationCount();
  const int glazeIndex = combo / kSurfacesPerGlaze;
  const Glaze& g = kGlazes[glazeIndex];
  const Surface surface = SurfaceOf(glazeIndex, combo % kSurfacesPerGlaze);
  // A second round of the catalogue (more tiles than combinations) is another firing:
  // same glaze and surface, different texture.
  const std::uint32_t s = TileSeed(seed, index);
  TRandom rng(s);
  const Rgb base = Hex(g.color), thin = Hex(g.breaks);
  const float W = float(w), H = float(h), S = float(std::min(w, h)) / 128.f;
  Picture p(w, h, base);

  // Firing varies a little from tile to tile.
  const float tone = Uniform(rng, 0.94f, 1.06f);
  const Rgb second = Mix(base, thin, Uniform(rng, 0.4f, 0.9f));
  const float ang = Uniform(rng, 0, 6.28f);
  const float ca = std::cos(ang), sa = std::sin(ang);

  switch (surface) {
    case Gloss:
      Map(p, [&](float x, float y, Rgb) {
        const float n = Fbm(x / (40 * S), y / (40 * S), s, 2);
        return base * (tone * (0.97f + 0.06f * n));
      });
      break;
    case Flecked: {
      const Rgb fleck = Mix(thin * 0.45f, Hex(0x2a1a10), 0.5f);
      const float density = Uniform(rng, 0.04f, 0.12f);
      Map(p, [&](float x, float y, Rgb) {
        const float n = Fbm(x / (30 * S), y / (30 * S), s, 2);
        Rgb c = base * (tone * (0.95f + 0.08f * n));
        // Iron flecks: small, dark, a few with a light halo where the glaze bled.
        float f1, f2;
        Cellular(x / (4.5f * S), y / (4.5f * S), s + 1, f1, f2);
        const int cx = int(std::floor(x / (4.5f * S))), cy = int(std::floor(y / (4.5f * S)));
        if (Hash01(cx, cy, s + 2) < density) {
          const float r = 0.12f + 0.2f * Hash01(cy, cx, s + 3);
          c = Mix(c, fleck, Smooth(r, r * 0.5f, f1));
        }
        return c;
      });
      break;
    }
    case Crackle: {
      const float size = Uniform(rng, 9, 16) * S;
      const Rgb line = thin * 0.55f;
      Map(p, [&](float x, float y, Rgb) {
        const float wx = x + (Fbm(x / (25 * S), y / (25 * S), s, 2) - 0.5f) * size * 0.6f;
        float f1, f2;
        Cellular(wx / size, y / size, s + 1, f1, f2);
        float a1, a2;
        Cellular(wx / (size * 0.45f), y / (size * 0.45f), s + 2, a1, a2);
        // The big craze lines and a finer, fainter net inside the cells.
        const float crack = Smooth(0.07f, 0.01f, f2 - f1) + 0.35f * Smooth(0.05f, 0.0f, a2 - a1);
        const float pool = 0.96f + 0.06f * (1.f - f1);
        return Mix(base * (tone * pool), line, Clamp01(crack) * 0.8f);
      });
      break;
    }
    case Marbled: {
      // Veins where turbulent noise crosses its middle: thin, branching, running
      // mostly one way across the tile.
      const Rgb vein = Mix(thin, Chance(rng, 0.5f) ? Hex(0xffffff) : Hex(0x202020), 0.35f);
      const float stretch = Uniform(rng, 2.f, 4.f);
      Map(p, [&](float x, float y, Rgb) {
        const float u = (x * ca + y * sa) / (45 * S), v = (-x * sa + y * ca) / (45 * S);
        const float n = Fbm(u, v * stretch, s, 5, 0.55f);
        const float ridge = 1.f - std::abs(2.f * n - 1.f);
        const float sharp = std::pow(ridge, 14.f);
        const float cloud = Fbm(x / (30 * S), y / (30 * S), s + 1, 3);
        return Mix(Mix(base, second, Smooth(0.3f, 0.7f, cloud) * 0.35f) * tone, vein, sharp * 0.85f);
      });
      break;
    }
    case Ombre: {
      // From the glaze where it ran thick to its thin break, corner to corner.
      const Rgb far = Chance(rng, 0.5f) ? thin : Mix(base, Hex(0xffffff), 0.45f);
      Map(p, [&](float x, float y, Rgb) {
        const float t = Clamp01(0.5f + ((x / W - 0.5f) * ca + (y / H - 0.5f) * sa) * 1.1f);
        const float n = Fbm(x / (20 * S), y / (20 * S), s, 3);
        return Mix(base, far, Smooth(0.f, 1.f, t + (n - 0.5f) * 0.25f)) * tone;
      });
      break;
    }
    case Metallic: {
      // Lustre: a soft brushed band of light with a shift toward bronze in it.
      const Rgb sheen = Mix(base, Hex(0xe8d0a0), 0.35f) * 1.2f;
      const float pos = Uniform(rng, 0.3f, 0.7f);
      Map(p, [&](float x, float y, Rgb) {
        const float u = (x / W - 0.5f) * ca + (y / H - 0.5f) * sa + 0.5f;
        const float brush = Fbm((x * sa - y * ca) / (3 * S), (x * ca + y * sa) / (60 * S), s, 2);
        const float band = std::exp(-(u - pos) * (u - pos) * 10.f);
        const Rgb dark = base * 0.7f;
        return Mix(dark, sheen, Clamp01(0.2f + band * 0.6f + (brush - 0.5f) * 0.15f)) * tone;
      });
      break;
    }
    case Handmade: {
      // Uneven thickness, pinholes, and the glaze pooling darker toward the middle.
      Map(p, [&](float x, float y, Rgb) {
        const float n = Fbm(x / (18 * S), y / (18 * S), s, 4);
        const float d = std::hypot(x / W - 0.5f, y / H - 0.5f);
        Rgb c = Mix(base * 0.9f, thin, Smooth(0.25f, 0.75f, n) * 0.55f + d * 0.25f) * tone;
        float f1, f2;
        Cellular(x / (7 * S), y / (7 * S), s + 4, f1, f2);
        const int cx = int(std::floor(x / (7 * S))), cy = int(std::floor(y / (7 * S)));
        if (Hash01(cx, cy, s + 5) < 0.05f) c = Mix(c, thin * 0.6f, Smooth(0.16f, 0.08f, f1));
        return c;
      });
      break;
    }
    case Reactive:
    default: {
      // Two layers of glaze reacting: drips and rivulets of the break colour.
      const Rgb third = Mix(thin, base, 0.3f);
      Map(p, [&](float x, float y, Rgb) {
        const float drip = Fbm(x / (10 * S), y / (60 * S), s, 4);
        const float cloud = Fbm(x / (30 * S), y / (30 * S), s + 1, 3);
        Rgb c = Mix(base, second, Smooth(0.35f, 0.65f, cloud));
        c = Mix(c, third, Smooth(0.55f, 0.7f, drip) * 0.7f);
        return c * tone;
      });
      break;
    }
  }

  // Glassy face: a soft highlight from the upper left, the rounded edge catching light
  // on two sides and falling into shade on the others.
  const float edge = 5.f * S;
  const bool grout = surface == Handmade;
  const Rgb groutColor = Hex(0xcfcac0) * Uniform(rng, 0.85f, 1.f);
  const float wobble = grout ? 1.5f * S : 0.f;
  const float inset = grout ? 2.5f * S : 0.f;
  Map(p, [&](float x, float y, Rgb c) {
    const float hl = 0.06f * std::exp(-((x / W - 0.3f) * (x / W - 0.3f) + (y / H - 0.25f) * (y / H - 0.25f)) * 6.f);
    float left = x - inset, top = y - inset, right = W - x - inset, bottom = H - y - inset;
    if (grout) {
      left += (ValueNoise(y / (12 * S), 0, s + 7) - 0.5f) * 2 * wobble;
      right += (ValueNoise(y / (12 * S), 1, s + 7) - 0.5f) * 2 * wobble;
      top += (ValueNoise(x / (12 * S), 2, s + 7) - 0.5f) * 2 * wobble;
      bottom += (ValueNoise(x / (12 * S), 3, s + 7) - 0.5f) * 2 * wobble;
    }
    const float d = std::min({left, top, right, bottom});
    if (grout && d < 0.f) return Mix(groutColor, c, Clamp01(d + 1.f));
    float k = 1.f;
    if (d < edge) {
      const float t = 1.f - Clamp01(d / edge);
      // Which side is nearest decides light or shade.
      const bool lit = (left <= top && left <= right && left <= bottom) || (top <= right && top <= bottom);
      k = lit ? 1.f + 0.22f * t * t : 1.f - 0.3f * t * t;
    }
    return c * k + Rgb{hl, hl, hl};
  });
  return p;
}

}  // namespace tessaro::samples
