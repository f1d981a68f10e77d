// The halftone resampler on the two sizes that matter: a library thumbnail (about
// 200 x 150, reduced for its signature once per picture) and a camera photo.
#include <benchmark/benchmark.h>

#include "bench/bench_support.h"
#include "image/halftone.h"

namespace {

void BM_HalftoneTo64(benchmark::State& state) {
  const tessaro::TBitmap32 src = tessaro::bench::NoisePicture(int(state.range(0)), int(state.range(1)), 5);
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
