// ApplyPattern on a 4000 x 3000 main image with 24 x 24 cells (166 x 125 = 20,750 cells
// in one plain layer), with the cell signatures on one thread and on two. The figure
// to compare is the ratio of the two runs; "cells_per_second" counts built cells.
// Variants: with and without a progress receiver (the receiver batches the work so
// that messages are pumped between batches), and resampled (a 1600 x 1200 main image
// drawn into each cell through the spline filter) against the same-size copy.
//
//   build-bench/bench/bench_apply_pattern --benchmark_min_time=1
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>

#include "core/app_state.h"
#include "core/job_progress.h"
#include "bench/bench_support.h"
#include "core/random.h"
#include "engine/layers.h"

namespace tessaro {
namespace {

using bench::NoisePicture;

class CountingProgress final : public IJobProgress {
 public:
  void ProcessMessages() override { ++pumps; }
  std::int64_t pumps = 0;
};

std::unique_ptr<TAppState> MosaicState(int mainW, int mainH) {
  auto state = std::make_unique<TAppState>();
  TtsProject07& p = state->CurrentProject;
  p.MosaicWidth = 4000;
  p.MosaicHeight = 3000;
  p.CellWidth = 24;
  p.CellHeight = 24;
  p.Pattern.Layers[1].Enabled = 1;
  p.Pattern.Layers[1].HorzFactor = 1.0;
  p.Pattern.Layers[1].VertFactor = 1.0;
  state->MainImage = NoisePicture(mainW, mainH);
  return state;
}

// Args: threads, progress (0/1), main image width (height is 3/4 of it).
void BM_ApplyPattern(benchmark::State& bm) {
  const int threads = int(bm.range(0));
  const bool withProgress = bm.range(1) != 0;
  const int mainW = int(bm.range(2));
  auto state = MosaicState(mainW, mainW * 3 / 4);
  CountingProgress progress;
  for (auto _ : bm) {
    ApplyPattern(*state, withProgress ? &progress : nullptr, threads);
    benchmark::DoNotOptimize(state->CurrentProject.Layers[1].Cells.data());
  }
  const std::int64_t cells = state->CurrentProject.Layers[1].CellCount;
  if (cells != 166 * 125) bm.SkipWithError("unexpected cell count");
  bm.counters["cells"] = double(cells);
  bm.counters["cells_per_second"] =
      benchmark::Counter(double(cells) * double(bm.iterations()), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_ApplyPattern)
    ->ArgNames({"threads", "progress", "mainW"})
    ->Args({1, 1, 4000})
    ->Args({2, 1, 4000})
    ->Args({1, 0, 4000})
    ->Args({2, 0, 4000})
    ->Args({1, 1, 1600})
    ->Args({2, 1, 1600})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace tessaro

BENCHMARK_MAIN();
