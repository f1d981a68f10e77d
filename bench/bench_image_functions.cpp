// Image function throughput. Figures to compare are ratios within one run:
//   - signature of a 4000 x 3000 picture (halftone reduction to 64 x 64 plus the block
//     sums) against one plain pass that sums every byte of the same buffer;
//   - GreyBitmap / ShiftChannels over a 10000 x 10000 page, as bytes read + written
//     per second (counters "bytes_per_second" count both).
// Times are wall clock; the CPU column is the whole process's (worker threads
// included), which stays meaningful on a busy machine.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "bench/bench_support.h"
#include "core/random.h"
#include "image/halftone.h"
#include "image/ooimgfunction2007.h"

namespace tessaro {
namespace {

using bench::NoisePicture;

const TBitmap32& Photo() {
  static const TBitmap32 photo = NoisePicture(4000, 3000);
  return photo;
}

void BM_PlainByteSum(benchmark::State& state) {
  const TBitmap32& p = Photo();
  for (auto _ : state) {
    std::uint64_t sum = 0;
    for (int y = 0; y < p.Height(); ++y) {
      const auto* row = reinterpret_cast<const std::uint8_t*>(p.ScanLine(y));
      for (int x = 0; x < p.Width() * 4; ++x) sum += row[x];
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(state.iterations() * std::int64_t(p.Width()) * p.Height() * 4);
}
BENCHMARK(BM_PlainByteSum)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()
    ->UseRealTime();

void BM_HalftoneTo64(benchmark::State& state) {
  const TBitmap32& p = Photo();
  TBitmap32 out;
  for (auto _ : state) {
    HalftoneResize(p, out, 64, 64);
    benchmark::DoNotOptimize(out.Bits());
  }
  state.SetBytesProcessed(state.iterations() * std::int64_t(p.Width()) * p.Height() * 4);
}
BENCHMARK(BM_HalftoneTo64)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()
    ->UseRealTime();

void BM_ComputeSignature(benchmark::State& state) {
  const TBitmap32& p = Photo();
  ImageSignature s;
  for (auto _ : state) {
    ComputeSignature(p, s);
    benchmark::DoNotOptimize(s);
  }
  state.SetBytesProcessed(state.iterations() * std::int64_t(p.Width()) * p.Height() * 4);
}
BENCHMARK(BM_ComputeSignature)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()
    ->UseRealTime();

const TBitmap32& Page() {
  static const TBitmap32 page = NoisePicture(10000, 10000);
  return page;
}

// Page -> separate target (read src, write dst), then in place (read and write one page).
template <class Kernel>
void PageKernel(benchmark::State& state, const Kernel& kernel, bool inPlace) {
  // The target is sized (and its pages faulted in) before timing, so the figures are
  // the kernel's, not the allocator's.
  TBitmap32 work = Page();
  for (auto _ : state) {
    if (inPlace)
      kernel(work, work);
    else
      kernel(Page(), work);
    benchmark::DoNotOptimize(work.Bits());
  }
  state.SetBytesProcessed(state.iterations() * std::int64_t(10000) * 10000 * 4 * 2);
}

void BM_GreyBitmapPage(benchmark::State& state) {
  PageKernel(state, [](const TBitmap32& s, TBitmap32& d) { GreyBitmap(s, d, 1); },
             state.range(0) != 0);
}
BENCHMARK(BM_GreyBitmapPage)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("in_place")
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

void BM_ShiftChannelsPage(benchmark::State& state) {
  PageKernel(state, [](const TBitmap32& s, TBitmap32& d) { ShiftChannels(s, d, -12, 30, 5); },
             state.range(0) != 0);
}
BENCHMARK(BM_ShiftChannelsPage)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("in_place")
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

}  // namespace
}  // namespace tessaro

BENCHMARK_MAIN();
