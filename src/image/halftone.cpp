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
  int i0 = 0, i1 = 0;            // first and last source index, relative to the rect
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

// Horizontal pass of one source row into per-column, per-channel coverage-weighted
// sums (total weight sw per column; fits 32 bits for any width below 16 million).
// Two shapes of the same sums: for strong reductions a column's inner pixels are
// plainly added (weight d each); for mild ones, or enlargements, every source pixel
// is split between the at most two columns it touches, which avoids a loop set-up
// per column of three pixels.
class RowSummer {
 public:
  RowSummer(int sw, int dw) : dw_(dw), spans_(MakeSpans(sw, dw)) {
    perPixel_ = sw < 8 * dw && sw >= dw;
    if (perPixel_) {
      col_.resize(std::size_t(sw));
      wa_.resize(std::size_t(sw));
      wb_.resize(std::size_t(sw));
      for (int x = 0; x < sw; ++x) {
        // Source pixel x covers [x * dw, (x + 1) * dw); column j covers [j * sw, ...).
        const std::int64_t a = std::int64_t(x) * dw, b = a + dw;
        const int j = int(a / sw);
        const std::int64_t split = std::int64_t(j + 1) * sw;
        col_[std::size_t(x)] = j;
        if (b <= split) {
          wa_[std::size_t(x)] = std::uint32_t(dw);
          wb_[std::size_t(x)] = 0;
        } else {
          wa_[std::size_t(x)] = std::uint32_t(split - a);
          wb_[std::size_t(x)] = std::uint32_t(b - split);
        }
      }
    }
  }

  // out holds 4 * (dw + 1) values; the extra column takes the zero-weight spill of the
  // last source pixel.
  std::size_t OutSize() const { return std::size_t(dw_ + 1) * 4; }

