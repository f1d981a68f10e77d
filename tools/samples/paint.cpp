#include "paint.h"

#include <limits>

namespace tessaro::samples {

Rgb Hsv(float h, float s, float v) {
  h = h - std::floor(h);
  const float hh = h * 6.f;
  const int i = int(hh) % 6;
  const float f = hh - std::floor(hh);
  const float p = v * (1 - s), q = v * (1 - s * f), t = v * (1 - s * (1 - f));
  switch (i) {
    case 0: return {v, t, p};
    case 1: return {q, v, p};
    case 2: return {p, v, t};
    case 3: return {p, q, v};
    case 4: return {t, p, v};
    default: return {v, p, q};
  }
}

namespace {

std::uint32_t HashInt(std::uint32_t x) {
  x ^= x >> 16;
  x *= 0x7feb352dU;
  x ^= x >> 15;
  x *= 0x846ca68bU;
  x ^= x >> 16;
  return x;
}

std::uint32_t HashPoint(int x, int y, std::uint32_t seed) {
  return HashInt(std::uint32_t(x) * 0x9E3779B1U ^ HashInt(std::uint32_t(y) * 0x85EBCA77U ^ seed));
}

float Fade(float t) { return t * t * (3.f - 2.f * t); }

}  // namespace

float Hash01(int x, int y, std::uint32_t seed) {
  return float(HashPoint(x, y, seed) >> 8) * (1.f / 16777216.f);
}

float ValueNoise(float x, float y, std::uint32_t seed) {
  const float fx = std::floor(x), fy = std::floor(y);
  const int ix = int(fx), iy = int(fy);
  const float tx = Fade(x - fx), ty = Fade(y - fy);
  const float a = Hash01(ix, iy, seed), b = Hash01(ix + 1, iy, seed);
  const float c = Hash01(ix, iy + 1, seed), d = Hash01(ix + 1, iy + 1, seed);
  const float top = a + (b - a) * tx, bottom = c + (d - c) * tx;
  return top + (bottom - top) * ty;
}

float Fbm(float x, float y, std::uint32_t seed, int octaves, float gain) {
  float sum = 0, amp = 1, norm = 0;
  for (int o = 0; o < octaves; ++o) {
    sum += amp * ValueNoise(x, y, seed + std::uint32_t(o) * 1013U);
    norm += amp;
    amp *= gain;
    // Rotating each octave a little hides the lattice's axes.
    const float nx = 1.6f * x + 1.2f * y, ny = -1.2f * x + 1.6f * y;
    x = nx + 17.3f;
    y = ny + 5.1f;
  }
  return sum / norm;
}

void Cellular(float x, float y, std::uint32_t seed, float& f1, float& f2) {
  const int ix = int(std::floor(x)), iy = int(std::floor(y));
  f1 = f2 = std::numeric_limits<float>::max();
  for (int dy = -1; dy <= 1; ++dy)
    for (int dx = -1; dx <= 1; ++dx) {
      const int cx = ix + dx, cy = iy + dy;
      const float px = float(cx) + 0.1f + 0.8f * Hash01(cx, cy, seed);
      const float py = float(cy) + 0.1f + 0.8f * Hash01(cx, cy, seed ^ 0x5bd1e995U);
      const float d = std::hypot(px - x, py - y);
      if (d < f1) {
        f2 = f1;
        f1 = d;
      } else if (d < f2) {
        f2 = d;
      }
    }
}

Rgb Picture::Sample(float x, float y) const {
  x = std::clamp(x - 0.5f, 0.f, float(w_ - 1));
  y = std::clamp(y - 0.5f, 0.f, float(h_ - 1));
  const int x0 = int(x), y0 = int(y);
  const int x1 = std::min(x0 + 1, w_ - 1), y1 = std::min(y0 + 1, h_ - 1);
  const float tx = x - float(x0), ty = y - float(y0);
  const Rgb top = Mix(At(x0, y0), At(x1, y0), tx), bottom = Mix(At(x0, y1), At(x1, y1), tx);
  return Mix(top, bottom, ty);
}

float SdSegment(float x, float y, float ax, float ay, float bx, float by, float r) {
  const float px = x - ax, py = y - ay, vx = bx - ax, vy = by - ay;
  const float len2 = vx * vx + vy * vy;
  const float t = len2 > 0 ? Clamp01((px * vx + py * vy) / len2) : 0.f;
  return std::hypot(px - vx * t, py - vy * t) - r;
}

float SdPolygon(float x, float y, const std::vector<Pt>& poly) {
  float d = std::numeric_limits<float>::max();
  bool inside = false;
  const std::size_t n = poly.size();
  for (std::size_t i = 0, j = n - 1; i < n; j = i++) {
    const Pt& a = poly[i];
    const Pt& b = poly[j];
    d = std::min(d, SdSegment(x, y, a.x, a.y, b.x, b.y, 0.f));
    if ((a.y > y) != (b.y > y) && x < (b.x - a.x) * (y - a.y) / (b.y - a.y) + a.x) inside = !inside;
  }
  return inside ? -d : d;
}

Box PolygonBox(const Picture& p, const std::vector<Pt>& poly) {
  float x0 = 1e9f, y0 = 1e9f, x1 = -1e9f, y1 = -1e9f;
  for (const Pt& q : poly) {
    x0 = std::min(x0, q.x);
    y0 = std::min(y0, q.y);
    x1 = std::max(x1, q.x);
    y1 = std::max(y1, q.y);
  }
  return p.Clip(x0, y0, x1, y1);
}

namespace {

// One box-blur pass along a line of n values spaced by stride, through a running sum
// with the edge values repeated.
void BlurLine(Rgb* line, int n, std::ptrdiff_t stride, int r, std::vector<Rgb>& tmp) {
  tmp.resize(std::size_t(n));
  for (int i = 0; i < n; ++i) tmp[std::size_t(i)] = line[i * stride];
  const float k = 1.f / float(2 * r + 1);
  Rgb sum;
  for (int i = -r; i <= r; ++i) sum = sum + tmp[std::size_t(std::clamp(i, 0, n - 1))];
  for (int i = 0; i < n; ++i) {
    line[i * stride] = sum * k;
    sum = sum + tmp[std::size_t(std::min(i + r + 1, n - 1))] - tmp[std::size_t(std::max(i - r, 0))];
  }
}

}  // namespace

void Blur(Picture& p, int radius) {
  if (radius <= 0 || p.W() == 0 || p.H() == 0) return;
  std::vector<Rgb> tmp;
  for (int pass = 0; pass < 3; ++pass) {
    for (int y = 0; y < p.H(); ++y) BlurLine(p.Row(y), p.W(), 1, radius, tmp);
    for (int x = 0; x < p.W(); ++x) BlurLine(p.Row(0) + x, p.H(), p.W(), radius, tmp);
  }
}

Rgb Gradient(const std::vector<Stop>& stops, float t) {
  if (t <= stops.front().at) return stops.front().color;
  for (std::size_t i = 1; i < stops.size(); ++i)
    if (t <= stops[i].at) {
      const float span = stops[i].at - stops[i - 1].at;
      const float u = span > 0 ? (t - stops[i - 1].at) / span : 1.f;
      return Mix(stops[i - 1].color, stops[i].color, Fade(u));
    }
  return stops.back().color;
}

Rgb MeanColor(const Picture& p) {
  double r = 0, g = 0, b = 0;
  for (int y = 0; y < p.H(); ++y) {
    const Rgb* row = p.Row(y);
    for (int x = 0; x < p.W(); ++x) {
      r += Clamp01(row[x].r);
      g += Clamp01(row[x].g);
      b += Clamp01(row[x].b);
    }
  }
  const double n = double(p.W()) * double(p.H());
  return {float(r / n), float(g / n), float(b / n)};
}

void ApplyFinish(Picture& p, const Finish& f) {
  const float w = float(p.W()), h = float(p.H());
  if (f.grade) {
    const Rgb m = MeanColor(p);
    if (f.duotone) {
      // Luma mapped onto a ramp through the target: a toned print, not a colour cast.
      const Rgb dark = Mix(Rgb{}, f.target, 0.25f), light = Mix(f.target, Rgb{1, 1, 1}, 0.55f);
      const float ml = std::max(Luma(m), 0.02f);
      const float tl = Luma(f.target);
      Map(p, [&](float, float, Rgb c) {
        const float l = Clamp01(Luma(c) / ml * tl);
        const Rgb toned = l < tl ? Mix(dark, f.target, tl > 0 ? l / tl : 0.f)
                                 : Mix(f.target, light, (l - tl) / std::max(1.f - tl, 0.01f));
        return Mix(c, toned, f.strength);
      });
    } else {
      // Move the mean toward the target and shrink the contrast only as far as the new
      // mean's headroom asks, so the picture's structure survives the shift.
      const Rgb nm = Mix(m, f.target, f.strength);
      auto room = [](float from, float to) {
        return std::min(to, 1.f - to) / std::max(std::min(from, 1.f - from), 0.08f);
      };
      const float c = std::clamp(std::min({room(m.r, nm.r), room(m.g, nm.g), room(m.b, nm.b)}), 0.45f, 1.f);
      Map(p, [&](float, float, Rgb px) { return nm + (px - m) * c; });
    }
  }
  if (f.contrast != 1) {
    const Rgb m = MeanColor(p);
    Map(p, [&](float, float, Rgb c) { return m + (c - m) * f.contrast; });
  }
  if (f.lightX != 0 || f.lightY != 0 || f.vignette > 0 || f.exposure != 1) {
    Map(p, [&](float x, float y, Rgb c) {
      const float u = x / w - 0.5f, v = y / h - 0.5f;
      float k = f.exposure * (1.f + f.lightX * u * 2.f + f.lightY * v * 2.f);
      k *= 1.f - f.vignette * (u * u + v * v) * 1.6f;
      return c * std::max(k, 0.f);
    });
  }
  if (f.grain > 0) {
    for (int y = 0; y < p.H(); ++y) {
      Rgb* row = p.Row(y);
      for (int x = 0; x < p.W(); ++x) {
        const float n = (Hash01(x, y, f.seed) - 0.5f) * f.grain;
        row[x] = row[x] + Rgb{n, n, n};
      }
    }
  }
}

TBitmap32 ToBitmap(const Picture& p) {
  TBitmap32 b(p.W(), p.H());
  for (int y = 0; y < p.H(); ++y) {
    const Rgb* src = p.Row(y);
    TColor32* dst = b.ScanLine(y);
    for (int x = 0; x < p.W(); ++x) {
      auto q = [](float v) { return std::uint8_t(std::lround(Clamp01(v) * 255.f)); };
      dst[x] = Color32(q(src[x].r), q(src[x].g), q(src[x].b));
    }
  }
  return b;
}

}  // namespace tessaro::samples
