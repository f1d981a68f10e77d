#include "image/halftone.h"

#include <algorithm>
#include <thread>
#include <vector>

namespace tessaro {

namespace {

// Source span of one destination column or row in exact integer coverage units:
// destination pixel j covers [j * s, (j + 1) * s) and source pixel i covers
// [i * d, (i + 1) * d), where s and d are the source and destination lengths.
// The first and last source pixels are partly covered (w0, w1); the ones between
// are covered by d each.
struct Span {
  int i0 = 0, i1 = 0;          // first and last source index, relative to the rect
  std::uint32_t w0 = 0, w1 = 0;  // coverage of i0 and i1 (w1 unused when i0 == i1)
};

std::vector<Span> MakeSpans(int s, int d) {
  std::vector<Span> spans(static_cast<std::size_t>(d));
  for (int j = 0; j < d; ++j) {
    const std::int64_t start = std::int64_t(j) * s, end = start + s;
    Span sp;
    sp.i0 = int(start / d);
    sp.i1 = int((end - 1) / d);
    if (sp.i0 == sp.i1) {
      sp.w0 = std::uint32_t(s);
    } else {
      sp.w0 = std::uint32_t(std::int64_t(sp.i0 + 1) * d - start);
      sp.w1 = std::uint32_t(end - std::int64_t(sp.i1) * d);
    }
    spans[std::size_t(j)] = sp;
  }
  return spans;
}

// Horizontal pass of one source row: per destination column and channel, the
// coverage-weighted sum (total weight sw per column; fits 32 bits for any width
// below 16 million).
void SumRow(const TColor32* row, const std::vector<Span>& xs, std::uint32_t dw,
            std::uint32_t* out) {
  const std::uint8_t* p = reinterpret_cast<const std::uint8_t*>(row);
  for (std::size_t j = 0; j < xs.size(); ++j) {
    const Span& sp = xs[j];
    std::uint32_t s0, s1, s2, s3;
    const std::uint8_t* q = p + std::size_t(sp.i0) * 4;
    if (sp.i0 == sp.i1) {
      s0 = q[0] * sp.w0;
      s1 = q[1] * sp.w0;
      s2 = q[2] * sp.w0;
      s3 = q[3] * sp.w0;
    } else {
      s0 = q[0] * sp.w0;
      s1 = q[1] * sp.w0;
      s2 = q[2] * sp.w0;
      s3 = q[3] * sp.w0;
      std::uint32_t m0 = 0, m1 = 0, m2 = 0, m3 = 0;
      const std::uint8_t* e = p + std::size_t(sp.i1) * 4;
      for (const std::uint8_t* r = q + 4; r < e; r += 4) {
        m0 += r[0];
        m1 += r[1];
        m2 += r[2];
        m3 += r[3];
      }
      s0 += m0 * dw + e[0] * sp.w1;
      s1 += m1 * dw + e[1] * sp.w1;
      s2 += m2 * dw + e[2] * sp.w1;
      s3 += m3 * dw + e[3] * sp.w1;
    }
    out[4 * j + 0] = s0;
    out[4 * j + 1] = s1;
    out[4 * j + 2] = s2;
    out[4 * j + 3] = s3;
  }
}

struct Job {
  const TBitmap32* src;
  TRect sr;
  int dw, dh;
  std::vector<Span> xs, ys;
  std::uint64_t total;  // sw * sh: the weight of every destination pixel
};

// Destination rows [k0, k1) of the dw x dh result into out rows (relative to 0).
void RunRows(const Job& job, int k0, int k1, TBitmap32& out, const TRect& vis) {
  const std::size_t n = std::size_t(job.dw) * 4;
  std::vector<std::uint32_t> h(n);
  std::vector<std::uint64_t> acc(n);
  const std::uint32_t dw = std::uint32_t(job.dw), dhw = std::uint32_t(job.dh);
  const std::uint64_t half = job.total / 2;
  for (int k = k0; k < k1; ++k) {
    const Span& sp = job.ys[std::size_t(k)];
    std::fill(acc.begin(), acc.end(), 0);
    for (int i = sp.i0; i <= sp.i1; ++i) {
      const std::uint64_t w = (sp.i0 == sp.i1) ? sp.w0 : (i == sp.i0 ? sp.w0 : (i == sp.i1 ? sp.w1 : dhw));
      SumRow(job.src->ScanLine(job.sr.Top + i) + job.sr.Left, job.xs, dw, h.data());
      for (std::size_t c = 0; c < n; ++c) acc[c] += w * h[c];
    }
    if (k < vis.Top || k >= vis.Bottom) continue;
    TColor32* orow = out.ScanLine(k - vis.Top);
    for (int j = vis.Left; j < vis.Right; ++j) {
      const std::uint64_t* a = &acc[std::size_t(j) * 4];
      const TColor32 b = TColor32((a[0] + half) / job.total);
      const TColor32 g = TColor32((a[1] + half) / job.total);
      const TColor32 r = TColor32((a[2] + half) / job.total);
      const TColor32 al = TColor32((a[3] + half) / job.total);
      orow[j - vis.Left] = (al << 24) | (r << 16) | (g << 8) | b;
    }
  }
}

}  // namespace

void HalftoneStretch(TBitmap32& dst, const TRect& dstRect, const TBitmap32& src,
                     const TRect& srcRect) {
  if (dstRect.IsEmpty() || srcRect.IsEmpty() || dst.Empty() || src.Empty()) return;
  if (srcRect.Left < 0 || srcRect.Top < 0 || srcRect.Right > src.Width() ||
      srcRect.Bottom > src.Height())
    return;
  const TRect target = IntersectRect(dstRect, dst.BoundsRect());
  if (target.IsEmpty()) return;

  Job job{&src, srcRect, dstRect.Width(), dstRect.Height(), {}, {}, 0};
  job.xs = MakeSpans(srcRect.Width(), job.dw);
  job.ys = MakeSpans(srcRect.Height(), job.dh);
  job.total = std::uint64_t(srcRect.Width()) * std::uint64_t(srcRect.Height());

  const TRect vis{target.Left - dstRect.Left, target.Top - dstRect.Top,
                  target.Right - dstRect.Left, target.Bottom - dstRect.Top};
  TBitmap32 out(vis.Width(), vis.Height());
  // Each destination row only reads the source, so two row bands give exactly the
  // serial result.
  const std::uint64_t work = std::uint64_t(srcRect.Width()) * std::uint64_t(srcRect.Height() /
      std::max(1, job.dh) + 1) * std::uint64_t(vis.Height());
  if (work >= (1u << 20) && vis.Height() >= 2 && std::thread::hardware_concurrency() > 1) {
    const int mid = vis.Top + vis.Height() / 2;
    std::thread t([&] { RunRows(job, vis.Top, mid, out, vis); });
    RunRows(job, mid, vis.Bottom, out, vis);
    t.join();
  } else {
    RunRows(job, vis.Top, vis.Bottom, out, vis);
  }
  for (int y = 0; y < out.Height(); ++y)
    std::copy(out.ScanLine(y), out.ScanLine(y) + out.Width(), dst.ScanLine(target.Top + y) + target.Left);
}

void HalftoneResize(const TBitmap32& src, TBitmap32& dst, int w, int h) {
  if (src.Empty() || w <= 0 || h <= 0) return;
  if (&src == &dst) {
    TBitmap32 copy(src);
    HalftoneResize(copy, dst, w, h);
    return;
  }
  dst.SetSize(w, h);
  HalftoneStretch(dst, dst.BoundsRect(), src, src.BoundsRect());
}

}  // namespace tessaro
