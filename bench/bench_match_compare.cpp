// MatchCompare evaluations per second: the plain loop, the vectorised function, and
// the prepared comparer the candidate search uses (one cell, many pictures).
//   build-bench/bench/bench_match_compare
// items_per_second is compares per second; each compare is four mirrored evaluations
// of 64 entries.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "engine/cell_compare.h"

namespace {

using namespace tessaro;

struct Inputs {
  std::vector<ImageSignature> Pictures;
  ImageSignature Cell;
  TCurveTable Curve;
  TMaskWeights Weights;
};

const Inputs& SharedInputs() {
  static const Inputs in = [] {
    Inputs r;
    std::mt19937 rng(42);
    std::uniform_int_distribution<int> byte(0, 255);
    auto fill = [&](ImageSignature& s) {
      auto c = [&] {
        return SignatureColor{std::uint8_t(byte(rng)), std::uint8_t(byte(rng)),
                              std::uint8_t(byte(rng)), std::uint8_t(byte(rng))};
      };
      s.Average = c();
      for (auto& e : s.Grid2) e = c();
      for (auto& e : s.Grid8) e = c();
    };
    r.Pictures.resize(4096);
    for (auto& p : r.Pictures) fill(p);
    fill(r.Cell);
    for (int v = 0; v < 256; ++v) r.Curve[v] = 255 - v / 2;
    for (auto& w : r.Weights) w = float(byte(rng)) / 255.0f;
    return r;
  }();
  return in;
}

const TMatchOptions kBothFlips{false, true, true, false};

void BM_MatchCompareReference(benchmark::State& state) {
  const Inputs& in = SharedInputs();
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(MatchCompareReference(in.Pictures[i++ & 4095], in.Cell, in.Curve,
                                                   in.Weights, kBothFlips));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MatchCompareReference);

void BM_MatchCompare(benchmark::State& state) {
  const Inputs& in = SharedInputs();
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        MatchCompare(in.Pictures[i++ & 4095], in.Cell, in.Curve, in.Weights, kBothFlips));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MatchCompare);

// Arg: the weights, and so the kernel: 0 mask greys / 255 (weighted integer), 1 an
// unmasked layer's all-1 weights (uniform integer), 2 tiny binary fractions (double).
void BM_MatchComparerPrepared(benchmark::State& state) {
  const Inputs& in = SharedInputs();
  TMaskWeights w = in.Weights;
  if (state.range(0) == 1) w.fill(1.0f);
  if (state.range(0) == 2)
    for (std::size_t k = 0; k < w.size(); ++k) w[k] = std::ldexp(1.0f + float(k) / 97.0f, -20);
  const TMatchComparer comparer(in.Cell, in.Curve, w, kBothFlips);
  std::size_t i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(comparer.Compare(in.Pictures[i++ & 4095]));
  state.SetItemsProcessed(state.iterations());
  state.SetLabel(comparer.Kernel() == TCompareKernel::Double            ? "double"
                 : comparer.Kernel() == TCompareKernel::UniformInteger ? "uniform integer"
                                                                        : "weighted integer");
}
BENCHMARK(BM_MatchComparerPrepared)->Arg(0)->Arg(1)->Arg(2);

void BM_MatchComparerFastMode(benchmark::State& state) {
  const Inputs& in = SharedInputs();
  const TMatchComparer comparer(in.Cell, in.Curve, in.Weights, {false, true, true, true});
  std::size_t i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(comparer.Compare(in.Pictures[i++ & 4095]));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MatchComparerFastMode);

// The project default: no flips, so the integer kernels sum only the upright mirror.
// Arg as above.
void BM_MatchComparerNoFlips(benchmark::State& state) {
  const Inputs& in = SharedInputs();
  TMaskWeights w = in.Weights;
  if (state.range(0) == 1) w.fill(1.0f);
  const TMatchComparer comparer(in.Cell, in.Curve, w, {false, false, false, false});
  std::size_t i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(comparer.Compare(in.Pictures[i++ & 4095]));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MatchComparerNoFlips)->Arg(0)->Arg(1);

}  // namespace

BENCHMARK_MAIN();
