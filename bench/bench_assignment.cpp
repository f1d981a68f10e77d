// The whole assignment (RenderLayers) on synthetic signatures: random picture and
// cell signatures, a plain grid of 48-pixel cells over a small noise main image (the
// picture-order procedure takes a fresh signature of the main image per picture),
// the project's default settings. Arguments: pictures, cells, UseAllPhotos, threads;
// the rotation case has every angle enabled.
//
// Also the two costs the search is made of, for comparison: one TMatchComparer
// prepared per cell, and one MatchCompare that prepares the cell every time (what
// FindBestCell pays per free cell).
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <random>

#include "bench/bench_support.h"
#include "core/app_state.h"
#include "core/job_progress.h"
#include "engine/cell_assignment.h"
#include "engine/cell_compare.h"
#include "engine/layers.h"
#include "tests/support/signature_fixtures.h"

namespace tessaro {
namespace {

using testing_support::RandomSignature;

std::unique_ptr<TAppState> MakeState(int pictures, int cells, bool useAll, bool rotation) {
  auto state = std::make_unique<TAppState>();
  TtsProject07& p = state->CurrentProject;
  p.BuildCurveTables();
  p.UseAllPhotos = useAll ? 1 : 0;
  const int cols = int(std::sqrt(double(cells) * 4.0 / 3.0));
  const int rows = (cells + cols - 1) / cols;
  p.CellWidth = p.CellHeight = 48;
  p.MosaicWidth = cols * 48;
  p.MosaicHeight = rows * 48;
  state->MainImage = bench::NoisePicture(cols * 4, rows * 4);  // 16 pixels per cell

  std::mt19937 rng(2007);
  TTSLayer& layer = p.Layers[1];
  layer.Active = 1;
  layer.Cells.assign(std::size_t(cells), TMosaicCell{});
  layer.CellCount = cells;
  for (int i = 0; i < cells; ++i) {
    TMosaicCell& c = layer.Cells[std::size_t(i)];
    const int x = i % cols, y = i / cols;
    c.Bounds = TRect{x * 48, y * 48, x * 48 + 48, y * 48 + 48};
    c.Signature = RandomSignature(rng);
    c.PriorityLevel = 1;
    c.DivisionLevel = 9;
  }
  for (auto& w : state->LayerMaskWeights) w.fill(1.0f);

  state->Library.LibImageCount = pictures;
  for (int i = 0; i < pictures; ++i) state->Library.LibImageInfos[std::size_t(i)].Signature = RandomSignature(rng);
  if (rotation) {
    p.AllowRotation = 1;
    for (int j = 1; j < 24; ++j) p.RotationAngles[j] = 1;
    state->Library.LibDetailCount = std::min(pictures, kMaxRotatedPictures);
    for (int i = 0; i < state->Library.LibDetailCount; ++i)
      for (auto& r : state->Library.LibImageDetails[std::size_t(i)].Rotated) r = RandomSignature(rng);
  }
  state->Rng.Seed(1);
  return state;
}

void RunRender(benchmark::State& st, bool rotation, IJobProgress* progress = nullptr) {
  const int pictures = int(st.range(0)), cells = int(st.range(1));
  const bool useAll = st.range(2) != 0;
  const int threads = int(st.range(3));
  for (auto _ : st) {
    st.PauseTiming();
    auto state = MakeState(pictures, cells, useAll, rotation);
    st.ResumeTiming();
    RenderLayers(*state, progress, threads);
    benchmark::DoNotOptimize(state->CurrentProject.Layers[1].Cells.data());
  }
}

void BM_RenderLayers(benchmark::State& st) { RunRender(st, false); }
void BM_RenderLayersRotation(benchmark::State& st) { RunRender(st, true); }
// The same with a progress display that takes every text: the cost of the labels.
void BM_RenderLayersProgress(benchmark::State& st) {
  TSilentProgress progress;
  RunRender(st, false, &progress);
}

BENCHMARK(BM_RenderLayers)
    ->ArgNames({"pictures", "cells", "useAll", "threads"})
    ->ArgsProduct({{1000}, {1000}, {0, 1}, {1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);
BENCHMARK(BM_RenderLayers)
    ->ArgNames({"pictures", "cells", "useAll", "threads"})
    ->ArgsProduct({{5000}, {5000, 20000}, {0, 1}, {1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK(BM_RenderLayersRotation)
    ->ArgNames({"pictures", "cells", "useAll", "threads"})
    ->ArgsProduct({{1000}, {1000}, {0}, {1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

BENCHMARK(BM_RenderLayersProgress)
    ->ArgNames({"pictures", "cells", "useAll", "threads"})
    ->ArgsProduct({{1000}, {1000}, {1}, {1}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

void BM_PreparedCompare(benchmark::State& st) {
  std::mt19937 rng(5);
  const ImageSignature cell = RandomSignature(rng), picture = RandomSignature(rng);
  TCurveTable curve;
  curve.fill(200);
  TMaskWeights w;
  w.fill(1.0f);
  const TMatchComparer comparer(cell, curve, w, TMatchOptions{false, true, true, false});
  for (auto _ : st) benchmark::DoNotOptimize(comparer.Compare(picture));
}
BENCHMARK(BM_PreparedCompare);

void BM_UnpreparedCompare(benchmark::State& st) {
  std::mt19937 rng(5);
  const ImageSignature cell = RandomSignature(rng), picture = RandomSignature(rng);
  TCurveTable curve;
  curve.fill(200);
  TMaskWeights w;
  w.fill(1.0f);
  for (auto _ : st)
    benchmark::DoNotOptimize(MatchCompare(picture, cell, curve, w, TMatchOptions{false, true, true, false}));
}
BENCHMARK(BM_UnpreparedCompare);

void BM_ReferenceCompare(benchmark::State& st) {
  std::mt19937 rng(5);
  const ImageSignature cell = RandomSignature(rng), picture = RandomSignature(rng);
  TCurveTable curve;
  curve.fill(200);
  TMaskWeights w;
  w.fill(1.0f);
  for (auto _ : st)
    benchmark::DoNotOptimize(
        MatchCompareReference(picture, cell, curve, w, TMatchOptions{false, true, true, false}));
}
BENCHMARK(BM_ReferenceCompare);

}  // namespace
}  // namespace tessaro

BENCHMARK_MAIN();
