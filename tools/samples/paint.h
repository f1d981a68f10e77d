// A small floating-point painting kit for the sample pictures: an RGB canvas with
// anti-aliased shapes given as signed distances, height profiles, value noise, blur
// and the finishing touches of a camera (grading, vignette, grain).
//
// Colours are 0..1 per channel in display (sRGB) values; nothing is clamped until
// ToBitmap, so glows may overshoot and clip the way a sensor does. Coordinates are
// pixels with (0, 0) at the top-left corner of the top-left pixel; a pixel is sampled
// at its centre. Everything is deterministic: the noise is a hash of integer lattice
// points and a seed, and no function keeps state between calls.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "core/random.h"
#include "image/bitmap32.h"

namespace tessaro::samples {

struct Rgb {
  float r = 0, g = 0, b = 0;
};

constexpr Rgb operator+(Rgb a, Rgb b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }
constexpr Rgb operator-(Rgb a, Rgb b) { return {a.r - b.r, a.g - b.g, a.b - b.b}; }
constexpr Rgb operator*(Rgb a, float k) { return {a.r * k, a.g * k, a.b * k}; }
constexpr Rgb operator*(Rgb a, Rgb b) { return {a.r * b.r, a.g * b.g, a.b * b.b}; }
constexpr Rgb Mix(Rgb a, Rgb b, float t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}
constexpr Rgb Hex(std::uint32_t rgb) {
  return {float((rgb >> 16) & 255) / 255.f, float((rgb >> 8) & 255) / 255.f,
          float(rgb & 255) / 255.f};
}
constexpr float Luma(Rgb c) { return 0.299f * c.r + 0.587f * c.g + 0.114f * c.b; }
// Hue 0..1 (wraps), saturation and value 0..1.
Rgb Hsv(float h, float s, float v);
// Saturation scaled about the colour's own luma.
inline Rgb Saturate(Rgb c, float k) {
  const float l = Luma(c);
  return {l + (c.r - l) * k, l + (c.g - l) * k, l + (c.b - l) * k};
}

constexpr float Clamp01(float v) { return v < 0.f ? 0.f : (v > 1.f ? 1.f : v); }
inline float Smooth(float e0, float e1, float x) {
  const float t = Clamp01((x - e0) / (e1 - e0));
  return t * t * (3.f - 2.f * t);
}
// Pixel coverage of a shape from its signed distance (negative inside), one pixel
// of soft edge; soft widens the edge for blurred shapes.
inline float Cover(float d, float soft = 1.f) { return Clamp01(0.5f - d / soft); }

// Random helpers over the project's generator.
inline float Uniform(TRandom& rng, float lo, float hi) { return lo + (hi - lo) * float(rng.RandomFloat()); }
inline bool Chance(TRandom& rng, float p) { return rng.RandomFloat() < p; }
template <class T, std::size_t N>
const T& Pick(TRandom& rng, const T (&items)[N]) {
  return items[rng.Random(int(N))];
}
template <class T>
T PickOf(TRandom& rng, std::initializer_list<T> items) {
  return items.begin()[rng.Random(int(items.size()))];
}

// ---- Noise --------------------------------------------------------------------------

// Hash of a lattice point, 0..1.
float Hash01(int x, int y, std::uint32_t seed);
// Smoothly interpolated value noise, 0..1, one feature per unit.
float ValueNoise(float x, float y, std::uint32_t seed);
// Sum of octaves of ValueNoise, normalised to 0..1 (concentrated around 0.5).
float Fbm(float x, float y, std::uint32_t seed, int octaves, float gain = 0.5f);
// Distance to the nearest and second-nearest of one jittered point per unit cell
// (cellular noise): the crackle, stones and scales.
void Cellular(float x, float y, std::uint32_t seed, float& f1, float& f2);

// ---- Canvas -------------------------------------------------------------------------

struct Box {
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // x1, y1 exclusive
};

class Picture {
 public:
  Picture() = default;
  Picture(int w, int h, Rgb fill = {}) : w_(w), h_(h), px_(std::size_t(w) * std::size_t(h), fill) {}

  int W() const { return w_; }
  int H() const { return h_; }
  Rgb* Row(int y) { return px_.data() + std::size_t(y) * std::size_t(w_); }
  const Rgb* Row(int y) const { return px_.data() + std::size_t(y) * std::size_t(w_); }
  Rgb& At(int x, int y) { return Row(y)[x]; }
  const Rgb& At(int x, int y) const { return Row(y)[x]; }
  Rgb Sample(float x, float y) const;  // bilinear, clamped to the edges

  // A box grown to the shape's reach and clipped to the canvas.
  Box Clip(float x0, float y0, float x1, float y1) const {
    Box b{int(std::floor(x0)) - 1, int(std::floor(y0)) - 1, int(std::ceil(x1)) + 1,
          int(std::ceil(y1)) + 1};
    b.x0 = std::max(b.x0, 0);
    b.y0 = std::max(b.y0, 0);
    b.x1 = std::min(b.x1, w_);
    b.y1 = std::min(b.y1, h_);
    return b;
  }
  Box All() const { return {0, 0, w_, h_}; }

