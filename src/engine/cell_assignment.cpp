// The two assignment procedures and the single-cell operations they are made of.
#include "engine/cell_assignment.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "core/app_state.h"
#include "core/job_progress.h"
#include "engine/assignment_internal.h"
#include "engine/cell_compare.h"
#include "engine/layers.h"

namespace tessaro {

namespace assign_detail {

// ---- Worker pool ---------------------------------------------------------------------------

TWorkerPool::TWorkerPool(int threads) {
  for (int i = 1; i < threads; ++i) workers_.emplace_back([this] { Loop(); });
}

TWorkerPool::~TWorkerPool() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  for (std::thread& t : workers_) t.join();
}

void TWorkerPool::Run(std::int64_t n, std::int64_t chunk, TBody fn, const void* arg) {
  const TJob job{n, chunk, std::uint32_t((n + chunk - 1) / chunk), fn, arg};
  std::uint32_t generation;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    job_ = job;
    generation = ++generation_;
    completed_.store(0);
    next_.store(std::uint64_t(generation) << 32);
  }
  wake_.notify_all();
  Work(job, generation);
  std::unique_lock<std::mutex> lock(mutex_);
  done_.wait(lock, [&] { return completed_.load() >= job.Chunks; });
}

void TWorkerPool::Work(const TJob& job, std::uint32_t generation) {
  for (;;) {
    std::uint64_t v = next_.load();
    do {
      if (std::uint32_t(v >> 32) != generation || std::uint32_t(v) >= job.Chunks) return;
    } while (!next_.compare_exchange_weak(v, v + 1));
    const std::int64_t b = std::int64_t(std::uint32_t(v)) * job.Chunk;
    job.Fn(job.Arg, b, std::min(job.N, b + job.Chunk));
    if (completed_.fetch_add(1) + 1 == job.Chunks) {
      std::lock_guard<std::mutex> lock(mutex_);
      done_.notify_all();
    }
  }
}

void TWorkerPool::Loop() {
  std::uint32_t seen = 0;
  for (;;) {
    TJob job;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [&] { return stop_ || generation_ != seen; });
      if (stop_) return;
      seen = generation_;
      job = job_;
    }
    Work(job, seen);
  }
}

// ---- Context -------------------------------------------------------------------------------

TAssignContext::TAssignContext(TAppState& state, int threadCount)
    : State(state), Pool(std::clamp(threadCount, 1, kMaxAssignThreads)) {
  TtsProject07& project = state.CurrentProject;
  std::int64_t total = 0;
  for (int l = 1; l <= kLayerCount; ++l) {
    LayerStart[std::size_t(l)] = std::int32_t(total);
    LayerCells[std::size_t(l)] = ActiveCellCount(project, l, l);
    total += LayerCells[std::size_t(l)];
  }
  Cells.reserve(std::size_t(total));
  Free.reserve(std::size_t(total));
  TPoint lo{INT32_MAX, INT32_MAX}, hi{INT32_MIN, INT32_MIN};
  std::int64_t maxLimit = 0;
  for (int l = 1; l <= kLayerCount; ++l) {
    TMosaicCell* cells = project.Layers[std::size_t(l)].Cells.data();
    for (std::int32_t i = 0; i < LayerCells[std::size_t(l)]; ++i) {
      TMosaicCell& c = cells[i];
      Cells.push_back(TCellRef{&c, l, i});
      Free.push_back(c.Assigned == 0 ? 1 : 0);
      const TPoint p = CellCentre(c.Bounds);
      lo = TPoint{std::min(lo.X, p.X), std::min(lo.Y, p.Y)};
      hi = TPoint{std::max(hi.X, p.X), std::max(hi.Y, p.Y)};
      maxLimit = std::max(maxLimit, RepeatLimit(c, project.RepeatRadius));
    }
  }
  if (Cells.empty()) lo = hi = TPoint{0, 0};
  const std::int64_t reach =
      maxLimit >= INT32_MAX ? std::int64_t(1) << 33 : std::int64_t(std::sqrt(double(maxLimit))) + 1;
  Grid.Reset(lo, hi, reach, total);
  for (const TCellRef& r : Cells)
    if (r.Cell->Assigned == 1 && r.Cell->PictureIndex >= 0)
      Grid.Insert(CellCentre(r.Cell->Bounds), r.Cell->PictureIndex);
}

