#include "photo_parts.h"

#include <cmath>

namespace tessaro::samples {

namespace {

Rgb Jitter(TRandom& rng, Rgb c, float amount) {
  return Rgb{c.r + Uniform(rng, -amount, amount), c.g + Uniform(rng, -amount, amount),
             c.b + Uniform(rng, -amount, amount)};
}

}  // namespace

SkyLook RandomSky(TRandom& rng, SkyKind kind) {
  SkyLook s;
  s.kind = kind;
  switch (kind) {
    case SkyKind::Day:
      s.top = Hsv(Uniform(rng, 0.56f, 0.62f), Uniform(rng, 0.6f, 0.85f), Uniform(rng, 0.65f, 0.85f));
      s.mid = Mix(s.top, Hex(0xffffff), 0.35f);
      s.horizon = Mix(s.top, Hex(0xf4f8fb), 0.72f);
      s.sun = Hex(0xfffbea);
      s.cloudLit = Hex(0xffffff);
      s.cloudShade = Hex(0xb4bfd0);
      s.sunGlow = 0.35f;
      break;
    case SkyKind::Hazy:
      s.top = Hex(0x7fa7cf);
      s.mid = Hex(0xa9c4dc);
      s.horizon = Hex(0xe2e4dc);
      s.sun = Hex(0xfffbe8);
      s.cloudLit = Hex(0xf4f4f2);
      s.cloudShade = Hex(0xa7adb6);
      s.sunGlow = 0.5f;
      break;
    case SkyKind::Golden:
      s.top = Hex(0x4a78b8);
      s.mid = Hex(0xe2bf8c);
      s.horizon = Hex(0xffd27e);
      s.sun = Hex(0xfff2b8);
      s.cloudLit = Hex(0xffe0a8);
      s.cloudShade = Hex(0x9c7f82);
      s.sunGlow = 0.7f;
      break;
    case SkyKind::Sunset:
      s.top = Hsv(Uniform(rng, 0.64f, 0.74f), 0.6f, Uniform(rng, 0.3f, 0.45f));
      s.mid = Hsv(Uniform(rng, 0.93f, 1.02f), 0.62f, 0.8f);
      s.horizon = Hsv(Uniform(rng, 0.05f, 0.1f), 0.78f, 1.f);
      s.sun = Hex(0xfff0a0);
      s.cloudLit = Hex(0xff9c6c);
      s.cloudShade = Hex(0x59305e);
      s.sunGlow = 0.9f;
      break;
    case SkyKind::Dusk:
      s.top = Hex(0x0c1232);
      s.mid = Hex(0x383878);
      s.horizon = Hsv(Uniform(rng, 0.98f, 1.06f), 0.55f, 0.85f);
      s.sun = Hex(0xffd8a0);
      s.cloudLit = Hex(0xc4687a);
      s.cloudShade = Hex(0x281e40);
      s.sunGlow = 0.6f;
      break;
    case SkyKind::Night:
      s.top = Hex(0x02040c);
      s.mid = Hex(0x0a1430);
      s.horizon = Hsv(Uniform(rng, 0.6f, 0.68f), 0.6f, Uniform(rng, 0.2f, 0.35f));
      s.sun = Hex(0xf2f0e0);
      s.cloudLit = Hex(0x39435e);
      s.cloudShade = Hex(0x0d1120);
      s.sunGlow = 0.25f;
      break;
    case SkyKind::Overcast:
      s.top = Hex(0x8b9199);
      s.mid = Hex(0xa6acb3);
      s.horizon = Hex(0xc8cbcd);
      s.sun = Hex(0xf0f0ee);
      s.cloudLit = Hex(0xd9dbdd);
      s.cloudShade = Hex(0x7d838b);
      s.sunGlow = 0.1f;
      break;
    case SkyKind::Storm:
      s.top = Hex(0x2c333d);
      s.mid = Hex(0x4b5460);
      s.horizon = Hex(0x8c9088);
      s.sun = Hex(0xe8e8e0);
      s.cloudLit = Hex(0x6c7481);
      s.cloudShade = Hex(0x22272e);
      s.sunGlow = 0.1f;
      break;
    case SkyKind::Dawn:
    default:
      s.top = Hex(0x6d8ecf);
      s.mid = Hsv(Uniform(rng, 0.85f, 0.95f), 0.25f, 0.85f);
      s.horizon = Hex(0xfbd4b4);
      s.sun = Hex(0xfff4dc);
      s.cloudLit = Hex(0xfde0e8);
      s.cloudShade = Hex(0xa08aa8);
      s.sunGlow = 0.5f;
      break;
  }
  s.top = Jitter(rng, s.top, 0.04f);
  s.mid = Jitter(rng, s.mid, 0.04f);
  s.horizon = Jitter(rng, s.horizon, 0.03f);
  return s;
}

SkyLook RandomSky(TRandom& rng) {
  static const SkyKind kinds[] = {SkyKind::Day,    SkyKind::Day,    SkyKind::Day,  SkyKind::Hazy,
                                  SkyKind::Golden, SkyKind::Sunset, SkyKind::Sunset, SkyKind::Dusk,
                                  SkyKind::Night,  SkyKind::Overcast, SkyKind::Storm, SkyKind::Dawn};
  return RandomSky(rng, Pick(rng, kinds));
}

void PaintSky(Picture& p, float horizonY, const SkyLook& sky) {
  const std::vector<Stop> stops{{0.f, sky.top}, {0.55f, sky.mid}, {1.f, sky.horizon}};
  const float hz = std::max(horizonY, 1.f);
  for (int y = 0; y < p.H(); ++y) {
    const Rgb c = Gradient(stops, (float(y) + 0.5f) / hz);
    Rgb* row = p.Row(y);
    for (int x = 0; x < p.W(); ++x) row[x] = c;
  }
}

void PaintSun(Picture& p, float cx, float cy, float r, Rgb color, float glow) {
  if (glow > 0) {
    const float reach = r * 9.f;
    const float inv = 1.f / (r * 2.6f);
    Glow(p, p.Clip(cx - reach, cy - reach, cx + reach, cy + reach), [&](float x, float y) {
      const float d = std::hypot(x - cx, y - cy) * inv;
      const float k = glow * 0.55f * std::exp(-d * d) + glow * 0.18f * std::exp(-d * 0.7f);
      return color * k;
    });
  }
  Paint(p, p.Clip(cx - r, cy - r, cx + r, cy + r),
        [&](float x, float y) { return Cover(SdCircle(x, y, cx, cy, r), 1.5f); },
        [&](float, float) { return color; });
}

void PaintMoon(Picture& p, float cx, float cy, float r, Rgb color, std::uint32_t seed) {
  PaintSun(p, cx, cy, r, color * 0.8f, 0.25f);
  // Maria: darker patches on the face.
  Paint(p, p.Clip(cx - r, cy - r, cx + r, cy + r),
        [&](float x, float y) {
          const float inside = Cover(SdCircle(x, y, cx, cy, r - 1.f));
          const float n = Fbm((x - cx) / r * 2.5f, (y - cy) / r * 2.5f, seed, 3);
          return inside * Smooth(0.5f, 0.7f, n) * 0.5f;
        },
        [&](float, float) { return color * 0.62f; });
}

void PaintStars(Picture& p, float bottomY, int count, TRandom& rng) {
  for (int i = 0; i < count; ++i) {
    const float x = Uniform(rng, 0, float(p.W())), y = Uniform(rng, 0, bottomY);
    const float b = Uniform(rng, 0.25f, 1.f) * (1.f - 0.7f * y / std::max(bottomY, 1.f));
    const float r = Uniform(rng, 0.5f, 1.4f);
    const Rgb c = Mix(Hex(0xffffff), Hsv(Uniform(rng, 0.f, 1.f), 0.3f, 1.f), 0.3f) * b;
    Glow(p, p.Clip(x - 3, y - 3, x + 3, y + 3), [&](float px, float py) {
      const float d = std::hypot(px - x, py - y) / r;
      return c * std::exp(-d * d);
    });
  }
}

void PaintClouds(Picture& p, float y0, float y1, float cover, const SkyLook& sky,
                 std::uint32_t seed, float stretch) {
  const float scale = 5.f / float(p.W());
  const float threshold = 0.62f - 0.3f * cover;
  const float span = std::max(y1 - y0, 1.f);
  Paint(p, p.Clip(0, y0, float(p.W()), y1),
        [&](float x, float y) {
          const float t = (y - y0) / span;
          const float band = Smooth(0.f, 0.25f, t) * Smooth(1.f, 0.6f, t);
          const float n = Fbm(x * scale, y * scale * stretch, seed, 5);
          return Smooth(threshold, threshold + 0.16f, n * (0.7f + 0.3f * band)) * band;
        },
        [&](float x, float y) {
          // Lit from above: the upper edge of a cloud is brighter than its belly.
          const float n = Fbm(x * scale, (y - span * 0.06f) * scale * stretch, seed, 4);
          const float lit = Clamp01((n - threshold) * 4.f);
          return Mix(sky.cloudShade, sky.cloudLit, 1.f - lit * 0.9f);
        });
}

float RidgeTop(const Picture& p, const Ridge& r, float x) {
  const float u = x / float(p.W()) * r.freq;
  float h;
  if (r.sharp) {
    // Ridged noise: sharp peaks where the noise crosses the middle.
    const float n1 = 1.f - std::abs(2.f * ValueNoise(u, 0.5f, r.seed) - 1.f);
    const float n2 = 1.f - std::abs(2.f * ValueNoise(u * 2.3f, 1.5f, r.seed + 7) - 1.f);
    const float n3 = ValueNoise(u * 7.f, 2.5f, r.seed + 13);
    h = 0.6f * n1 * n1 + 0.3f * n2 * n2 + 0.1f * n3;
  } else {
    h = Fbm(u, 0.5f, r.seed, 3, 0.4f);
    h = Smooth(0.15f, 0.85f, h);
  }
  return r.baseY - r.amp * h;
}

void PaintRidge(Picture& p, const Ridge& r) {
  const int w = p.W();
  std::vector<float> top(std::size_t(w) + 2);
  for (int x = -1; x <= w; ++x) top[std::size_t(x + 1)] = RidgeTop(p, r, float(x) + 0.5f);
  const float texScale = 12.f / float(w);
  const float amp = std::max(r.amp, 1.f);
  // Snow lies above one altitude, ragged by noise, thinning on the steep faces.
  const float snowLine = r.baseY - amp * (1.f - r.snow);
  FillBelow(p, 0, w, [&](float x) { return top[std::size_t(int(x) + 1)]; },
            [&](float x, float y) {
              const int ix = int(x);
              const float t = top[std::size_t(ix + 1)];
              const float slope = (top[std::size_t(ix + 2)] - top[std::size_t(ix)]) * 0.5f;
              const float n = Fbm(x * texScale, y * texScale * 1.5f, r.seed + 99, 3);
              // A slope that falls toward the light is lit. The crest's slope tells
              // the face only near the top; further down, gullies and spurs (noise
              // stretched downhill) take over, so faces do not run as flat columns.
              const float crest = std::exp(-(y - t) / (amp * 0.35f));
              const float gully = Fbm(x * texScale * 1.6f, y * texScale * 0.35f, r.seed + 41, 3);
              const float lit = Clamp01(0.5f + (Clamp01(0.5f + slope * r.lightFromLeft * 1.5f) - 0.5f) * crest +
                                        (gully - 0.5f) * 1.2f * (1.f - 0.5f * crest));
              Rgb c = Mix(r.shade, r.color, lit);
              c = c * (1.f + (n - 0.5f) * r.texture * 4.f);
              if (r.snow > 0) {
                const float line = snowLine + (n - 0.5f) * amp * 0.35f + std::abs(slope) * amp * 0.05f;
                const float s = Smooth(line + amp * 0.03f, line - amp * 0.03f, y);
                c = Mix(c, r.snowColor * (0.72f + 0.28f * lit), s);
              }
              const float down = Clamp01((y - t) / std::max(r.baseY - t + amp * 0.3f, 1.f));
              return Mix(c, r.haze, r.hazeAmount * (0.4f + 0.6f * down));
            });
}

void PaintWater(Picture& p, float horizonY, Rgb tint, float reflect, float ripple,
                std::uint32_t seed) {
  const int hz = std::max(0, int(horizonY));
  const float h = float(p.H());
  // Mirror from a copy of the rows above the horizon, read before they are changed.
  Picture src = p;
  for (int y = hz; y < p.H(); ++y) {
    Rgb* row = p.Row(y);
    const float fy = float(y) + 0.5f;
    const float depth = (fy - horizonY) / std::max(h - horizonY, 1.f);
    const float wobbleAmp = ripple * (1.f + depth * 6.f);
    for (int x = 0; x < p.W(); ++x) {
      const float fx = float(x) + 0.5f;
      const float wave = ValueNoise(fx * 0.02f, fy * 0.5f / (1.f + depth * 3.f), seed) - 0.5f;
      const float sy = horizonY - (fy - horizonY) - 1.f + wave * wobbleAmp * 0.5f;
      const Rgb m = src.Sample(fx + wave * wobbleAmp, std::max(sy, 0.5f));
      // Fresnel-ish: more reflection far away, more of the water's own colour near.
      const float k = reflect * (1.f - 0.45f * depth);
      Rgb c = Mix(tint, m * 0.88f, k);
      c = c * (1.f + wave * 0.25f);
      row[x] = c;
    }
  }
}

void PaintSunPath(Picture& p, float horizonY, float cx, float width, Rgb color, TRandom& rng,
                  int count) {
  const float h = float(p.H());
  for (int i = 0; i < count; ++i) {
    const float t = float(rng.RandomFloat());
    const float y = horizonY + (h - horizonY) * t * t;
    const float spread = width * (0.3f + 1.4f * t);
    const float x = cx + Uniform(rng, -spread, spread) * (0.4f + 0.6f * float(rng.RandomFloat()));
    const float len = width * Uniform(rng, 0.1f, 0.5f) * (0.4f + t);
    const float th = 0.6f + 1.8f * t;
    const float fade = 1.f - std::abs(x - cx) / (spread + 1.f);
    Glow(p, p.Clip(x - len, y - th * 2, x + len, y + th * 2), [&](float px, float py) {
      const float d = SdSegment(px, py, x - len * 0.5f, y, x + len * 0.5f, y, th * 0.5f);
      return color * (Cover(d, 1.2f) * 0.55f * fade);
    });
  }
}

void PaintConifer(Picture& p, float x, float groundY, float h, Rgb color, Rgb dark,
                  std::uint32_t seed) {
  const float w = h * 0.38f;
  const float trunkW = std::max(h * 0.025f, 0.7f);
  Paint(p, p.Clip(x - trunkW, groundY - h * 0.2f, x + trunkW, groundY),
        [&](float px, float py) { return Cover(SdBox(px, py, x, groundY - h * 0.1f, trunkW, h * 0.1f)); },
        [&](float, float) { return dark * 0.6f; });
  const float top = groundY - h;
  Paint(p, p.Clip(x - w, top, x + w, groundY - h * 0.08f),
        [&](float px, float py) {
          const float t = (py - top) / (h * 0.92f);
          if (t < 0 || t > 1) return 0.f;
          // Tiers: the outline swings in and out down the tree.
          const float tier = 0.75f + 0.25f * std::abs(std::sin(t * 9.f + float(seed % 7)));
          const float half = w * t * tier + 0.5f;
          const float ragged = (ValueNoise(px * 0.4f, py * 0.4f, seed) - 0.5f) * w * 0.15f;
          return Cover(std::abs(px - x) - half - ragged);
        },
        [&](float px, float) { return Mix(color, dark, Clamp01(0.5f + (px - x) / w)); });
}

void PaintLeafyTree(Picture& p, float x, float groundY, float h, Rgb leaf, Rgb dark, Rgb trunk,
                    std::uint32_t seed) {
  const float tw = std::max(h * 0.05f, 0.8f);
  const float crownY = groundY - h * 0.62f, crownR = h * 0.36f;
  Paint(p, p.Clip(x - tw * 2, crownY, x + tw * 2, groundY),
        [&](float px, float py) {
          const float k = (groundY - py) / (groundY - crownY);
          return Cover(std::abs(px - x) - tw * (1.f + 0.8f * (1 - k)) * 0.7f);
        },
        [&](float, float) { return trunk; });
  const float sc = 4.f / crownR;
  Paint(p, p.Clip(x - crownR * 1.3f, crownY - crownR * 1.1f, x + crownR * 1.3f, crownY + crownR * 1.1f),
        [&](float px, float py) {
          const float n = Fbm(px * sc * 0.5f, py * sc * 0.5f, seed, 3);
          const float d = SdEllipse(px, py, x, crownY, crownR * 1.1f, crownR) + (n - 0.5f) * crownR * 0.9f;
          return Cover(d, 1.5f);
        },
        [&](float px, float py) {
          const float n = Fbm(px * sc, py * sc, seed + 3, 3);
          const float lit = Clamp01(0.55f - (px - x) / crownR * 0.35f - (py - crownY) / crownR * 0.35f);
          return Mix(dark, leaf, Clamp01(lit + (n - 0.5f) * 0.9f));
        });
}

void PaintGround(Picture& p, float topY, Rgb nearColor, Rgb farColor, float texture,
                 std::uint32_t seed) {
  const float h = float(p.H());
  const float sc = 18.f / float(p.W());
  Paint(p, p.Clip(0, topY, float(p.W()), h),
        [&](float, float y) { return Clamp01(y - topY + 0.5f); },
        [&](float x, float y) {
          const float t = Clamp01((y - topY) / std::max(h - topY, 1.f));
          // Depth: the texture grows toward the viewer.
          const float persp = 1.f / (0.15f + t);
          const float n = Fbm(x * sc * persp * 0.25f, y * sc * persp, seed, 3);
          return Mix(farColor, nearColor, t) * (1.f + (n - 0.5f) * texture * 2.f);
        });
}

void PaintSphere(Picture& p, float cx, float cy, float rx, float ry, Rgb color, float shine,
                 float ambient) {
  Paint(p, p.Clip(cx - rx, cy - ry, cx + rx, cy + ry),
        [&](float x, float y) { return Cover(SdEllipse(x, y, cx, cy, rx, ry)); },
        [&](float x, float y) {
          const float nx = (x - cx) / rx, ny = (y - cy) / ry;
          const float nz = std::sqrt(std::max(0.f, 1.f - nx * nx - ny * ny));
          // Light from the upper left and a little in front.
          const float diff = std::max(0.f, -0.5f * nx - 0.55f * ny + 0.67f * nz);
          const float hx = nx + 0.35f, hy = ny + 0.4f;
          const float glint = shine * std::exp(-(hx * hx + hy * hy) * 28.f);
          const float rim = 0.15f * Smooth(0.7f, 1.f, std::sqrt(nx * nx + ny * ny));
          return color * (ambient + (1.f - ambient) * diff) + Rgb{glint, glint, glint} + color * rim;
        });
}

}  // namespace tessaro::samples
