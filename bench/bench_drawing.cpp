// Drawing a page of assigned cells with DrawAllLayers, on one thread and on two.
//
//   BM_DrawPage: a 1600 x 1000 page of 33 x 28 = 924 cells (48 x 35 pixels) showing
//     200 JPEG pictures of 200 x 150, cropped to the cell aspect, with flips, colour
//     corrections, every tenth cell rotated, the default alpha curve (most cells are
//     blended with the main image); plain and with a round mask and a 2-pixel border.
//     "cells_per_second" counts drawn cells.
//   BM_DrawLargePage: one 10000 x 10000 page of 200 x 200 = 40,000 cells (50 x 50)
//     from 500 pictures, drawn once; "peak_rss_mib" is the process's peak resident
//     size afterwards (getrusage), the page alone being 381 MiB.
//
//   build-bench/bench/bench_drawing --benchmark_min_time=2
// The figure to compare is the ratio of the one- and two-thread runs.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "bench/bench_support.h"
#include "core/app_state.h"
#include "core/random.h"
#include "engine/layers.h"
#include "engine/mosaic_drawing.h"
#include "image/jpeg_codec.h"

namespace tessaro {
namespace {

using bench::TJpegFolder;
namespace fs = std::filesystem;

// A smooth two-way shading with a little noise: what a JPEG of a photograph costs to
// decode, unlike pure noise.
TBitmap32 Shaded(int w, int h, TRandom& rng) {
  TBitmap32 b(w, h);
  const int r0 = rng.Random(200), g0 = rng.Random(200), b0 = rng.Random(200);
  for (int y = 0; y < h; ++y) {
    TColor32* row = b.ScanLine(y);
    for (int x = 0; x < w; ++x) {
      const int n = rng.Random(9);
      row[x] = Color32(std::uint8_t(r0 + 50 * x / w + n), std::uint8_t(g0 + 50 * y / h + n),
                       std::uint8_t(b0 + 25 * (x + y) / (w + h) + n));
    }
  }
  return b;
}

TJpegFolder PictureFolder(int count) {
  return TJpegFolder("tessaro_bench_draw", count,
                     [](TRandom& rng) { return Shaded(200, 150, rng); });
}

TBitmap32 RoundMask(int size) {
  TBitmap32 m(size, size);
  const double c = (size - 1) / 2.0, r2 = c * c;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x)
      m.SetPixel(x, y, (x - c) * (x - c) + (y - c) * (y - c) <= r2 ? clWhite32 : clBlack32);
  return m;
}

// One plain layer of columns x rows cells over the mosaic, pictures drawn at random.
std::unique_ptr<TAppState> MosaicState(const TJpegFolder& pictures, int mosaicW, int mosaicH,
                                       int columns, int rows, bool masked) {
  auto state = std::make_unique<TAppState>();
  TtsProject07& p = state->CurrentProject;
  p.MosaicWidth = mosaicW;
  p.MosaicHeight = mosaicH;
  p.CellWidth = mosaicW / columns;
  p.CellHeight = mosaicH / rows;
  p.CropCell = 1;
  p.BorderSize = masked ? 2 : 0;
  p.BuildCurveTables();
  TRandom rng(7);
  state->MainImage = Shaded(std::max(400, mosaicW / 10), std::max(250, mosaicH / 10), rng);
  PrepareMainImage(*state);
  state->RenderCellImgList = pictures.List();
  TTSLayer& layer = p.Layers[1];
  layer.Active = 1;
  if (masked) {
    layer.Pattern.HasMask = 1;
    layer.MaskBitmap = RoundMask(64);
  }
  const int count = int(pictures.List().size());
  for (int row = 0; row < rows; ++row)
    for (int col = 0; col < columns; ++col) {
      TMosaicCell cell;
      cell.Bounds = MakeRect(col * p.CellWidth, row * p.CellHeight, (col + 1) * p.CellWidth,
                             (row + 1) * p.CellHeight);
      cell.Signature = ComputeCellSignature(*state, cell.Bounds);
      cell.PictureIndex = rng.Random(count);
      cell.Assigned = 1;
      cell.FlipHorz = std::uint8_t(rng.Random(2));
      cell.EnhanceR = rng.Random(41) - 20;
      cell.EnhanceG = rng.Random(41) - 20;
      cell.RotationAngle = rng.Random(10) == 0 ? 90 : 0;
      layer.Cells.push_back(cell);
    }
  layer.CellCount = std::int32_t(layer.Cells.size());
  state->OutputBitmap.SetSize(mosaicW, mosaicH);
  return state;
}

double PeakRssMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return double(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

// Args: threads, masked (0/1).
void BM_DrawPage(benchmark::State& bm) {
  static const TJpegFolder pictures = PictureFolder(200);
  const int threads = int(bm.range(0));
  auto state = MosaicState(pictures, 1600, 1000, 33, 28, bm.range(1) != 0);
  const TRect page = MakeRect(0, 0, 1600, 1000);
  for (auto _ : bm) {
    state->OutputBitmap.Clear(clBlack32);
    DrawAllLayers(*state, page, nullptr, threads);
    benchmark::DoNotOptimize(state->OutputBitmap.Bits());
  }
  const double cells = double(state->CurrentProject.Layers[1].CellCount);
  bm.counters["cells"] = cells;
  bm.counters["cells_per_second"] =
      benchmark::Counter(cells * double(bm.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DrawPage)
    ->ArgNames({"threads", "masked"})
    ->Args({1, 0})
    ->Args({2, 0})
    ->Args({1, 1})
    ->Args({2, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_DrawLargePage(benchmark::State& bm) {
  static const TJpegFolder pictures = PictureFolder(500);
  auto state = MosaicState(pictures, 10000, 10000, 200, 200, false);
  const TRect page = MakeRect(0, 0, 10000, 10000);
  for (auto _ : bm) {
    state->OutputBitmap.Clear(clBlack32);
    DrawAllLayers(*state, page, nullptr, int(bm.range(0)));
    benchmark::DoNotOptimize(state->OutputBitmap.Bits());
  }
  bm.counters["cells"] = double(state->CurrentProject.Layers[1].CellCount);
  bm.counters["peak_rss_mib"] = PeakRssMiB();
}
BENCHMARK(BM_DrawLargePage)
    ->ArgNames({"threads"})
    ->Arg(2)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace tessaro

BENCHMARK_MAIN();