std::int32_t TAssignContext::GlobalNumber(int layer, int index) const {
  if (layer < 1 || layer > kLayerCount) return -1;
  if (index < 0 || index >= LayerCells[std::size_t(layer)]) return -1;
  return LayerStart[std::size_t(layer)] + index;
}

void TAssignContext::PrepareMatching() {
  if (!MatchLayers.empty()) return;
  const TMatchOptions options = MatchOptionsOf(State);
  MatchLayers.reserve(kLayerCount + 1);
  for (int l = 0; l <= kLayerCount; ++l)
    MatchLayers.emplace_back(State.CurrentProject.EnhanceCurve, LayerWeights(State, l), options);
  MatchCells.reserve(Cells.size());
  for (const TCellRef& r : Cells) MatchCells.emplace_back(r.Cell->Signature);
}

void TAssignContext::NoteAssigned(std::int32_t g, std::int32_t picture) {
  Free[std::size_t(g)] = 0;
  Grid.Insert(CellCentre(Cells[std::size_t(g)].Cell->Bounds), picture);
  if (Walking) Walk.Remove(g);
}

namespace {

constexpr std::int64_t kCellsPerChunk = 128;
// Below this many cells FindBestCell stays on the calling thread.
constexpr std::int64_t kParallelCells = 256;

// One more cell shows the picture. A count read from a file may be anything; it is
// recounted before the next search, and must not overflow meanwhile.
void CountUse(TAppState& state, std::int32_t picture) {
  std::int32_t& n = state.Library.LibImageInfos[std::size_t(picture)].UsageCount;
  if (n < INT32_MAX) ++n;
}

// ColorDiff* from the two averages (the picture's grey for each channel in mono mode)
// and the enhancement shifts from them.
void SetColourShifts(TMosaicCell& cell, const SignatureColor& picture,
                     const SignatureColor& cellAverage, const TtsProject07& project) {
  const bool mono = project.MonochromeCell != 0;
  cell.ColorDiffB = (mono ? picture.Grey : picture.B) - cellAverage.B;
  cell.ColorDiffG = (mono ? picture.Grey : picture.G) - cellAverage.G;
  cell.ColorDiffR = (mono ? picture.Grey : picture.R) - cellAverage.R;
  cell.EnhanceB = EnhanceShift(cell.ColorDiffB, project.EnhanceCurve);
  cell.EnhanceG = EnhanceShift(cell.ColorDiffG, project.EnhanceCurve);
  cell.EnhanceR = EnhanceShift(cell.ColorDiffR, project.EnhanceCurve);
}

std::string Fraction(std::int64_t a, std::int64_t b) {
  return std::to_string(a) + "/" + std::to_string(b);
}

int Percent(std::int64_t done, std::int64_t whole) {
  return whole > 0 ? int(done * 100 / whole) : 0;
}

}  // namespace

// ---- Single-cell operations ----------------------------------------------------------------

