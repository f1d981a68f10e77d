#include "image/bitmap32.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "image/blend.h"
#include "image/canvas.h"
#include "image/stretch.h"

namespace tessaro {

TRect IntersectRect(const TRect& a, const TRect& b) {
  TRect r{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
          std::min(a.Bottom, b.Bottom)};
  if (r.IsEmpty()) return TRect{};
  return r;
}

TBitmap32::TBitmap32() = default;
TBitmap32::TBitmap32(int w, int h) { SetSize(w, h); }
TBitmap32::~TBitmap32() = default;

TBitmap32::TBitmap32(const TBitmap32& other) { Assign(other); }
TBitmap32& TBitmap32::operator=(const TBitmap32& other) {
  if (this != &other) Assign(other);
  return *this;
}

// The canvas refers to its bitmap object, so it never travels with the pixels.
TBitmap32::TBitmap32(TBitmap32&& other) noexcept
    : DrawMode(other.DrawMode),
      CombineMode(other.CombineMode),
      MasterAlpha(other.MasterAlpha),
      OuterColor(other.OuterColor),
      StretchFilter(other.StretchFilter),
      width_(other.width_),
      height_(other.height_),
      pixels_(std::move(other.pixels_)) {
  other.width_ = other.height_ = 0;
  other.pixels_.clear();
}

TBitmap32& TBitmap32::operator=(TBitmap32&& other) noexcept {
  if (this == &other) return *this;
  DrawMode = other.DrawMode;
  CombineMode = other.CombineMode;
  MasterAlpha = other.MasterAlpha;
  OuterColor = other.OuterColor;
  StretchFilter = other.StretchFilter;
  width_ = other.width_;
  height_ = other.height_;
  pixels_ = std::move(other.pixels_);
  other.width_ = other.height_ = 0;
  other.pixels_.clear();
  return *this;
}

void TBitmap32::SetSize(int w, int h) {
  w = std::max(w, 0);
  h = std::max(h, 0);
  if (w == 0 || h == 0) w = h = 0;  // no pixels either way; keeps Empty() simple
  if (w == width_ && h == height_) return;
  std::vector<TColor32> fresh;
  fresh.resize(std::size_t(w) * std::size_t(h));
  pixels_.swap(fresh);
  width_ = w;
  height_ = h;
}

void TBitmap32::Clear(TColor32 c) { std::fill(pixels_.begin(), pixels_.end(), c); }

TColor32 TBitmap32::PixelS(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return OuterColor;
  return Pixel(x, y);
}

void TBitmap32::SetPixelS(int x, int y, TColor32 c) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  SetPixel(x, y, c);
}

void TBitmap32::FillRectS(const TRect& r, TColor32 c) {
  const TRect k = IntersectRect(r, BoundsRect());
  for (int y = k.Top; y < k.Bottom; ++y) std::fill(ScanLine(y) + k.Left, ScanLine(y) + k.Right, c);
}

void TBitmap32::FillRectTS(const TRect& r, TColor32 c) {
  const std::uint32_t a = c >> 24;
  if (a == 0) return;
  const TRect k = IntersectRect(r, BoundsRect());
  for (int y = k.Top; y < k.Bottom; ++y) {
    TColor32* row = ScanLine(y);
    for (int x = k.Left; x < k.Right; ++x) row[x] = blend::BlendOver(c, row[x], a);
  }
}

void TBitmap32::ResetAlpha(std::uint8_t a) {
  const TColor32 hi = TColor32(a) << 24;
  for (TColor32& p : pixels_) p = (p & 0x00FFFFFFu) | hi;
}

void TBitmap32::CombineRow(TColor32* dst, const TColor32* src, int n) const {
  if (DrawMode == dmOpaque) {
    std::memmove(dst, src, std::size_t(n) * sizeof(TColor32));
    return;
  }
  const std::uint32_t ma = MasterAlpha;
  if (ma == 0) return;
  if (CombineMode == cmMerge) {
    for (int i = 0; i < n; ++i) dst[i] = blend::MergeOver(src[i], dst[i], blend::SourceWeight(src[i], ma));
  } else {
    for (int i = 0; i < n; ++i) dst[i] = blend::BlendOver(src[i], dst[i], blend::SourceWeight(src[i], ma));
  }
}

void TBitmap32::DrawTo(TBitmap32& dst) const { DrawTo(dst, 0, 0); }

void TBitmap32::DrawTo(TBitmap32& dst, int x, int y) const {
  if (Empty() || dst.Empty()) return;
  if (DrawMode == dmBlend && MasterAlpha == 0) return;
  const TRect target = IntersectRect(TRect{x, y, x + width_, y + height_}, dst.BoundsRect());
  if (target.IsEmpty()) return;
  const int n = target.Width();
  if (&dst == this) {  // overlapping copy onto itself: go through a copy of the source
    TBitmap32 copy(*this);
    copy.DrawTo(dst, x, y);
    return;
  }
  for (int ty = target.Top; ty < target.Bottom; ++ty)
    CombineRow(dst.ScanLine(ty) + target.Left, ScanLine(ty - y) + (target.Left - x), n);
}

