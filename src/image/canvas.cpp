#include "image/canvas.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QString>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "image/halftone.h"

namespace tessaro {

void EnsureGuiApplication() {
  if (QGuiApplication::instance()) return;
  if (std::getenv("QT_QPA_PLATFORM") == nullptr && std::getenv("DISPLAY") == nullptr &&
      std::getenv("WAYLAND_DISPLAY") == nullptr)
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // Lives until the process ends, like every global object of the program.
  static int argc = 1;
  static char name[] = "tessaro";
  static char* argv[] = {name, nullptr};
  static QGuiApplication* app = new QGuiApplication(argc, argv);
  (void)app;
}

namespace {

QImage Wrap(TBitmap32& b) {
  return QImage(reinterpret_cast<uchar*>(b.Bits()), b.Width(), b.Height(), b.Width() * 4,
                QImage::Format_ARGB32);
}

QColor ToQColor(TCanvasColor c) { return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)); }

QFont ToQFont(const TFont& f) {
  QFont q(QString::fromStdString(f.Name));
  q.setPixelSize(f.Height > 0 ? f.Height : std::max(1, int(std::lround(f.Size * 96.0 / 72.0))));
  q.setBold(f.Bold);
  return q;
}

}  // namespace

TCanvas::TCanvas(TBitmap32& target) : bmp_(target) {}

TCanvasColor TCanvas::PixelColor(int x, int y) const {
  if (x < 0 || y < 0 || x >= bmp_.Width() || y >= bmp_.Height()) return 0;
  return Color32ToCanvas(bmp_.Pixel(x, y));
}

void TCanvas::SetPixelColor(int x, int y, TCanvasColor c) { bmp_.SetPixelS(x, y, CanvasToColor32(c)); }

void TCanvas::MoveTo(int x, int y) { penPos_ = {x, y}; }

void TCanvas::LineTo(int x, int y) {
  const TPoint from = penPos_;
  penPos_ = {x, y};
  if (Pen.Style == psClear || bmp_.Empty()) return;
  if (Pen.Width > 1) {
    QImage img = Wrap(bmp_);
    QPainter p(&img);
    QPen pen(ToQColor(Pen.Color));
    pen.setWidth(Pen.Width);
    pen.setStyle(Pen.Style == psDot ? Qt::DotLine : Qt::SolidLine);
    p.setPen(pen);
    p.drawLine(from.X, from.Y, x, y);
    return;
  }
  // Bresenham without the end point, so joined segments do not paint corners twice.
  const TColor32 c = CanvasToColor32(Pen.Color);
  int x0 = from.X, y0 = from.Y;
  const int dx = std::abs(x - x0), sx = x0 < x ? 1 : -1;
  const int dy = -std::abs(y - y0), sy = y0 < y ? 1 : -1;
  int err = dx + dy;
  int step = 0;
  while (!(x0 == x && y0 == y)) {
    if (Pen.Style != psDot || (step & 1) == 0) bmp_.SetPixelS(x0, y0, c);
    ++step;
    const int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x0 += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y0 += sy;
    }
  }
}

void TCanvas::Polyline(const std::vector<TPoint>& points) {
  if (points.empty()) return;
  MoveTo(points[0].X, points[0].Y);
  for (std::size_t i = 1; i < points.size(); ++i) LineTo(points[i].X, points[i].Y);
}

void TCanvas::Rectangle(const TRect& r) {
  if (r.IsEmpty()) return;
  if (Brush.Style != bsClear) bmp_.FillRectS(r, CanvasToColor32(Brush.Color));
  if (Pen.Style == psClear) return;
  const TPoint keep = penPos_;
  MoveTo(r.Left, r.Top);
  LineTo(r.Right - 1, r.Top);
  LineTo(r.Right - 1, r.Bottom - 1);
  LineTo(r.Left, r.Bottom - 1);
  LineTo(r.Left, r.Top);
  penPos_ = keep;
}

void TCanvas::Ellipse(const TRect& r) {
  if (r.IsEmpty() || bmp_.Empty()) return;
  QImage img = Wrap(bmp_);
  QPainter p(&img);
  if (Pen.Style == psClear) {
    p.setPen(Qt::NoPen);
  } else {
    QPen pen(ToQColor(Pen.Color));
    pen.setWidth(std::max(1, Pen.Width));
    p.setPen(pen);
  }
  if (Brush.Style == bsClear) p.setBrush(Qt::NoBrush);
  else p.setBrush(ToQColor(Brush.Color));
  p.drawEllipse(QRect(r.Left, r.Top, r.Width() - 1, r.Height() - 1));
}