TCellLocation FindBestCellIn(TAssignContext* ctx, TAppState& state, int picture) {
  if (picture < 0 || picture >= MatchedPictureCount(state)) return {};
  TtsProject07& project = state.CurrentProject;
  const std::int64_t total = ctx ? std::int64_t(ctx->Cells.size()) : ActiveCellCount(project, 1, 7);
  const std::int64_t start = state.Rng.Random(int(total));
  if (total <= 0) return {};

  const ImageSignature& signature = state.Library.LibImageInfos[std::size_t(picture)].Signature;
  const TMatchOptions options = MatchOptionsOf(state);
  if (ctx) ctx->PrepareMatching();
  using TChunkBest = TAssignContext::TChunkBest;
  auto scan = [&](std::int64_t b, std::int64_t e, TChunkBest& best) {
    best = TChunkBest{kEmptyCandidateDifference, -1, -1};
    for (std::int64_t k = b; k < e; ++k) {
      std::int64_t g = start + k;
      if (g >= total) g -= total;
      const TMosaicCell* cell;
      int layer;
      if (ctx) {
        if (!ctx->Free[std::size_t(g)]) continue;
        cell = ctx->Cells[std::size_t(g)].Cell;
        layer = ctx->Cells[std::size_t(g)].Layer;
      } else {
        const TCellLocation loc = LocateCell(project, std::int32_t(g));
        cell = &project.Layers[std::size_t(loc.Layer)].Cells[std::size_t(loc.Index)];
        layer = loc.Layer;
        if (cell->Assigned != 0) continue;
      }
      if (best.FirstFree < 0) best.FirstFree = k;
      const std::int32_t d =
          ctx ? MatchCompare(signature, ctx->MatchCells[std::size_t(g)],
                             ctx->MatchLayers[std::size_t(layer)])
                    .Difference
              : MatchCompare(signature, cell->Signature, project.EnhanceCurve,
                             LayerWeights(state, layer), options)
                    .Difference;
      if (d < best.Difference) {
        best.Difference = d;
        best.K = k;
      }
    }
  };

  TChunkBest result{kEmptyCandidateDifference, -1, -1};
  auto merge = [&](const TChunkBest& c) {
    if (c.K >= 0 && c.Difference < result.Difference) {
      result.Difference = c.Difference;
      result.K = c.K;
    }
    if (result.FirstFree < 0) result.FirstFree = c.FirstFree;
  };
  if (ctx && total >= kParallelCells) {
    const std::int64_t chunks = (total + kCellsPerChunk - 1) / kCellsPerChunk;
    ctx->ChunkBest.resize(std::size_t(chunks));
    ctx->Pool.ForChunks(chunks, 1, [&](std::int64_t b, std::int64_t e) {
      for (std::int64_t c = b; c < e; ++c)
        scan(c * kCellsPerChunk, std::min(total, (c + 1) * kCellsPerChunk),
             ctx->ChunkBest[std::size_t(c)]);
    });
    for (std::int64_t c = 0; c < chunks; ++c) merge(ctx->ChunkBest[std::size_t(c)]);
  } else {
    TChunkBest all;
    scan(0, total, all);
    merge(all);
  }

  if (result.K >= 0) {
    std::int64_t g = start + result.K;
    if (g >= total) g -= total;
    return LocateCell(project, std::int32_t(g));
  }
  // No difference below the start value (only absurd weights can do that): the first
  // cell, as the loop leaves it, when it is free, else the first free cell visited.
  if (result.FirstFree < 0) return {};
  const TCellLocation first = LocateCell(project, 0);
  if (project.Layers[std::size_t(first.Layer)].Cells[std::size_t(first.Index)].Assigned == 0)
    return first;
  std::int64_t g = start + result.FirstFree;
  if (g >= total) g -= total;
  return LocateCell(project, std::int32_t(g));
}

void AssignPictureToBestCellIn(TAssignContext* ctx, TAppState& state, int picture) {
  const TCellLocation loc = FindBestCellIn(ctx, state, picture);
  if (!loc.Valid()) return;
  TtsProject07& project = state.CurrentProject;
  TMosaicCell& cell = project.Layers[std::size_t(loc.Layer)].Cells[std::size_t(loc.Index)];
  cell.PictureIndex = picture;
  cell.Assigned = 1;
  CountUse(state, picture);
  const ImageSignature fresh = ComputeCellSignature(state, cell.Bounds);
  SetColourShifts(cell, state.Library.LibImageInfos[std::size_t(picture)].Signature.Average,
                  fresh.Average, project);
  if (ctx) ctx->NoteAssigned(ctx->GlobalNumber(loc.Layer, loc.Index), picture);
}

