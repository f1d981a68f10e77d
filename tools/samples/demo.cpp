// The demo main image: a lighthouse on a rocky headland at sunset. Big shapes in
// strong colours (a warm sky, a low sun and its path on the sea, a dark cliff with a
// green top, the white and red tower) so that it reads well as a mosaic of about
// 40 x 30 cells.
#include <cmath>
#include <vector>

#include "photo_parts.h"
#include "scenes.h"

namespace tessaro::samples {

Picture MakeDemo(int w, int h, std::uint64_t seed) {
  TRandom rng(seed * 0x2545F4914F6CDD1Dull + 12345);
  const float W = float(w), H = float(h), S = float(std::min(w, h)) / 1200.f;
  Picture p(w, h);
  const float hz = H * 0.63f;

  // Sky: indigo at the top through violet and rose to a gold horizon.
  const std::vector<Stop> sky{{0.f, Hex(0x1b1d52)},  {0.28f, Hex(0x4a2a78)}, {0.52f, Hex(0xb8407a)},
                              {0.74f, Hex(0xf0743c)}, {0.9f, Hex(0xffb248)},  {1.f, Hex(0xffd680)}};
  Map(p, [&](float, float y, Rgb) { return Gradient(sky, y / hz); });

  // Long clouds lit from below.
  SkyLook look;
  look.cloudLit = Hex(0x3a2456);
  look.cloudShade = Hex(0xff9a6a);
  PaintClouds(p, H * 0.08f, H * 0.5f, 0.42f, look, 911, 7.f);

  const float sunX = W * 0.3f, sunY = hz - 85 * S, sunR = 125 * S;
  PaintSun(p, sunX, sunY, sunR, Hex(0xffe27a), 0.6f);

  // Sea: the sky mirrored with ripples, then the sun's glitter path.
  const std::vector<Stop> sea{{0.f, Hex(0xd86a4a)}, {0.25f, Hex(0x6a3a6a)}, {1.f, Hex(0x1a1e48)}};
  PaintWater(p, hz, Hex(0x2a2a5a), 0.78f, 7.f * S, 4242);
  Map(p, [&](float, float y, Rgb c) {
    if (y < hz) return c;
    return Mix(c, Gradient(sea, (y - hz) / (H - hz)), 0.45f);
  });
  PaintSunPath(p, hz, sunX, sunR * 1.4f, Hex(0xffd890), rng, 700);
  // Long swells across the water.
  Map(p, [&](float x, float y, Rgb c) {
    if (y < hz) return c;
    const float t = (y - hz) / (H - hz);
    const float swell = std::sin((y - hz) / (3.f + 40.f * t * t) / S * 0.9f + ValueNoise(x / (300 * S), y / (80 * S), 7) * 5.f);
    return c * (1.f + 0.07f * swell * t);
  });

  // The headland on the right: a dark cliff with a green grassy top, its foot
  // running down and to the right along the water toward the viewer.
  auto cliffTop = [&](float x) {
    const float u = (x - W * 0.5f) / (W * 0.5f);
    const float rise = Smooth(0.f, 0.35f, u);
    return hz - rise * H * 0.14f + (ValueNoise(x / (60 * S), 0.5f, 21) - 0.5f) * 14 * S -
           Smooth(0.5f, 1.f, u) * H * 0.04f;
  };
  auto coastX = [&](float y) {
    const float t = Clamp01((y - hz) / (H - hz));
    return W * (0.5f + 0.16f * t) + (ValueNoise(y / (25 * S), 3.5f, 22) - 0.5f) * 30 * S;
  };
  Paint(p, p.Clip(W * 0.45f, hz - H * 0.3f, W, H),
        [&](float x, float y) { return Cover(std::max(cliffTop(x) - y, coastX(std::max(y, hz)) - x)); },
        [&](float x, float y) {
          const float top = cliffTop(x);
          const float depth = y - top;
          const float strata = std::sin(y / (11 * S) + ValueNoise(x / (90 * S), y / (40 * S), 33) * 5.f);
          const float n = Fbm(x / (70 * S), y / (70 * S), 34, 4);
          // Rock in shade, warmed where the sun reaches its face near the sea.
          const float lit = Clamp01(1.f - (x - coastX(std::max(y, hz))) / (W * 0.25f));
          Rgb rock = Mix(Hex(0x2a1e2c), Hex(0x9a5040), lit * lit * 0.8f);
          rock = rock * (0.8f + 0.25f * n + 0.07f * strata);
          const float grass = 36 * S + n * 30 * S;
          if (depth < grass) {
            const Rgb g = Mix(Hex(0x4a6a26), Hex(0x9aac3a), Clamp01(1.f - depth / grass) * 0.8f + 0.1f);
            return Mix(g * (0.9f + 0.2f * n), rock, Smooth(grass - 6 * S, grass, depth));
          }
          return rock;
        });
  // Surf along the foot of the cliff.
  Paint(p, p.Clip(W * 0.4f, hz, W * 0.8f, H),
        [&](float x, float y) {
          const float d = (coastX(y) - x) / (14 * S + 50 * S * (y - hz) / (H - hz));
          const float n = Fbm(x / (12 * S), y / (8 * S), 55, 3);
          return Smooth(1.2f, 0.f, d) * Smooth(-0.3f, 0.f, d) * Smooth(0.4f, 0.65f, n);
        },
        [&](float, float) { return Hex(0xffe8dc); });

  // The lighthouse on the headland, drawn large: it has to read at a few cells wide.
  const float L = S * 1.35f;
  const float lx = W * 0.74f, base = cliffTop(lx) + 12 * L;
  const float towerH = H * 0.3f, bottomHalf = 100 * S, topHalf = 68 * S;
  const float top = base - towerH;
  auto halfAt = [&](float y) { return topHalf + (bottomHalf - topHalf) * Clamp01((y - top) / towerH); };
  // Keeper's house at its foot.
  const float hx = lx + 100 * S + 100 * L, hy = base - 4 * L;
  Paint(p, p.Clip(hx - 110 * L, hy - 150 * L, hx + 110 * L, hy + 4),
        [&](float x, float y) {
          const float wall = SdBox(x, y, hx, hy - 45 * L, 95 * L, 45 * L);
          const float roof = std::max(y - (hy - 88 * L), std::abs(x - hx) - (y - (hy - 150 * L)) * 1.6f);
          return Cover(std::min(wall, roof));
        },
        [&](float x, float y) {
          if (y < hy - 88 * L) return Mix(Hex(0x8a2020), Hex(0xc83a2a), Clamp01((hx - x) / (110 * L) + 0.5f));
          const bool window = std::abs(y - (hy - 50 * L)) < 16 * L && (std::abs(x - hx + 45 * L) < 14 * L || std::abs(x - hx - 45 * L) < 14 * L);
          if (window) return Hex(0xffc860);
          return Mix(Hex(0xf4d8c8), Hex(0x9a8aa0), Clamp01((x - hx + 95 * L) / (190 * L)));
        });
  Paint(p, p.Clip(lx - bottomHalf, top, lx + bottomHalf, base),
        [&](float x, float y) { return (y >= top && y <= base) ? Cover(std::abs(x - lx) - halfAt(y)) : 0.f; },
        [&](float x, float y) {
          const float u = (x - lx) / halfAt(y);  // -1 left edge, +1 right edge
          // Sun from the left: the left side glows warm, the right falls into shade.
          const float lit = Clamp01(0.75f - u * 0.55f);
          const int band = int((y - top) / (towerH / 5.f));  // five bands, red between white
          const Rgb paint = (band % 2 == 1) ? Hex(0xd82a2a) : Hex(0xfaf4ee);
          const Rgb warm = Mix(paint, Hex(0xffb070), 0.2f);
          return Mix(paint * 0.45f, warm, lit);
        });
  // Gallery, lantern room and dome.
  const float galleryY = top - 6 * L;
  Paint(p, p.Clip(lx - 70 * L, galleryY - 8 * L, lx + 70 * L, galleryY + 14 * L),
        [&](float x, float y) { return Cover(SdBox(x, y, lx, galleryY + 3 * L, 62 * L, 9 * L)); },
        [&](float, float) { return Hex(0x2a2226); });
  const float lanternY = galleryY - 52 * L;
  Paint(p, p.Clip(lx - 40 * L, lanternY - 45 * L, lx + 40 * L, galleryY),
        [&](float x, float y) { return Cover(SdBox(x, y, lx, lanternY, 34 * L, 44 * L)); },
        [&](float x, float y) {
          const bool mullion = std::abs(std::fmod(std::abs(x - lx), 23 * L) - 11.5f * L) > 9.5f * L || std::abs(y - lanternY) > 38 * L;
          return mullion ? Hex(0x2a2226) : Hex(0xfff6c0);
        });
  Paint(p, p.Clip(lx - 45 * L, lanternY - 110 * L, lx + 45 * L, lanternY - 40 * L),
        [&](float x, float y) {
          return Cover(std::max(SdEllipse(x, y, lx, lanternY - 44 * L, 42 * L, 48 * L), y - (lanternY - 44 * L)));
        },
        [&](float x, float) { return Mix(Hex(0xe03a2a), Hex(0x701818), Clamp01((x - lx) / (42 * L) * 0.5f + 0.5f)); });
  // The lamp's glow and two beams across the dusk.
  const float lampY = lanternY;
  Glow(p, p.All(), [&](float x, float y) {
    const float dx = x - lx, dy = y - lampY;
    const float d = std::hypot(dx, dy);
    const float halo = 0.9f * std::exp(-d * d / (2 * (55 * L) * (55 * L)));
    float beam = 0;
    for (const float ang : {3.3f, -0.22f}) {
      const float ux = std::cos(ang), uy = std::sin(ang);
      const float along = dx * ux + dy * uy;
      if (along <= 0) continue;
      const float across = std::abs(-dx * uy + dy * ux);
      const float width = 18 * L + along * 0.09f;
      beam += 0.45f * std::exp(-across * across / (width * width)) * std::exp(-along / (W * 0.6f));
    }
    return Hex(0xffe6a0) * (halo + beam);
  });

  // Boulders in the left foreground, rimmed by the sun, with surf around their feet.
  struct Boulder {
    float x, y, rx, ry;
  };
  const Boulder boulders[] = {{0.06f, 0.97f, 0.11f, 0.09f}, {0.2f, 1.0f, 0.09f, 0.07f},
                              {0.0f, 0.86f, 0.06f, 0.07f},  {0.31f, 1.01f, 0.05f, 0.04f}};
  for (const Boulder& b : boulders) {
    const float bx = W * b.x, by = H * b.y, rx = W * b.rx, ry = H * b.ry;
    const std::uint32_t bs = std::uint32_t(bx + by);
    Paint(p, p.Clip(bx - rx * 1.2f, by - ry * 1.3f, bx + rx * 1.2f, by + ry),
          [&](float x, float y) {
            const float n = Fbm(x / (50 * S), y / (50 * S), bs, 3);
            return Cover(SdEllipse(x, y, bx, by, rx, ry) + (n - 0.5f) * ry * 0.5f);
          },
          [&](float x, float y) {
            const float nx = (x - bx) / rx, ny = (y - by) / ry;
            const float n = Fbm(x / (20 * S), y / (20 * S), bs + 1, 4);
            const float lit = Clamp01(-0.6f * nx - 0.8f * ny);
            return Mix(Hex(0x1c1422), Hex(0x8a4a40), lit * lit) * (0.8f + 0.4f * n);
          });
    Paint(p, p.Clip(bx - rx * 1.4f, by - ry * 0.6f, bx + rx * 1.4f, by + ry * 0.6f),
          [&](float x, float y) {
            const float d = SdEllipse(x, y, bx, by + ry * 0.1f, rx * 1.15f, ry * 0.55f);
            const float n = Fbm(x / (10 * S), y / (7 * S), bs + 2, 3);
            return Smooth(-25 * S, 0.f, d) * Smooth(18 * S, 0.f, d) * Smooth(0.45f, 0.65f, n) *
                   Clamp01(SdEllipse(x, y, bx, by, rx, ry) / (4 * S));
          },
          [&](float, float) { return Hex(0xfff0e8); });
  }

  // A few gulls.
  for (int i = 0; i < 7; ++i) {
    const float gx = W * Uniform(rng, 0.08f, 0.6f), gy = H * Uniform(rng, 0.12f, 0.45f);
    const float span = Uniform(rng, 14, 26) * S;
    Paint(p, p.Clip(gx - span, gy - span, gx + span, gy + span),
          [&](float x, float y) {
            const float l = SdSegment(x, y, gx - span, gy - span * 0.35f, gx, gy, 2.5f * S);
            const float r = SdSegment(x, y, gx, gy, gx + span, gy - span * 0.35f, 2.5f * S);
            return Cover(std::min(l, r));
          },
          [&](float, float) { return Hex(0x1e1428); });
  }

  Finish fin;
  fin.vignette = 0.25f;
  fin.grain = 0.015f;
  fin.seed = 5;
  ApplyFinish(p, fin);
  return p;
}

}  // namespace tessaro::samples