void TBitmap32::Draw(int x, int y, const TBitmap32& src) { src.DrawTo(*this, x, y); }

void TBitmap32::DrawTo(TBitmap32& dst, const TRect& dstRect) const {
  DrawTo(dst, dstRect, BoundsRect());
}

void TBitmap32::DrawTo(TBitmap32& dst, const TRect& dstRect, const TRect& srcRectIn) const {
  if (Empty() || dst.Empty() || dstRect.IsEmpty()) return;
  if (DrawMode == dmBlend && MasterAlpha == 0) return;
  const TRect srcRect = IntersectRect(srcRectIn, BoundsRect());
  if (srcRect.IsEmpty()) return;
  const TRect target = IntersectRect(dstRect, dst.BoundsRect());
  if (target.IsEmpty()) return;
  if (&dst == this) {
    TBitmap32 copy(*this);
    copy.DrawTo(dst, dstRect, srcRect);
    return;
  }
  TBitmap32 resampled;
  if (srcRect.Width() == dstRect.Width() && srcRect.Height() == dstRect.Height()) {
    // Same size: no resampling, just the visible part of srcRect.
    for (int ty = target.Top; ty < target.Bottom; ++ty)
      CombineRow(dst.ScanLine(ty) + target.Left,
                 ScanLine(srcRect.Top + ty - dstRect.Top) + srcRect.Left + (target.Left - dstRect.Left),
                 target.Width());
    return;
  }
  const TRect visible{target.Left - dstRect.Left, target.Top - dstRect.Top,
                      target.Right - dstRect.Left, target.Bottom - dstRect.Top};
  StretchResample(*this, srcRect, dstRect.Width(), dstRect.Height(), visible, StretchFilter,
                  resampled);
  for (int ty = target.Top; ty < target.Bottom; ++ty)
    CombineRow(dst.ScanLine(ty) + target.Left, resampled.ScanLine(ty - target.Top), target.Width());
}

void TBitmap32::FlipHorz() {
  for (int y = 0; y < height_; ++y) std::reverse(ScanLine(y), ScanLine(y) + width_);
}

void TBitmap32::FlipVert() {
  for (int y = 0, z = height_ - 1; y < z; ++y, --z)
    std::swap_ranges(ScanLine(y), ScanLine(y) + width_, ScanLine(z));
}

void TBitmap32::Assign(const TBitmap32& source) {
  if (&source == this) return;
  SetSize(source.width_, source.height_);
  std::copy(source.pixels_.begin(), source.pixels_.end(), pixels_.begin());
  DrawMode = source.DrawMode;
  CombineMode = source.CombineMode;
  MasterAlpha = source.MasterAlpha;
  OuterColor = source.OuterColor;
  StretchFilter = source.StretchFilter;
}

void TBitmap32::SwapPixels(TBitmap32& other) {
  std::swap(width_, other.width_);
  std::swap(height_, other.height_);
  pixels_.swap(other.pixels_);
}

TCanvas& TBitmap32::Canvas() {
  if (!canvas_) canvas_ = std::make_unique<TCanvas>(*this);
  return *canvas_;
}

void TBitmap32::DropCanvas() { canvas_.reset(); }

void TBitmap32::Textout(int x, int y, const std::string& text) {
  TCanvas& c = Canvas();
  const TBrushStyle keep = c.Brush.Style;
  c.Brush.Style = bsClear;
  c.TextOut(x, y, text);
  c.Brush.Style = keep;
}
int TBitmap32::TextWidth(const std::string& text) { return Canvas().TextWidth(text); }
int TBitmap32::TextHeight(const std::string& text) { return Canvas().TextHeight(text); }

// ---- affine transformation ----

void TAffineTransformation::Translate(double dx, double dy) {
  tx += dx;
  ty += dy;
}

void TAffineTransformation::Rotate(double degrees) {
  const double rad = degrees * std::numbers::pi / 180.0;
  const double cs = std::cos(rad), sn = std::sin(rad);
  // new = R * old with R = [[cs, sn], [-sn, cs]]
  const double na = cs * a + sn * c, nb = cs * b + sn * d, ntx = cs * tx + sn * ty;
  const double nc = -sn * a + cs * c, nd = -sn * b + cs * d, nty = -sn * tx + cs * ty;
  a = na;
  b = nb;
  c = nc;
  d = nd;
  tx = ntx;
  ty = nty;
}

void TAffineTransformation::Map(double x, double y, double& ox, double& oy) const {
  ox = a * x + b * y + tx;
  oy = c * x + d * y + ty;
}

bool TAffineTransformation::Invert(TAffineTransformation& out) const {
  const double det = a * d - b * c;
  if (std::fabs(det) < 1e-12) return false;
  out = *this;
  out.a = d / det;
  out.b = -b / det;
  out.c = -c / det;
  out.d = a / det;
  out.tx = -(out.a * tx + out.b * ty);
  out.ty = -(out.c * tx + out.d * ty);
  return true;
}