TPictureChoice ChoosePictureIn(TAssignContext* ctx, TAppState& state, int layer, int index) {
  if (!CellAt(state, layer, index)) return {};
  const TCandidateList list = SearchCandidatesIn(ctx, state, layer, index, true);
  if (list.Count <= 0) return {};
  const int k = state.Rng.Random(std::min(list.Count, state.CurrentProject.RandomizeLevel));
  const TCandidate& c = list.Slots[std::size_t(k)];
  return TPictureChoice{c.PictureIndex, c.RotationAngle / 15, list.Count};
}

std::int32_t AssignBestPictureIn(TAssignContext* ctx, TAppState& state, int layer, int index) {
  TMosaicCell* cellPtr = CellAt(state, layer, index);
  if (!cellPtr) return -1;
  TMosaicCell& cell = *cellPtr;
  const TPictureChoice choice = ChoosePictureIn(ctx, state, layer, index);
  const std::int32_t p = choice.PictureIndex;
  cell.PictureIndex = p;
  // Without a picture there is nothing to record; a cell the caller left assigned
  // keeps its flag.
  if (p < 0) return choice.Count;
  cell.Assigned = 1;

  const TtsProject07& project = state.CurrentProject;
  const ImageSignature& signature = state.Library.LibImageInfos[std::size_t(p)].Signature;
  cell.RotationAngle = choice.RotationStep * 15;
  cell.CandidateCount = choice.Count;
  CountUse(state, p);
  SetColourShifts(cell, signature.Average, cell.Signature.Average, project);
  const CompareResult r = MatchCompare(signature, cell.Signature, project.EnhanceCurve,
                                       LayerWeights(state, layer), MatchOptionsOf(state));
  cell.MatchDifference = r.Difference;
  cell.FlipVert = r.FlipVert;
  cell.FlipHorz = r.FlipHorz;
  cell.PlainDifference = PlainCompare(signature, cell.Signature, cell.FlipHorz != 0,
                                      cell.FlipVert != 0, project.MonochromeCell != 0);
  if (ctx) {
    const std::int32_t g = ctx->GlobalNumber(layer, index);
    if (g >= 0) ctx->NoteAssigned(g, p);
  }
  return choice.Count;
}

// ---- Procedures ----------------------------------------------------------------------------

