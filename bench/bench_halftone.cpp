// The halftone resampler on the two sizes that matter: a library thumbnail (about
// 200 x 150, reduced for its signature once per picture) and a camera photo.
#include <benchmark/benchmark.h>

#include "core/random.h"
#include "image/halftone.h"

namespace {

tessaro::TBitmap32 Noise(int w, int h) {
  tessaro::TBitmap32 b(w, h);
  tessaro::TRandom rnd(5);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.SetPixel(x, y, rnd.Next32() | 0xFF000000u);
  return b;
}

void BM_HalftoneTo64(benchmark::State& state) {
  const tessaro::TBitmap32 src = Noise(int(state.range(0)), int(state.range(1)));
  tessaro::TBitmap32 dst;
  for (auto _ : state) {
    tessaro::HalftoneResize(src, dst, 64, 64);
    benchmark::DoNotOptimize(dst.Bits());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_HalftoneTo64)->Args({200, 150})->Args({4000, 3000})->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