 private:
  int w_ = 0, h_ = 0;
  std::vector<Rgb> px_;
};

// Every pixel of box: alpha = cov(x, y) at the pixel centre, colour col(x, y); the
// pixel moves toward the colour by alpha.
template <class Cov, class Col>
void Paint(Picture& p, Box b, Cov&& cov, Col&& col) {
  for (int y = b.y0; y < b.y1; ++y) {
    Rgb* row = p.Row(y);
    const float fy = float(y) + 0.5f;
    for (int x = b.x0; x < b.x1; ++x) {
      const float fx = float(x) + 0.5f;
      const float a = cov(fx, fy);
      if (a <= 0.f) continue;
      row[x] = Mix(row[x], col(fx, fy), a > 1.f ? 1.f : a);
    }
  }
}
// Light added on top (glows, beams, bokeh): pixel += add(x, y).
template <class Add>
void Glow(Picture& p, Box b, Add&& add) {
  for (int y = b.y0; y < b.y1; ++y) {
    Rgb* row = p.Row(y);
    const float fy = float(y) + 0.5f;
    for (int x = b.x0; x < b.x1; ++x) row[x] = row[x] + add(float(x) + 0.5f, fy);
  }
}
// Every pixel replaced by f(x, y, old colour).
template <class F>
void Map(Picture& p, F&& f) {
  for (int y = 0; y < p.H(); ++y) {
    Rgb* row = p.Row(y);
    const float fy = float(y) + 0.5f;
    for (int x = 0; x < p.W(); ++x) row[x] = f(float(x) + 0.5f, fy, row[x]);
  }
}

// The region below a height profile (top(x) in pixels, x at column centres), with
// the profile's edge anti-aliased vertically; col(x, y) gives the colour.
template <class Top, class Col>
void FillBelow(Picture& p, int x0, int x1, Top&& top, Col&& col) {
  x0 = std::max(x0, 0);
  x1 = std::min(x1, p.W());
  for (int x = x0; x < x1; ++x) {
    const float fx = float(x) + 0.5f;
    const float t = top(fx);
    int y = std::max(0, int(std::floor(t)));
    for (; y < p.H(); ++y) {
      const float a = Clamp01(float(y) + 1.f - t);
      Rgb& px = p.At(x, y);
      px = Mix(px, col(fx, float(y) + 0.5f), a);
    }
  }
}

// ---- Signed distances (negative inside) ---------------------------------------------

inline float SdCircle(float x, float y, float cx, float cy, float r) {
  return std::hypot(x - cx, y - cy) - r;
}
// Approximate for ellipses: exact on the axes, close enough for soft edges.
inline float SdEllipse(float x, float y, float cx, float cy, float rx, float ry) {
  const float nx = (x - cx) / rx, ny = (y - cy) / ry;
  const float k = std::sqrt(nx * nx + ny * ny);
  return (k - 1.f) * std::min(rx, ry);
}
inline float SdBox(float x, float y, float cx, float cy, float hw, float hh, float round = 0.f) {
  const float dx = std::abs(x - cx) - hw + round, dy = std::abs(y - cy) - hh + round;
  const float ox = std::max(dx, 0.f), oy = std::max(dy, 0.f);
  return std::hypot(ox, oy) + std::min(std::max(dx, dy), 0.f) - round;
}
// A capsule around the segment a-b with radius r.
float SdSegment(float x, float y, float ax, float ay, float bx, float by, float r);

struct Pt {
  float x = 0, y = 0;
};
// A simple polygon (even-odd inside test, distance to the nearest edge).
float SdPolygon(float x, float y, const std::vector<Pt>& poly);
Box PolygonBox(const Picture& p, const std::vector<Pt>& poly);

// ---- Whole-picture operations --------------------------------------------------------

// Three passes of a box blur of the given radius (close to a Gaussian).
void Blur(Picture& p, int radius);
// Vertical gradient through stops (position 0..1 from the top, colour).
struct Stop {
  float at;
  Rgb color;
};
Rgb Gradient(const std::vector<Stop>& stops, float t);

// The finishing of every photo: graded toward a colour, lit from a side, vignetted,
// with a touch of grain. Each step is optional; ToBitmap rounds and clamps.
struct Finish {
  bool grade = false;
  Rgb target;           // the mean the grade moves toward
  float strength = 0;   // 0..1 of the way from the picture's mean to target
  bool duotone = false; // map luma onto a dark..light ramp of target instead
  float lightX = 0, lightY = 0;  // light falloff: brightness * (1 + lx (x - 0.5) + ly (y - 0.5))
  float vignette = 0;   // 0..1
  float grain = 0;      // amplitude, 0..1 units
  float contrast = 1;   // < 1: hazy, soft light; about the picture's mean
  float exposure = 1;   // multiplier applied last
  std::uint32_t seed = 0;
};
void ApplyFinish(Picture& p, const Finish& f);
Rgb MeanColor(const Picture& p);

TBitmap32 ToBitmap(const Picture& p);

}  // namespace tessaro::samples