namespace {

void AssignByPictureIn(TAssignContext& ctx, IJobProgress* progress) {
  TAppState& state = ctx.State;
  TtsProject07& project = state.CurrentProject;
  const std::int64_t cells = std::int64_t(ctx.Cells.size());
  const std::int64_t pictures = MatchedPictureCount(state);

  std::int64_t rounds = project.UseAllPhotos ? 1 : 0;
  if (project.LimitRepeat && project.MinRepeatTimes > rounds) rounds = project.MinRepeatTimes;
  if (rounds * pictures > cells) rounds = cells / pictures;
  if (project.UseAllPhotos && cells < pictures) {
    rounds = 0;
    project.MaxRepeatTimes = 1;
  }

  std::int64_t done = 0;
  for (std::int64_t round = 0; round < rounds; ++round) {
    for (std::int32_t p = 0; p < pictures; ++p) {
      AssignPictureToBestCellIn(&ctx, state, p);
      ++done;
      if (progress) {
        progress->SetPercent(Percent(done, cells));
        progress->SetDetail(Fraction(done, cells));
        progress->ProcessMessages();
      }
    }
  }
}

void AssignByCellIn(TAssignContext& ctx, int firstLevel, int lastLevel, IJobProgress* progress) {
  TAppState& state = ctx.State;
  const TtsProject07& project = state.CurrentProject;
  const std::int64_t total = std::int64_t(ctx.Cells.size());
  std::int64_t assigned = AssignedCellCount(project, 1, 7);
  const std::int64_t remaining = total - assigned;
  std::int64_t done = 0;

  // The free cells by level, each level's in global order. Levels no cell has are
  // passed over: their count is 0.
  std::vector<std::pair<std::int32_t, std::int32_t>> byLevel;
  for (std::int32_t g = 0; g < std::int32_t(total); ++g)
    if (ctx.Free[std::size_t(g)]) byLevel.emplace_back(ctx.Cells[std::size_t(g)].Cell->PriorityLevel, g);
  std::sort(byLevel.begin(), byLevel.end());

  std::size_t i = 0;
  while (i < byLevel.size()) {
    const std::int32_t level = byLevel[i].first;
    std::size_t j = i;
    while (j < byLevel.size() && byLevel[j].first == level) ++j;
    if (level >= firstLevel && level <= lastLevel) {
      std::vector<std::int32_t> cells;
      cells.reserve(j - i);
      for (std::size_t k = i; k < j; ++k) cells.push_back(byLevel[k].second);
      ctx.Walk.Reset(std::move(cells));
      ctx.Walking = true;
      const std::int32_t visits = ctx.Walk.Count();
      for (std::int32_t v = 0; v < visits; ++v) {
        const std::int32_t r = state.Rng.Random(ctx.Walk.Count());
        const std::int32_t g = ctx.Walk.Take(r);
        if (g < 0) continue;
        const TCellRef& ref = ctx.Cells[std::size_t(g)];
        if (ref.Cell->Assigned != 0) continue;
        AssignBestPictureIn(&ctx, state, ref.Layer, ref.Index);
        ++done;
        ++assigned;
        if (progress) {
          progress->SetPercent(Percent(done, remaining));
          progress->SetDetail(Fraction(assigned, total));
          progress->ProcessMessages();
        }
      }
      ctx.Walking = false;
    }
    i = j;
  }
}

}  // namespace

}  // namespace assign_detail

// ---- Public forms ------------------------------------------------------------------------

void RenderLayers(TAppState& state, IJobProgress* progress, int threadCount) {
  int activeLayers = 0;
  for (int l = 1; l <= kLayerCount; ++l)
    activeLayers += state.CurrentProject.Layers[std::size_t(l)].Active ? 1 : 0;
  if (progress) {
    progress->Log("Active Layers count:" + std::to_string(activeLayers));
    progress->Log("Init Layers .............Done");
  }
  assign_detail::TAssignContext ctx(state, threadCount);
  if (progress) {
    progress->Log("1st Render Procedure. (CycleLib) ");
    progress->SetStep("Rendering 1st step");
  }
  assign_detail::AssignByPictureIn(ctx, progress);
  if (progress) {
    progress->Log("2nd Render Procedure. (CycleTile) ");
    progress->SetStep("Rendering 2nd step");
  }
  assign_detail::AssignByCellIn(ctx, 1, 9, progress);
  if (progress) progress->Log("Render Layers .............Done");
}

void AssignByPicture(TAppState& state, IJobProgress* progress, int threadCount) {
  assign_detail::TAssignContext ctx(state, threadCount);
  assign_detail::AssignByPictureIn(ctx, progress);
}

void AssignByCell(TAppState& state, int firstLevel, int lastLevel, IJobProgress* progress,
                  int threadCount) {
  assign_detail::TAssignContext ctx(state, threadCount);
  assign_detail::AssignByCellIn(ctx, firstLevel, lastLevel, progress);
}

void AssignPictureToBestCell(TAppState& state, int picture) {
  assign_detail::AssignPictureToBestCellIn(nullptr, state, picture);
}

TCellLocation FindBestCell(TAppState& state, int picture) {
  return assign_detail::FindBestCellIn(nullptr, state, picture);
}

std::int32_t AssignBestPicture(TAppState& state, int layer, int index) {
  return assign_detail::AssignBestPictureIn(nullptr, state, layer, index);
}

TPictureChoice ChoosePicture(TAppState& state, int layer, int index) {
  return assign_detail::ChoosePictureIn(nullptr, state, layer, index);
}

}  // namespace tessaro