void TCanvas::FillRect(const TRect& r) { bmp_.FillRectS(r, CanvasToColor32(Brush.Color)); }

void TCanvas::FrameRect(const TRect& r) {
  if (r.IsEmpty()) return;
  const TColor32 c = CanvasToColor32(Brush.Color);
  bmp_.FillRectS({r.Left, r.Top, r.Right, r.Top + 1}, c);
  bmp_.FillRectS({r.Left, r.Bottom - 1, r.Right, r.Bottom}, c);
  bmp_.FillRectS({r.Left, r.Top, r.Left + 1, r.Bottom}, c);
  bmp_.FillRectS({r.Right - 1, r.Top, r.Right, r.Bottom}, c);
}

void TCanvas::FloodFill(int x, int y, TCanvasColor c, TFillStyle style) {
  const int w = bmp_.Width(), h = bmp_.Height();
  if (x < 0 || y < 0 || x >= w || y >= h) return;
  const TColor32 fill = CanvasToColor32(Brush.Color);
  const std::uint32_t key = c & 0x00FFFFFF;
  // Colours compare without alpha: the canvas is a 24-bit surface.
  auto rgb = [](TColor32 p) { return Color32ToCanvas(p); };
  auto inside = [&](int px, int py) {
    const TCanvasColor v = rgb(bmp_.Pixel(px, py));
    return style == fsSurface ? v == key : v != key;
  };
  if (!inside(x, y)) return;
  if (style == fsSurface && rgb(fill) == key) return;  // nothing would change; avoid looping
  std::vector<std::uint8_t> seen(std::size_t(w) * std::size_t(h), 0);
  std::vector<TPoint> stack{{x, y}};
  while (!stack.empty()) {
    TPoint p = stack.back();
    stack.pop_back();
    if (seen[std::size_t(p.Y) * w + p.X] || !inside(p.X, p.Y)) continue;
    int l = p.X, r = p.X;
    while (l > 0 && !seen[std::size_t(p.Y) * w + l - 1] && inside(l - 1, p.Y)) --l;
    while (r < w - 1 && !seen[std::size_t(p.Y) * w + r + 1] && inside(r + 1, p.Y)) ++r;
    TColor32* row = bmp_.ScanLine(p.Y);
    for (int i = l; i <= r; ++i) {
      row[i] = fill;
      seen[std::size_t(p.Y) * w + i] = 1;
    }
    for (int ny : {p.Y - 1, p.Y + 1}) {
      if (ny < 0 || ny >= h) continue;
      bool run = false;
      for (int i = l; i <= r; ++i) {
        const bool ok = !seen[std::size_t(ny) * w + i] && inside(i, ny);
        if (ok && !run) stack.push_back({i, ny});
        run = ok;
      }
    }
  }
}

void TCanvas::TextOut(int x, int y, const std::string& text) {
  if (bmp_.Empty() || text.empty()) return;
  EnsureGuiApplication();
  QImage img = Wrap(bmp_);
  QPainter p(&img);
  const QFont f = ToQFont(Font);
  p.setFont(f);
  const QString s = QString::fromStdString(text);
  const QFontMetrics fm(f);
  if (Brush.Style != bsClear)
    p.fillRect(QRect(x, y, fm.horizontalAdvance(s), fm.height()), ToQColor(Brush.Color));
  p.setPen(ToQColor(Font.Color));
  p.drawText(x, y + fm.ascent(), s);
}

int TCanvas::TextWidth(const std::string& text) {
  EnsureGuiApplication();
  return QFontMetrics(ToQFont(Font)).horizontalAdvance(QString::fromStdString(text));
}

int TCanvas::TextHeight(const std::string& text) {
  (void)text;
  EnsureGuiApplication();
  return QFontMetrics(ToQFont(Font)).height();
}

void TCanvas::CopyRect(const TRect& dstRect, const TBitmap32& src, const TRect& srcRect) {
  if (&src == &bmp_) {
    TBitmap32 copy(src);
    HalftoneStretch(bmp_, dstRect, copy, srcRect);
    return;
  }
  HalftoneStretch(bmp_, dstRect, src, srcRect);
}

void TCanvas::StretchDraw(const TRect& dstRect, const TBitmap32& src) {
  CopyRect(dstRect, src, src.BoundsRect());
}

}  // namespace tessaro
