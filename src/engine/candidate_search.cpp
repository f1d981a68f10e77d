// The candidate search: the 100 best usable pictures of a cell, then the colour and
// shape thresholds. The distances are computed first, possibly on several threads,
// into one array in the serial visiting order; the slots are then filled from that
// array on the calling thread exactly as the serial loop fills them.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <utility>
#include <vector>

#include "core/app_state.h"
#include "engine/assignment_internal.h"
#include "engine/cell_assignment.h"
#include "engine/cell_compare.h"

namespace tessaro {

namespace assign_detail {

namespace {

constexpr std::int32_t kDisabledAngleDifference = 0x0FFFFFFF;
// Compares per chunk of work: large enough that claiming a chunk costs nothing,
// small enough that two threads finish together.
constexpr std::int64_t kComparesPerChunk = 96;
// Below this many compares a search stays on the calling thread.
constexpr std::int64_t kParallelCompares = 256;

// The best of picture u over the enabled angles (or upright without rotation); ties
// keep the smaller angle.
TCandidate Score(const TMatchComparer& comparer, const TAppState& state, std::int32_t u,
                 bool rotation, const std::uint8_t* angles) {
  TCandidate c;
  c.PictureIndex = u;
  if (!rotation) {
    const CompareResult r = comparer.Compare(state.Library.LibImageInfos[std::size_t(u)].Signature);
    c.Difference = r.Difference;
    c.FlipVert = r.FlipVert;
    c.FlipHorz = r.FlipHorz;
    return c;
  }
  const ImageSignature* rotated = state.Library.LibImageDetails[std::size_t(u)].Rotated;
  CompareResult best = comparer.Compare(rotated[0]);
  std::int32_t angle = 0;
  for (int j = 1; j < kRotationSteps; ++j) {
    const CompareResult t =
        angles[j] ? comparer.Compare(rotated[j]) : CompareResult{kDisabledAngleDifference, 0, 0};
    if (t.Difference < best.Difference) {
      best = t;
      angle = 15 * j;
    }
  }
  c.Difference = best.Difference;
  c.FlipVert = best.FlipVert;
  c.FlipHorz = best.FlipHorz;
  c.RotationAngle = angle;
  return c;
}

// The first slot with the largest Difference.
int WorstSlot(const TCandidateList& list) {
  int worst = 0;
  for (int s = 1; s < kCandidateSlots; ++s)
    if (list.Slots[s].Difference > list.Slots[worst].Difference) worst = s;
  return worst;
}

// Selection sort: for each position the first smallest of the rest is swapped in.
void SortSlots(TCandidateList& list) {
  for (int i = 0; i < kCandidateSlots; ++i) {
    int m = i;
    for (int j = i + 1; j < kCandidateSlots; ++j)
      if (list.Slots[j].Difference < list.Slots[m].Difference) m = j;
    if (m != i) std::swap(list.Slots[i], list.Slots[m]);
  }
}

int CountValid(const TCandidateList& list) {
  int n = 0;
  for (const TCandidate& c : list.Slots) n += c.PictureIndex >= 0 ? 1 : 0;
  return n;
}

void ApplyThresholds(TCandidateList& list, const TtsProject07& project, TMosaicCell& cell) {
  for (int s = 1; s < kCandidateSlots; ++s)
    if (list.Slots[s].MaxDeviation > project.ColorDiffSingle) list.Slots[s].PictureIndex = -1;
  for (int s = 1; s < kCandidateSlots; ++s)
    if (list.Slots[s].MeanDeviation > project.ColorDiffAverage) list.Slots[s].PictureIndex = -1;
  cell.ColorPassCount = CountValid(list);

  // Compact: an empty slot changes places with the next filled one after it.
  for (int j = 1; j < kCandidateSlots; ++j) {
    if (list.Slots[j].PictureIndex >= 0) continue;
    for (int k = j + 1; k < kCandidateSlots; ++k) {
      if (list.Slots[k].PictureIndex >= 0) {
        std::swap(list.Slots[j], list.Slots[k]);
        break;
      }
    }
  }

  // Beyond 2^20 the limit exceeds every 32-bit Difference already; the cap keeps the
  // square within 64 bits.
  const std::int64_t root = std::min<std::int64_t>(std::llabs(std::int64_t(project.ShapeDiff)), 1 << 20);
  const std::int64_t shape = root * root * 192;
  for (int s = 1; s < kCandidateSlots; ++s)
    if (list.Slots[s].Difference > shape) list.Slots[s].PictureIndex = -1;
}

}  // namespace

TCandidateList SearchCandidatesIn(TAssignContext* ctx, TAppState& state, int layer, int index,
                                  bool filtered) {
  TCandidateList list;
  TMosaicCell* cellPtr = CellAt(state, layer, index);
  if (!cellPtr) return list;
  TMosaicCell& cell = *cellPtr;
  const TtsProject07& project = state.CurrentProject;

  cell.UsablePictureCount = ComputeUsablePicturesIn(ctx, state, cell);
  const bool rotation = project.AllowRotation != 0;
  const std::int32_t n = MatchedPictureCount(state);
  const std::int32_t start = state.Rng.Random(n);

  // The visiting order, usable pictures only.
  std::vector<std::int32_t> localOrder;
  std::vector<std::int32_t>& order = ctx ? ctx->Order : localOrder;
  order.clear();
  order.reserve(std::size_t(n));
  const std::uint8_t* usable = state.UsablePictures.data();
  const LibImageInfo* infos = state.Library.LibImageInfos.data();
  const bool paletteOnly = project.PaletteMatchOnly != 0;
  const std::int32_t palette = cell.Signature.PaletteIndex;
  for (std::int32_t k = 0; k < n; ++k) {
    const std::int32_t u = start + k < n ? start + k : start + k - n;
    if (usable[u] != 1) continue;
    if (paletteOnly && infos[u].Signature.PaletteIndex != palette) continue;
    order.push_back(u);
  }

  const TMatchComparer comparer(cell.Signature, project.EnhanceCurve, LayerWeights(state, layer),
                                MatchOptionsOf(state));
  std::vector<TCandidate> localScores;
  std::vector<TCandidate>& scores = ctx ? ctx->Scores : localScores;
  scores.resize(order.size());
  const std::uint8_t* angles = project.RotationAngles;
  const std::int64_t perPicture = rotation ? kRotationSteps : 1;
  auto body = [&](std::int64_t b, std::int64_t e) {
    for (std::int64_t i = b; i < e; ++i)
      scores[std::size_t(i)] = Score(comparer, state, order[std::size_t(i)], rotation, angles);
  };
  const std::int64_t m = std::int64_t(order.size());
  if (ctx && m * perPicture >= kParallelCompares)
    ctx->Pool.ForChunks(m, std::max<std::int64_t>(kComparesPerChunk / perPicture, 1), body);
  else
    body(0, m);

  // The slots, in the serial order.
  const bool mono = project.MonochromeCell != 0;
  int worst = 0;
  for (std::int64_t i = 0; i < m; ++i) {
    const TCandidate& c = scores[std::size_t(i)];
    if (c.Difference >= list.Slots[worst].Difference) continue;
    TCandidate& slot = list.Slots[worst];
    slot = c;
    const TColorDeviation dev =
        ColorDeviation(cell.Signature.Average, infos[c.PictureIndex].Signature.Average, mono);
    slot.MeanDeviation = dev.Mean;
    slot.MaxDeviation = dev.Largest;
    worst = WorstSlot(list);
  }

  SortSlots(list);
  if (filtered) ApplyThresholds(list, project, cell);
  list.Count = CountValid(list);
  return list;
}

}  // namespace assign_detail

TCandidateList SearchCandidates(TAppState& state, int layer, int index, bool filtered) {
  return assign_detail::SearchCandidatesIn(nullptr, state, layer, index, filtered);
}

}  // namespace tessaro