  void Sum(const TColor32* row, std::uint32_t* out) const {
    const std::uint8_t* p = reinterpret_cast<const std::uint8_t*>(row);
    if (perPixel_) {
      // Four channels as one vector: the compiler keeps a column's sums in a register
      // pair and the weights are applied lane-wise.
      using V4 = std::uint32_t __attribute__((vector_size(16)));
      V4* o = reinterpret_cast<V4*>(out);
      const std::size_t cols = std::size_t(dw_) + 1;
      for (std::size_t j = 0; j < cols; ++j) o[j] = V4{0, 0, 0, 0};
      const std::size_t n = col_.size();
      for (std::size_t x = 0; x < n; ++x) {
        const std::uint8_t* q = p + 4 * x;
        const V4 v = {q[0], q[1], q[2], q[3]};
        V4* oc = o + col_[x];
        oc[0] += v * wa_[x];
        oc[1] += v * wb_[x];
      }
      return;
    }
    const std::uint32_t dw = std::uint32_t(dw_);
    for (std::size_t j = 0; j < spans_.size(); ++j) {
      const Span& sp = spans_[j];
      const std::uint8_t* q = p + std::size_t(sp.i0) * 4;
      std::uint32_t s0 = q[0] * sp.w0, s1 = q[1] * sp.w0, s2 = q[2] * sp.w0, s3 = q[3] * sp.w0;
      if (sp.i0 != sp.i1) {
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

 private:
  int dw_;
  std::vector<Span> spans_;
  bool perPixel_ = false;
  std::vector<int> col_;
  std::vector<std::uint32_t> wa_, wb_;
};

// Exact floor(x / d) for the fixed divisor of one resampling: a 64-bit hardware
// division per channel would cost more than all the summing of a thumbnail. For x
// below 2^32, m = ceil(2^32 / d) gives x * m / 2^32 within one above x / d, mended by
// one comparison; larger x go through a floating reciprocal and the same mending.
struct Divider {
  std::uint64_t d = 1;
  std::uint64_t m = 0;
  double inv = 1.0;
  explicit Divider(std::uint64_t divisor)
      : d(divisor), m(((std::uint64_t(1) << 32) + divisor - 1) / divisor), inv(1.0 / double(divisor)) {}
  std::uint32_t operator()(std::uint64_t x) const {
    std::uint64_t q;
    if (x < (std::uint64_t(1) << 32)) {
      q = (x * m) >> 32;
      if (q * d > x) --q;
      return std::uint32_t(q);
    }
    q = std::uint64_t(double(x) * inv);
    if (q * d > x) --q;
    else if ((q + 1) * d <= x) ++q;
    return std::uint32_t(q);
  }
};

struct Job {
  const TBitmap32* src;
  TRect sr;
  int dw, dh;
  std::vector<Span> ys;
  const RowSummer* summer;
  std::uint64_t total;  // sw * sh: the weight of every destination pixel
};

// Destination rows [k0, k1) of the dw x dh result, written into out (rows relative to
// vis.Top, columns to vis.Left). Acc is the accumulator type: 32 bits suffice when
// 255 * sw * sh does.
template <typename Acc>
void RunRows(const Job& job, int k0, int k1, TBitmap32& out, const TRect& vis) {
  const std::size_t n = std::size_t(job.dw) * 4;
  // The last source row of one destination row is usually the first of the next (and
  // the same row serves many destination rows when enlarging): keep it.
  // operator new aligns to 16 bytes, as the vector summing needs.
  std::vector<std::uint32_t> h(job.summer->OutSize());
  int cached = -1;
  std::vector<Acc> acc(n);
  const Acc dhw = Acc(job.dh);
  const std::uint64_t half = job.total / 2;
  const Divider div(job.total);
  for (int k = k0; k < k1; ++k) {
    const Span& sp = job.ys[std::size_t(k)];
    std::fill(acc.begin(), acc.end(), Acc(0));
    for (int i = sp.i0; i <= sp.i1; ++i) {
      const Acc w = (sp.i0 == sp.i1) ? Acc(sp.w0) : (i == sp.i0 ? Acc(sp.w0) : (i == sp.i1 ? Acc(sp.w1) : dhw));
      if (i != cached) {
        job.summer->Sum(job.src->ScanLine(job.sr.Top + i) + job.sr.Left, h.data());
        cached = i;
      }
      const std::uint32_t* hp = h.data();
      Acc* ap = acc.data();
      for (std::size_t c = 0; c < n; ++c) ap[c] += w * Acc(hp[c]);
    }
    TColor32* orow = out.ScanLine(k - vis.Top);
    for (int j = vis.Left; j < vis.Right; ++j) {
      const Acc* a = &acc[std::size_t(j) * 4];
      const TColor32 b = div(std::uint64_t(a[0]) + half);
      const TColor32 g = div(std::uint64_t(a[1]) + half);
      const TColor32 r = div(std::uint64_t(a[2]) + half);
      const TColor32 al = div(std::uint64_t(a[3]) + half);
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

  const RowSummer summer(srcRect.Width(), dstRect.Width());
  Job job{&src, srcRect, dstRect.Width(), dstRect.Height(), MakeSpans(srcRect.Height(), dstRect.Height()),
          &summer, std::uint64_t(srcRect.Width()) * std::uint64_t(srcRect.Height())};

  const TRect vis{target.Left - dstRect.Left, target.Top - dstRect.Top,
                  target.Right - dstRect.Left, target.Bottom - dstRect.Top};
  TBitmap32 local;
  // Writing straight into dst is safe unless dst is src (its pixels are still read).
  const bool direct = &dst != &src && vis.Width() == dst.Width() && target.Left == 0;
  TBitmap32& out = direct ? dst : local;
  if (!direct) local.SetSize(vis.Width(), vis.Height());
  // Offsets of out's rows: when writing into dst directly, row k - vis.Top lands on
  // dst row target.Top + (k - vis.Top).
  auto run = [&](int k0, int k1) {
    if (direct) {
      // Shift vis so that ScanLine(k - shifted.Top) is dst row target.Top + k - vis.Top.
      TRect shifted = vis;
      shifted.Top = vis.Top - target.Top;
      if (job.total * 255 <= 0xFFFFFFFFull) RunRows<std::uint32_t>(job, k0, k1, out, shifted);
      else RunRows<std::uint64_t>(job, k0, k1, out, shifted);
    } else {
      if (job.total * 255 <= 0xFFFFFFFFull) RunRows<std::uint32_t>(job, k0, k1, out, vis);
      else RunRows<std::uint64_t>(job, k0, k1, out, vis);
    }
  };
  // Each destination row only reads the source, so two row bands give exactly the
  // serial result. Worth a thread only when there is real work.
  const std::uint64_t work = job.total * std::uint64_t(vis.Height()) / std::uint64_t(job.dh);
  if (work >= (std::uint64_t(1) << 21) && vis.Height() >= 2 && std::thread::hardware_concurrency() > 1) {
    const int mid = vis.Top + vis.Height() / 2;
    std::thread t([&] { run(vis.Top, mid); });
    run(mid, vis.Bottom);
    t.join();
  } else {
    run(vis.Top, vis.Bottom);
  }
  if (!direct)
    for (int y = 0; y < local.Height(); ++y)
      std::copy(local.ScanLine(y), local.ScanLine(y) + local.Width(), dst.ScanLine(target.Top + y) + target.Left);
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