namespace {

inline TColor32 Bilinear(const TBitmap32& src, const TRect& sr, double sx, double sy) {
  const double fx0 = std::floor(sx), fy0 = std::floor(sy);
  int x0 = int(fx0), y0 = int(fy0);
  // 8-bit weights: a preimage a rounding error away from a pixel centre samples
  // exactly that pixel, so identity and quarter turns reproduce the picture.
  const std::uint32_t wx = std::uint32_t(std::lround((sx - fx0) * 256.0));
  const std::uint32_t wy = std::uint32_t(std::lround((sy - fy0) * 256.0));
  auto clampX = [&](int x) { return std::clamp(x, sr.Left, sr.Right - 1); };
  auto clampY = [&](int y) { return std::clamp(y, sr.Top, sr.Bottom - 1); };
  const int xa = clampX(x0), xb = clampX(x0 + 1), ya = clampY(y0), yb = clampY(y0 + 1);
  const TColor32 p00 = src.Pixel(xa, ya), p10 = src.Pixel(xb, ya);
  const TColor32 p01 = src.Pixel(xa, yb), p11 = src.Pixel(xb, yb);
  TColor32 out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const std::uint32_t c00 = (p00 >> shift) & 0xFF, c10 = (p10 >> shift) & 0xFF;
    const std::uint32_t c01 = (p01 >> shift) & 0xFF, c11 = (p11 >> shift) & 0xFF;
    const std::uint32_t top = c00 * (256 - wx) + c10 * wx;
    const std::uint32_t bot = c01 * (256 - wx) + c11 * wx;
    const std::uint32_t v = (top * (256 - wy) + bot * wy + 32768) >> 16;
    out |= std::min<std::uint32_t>(v, 255) << shift;
  }
  return out;
}

}  // namespace

void Transform(TBitmap32& dst, const TBitmap32& srcIn, const TAffineTransformation& t) {
  if (srcIn.Empty() || dst.Empty()) return;
  if (&dst == &srcIn) {
    TBitmap32 copy(srcIn);
    Transform(dst, copy, t);
    return;
  }
  const TBitmap32& src = srcIn;
  TRect sr = t.SrcRect.IsEmpty() ? src.BoundsRect() : IntersectRect(t.SrcRect, src.BoundsRect());
  if (sr.IsEmpty()) return;
  TAffineTransformation inv;
  if (!t.Invert(inv)) return;

  // Bounding box of the mapped source rectangle keeps the scan small.
  double minX = 1e300, minY = 1e300, maxX = -1e300, maxY = -1e300;
  const double cx[4] = {sr.Left - 0.5, sr.Right - 0.5, sr.Right - 0.5, sr.Left - 0.5};
  const double cy[4] = {sr.Top - 0.5, sr.Top - 0.5, sr.Bottom - 0.5, sr.Bottom - 0.5};
  for (int i = 0; i < 4; ++i) {
    double ox, oy;
    t.Map(cx[i], cy[i], ox, oy);
    minX = std::min(minX, ox);
    maxX = std::max(maxX, ox);
    minY = std::min(minY, oy);
    maxY = std::max(maxY, oy);
  }
  const TRect box = IntersectRect(
      TRect{int(std::floor(std::max(minX, -1.0))), int(std::floor(std::max(minY, -1.0))),
            int(std::ceil(std::min(maxX, double(dst.Width())))) + 1,
            int(std::ceil(std::min(maxY, double(dst.Height())))) + 1},
      dst.BoundsRect());
  if (box.IsEmpty()) return;

  const bool nearest = src.StretchFilter == sfNearest;
  const bool opaque = src.DrawMode == dmOpaque;
  if (!opaque && src.MasterAlpha == 0) return;
  const double loX = sr.Left - 0.5, hiX = sr.Right - 0.5;
  const double loY = sr.Top - 0.5, hiY = sr.Bottom - 0.5;
  for (int y = box.Top; y < box.Bottom; ++y) {
    TColor32* row = dst.ScanLine(y);
    for (int x = box.Left; x < box.Right; ++x) {
      double sx, sy;
      inv.Map(x, y, sx, sy);
      // Snap rounding noise so exact quarter turns hit pixel centres.
      const double rx = std::nearbyint(sx), ry = std::nearbyint(sy);
      if (std::fabs(sx - rx) < 1e-9) sx = rx;
      if (std::fabs(sy - ry) < 1e-9) sy = ry;
      if (sx < loX || sx >= hiX || sy < loY || sy >= hiY) continue;
      TColor32 c;
      if (nearest) {
        const int ix = std::clamp(int(std::floor(sx + 0.5)), sr.Left, sr.Right - 1);
        const int iy = std::clamp(int(std::floor(sy + 0.5)), sr.Top, sr.Bottom - 1);
        c = src.Pixel(ix, iy);
      } else {
        c = Bilinear(src, sr, sx, sy);
      }
      row[x] = opaque ? c : blend::Combine(c, row[x], src.MasterAlpha, src.CombineMode);
    }
  }
}

}  // namespace tessaro
