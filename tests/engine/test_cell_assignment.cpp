// Cell assignment: the two procedures on small hand-made layouts with known answers,
// the thresholds and repeat rules, the recorded cell fields, bad input, and the fast
// procedures against a plain test-local rendition of the algorithm on random layouts,
// on one thread and on two.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/job_progress.h"
#include "engine/assignment_internal.h"
#include "engine/cell_assignment.h"
#include "engine/cell_compare.h"
#include "engine/layers.h"
#include "layer_fixtures.h"
#include "support/signature_fixtures.h"

namespace tessaro {
namespace {

using engine_testing::SameCells;

using testing_support::Colour;
using testing_support::Uniform;

ImageSignature Grey(int v) { return Uniform(Colour(v, v, v)); }

// Few palette codes, so the palette rule bites.
ImageSignature RandomSignature(std::mt19937& rng) { return testing_support::RandomSignature(rng, 4); }

// Settings under which nothing but the difference decides: no repeat rule, no
// threshold, no shift, the best candidate always taken.
void PermissiveProject(TtsProject07& p) {
  p.UseAllPhotos = 0;
  p.LimitRepeat = 0;
  p.MinRepeatTimes = 0;
  p.MaxRepeatTimes = 400;
  p.RepeatRadius = 0;
  p.RandomizeLevel = 1;
  p.PaletteMatchOnly = 0;
  p.AllowRotation = 0;
  p.MonochromeCell = 0;
  p.AllowHorizontalFlip = 0;
  p.AllowVerticalFlip = 0;
  p.ColorDiffAverage = 255;
  p.ColorDiffSingle = 255;
  p.ShapeDiff = 255;
  p.EnhanceCurve.fill(0);
}

// Layer 1: a plain grid of cols x rows cells of edge pixels, every cell grey 128 at
// level 1; weights of every layer 1.0; no main image (fresh signatures are black).
std::unique_ptr<TAppState> GridState(int cols, int rows, int edge = 48) {
  auto state = std::make_unique<TAppState>();
  TtsProject07& p = state->CurrentProject;
  PermissiveProject(p);
  p.MosaicWidth = cols * edge;
  p.MosaicHeight = rows * edge;
  p.CellWidth = p.CellHeight = edge;
  TTSLayer& layer = p.Layers[1];
  layer.Active = 1;
  layer.Cells.assign(std::size_t(cols * rows), TMosaicCell{});
  layer.CellCount = cols * rows;
  for (int i = 0; i < cols * rows; ++i) {
    TMosaicCell& c = layer.Cells[std::size_t(i)];
    const int x = i % cols, y = i / cols;
    c.Bounds = TRect{x * edge, y * edge, x * edge + edge, y * edge + edge};
    c.Signature = Grey(128);
    c.PriorityLevel = 1;
    c.DivisionLevel = 9;
  }
  for (auto& w : state->LayerMaskWeights) w.fill(1.0f);
  state->Rng.Seed(11);
  return state;
}

void SetPictures(TAppState& state, const std::vector<ImageSignature>& pictures) {
  state.Library.LibImageCount = std::int32_t(pictures.size());
  for (std::size_t i = 0; i < pictures.size(); ++i) {
    state.Library.LibImageInfos[i].Signature = pictures[i];
    state.Library.LibImageInfos[i].UsageCount = 0;
  }
}

// n pictures grey 0, 1, 2, ...: every picture differs from every other.
std::vector<ImageSignature> GreyRamp(int n, int first = 0) {
  std::vector<ImageSignature> v;
  for (int i = 0; i < n; ++i) v.push_back(Grey((first + i) % 256));
  return v;
}

TMosaicCell& Cell(TAppState& s, int layer, int index) {
  return s.CurrentProject.Layers[std::size_t(layer)].Cells[std::size_t(index)];
}

std::vector<TMosaicCell>& Cells(TAppState& s, int layer = 1) {
  return s.CurrentProject.Layers[std::size_t(layer)].Cells;
}

int CountAssigned(TAppState& s, int layer = 1) {
  int n = 0;
  for (const TMosaicCell& c : Cells(s, layer)) n += c.Assigned == 1 ? 1 : 0;
  return n;
}

// Pictures each in how many assigned cells of layer 1.
std::vector<int> UsesPerPicture(TAppState& s, int pictures) {
  std::vector<int> uses(std::size_t(pictures), 0);
  for (const TMosaicCell& c : Cells(s))
    if (c.Assigned == 1 && c.PictureIndex >= 0 && c.PictureIndex < pictures) ++uses[c.PictureIndex];
  return uses;
}

std::vector<int> SlotPictures(const TCandidateList& list) {
  std::vector<int> v;
  for (int i = 0; i < list.Count; ++i) v.push_back(list.Slots[std::size_t(i)].PictureIndex);
  return v;
}

class TLogProgress : public IJobProgress {
 public:
  void SetStep(const std::string& t) override { Events.push_back("step:" + t); }
  void SetDetail(const std::string& t) override { Events.push_back("detail:" + t); }
  void SetPercent(int p) override { Events.push_back("percent:" + std::to_string(p)); }
  void Log(const std::string& t) override { Events.push_back("log:" + t); }
  void ProcessMessages() override { Events.push_back("pump"); }
  std::vector<std::string> Events;
};

// ---- The plain rendition of the algorithm ------------------------------------------------
//
// Written from the description, one step after the other, with linear scans
// everywhere and the worst slot searched anew for every picture. It keeps the fast
// code's sound readings of bad input (64-bit radius limit, pictures beyond the count
// not counted, no free cell leaves a picture unplaced, the rotated pictures are the
// ones placed by picture order) so that both can be compared on any layout.
namespace plain {

void Recount(TAppState& s) {
  for (auto& info : s.Library.LibImageInfos) info.UsageCount = 0;
  const TtsProject07& p = s.CurrentProject;
  for (int l = 1; l <= 7; ++l) {
    if (!p.Layers[l].Active) continue;
    for (const TMosaicCell& c : p.Layers[l].Cells)
      if (c.Assigned == 1 && c.PictureIndex >= 0 && c.PictureIndex < s.Library.LibImageCount)
        s.Library.LibImageInfos[std::size_t(c.PictureIndex)].UsageCount += 1;
  }
}

int ComputeUsable(TAppState& s, const TMosaicCell& cell) {
  const TtsProject07& p = s.CurrentProject;
  std::fill(s.UsablePictures.begin(), s.UsablePictures.end(), 1);
  const std::int64_t t =
      std::int64_t(DistSq({cell.Bounds.Left, cell.Bounds.Top}, {cell.Bounds.Right, cell.Bounds.Bottom})) *
      p.RepeatRadius;
  const TPoint centre = CellCentre(cell.Bounds);
  for (int l = 1; l <= 7; ++l) {
    if (!p.Layers[l].Active) continue;
    for (const TMosaicCell& c : p.Layers[l].Cells)
      if (c.Assigned == 1 && DistSq(CellCentre(c.Bounds), centre) <= t && c.PictureIndex >= 0)
        s.UsablePictures[std::size_t(c.PictureIndex)] = 0;
  }
  Recount(s);
  if (p.LimitRepeat)
    for (int i = 0; i < s.Library.LibImageCount; ++i)
      if (s.Library.LibImageInfos[std::size_t(i)].UsageCount + 1 > p.MaxRepeatTimes)
        s.UsablePictures[std::size_t(i)] = 0;
  int n = 0;
  for (int i = 0; i < s.Library.LibImageCount; ++i) n += s.UsablePictures[std::size_t(i)] == 1;
  return n;
}

const TMaskWeights& Weights(TAppState& s, int layer) {
  static TMaskWeights full = [] {
    TMaskWeights w;
    w.fill(1.0f);
    return w;
  }();
  return layer <= 6 ? s.LayerMaskWeights[std::size_t(layer)] : full;
}

CompareResult Match(TAppState& s, const ImageSignature& pic, const TMosaicCell& cell, int layer) {
  const TtsProject07& p = s.CurrentProject;
  return MatchCompare(pic, cell.Signature, p.EnhanceCurve, Weights(s, layer),
                      TMatchOptions{p.MonochromeCell != 0, p.AllowHorizontalFlip != 0,
                                    p.AllowVerticalFlip != 0, s.Library.FastModeRendering != 0});
}

TCandidateList Search(TAppState& s, int layer, int index, bool filtered) {
  TtsProject07& p = s.CurrentProject;
  TMosaicCell& cell = Cell(s, layer, index);
  cell.UsablePictureCount = ComputeUsable(s, cell);
  const int n = p.AllowRotation ? s.Library.LibDetailCount : s.Library.LibImageCount;
  const int start = s.Rng.Random(n);
  TCandidateList list;
  for (int k = 0; k < n; ++k) {
    const int u = (start + k) % n;
    if (s.UsablePictures[std::size_t(u)] != 1) continue;
    const LibImageInfo& info = s.Library.LibImageInfos[std::size_t(u)];
    if (p.PaletteMatchOnly && info.Signature.PaletteIndex != cell.Signature.PaletteIndex) continue;
    CompareResult r = Match(s, info.Signature, cell, layer);
    int angle = 0;
    if (p.AllowRotation) {
      const LibImageDetail& d = s.Library.LibImageDetails[std::size_t(u)];
      r = Match(s, d.Rotated[0], cell, layer);
      for (int j = 1; j < 24; ++j) {
        const CompareResult t =
            p.RotationAngles[j] ? Match(s, d.Rotated[j], cell, layer) : CompareResult{0x0FFFFFFF, 0, 0};
        if (t.Difference < r.Difference) {
          r = t;
          angle = 15 * j;
        }
      }
    }
    int worst = 0;
    for (int j = 0; j < 100; ++j)
      if (list.Slots[j].Difference > list.Slots[worst].Difference) worst = j;
    if (r.Difference < list.Slots[worst].Difference) {
      const TColorDeviation dev = ColorDeviation(cell.Signature.Average, info.Signature.Average,
                                                 p.MonochromeCell != 0);
      list.Slots[worst] = TCandidate{r.Difference, r.FlipVert, r.FlipHorz, angle, u, dev.Mean,
                                     dev.Largest};
    }
  }
  for (int i = 0; i < 100; ++i) {
    int m = i;
    for (int j = i + 1; j < 100; ++j)
      if (list.Slots[j].Difference < list.Slots[m].Difference) m = j;
    std::swap(list.Slots[i], list.Slots[m]);
  }
  if (filtered) {
    for (int j = 1; j < 100; ++j)
      if (list.Slots[j].MaxDeviation > p.ColorDiffSingle) list.Slots[j].PictureIndex = -1;
    for (int j = 1; j < 100; ++j)
      if (list.Slots[j].MeanDeviation > p.ColorDiffAverage) list.Slots[j].PictureIndex = -1;
    cell.ColorPassCount = 0;
    for (int j = 0; j < 100; ++j) cell.ColorPassCount += list.Slots[j].PictureIndex >= 0;
    for (int j = 1; j < 100; ++j) {
      if (list.Slots[j].PictureIndex >= 0) continue;
      for (int k = j + 1; k < 100; ++k)
        if (list.Slots[k].PictureIndex >= 0) {
          std::swap(list.Slots[j], list.Slots[k]);
          break;
        }
    }
    for (int j = 1; j < 100; ++j)
      if (list.Slots[j].Difference > std::int64_t(p.ShapeDiff) * p.ShapeDiff * 192)  // |ShapeDiff| small here
        list.Slots[j].PictureIndex = -1;
  }
  list.Count = 0;
  for (int j = 0; j < 100; ++j) list.Count += list.Slots[j].PictureIndex >= 0;
  return list;
}

void Shifts(TAppState& s, TMosaicCell& cell, const SignatureColor& pic, const SignatureColor& avg) {
  const bool mono = s.CurrentProject.MonochromeCell != 0;
  cell.ColorDiffB = (mono ? pic.Grey : pic.B) - avg.B;
  cell.ColorDiffG = (mono ? pic.Grey : pic.G) - avg.G;
  cell.ColorDiffR = (mono ? pic.Grey : pic.R) - avg.R;
  const TCurveTable& curve = s.CurrentProject.EnhanceCurve;
  cell.EnhanceB = cell.ColorDiffB * curve[std::size_t(std::abs(cell.ColorDiffB))] / 255;
  cell.EnhanceG = cell.ColorDiffG * curve[std::size_t(std::abs(cell.ColorDiffG))] / 255;
  cell.EnhanceR = cell.ColorDiffR * curve[std::size_t(std::abs(cell.ColorDiffR))] / 255;
}

int AssignBest(TAppState& s, int layer, int index) {
  const TCandidateList list = Search(s, layer, index, true);
  int p = -1, step = 0;
  if (list.Count > 0) {
    const int k = s.Rng.Random(std::min(list.Count, s.CurrentProject.RandomizeLevel));
    p = list.Slots[k].PictureIndex;
    step = list.Slots[k].RotationAngle / 15;
  }
  TMosaicCell& cell = Cell(s, layer, index);
  cell.PictureIndex = p;
  if (p < 0) return -1;
  cell.Assigned = 1;
  const ImageSignature& sig = s.Library.LibImageInfos[std::size_t(p)].Signature;
  cell.RotationAngle = step * 15;
  cell.CandidateCount = list.Count;
  s.Library.LibImageInfos[std::size_t(p)].UsageCount += 1;
  Shifts(s, cell, sig.Average, cell.Signature.Average);
  const CompareResult r = Match(s, sig, cell, layer);
  cell.MatchDifference = r.Difference;
  cell.FlipVert = r.FlipVert;
  cell.FlipHorz = r.FlipHorz;
  cell.PlainDifference =
      PlainCompare(sig, cell.Signature, r.FlipHorz, r.FlipVert, s.CurrentProject.MonochromeCell != 0);
  return list.Count;
}

void AssignByPicture(TAppState& s) {
  TtsProject07& p = s.CurrentProject;
  const int cells = ActiveCellCount(p, 1, 7);
  const int pictures = p.AllowRotation ? s.Library.LibDetailCount : s.Library.LibImageCount;
  int rounds = p.UseAllPhotos ? 1 : 0;
  if (p.LimitRepeat && p.MinRepeatTimes > rounds) rounds = p.MinRepeatTimes;
  if (rounds * pictures > cells) rounds = cells / pictures;
  if (p.UseAllPhotos && cells < pictures) {
    rounds = 0;
    p.MaxRepeatTimes = 1;
  }
  for (int r = 0; r < rounds; ++r)
    for (int pic = 0; pic < pictures; ++pic) {
      const int total = ActiveCellCount(p, 1, 7);
      const int start = s.Rng.Random(total);
      int best = 99999999, bestG = -1;
      for (int k = 0; k < total; ++k) {
        const int g = (start + k) % total;
        const TCellLocation loc = LocateCell(p, g);
        const TMosaicCell& c = Cell(s, loc.Layer, loc.Index);
        if (c.Assigned) continue;
        const int d = Match(s, s.Library.LibImageInfos[std::size_t(pic)].Signature, c, loc.Layer).Difference;
        if (d < best) {
          best = d;
          bestG = g;
        }
      }
      if (bestG < 0) continue;  // no free cell
      const TCellLocation loc = LocateCell(p, bestG);
      TMosaicCell& c = Cell(s, loc.Layer, loc.Index);
      c.PictureIndex = pic;
      c.Assigned = 1;
      s.Library.LibImageInfos[std::size_t(pic)].UsageCount += 1;
      Shifts(s, c, s.Library.LibImageInfos[std::size_t(pic)].Signature.Average,
             ComputeCellSignature(s, c.Bounds).Average);
    }
}

void AssignByCell(TAppState& s, int first, int last) {
  TtsProject07& p = s.CurrentProject;
  for (int level = first; level <= last; ++level) {
    const int n = CountUnassignedAtLevel(p, 1, 7, level);
    for (int v = 0; v < n; ++v) {
      const int r = s.Rng.Random(CountUnassignedAtLevel(p, 1, 7, level));
      int skipped = 0;
      TCellLocation taken;
      for (int g = 0; g < ActiveCellCount(p, 1, 7); ++g) {
        const TCellLocation loc = LocateCell(p, g);
        const TMosaicCell& c = Cell(s, loc.Layer, loc.Index);
        if (c.PriorityLevel != level || c.Assigned != 0) continue;
        if (skipped++ == r) {
          taken = loc;
          break;
        }
      }
      if (taken.Valid() && !Cell(s, taken.Layer, taken.Index).Assigned)
        AssignBest(s, taken.Layer, taken.Index);
    }
  }
}

}  // namespace plain

// ---- Random layouts ------------------------------------------------------------------------

struct TLayoutSize {
  int Columns, Rows, Pictures, Details;  // Details > 0: rotation on with that many
};

// A random but reproducible project: a grid on layer 1, a finer shifted grid on
// layer 2, an inactive layer 3 with cells, a few pen cells on layer 7; some cells
// already assigned (some with pictures beyond the count, some without a picture),
// levels including 10 and -1, random weights and settings.
std::unique_ptr<TAppState> RandomLayout(std::uint32_t seed, const TLayoutSize& size) {
  std::mt19937 rng(seed);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  auto state = GridState(size.Columns, size.Rows, 48);
  TtsProject07& p = state->CurrentProject;
  state->MainImage = engine_testing::Noise(p.MosaicWidth, p.MosaicHeight, seed);

  auto addLayer = [&](int l, bool active, int count, int edge) {
    TTSLayer& layer = p.Layers[std::size_t(l)];
    layer.Active = active ? 1 : 0;
    layer.Cells.assign(std::size_t(count), TMosaicCell{});
    layer.CellCount = count;
    for (TMosaicCell& c : layer.Cells) {
      const int x = pick(-edge / 2, p.MosaicWidth - edge / 2), y = pick(-edge / 2, p.MosaicHeight - edge / 2);
      c.Bounds = TRect{x, y, x + edge, y + edge};
    }
  };
  addLayer(2, pick(0, 3) != 0, size.Columns * size.Rows / 3, 24);
  addLayer(3, false, 5, 48);
  addLayer(7, true, pick(0, 4), 48);

  const int levels[] = {1, 1, 1, 1, 2, 2, 3, 9, 10, -1};
  for (int l : {1, 2, 3, 7})
    for (TMosaicCell& c : Cells(*state, l)) {
      // Some cells look alike, so that equal differences must be settled by the order.
      const std::size_t at = std::size_t(&c - Cells(*state, l).data());
      c.Signature = at > 0 && pick(0, 4) == 0 ? Cells(*state, l)[std::size_t(pick(0, int(at) - 1))].Signature
                                              : RandomSignature(rng);
      c.PriorityLevel = levels[pick(0, 9)];
      const int kind = pick(0, 19);
      if (kind == 0) {  // placed before, possibly with a picture the list no longer has
        c.Assigned = 1;
        c.PictureIndex = pick(0, size.Pictures + 3);
      } else if (kind == 1) {  // marked without a picture
        c.Assigned = 1;
        c.PictureIndex = -1;
      } else if (kind == 2) {  // a stale picture on a free cell
        c.PictureIndex = pick(0, size.Pictures - 1);
      }
    }
  for (auto& w : state->LayerMaskWeights)
    for (float& v : w) v = float(pick(0, 1000)) / 1000.0f;

  std::vector<ImageSignature> pictures;
  for (int i = 0; i < size.Pictures; ++i)
    pictures.push_back(i > 0 && pick(0, 9) == 0 ? pictures[std::size_t(pick(0, i - 1))]
                                                : RandomSignature(rng));  // some ties
  SetPictures(*state, pictures);
  if (size.Details > 0) {
    p.AllowRotation = 1;
    state->Library.LibDetailCount = size.Details;
    for (int i = 0; i < size.Details; ++i)
      for (int j = 0; j < 24; ++j)
        state->Library.LibImageDetails[std::size_t(i)].Rotated[j] =
            j == 0 || pick(0, 5) ? RandomSignature(rng) : pictures[std::size_t(i)];
    for (int j = 1; j < 24; ++j) p.RotationAngles[j] = std::uint8_t(pick(0, 2) != 0);
  }

  p.UseAllPhotos = std::uint8_t(pick(0, 1));
  p.LimitRepeat = std::uint8_t(pick(0, 1));
  p.MinRepeatTimes = pick(0, 3);
  p.MaxRepeatTimes = pick(1, 4);
  const int radii[] = {0, 1, 1, 2, 5, -1, 1000000};
  p.RepeatRadius = radii[pick(0, 6)];
  const int randomize[] = {0, 1, 3, 10, 200, -4};
  p.RandomizeLevel = randomize[pick(0, 5)];
  p.PaletteMatchOnly = std::uint8_t(pick(0, 4) == 0);
  p.MonochromeCell = std::uint8_t(pick(0, 3) == 0);
  p.AllowHorizontalFlip = std::uint8_t(pick(0, 1));
  p.AllowVerticalFlip = std::uint8_t(pick(0, 1));
  p.ColorDiffAverage = pick(-5, 120);
  p.ColorDiffSingle = pick(-5, 160);
  p.ShapeDiff = pick(-60, 90);
  p.EnhanceCurvePoints = kDefaultEnhanceCurvePoints;
  p.BuildCurveTables();
  state->Library.FastModeRendering = std::uint8_t(pick(0, 5) == 0);
  state->Rng.Seed(seed * 7919u + 1);
  return state;
}

::testing::AssertionResult SameOutcome(TAppState& a, TAppState& b) {
  for (int l = 1; l <= 7; ++l) {
    const auto r = SameCells(Cells(a, l), Cells(b, l));
    if (!r) return ::testing::AssertionFailure() << "layer " << l << ": " << r.message();
  }
  for (std::size_t i = 0; i < a.Library.LibImageInfos.size(); ++i)
    if (a.Library.LibImageInfos[i].UsageCount != b.Library.LibImageInfos[i].UsageCount)
      return ::testing::AssertionFailure() << "UsageCount of picture " << i;
  if (a.CurrentProject.MaxRepeatTimes != b.CurrentProject.MaxRepeatTimes)
    return ::testing::AssertionFailure() << "MaxRepeatTimes";
  if (a.UsablePictures != b.UsablePictures) return ::testing::AssertionFailure() << "UsablePictures";
  if (TRandom(a.Rng).Next32() != TRandom(b.Rng).Next32()) return ::testing::AssertionFailure() << "random draws";
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult SameList(const TCandidateList& a, const TCandidateList& b) {
  if (a.Count != b.Count) return ::testing::AssertionFailure() << a.Count << " vs " << b.Count;
  for (int i = 0; i < kCandidateSlots; ++i) {
    const TCandidate& x = a.Slots[std::size_t(i)];
    const TCandidate& y = b.Slots[std::size_t(i)];
    if (x.Difference != y.Difference || x.FlipVert != y.FlipVert || x.FlipHorz != y.FlipHorz ||
        x.RotationAngle != y.RotationAngle || x.PictureIndex != y.PictureIndex ||
        x.MeanDeviation != y.MeanDeviation || x.MaxDeviation != y.MaxDeviation)
      return ::testing::AssertionFailure() << "slot " << i;
  }
  return ::testing::AssertionSuccess();
}

const TLayoutSize kLayouts[] = {
    {6, 5, 12, 0}, {8, 6, 30, 0}, {5, 4, 40, 0}, {10, 8, 25, 0}, {7, 7, 20, 12},
    {4, 3, 3, 0},  {9, 9, 60, 0}, {6, 6, 18, 18},
    // Big enough that both the search and FindBestCell split their work.
    {20, 16, 300, 0}, {18, 15, 40, 40}};

TEST(CellAssignment, ProceduresEqualThePlainAlgorithmOnOneThreadAndTwo) {
  std::uint32_t seed = 1;
  for (const TLayoutSize& size : kLayouts) {
    const int repeats = size.Columns * size.Rows > 200 ? 1 : 3;
    for (int repeat = 0; repeat < repeats; ++repeat, ++seed) {
      SCOPED_TRACE("seed " + std::to_string(seed));
      auto expected = RandomLayout(seed, size);
      plain::AssignByPicture(*expected);
      plain::AssignByCell(*expected, 1, 9);
      for (int threads : {1, 2}) {
        SCOPED_TRACE("threads " + std::to_string(threads));
        auto actual = RandomLayout(seed, size);
        RenderLayers(*actual, nullptr, threads);
        EXPECT_TRUE(SameOutcome(*expected, *actual));
      }
    }
  }
}

TEST(CellAssignment, ProceduresCalledSeparatelyEqualThePlainAlgorithm) {
  // AssignByPicture alone, then AssignByCell over a part of the levels, each with its
  // own structures built from the cells the other left.
  const struct {
    int first, last;
  } ranges[] = {{1, 1}, {2, 9}, {-1, 10}, {3, 2}, {INT32_MIN, INT32_MAX}};
  std::uint32_t seed = 100;
  for (const auto& range : ranges) {
    for (const TLayoutSize& size : {kLayouts[1], kLayouts[4]}) {
      SCOPED_TRACE("seed " + std::to_string(seed) + " levels " + std::to_string(range.first));
      auto actual = RandomLayout(seed, size);
      auto reference = RandomLayout(seed, size);
      AssignByPicture(*actual, nullptr, 2);
      AssignByCell(*actual, range.first, range.last, nullptr, 2);
      plain::AssignByPicture(*reference);
      plain::AssignByCell(*reference, std::max(range.first, -1), std::min(range.last, 10));
      EXPECT_TRUE(SameOutcome(*reference, *actual));
      ++seed;
    }
  }
}

TEST(CellAssignment, StandaloneSearchesEqualThePlainAlgorithmAfterEdits) {
  // The workspace calls these after arbitrary edits of the cells: the full
  // computation, whatever the cells hold.
  for (std::uint32_t seed = 300; seed < 306; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    auto actual = RandomLayout(seed, kLayouts[seed % 2 ? 1 : 7]);
    auto reference = RandomLayout(seed, kLayouts[seed % 2 ? 1 : 7]);
    RenderLayers(*actual, nullptr, 2);
    plain::AssignByPicture(*reference);
    plain::AssignByCell(*reference, 1, 9);
    std::mt19937 rng(seed);
    for (int edit = 0; edit < 40; ++edit) {
      const int n = int(Cells(*actual).size());
      const int i = std::uniform_int_distribution<int>(0, n - 1)(rng);
      const int what = edit % 4;
      for (TAppState* s : {actual.get(), reference.get()}) {
        TMosaicCell& c = Cell(*s, 1, i);
        if (what == 0) {  // exchanged by hand
          c.PictureIndex = (c.PictureIndex + 3) % s->Library.LibImageCount;
          c.Assigned = 1;
        } else if (what == 1) {
          c.Assigned = 0;
        }
      }
      if (what == 2) {
        EXPECT_EQ(AssignBestPicture(*actual, 1, i), plain::AssignBest(*reference, 1, i));
      } else {
        const TCandidateList a = SearchCandidates(*actual, 1, i, what == 3);
        const TCandidateList b = plain::Search(*reference, 1, i, what == 3);
        EXPECT_TRUE(SameList(a, b)) << "edit " << edit;
      }
      EXPECT_EQ(ComputeUsablePictures(*actual, Cell(*actual, 1, (i + 1) % n)),
                plain::ComputeUsable(*reference, Cell(*reference, 1, (i + 1) % n)));
      EXPECT_TRUE(SameOutcome(*reference, *actual)) << "edit " << edit;
    }
  }
}

// ---- Internal structures against plain scans -----------------------------------------------

TEST(CellAssignment, RepeatGridMarksWhatTheFullScanMarks) {
  std::mt19937 rng(5);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  const std::int64_t limits[] = {-1, 0, 1, 2304, 4608, 4609, 100000, INT32_MAX - 1,
                                 std::int64_t(INT32_MAX), std::int64_t(1) << 40};
  for (int round = 0; round < 12; ++round) {
    const int spread = round % 3 == 0 ? 200 : (round % 3 == 1 ? 5000 : 2000000000);
    std::vector<std::pair<TPoint, int>> points;
    TPoint lo{INT32_MAX, INT32_MAX}, hi{INT32_MIN, INT32_MIN};
    for (int i = 0; i < 300; ++i) {
      const TPoint q{pick(-spread, spread), pick(-spread / 2, spread / 2)};
      points.push_back({q, pick(0, 80)});
      lo = {std::min(lo.X, q.X), std::min(lo.Y, q.Y)};
      hi = {std::max(hi.X, q.X), std::max(hi.Y, q.Y)};
    }
    assign_detail::TRepeatGrid grid;
    grid.Reset(lo, hi, round % 2 ? 70 : 1, std::int64_t(points.size()));
    for (std::size_t i = 0; i < points.size(); i += 2) grid.Insert(points[i].first, points[i].second);
    grid.Insert(points[0].first, -1);      // no picture: never marks
    grid.Insert(points[1].first, 70000);   // beyond the table: ignored
    for (int q = 1; q < 300; q += 7) {
      for (const std::int64_t t : limits) {
        std::vector<std::uint8_t> fast(65536, 1), full(65536, 1);
        grid.Mark(points[std::size_t(q)].first, t, fast.data());
        for (std::size_t i = 0; i < points.size(); i += 2)
          if (DistSq(points[i].first, points[std::size_t(q)].first) <= t) full[std::size_t(points[i].second)] = 0;
        ASSERT_EQ(fast, full) << "round " << round << " query " << q << " limit " << t;
      }
    }
  }
}

TEST(CellAssignment, LevelWalkTakesWhatTheLinearWalkTakes) {
  std::mt19937 rng(9);
  for (const int n : {0, 1, 2, 7, 64, 65, 1000}) {
    std::vector<std::int32_t> cells;
    for (int i = 0; i < n; ++i) cells.push_back(i * 3 + (i % 2));
    std::vector<std::int32_t> left = cells;
    assign_detail::TLevelWalk walk;
    walk.Reset(cells);
    while (!left.empty()) {
      ASSERT_EQ(walk.Count(), std::int32_t(left.size()));
      const int r = std::uniform_int_distribution<int>(0, int(left.size()) - 1)(rng);
      ASSERT_EQ(walk.Take(r), left[std::size_t(r)]) << n;
      EXPECT_EQ(walk.Take(std::int32_t(left.size())), -1);
      EXPECT_EQ(walk.Take(-1), -1);
      walk.Remove(left[std::size_t(r)]);
      walk.Remove(left[std::size_t(r)]);  // twice: no effect
      walk.Remove(-5);                    // not in the walk: no effect
      left.erase(left.begin() + r);
    }
    EXPECT_EQ(walk.Count(), 0);
    EXPECT_EQ(walk.Take(0), -1);
  }
}

// ---- Choice and candidate search -------------------------------------------------------------

TEST(CellAssignment, RandomizeLevelOneAlwaysTakesTheBest) {
  auto state = GridState(3, 1);
  // Grey 128 is the cell; the best picture is at index 13, the others further away.
  std::vector<ImageSignature> pics = GreyRamp(30, 140);
  pics[13] = Grey(127);
  SetPictures(*state, pics);
  for (std::uint64_t seed = 0; seed < 20; ++seed) {
    state->Rng.Seed(seed);
    const TPictureChoice c = ChoosePicture(*state, 1, 1);
    EXPECT_EQ(c.PictureIndex, 13) << seed;
    EXPECT_EQ(c.Count, 30);
  }
}

TEST(CellAssignment, RandomizeLevelChoosesAmongTheBestFew) {
  const struct {
    int level;
    std::set<int> allowed;  // picture indexes that may be chosen
  } cases[] = {{1, {0}}, {0, {0}}, {-3, {0}}, {3, {0, 1, 2}}, {1000, {0, 1, 2, 3, 4, 5}}};
  for (const auto& c : cases) {
    auto state = GridState(1, 1);
    SetPictures(*state, GreyRamp(6, 128));  // picture k is k away from the cell
    state->CurrentProject.RandomizeLevel = c.level;
    std::set<int> seen;
    for (std::uint64_t seed = 0; seed < 200; ++seed) {
      state->Rng.Seed(seed);
      seen.insert(ChoosePicture(*state, 1, 0).PictureIndex);
    }
    EXPECT_EQ(seen, c.allowed) << "level " << c.level;
  }
}

TEST(CellAssignment, SearchKeepsTheHundredBestInOrder) {
  auto state = GridState(1, 1);
  std::mt19937 rng(3);
  std::vector<ImageSignature> pics;
  for (int i = 0; i < 400; ++i) pics.push_back(RandomSignature(rng));
  SetPictures(*state, pics);
  const TCandidateList list = SearchCandidates(*state, 1, 0, false);
  ASSERT_EQ(list.Count, 100);
  std::vector<std::int32_t> all;
  for (const ImageSignature& p : pics)
    all.push_back(MatchCompare(p, Cell(*state, 1, 0).Signature, state->CurrentProject.EnhanceCurve,
                               state->LayerMaskWeights[1], TMatchOptions{})
                      .Difference);
  std::vector<std::int32_t> sorted = all;
  std::sort(sorted.begin(), sorted.end());
  for (int i = 0; i < 100; ++i) {
    EXPECT_EQ(list.Slots[i].Difference, sorted[std::size_t(i)]) << i;
    EXPECT_EQ(all[std::size_t(list.Slots[i].PictureIndex)], list.Slots[i].Difference);
  }
  EXPECT_EQ(Cell(*state, 1, 0).UsablePictureCount, 400);
}

TEST(CellAssignment, FilteredListsApplyTheThresholdsButNeverDropTheBest) {
  // Cell grey 128, picture k grey 128 + d_k: Difference 192 d^2, both deviations d.
  // ShapeDiff 15 keeps Difference <= 43200 (d <= 15).
  const struct {
    std::vector<int> offsets;
    int shape, single, average;
    std::vector<int> expected;  // picture indexes, best first
    int colourPass;
  } cases[] = {
      {{14, 15, 16, 20}, 15, 255, 255, {0, 1}, 4},
      {{20, 30, 16}, 15, 255, 255, {2}, 3},          // nothing under: the best stays
      {{3, 1, 2, 9}, 255, 2, 255, {1, 2}, 2},        // largest deviation above 2 dropped
      {{3, 1, 2, 9}, 255, 255, 2, {1, 2}, 2},        // mean deviation likewise
      {{3, 1, 2, 9}, 255, -1, -1, {1}, 1},           // negative thresholds keep slot 0 only
      {{5, 1, 9, 2, 7}, 255, 5, 255, {1, 3, 0}, 3},  // compacted, order kept
      {{5, 1, 9, 2, 7}, 4, 5, 255, {1, 3}, 3},       // shape after colour: 5 > 4 dropped
      {{1, 2}, -2, 255, 255, {0, 1}, 2},             // squared: -2 keeps d <= 2
      {{1, 300}, INT32_MAX, 255, 255, {0, 1}, 2},    // a limit beyond every difference
  };
  for (const auto& c : cases) {
    auto state = GridState(1, 1);
    std::vector<ImageSignature> pics;
    for (int d : c.offsets) pics.push_back(Grey(std::min(128 + d, 255)));
    SetPictures(*state, pics);
    TtsProject07& p = state->CurrentProject;
    p.ShapeDiff = c.shape;
    p.ColorDiffSingle = c.single;
    p.ColorDiffAverage = c.average;
    const TCandidateList list = SearchCandidates(*state, 1, 0, true);
    EXPECT_EQ(SlotPictures(list), c.expected) << "shape " << c.shape << " single " << c.single;
    EXPECT_EQ(Cell(*state, 1, 0).ColorPassCount, c.colourPass);
    for (int i = list.Count; i < kCandidateSlots; ++i) EXPECT_EQ(list.Slots[i].PictureIndex, -1);
    // Unfiltered: every picture, no count of colour passes touched.
    Cell(*state, 1, 0).ColorPassCount = -7;
    EXPECT_EQ(SearchCandidates(*state, 1, 0, false).Count, int(c.offsets.size()));
    EXPECT_EQ(Cell(*state, 1, 0).ColorPassCount, -7);
  }
}

TEST(CellAssignment, CandidateDeviationsAndPaletteRule) {
  auto state = GridState(1, 1);
  TMosaicCell& cell = Cell(*state, 1, 0);
  cell.Signature = Uniform(Colour(100, 50, 200), 7);
  SetPictures(*state, {Uniform(Colour(130, 50, 170), 7), Uniform(Colour(100, 60, 200), 3)});
  TCandidateList list = SearchCandidates(*state, 1, 0, false);
  ASSERT_EQ(list.Count, 2);
  EXPECT_EQ(list.Slots[0].PictureIndex, 1);
  EXPECT_EQ(list.Slots[0].MeanDeviation, 3);  // (0 + 10 + 0) div 3
  EXPECT_EQ(list.Slots[0].MaxDeviation, 10);
  EXPECT_EQ(list.Slots[1].MeanDeviation, 20);  // (30 + 0 + 30) div 3
  EXPECT_EQ(list.Slots[1].MaxDeviation, 30);

  state->CurrentProject.PaletteMatchOnly = 1;
  list = SearchCandidates(*state, 1, 0, false);
  EXPECT_EQ(SlotPictures(list), std::vector<int>{0});

  // Mono: the cell's grey stands for its channels.
  state->CurrentProject.PaletteMatchOnly = 0;
  state->CurrentProject.MonochromeCell = 1;
  list = SearchCandidates(*state, 1, 0, false);
  const int grey = cell.Signature.Average.Grey;
  for (int i = 0; i < 2; ++i) {
    const SignatureColor& a = state->Library.LibImageInfos[list.Slots[i].PictureIndex].Signature.Average;
    EXPECT_EQ(list.Slots[i].MaxDeviation, std::max({std::abs(grey - a.R), std::abs(grey - a.G),
                                                    std::abs(grey - a.B)}));
  }
}

TEST(CellAssignment, RotationSearchesOnlyTheRotatedPicturesAndKeepsTheSmallerAngle) {
  auto state = GridState(1, 1);
  const ImageSignature cellSig = Cell(*state, 1, 0).Signature;  // grey 128
  // 1500 pictures; those past the first 1000 would fit perfectly but have no rotated
  // signatures.
  std::vector<ImageSignature> pics = GreyRamp(1500, 10);
  for (int i = 1000; i < 1500; ++i) pics[std::size_t(i)] = cellSig;
  SetPictures(*state, pics);
  state->Library.LibDetailCount = 1000;
  for (int i = 0; i < 1000; ++i)
    for (int j = 0; j < 24; ++j) state->Library.LibImageDetails[std::size_t(i)].Rotated[j] = Grey(0);
  TtsProject07& p = state->CurrentProject;
  p.AllowRotation = 1;
  for (int j = 1; j < 24; ++j) p.RotationAngles[j] = 1;
  // Picture 500 fits at 45 and at 75 degrees; picture 600 at 0 and 30.
  state->Library.LibImageDetails[500].Rotated[3] = cellSig;
  state->Library.LibImageDetails[500].Rotated[5] = cellSig;
  state->Library.LibImageDetails[600].Rotated[0] = cellSig;
  state->Library.LibImageDetails[600].Rotated[2] = cellSig;

  TCandidateList list = SearchCandidates(*state, 1, 0, false);
  EXPECT_EQ(list.Count, 100);
  for (int i = 0; i < list.Count; ++i) EXPECT_LT(list.Slots[i].PictureIndex, 1000) << i;
  auto angleOf = [&](const TCandidateList& l, int picture) {
    for (int i = 0; i < l.Count; ++i)
      if (l.Slots[i].PictureIndex == picture) return l.Slots[i].RotationAngle;
    return -1;
  };
  EXPECT_EQ(angleOf(list, 500), 45);
  EXPECT_EQ(angleOf(list, 600), 0);
  EXPECT_EQ(list.Slots[0].Difference, 0);

  p.RotationAngles[3] = 0;  // a disabled angle never wins
  list = SearchCandidates(*state, 1, 0, false);
  EXPECT_EQ(angleOf(list, 500), 75);

  // The choice reports the step.
  p.RandomizeLevel = 1;
  state->Library.LibImageDetails[600].Rotated[0] = Grey(1);
  const TPictureChoice c = ChoosePicture(*state, 1, 0);
  EXPECT_EQ(c.RotationStep * 15, c.PictureIndex == 500 ? 75 : 30);

  // Whole render: no picture past the rotated ones is placed, in either procedure.
  p.UseAllPhotos = 1;
  RenderLayers(*state, nullptr);
  EXPECT_LT(Cell(*state, 1, 0).PictureIndex, 1000);
}

TEST(CellAssignment, DetailCountBeyondThePicturesIsCutToThePictures) {
  auto state = GridState(2, 2);
  SetPictures(*state, GreyRamp(5, 100));
  state->Library.LibDetailCount = 50;
  state->CurrentProject.AllowRotation = 1;
  const TCandidateList list = SearchCandidates(*state, 1, 0, false);
  EXPECT_EQ(list.Count, 5);
  for (int i = 0; i < list.Count; ++i) EXPECT_LT(list.Slots[i].PictureIndex, 5);
}

// ---- Repeat rules -------------------------------------------------------------------------

TEST(CellAssignment, RadiusOneBlocksTheEightNeighboursOnly) {
  // 5 x 5 cells of 48: T = 2 x 48^2 = 4608 around the centre cell (2, 2).
  const struct {
    int dx, dy;
    bool blocked;
  } cases[] = {{-1, -1, true}, {0, -1, true}, {1, -1, true}, {-1, 0, true}, {1, 0, true},
               {-1, 1, true},  {0, 1, true},  {1, 1, true},  {2, 0, false}, {0, -2, false},
               {2, 2, false},  {-2, 1, false}};
  for (bool fast : {false, true}) {
    auto state = GridState(5, 5);
    SetPictures(*state, GreyRamp(20));
    state->CurrentProject.RepeatRadius = 1;
    int picture = 0;
    for (const auto& c : cases) {
      TMosaicCell& n = Cell(*state, 1, (2 + c.dy) * 5 + 2 + c.dx);
      n.Assigned = 1;
      n.PictureIndex = picture++;
    }
    if (fast) {
      // The centre cell is the only free one at level 1: the procedure's search runs
      // through the grid.
      for (TMosaicCell& c : Cells(*state)) c.PriorityLevel = c.Assigned ? 1 : 5;
      Cell(*state, 1, 12).PriorityLevel = 1;
      TLogProgress log;
      AssignByCell(*state, 1, 1, &log);
    } else {
      ComputeUsablePictures(*state, Cell(*state, 1, 12));
    }
    picture = 0;
    for (const auto& c : cases)
      EXPECT_EQ(state->UsablePictures[std::size_t(picture++)], c.blocked ? 0 : 1)
          << (fast ? "procedure " : "standalone ") << c.dx << "," << c.dy;
    EXPECT_EQ(state->UsablePictures[15], 1);
  }
}

TEST(CellAssignment, RadiusLimitsFromHugeAndNegativeSettings) {
  // A row of 48-pixel cells; the matched cell 0 has T = 4608 x RepeatRadius. Pictures
  // 0..3 sit in cells 1, 2, 4 and 6: squared centre distances 2304, 9216, 36864, 82944.
  const struct {
    int radius;
    int usable;
  } cases[] = {{0, 4}, {-1, 4}, {1, 3}, {2, 2}, {8, 1}, {17, 1}, {18, 0},
               {INT32_MAX, 0}, {INT32_MIN, 4}};
  for (const auto& c : cases) {
    auto state = GridState(7, 1);
    SetPictures(*state, GreyRamp(4));
    state->CurrentProject.RepeatRadius = c.radius;
    const int holders[] = {1, 2, 4, 6};
    for (int k = 0; k < 4; ++k) {
      TMosaicCell& h = Cell(*state, 1, holders[k]);
      h.Assigned = 1;
      h.PictureIndex = k;
    }
    EXPECT_EQ(ComputeUsablePictures(*state, Cell(*state, 1, 0)), c.usable) << c.radius;
    // The same limits inside a procedure: the free cell 0 alone at level 1.
    for (TMosaicCell& x : Cells(*state)) x.PriorityLevel = 2;
    Cell(*state, 1, 0).PriorityLevel = 1;
    AssignByCell(*state, 1, 1, nullptr);
    EXPECT_EQ(Cell(*state, 1, 0).UsablePictureCount, c.usable) << c.radius;
    EXPECT_EQ(Cell(*state, 1, 0).Assigned, c.usable > 0 ? 1 : 0);
  }
}

TEST(CellAssignment, MaxRepeatOneNeverRepeatsAndLeavesTheRestFree) {
  auto state = GridState(6, 5);  // 30 cells
  SetPictures(*state, GreyRamp(10, 120));
  state->CurrentProject.LimitRepeat = 1;
  state->CurrentProject.MaxRepeatTimes = 1;
  state->CurrentProject.RandomizeLevel = 5;
  RenderLayers(*state, nullptr);
  EXPECT_EQ(CountAssigned(*state), 10);
  for (int uses : UsesPerPicture(*state, 10)) EXPECT_EQ(uses, 1);
  for (const TMosaicCell& c : Cells(*state))
    if (!c.Assigned) {
      EXPECT_EQ(c.PictureIndex, -1);
      EXPECT_EQ(c.UsablePictureCount, 0);
    }
  for (int i = 0; i < 10; ++i) EXPECT_EQ(state->Library.LibImageInfos[i].UsageCount, 1);
}

TEST(CellAssignment, RepeatLimitCountsUsesAcrossBothProcedures) {
  auto state = GridState(8, 5);  // 40 cells, 10 pictures, each at most 3 times
  SetPictures(*state, GreyRamp(10, 120));
  TtsProject07& p = state->CurrentProject;
  p.LimitRepeat = 1;
  p.MinRepeatTimes = 2;
  p.MaxRepeatTimes = 3;
  RenderLayers(*state, nullptr);
  EXPECT_EQ(CountAssigned(*state), 30);
  for (int uses : UsesPerPicture(*state, 10)) EXPECT_EQ(uses, 3);
}

// ---- Picture-order procedure ------------------------------------------------------------------

TEST(CellAssignment, PictureOrderRounds) {
  const struct {
    int cells, pictures;
    bool useAll, limit;
    int minRepeat;
    int assigned;  // after AssignByPicture
    int maxRepeat;  // MaxRepeatTimes afterwards (400 before)
  } cases[] = {
      {10, 20, true, false, 0, 0, 1},    // fewer cells than pictures: no pass
      {10, 20, true, true, 3, 0, 1},
      {100, 20, true, false, 0, 20, 400},  // one pass
      {100, 40, false, true, 3, 80, 400},  // 3 rounds, cut to 100 div 40 = 2
      {100, 40, false, false, 3, 0, 400},  // MinRepeatTimes without LimitRepeat: none
      {100, 40, true, true, 0, 40, 400},
      {30, 10, false, true, 3, 30, 400},
      {10, 20, false, true, 1, 0, 400},    // 20 > 10: cut to 10 div 20 = 0
  };
  for (const auto& c : cases) {
    auto state = GridState(c.cells, 1);
    SetPictures(*state, GreyRamp(c.pictures, 60));
    TtsProject07& p = state->CurrentProject;
    p.UseAllPhotos = c.useAll;
    p.LimitRepeat = c.limit;
    p.MinRepeatTimes = c.minRepeat;
    TLogProgress log;
    AssignByPicture(*state, &log);
    SCOPED_TRACE(std::to_string(c.cells) + " cells, " + std::to_string(c.pictures) + " pictures");
    EXPECT_EQ(CountAssigned(*state), c.assigned);
    EXPECT_EQ(p.MaxRepeatTimes, c.maxRepeat);
    if (c.assigned > 0) {
      const int rounds = c.assigned / c.pictures;
      for (int uses : UsesPerPicture(*state, c.pictures)) EXPECT_EQ(uses, rounds);
      EXPECT_EQ(log.Events.back(), "pump");
      EXPECT_EQ(log.Events[log.Events.size() - 2],
                "detail:" + std::to_string(c.assigned) + "/" + std::to_string(c.cells));
      EXPECT_EQ(log.Events[log.Events.size() - 3],
                "percent:" + std::to_string(c.assigned * 100 / c.cells));
      EXPECT_EQ(std::count(log.Events.begin(), log.Events.end(), "pump"), c.assigned);
    } else {
      EXPECT_TRUE(log.Events.empty());
    }
  }
}

TEST(CellAssignment, UseAllPhotosPlacesEveryPictureOnceThenFillsTheRest) {
  auto state = GridState(10, 10);
  SetPictures(*state, GreyRamp(20, 40));
  state->CurrentProject.UseAllPhotos = 1;
  AssignByPicture(*state, nullptr);
  for (int uses : UsesPerPicture(*state, 20)) EXPECT_EQ(uses, 1);
  AssignByCell(*state, 1, 9, nullptr);
  EXPECT_EQ(CountAssigned(*state), 100);
  // Every cell is grey 128 and the ramp ends at 59: the cell order gives the 80 others
  // the best picture, grey 59.
  EXPECT_EQ(UsesPerPicture(*state, 20)[19], 81);
}

TEST(CellAssignment, PictureOrderGivesEachPictureItsBestFreeCell) {
  // Four cells of distinct greys; four pictures each matching one cell exactly.
  auto state = GridState(4, 1);
  const int greys[] = {30, 90, 150, 210};
  for (int i = 0; i < 4; ++i) Cell(*state, 1, i).Signature = Grey(greys[i]);
  SetPictures(*state, {Grey(150), Grey(30), Grey(210), Grey(90)});
  state->CurrentProject.UseAllPhotos = 1;
  state->MainImage = engine_testing::Solid(192, 48, 0xFF6496C8u);  // R 100, G 150, B 200
  AssignByPicture(*state, nullptr);
  const int expected[] = {1, 3, 0, 2};
  for (int i = 0; i < 4; ++i) {
    const TMosaicCell& c = Cell(*state, 1, i);
    EXPECT_EQ(c.PictureIndex, expected[i]) << i;
    // The shifts come from a fresh signature of the main image, not the stored one.
    EXPECT_EQ(c.ColorDiffR, greys[i] - 100);
    EXPECT_EQ(c.ColorDiffG, greys[i] - 150);
    EXPECT_EQ(c.ColorDiffB, greys[i] - 200);
    EXPECT_EQ(c.MatchDifference, 0);  // untouched by this procedure
  }
  // Every cell is taken: there is no best free cell, and nothing is overwritten.
  EXPECT_FALSE(FindBestCell(*state, 0).Valid());
  AssignPictureToBestCell(*state, 0);
  EXPECT_EQ(Cell(*state, 1, 0).PictureIndex, 1);
}

TEST(CellAssignment, PriorityTenAndNoLevelOnlyFromThePictureOrder) {
  for (bool useAll : {false, true}) {
    auto state = GridState(10, 2);
    SetPictures(*state, GreyRamp(5, 125));
    for (int i = 0; i < 20; ++i) Cell(*state, 1, i).PriorityLevel = i < 5 ? 10 : (i < 10 ? -1 : 1 + i % 9);
    state->CurrentProject.UseAllPhotos = useAll;
    RenderLayers(*state, nullptr);
    int outsideLevels = 0;
    for (int i = 0; i < 10; ++i) outsideLevels += Cell(*state, 1, i).Assigned;
    for (int i = 10; i < 20; ++i) EXPECT_EQ(Cell(*state, 1, i).Assigned, 1) << i;
    // Without the picture pass none of them; with it, only the cells the five
    // pictures went to (cells are alike, so anywhere).
    if (!useAll) EXPECT_EQ(outsideLevels, 0);
    else EXPECT_LE(outsideLevels, 5);
    EXPECT_EQ(CountAssigned(*state), 10 + outsideLevels);
  }
}

// ---- Recorded fields -----------------------------------------------------------------------------

TEST(CellAssignment, AssignBestPictureRecordsTheChoice) {
  const struct {
    bool mono, rotation;
  } cases[] = {{false, false}, {true, false}, {false, true}};
  for (const auto& c : cases) {
    auto state = GridState(2, 1);
    TtsProject07& p = state->CurrentProject;
    p.MonochromeCell = c.mono;
    p.AllowHorizontalFlip = 1;
    p.AllowVerticalFlip = 1;
    p.EnhanceCurvePoints = kDefaultEnhanceCurvePoints;
    p.BuildCurveTables();
    std::mt19937 rng(4);
    TMosaicCell& cell = Cell(*state, 1, 1);
    // Grey blocks (so mono mode sees the same blocks) under a coloured average.
    for (auto& e : cell.Signature.Grid8) {
      const int v = std::uniform_int_distribution<int>(20, 235)(rng);
      e = Colour(v, v, v);
    }
    cell.Signature.Average = Colour(90, 140, 60);
    // The picture: the cell mirrored left-right, its average a little off.
    ImageSignature pic = cell.Signature;
    for (int r = 0; r < 8; ++r)
      for (int k = 0; k < 8; ++k) pic.Grid8[r * 8 + k] = cell.Signature.Grid8[r * 8 + 7 - k];
    pic.Average = Colour(100, 132, 65);
    SetPictures(*state, {Grey(0), pic, Grey(255)});
    if (c.rotation) {
      p.AllowRotation = 1;
      p.RotationAngles[7] = 1;
      state->Library.LibDetailCount = 3;
      for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 24; ++j) state->Library.LibImageDetails[i].Rotated[j] = Grey(i * 100);
      state->Library.LibImageDetails[1].Rotated[7] = cell.Signature;
    }
    const std::int32_t count = AssignBestPicture(*state, 1, 1);
    SCOPED_TRACE(std::string(c.mono ? "mono" : "colour") + (c.rotation ? " rotated" : ""));
    EXPECT_EQ(count, 3);
    EXPECT_EQ(cell.PictureIndex, 1);
    EXPECT_EQ(cell.Assigned, 1);
    EXPECT_EQ(cell.CandidateCount, 3);
    EXPECT_EQ(cell.RotationAngle, c.rotation ? 105 : 0);
    const SignatureColor& a = pic.Average;
    const SignatureColor& s = cell.Signature.Average;
    EXPECT_EQ(cell.ColorDiffB, (c.mono ? a.Grey : a.B) - s.B);
    EXPECT_EQ(cell.ColorDiffG, (c.mono ? a.Grey : a.G) - s.G);
    EXPECT_EQ(cell.ColorDiffR, (c.mono ? a.Grey : a.R) - s.R);
    EXPECT_EQ(cell.EnhanceB, cell.ColorDiffB * p.EnhanceCurve[std::abs(cell.ColorDiffB)] / 255);
    EXPECT_EQ(cell.EnhanceG, cell.ColorDiffG * p.EnhanceCurve[std::abs(cell.ColorDiffG)] / 255);
    EXPECT_EQ(cell.EnhanceR, cell.ColorDiffR * p.EnhanceCurve[std::abs(cell.ColorDiffR)] / 255);
    const CompareResult r = MatchCompare(pic, cell.Signature, p.EnhanceCurve, state->LayerMaskWeights[1],
                                         TMatchOptions{c.mono, true, true, false});
    EXPECT_EQ(cell.MatchDifference, r.Difference);
    EXPECT_EQ(cell.FlipHorz, r.FlipHorz);
    EXPECT_EQ(cell.FlipVert, r.FlipVert);
    EXPECT_EQ(cell.FlipHorz, 1);  // the mirrored picture is drawn mirrored back
    EXPECT_EQ(cell.FlipVert, 0);
    EXPECT_EQ(cell.PlainDifference, PlainCompare(pic, cell.Signature, cell.FlipHorz, cell.FlipVert, c.mono));
    EXPECT_EQ(state->Library.LibImageInfos[1].UsageCount, 1);
    EXPECT_EQ(cell.UsablePictureCount, 3);
    EXPECT_EQ(cell.ColorPassCount, 3);
  }
}

TEST(CellAssignment, NoUsablePictureLeavesTheCellFree) {
  auto state = GridState(2, 1);
  SetPictures(*state, GreyRamp(2));
  state->CurrentProject.LimitRepeat = 1;
  state->CurrentProject.MaxRepeatTimes = 0;
  TMosaicCell& cell = Cell(*state, 1, 0);
  cell.PictureIndex = 1;  // stale
  cell.RotationAngle = 30;
  EXPECT_EQ(AssignBestPicture(*state, 1, 0), -1);
  EXPECT_EQ(cell.PictureIndex, -1);
  EXPECT_EQ(cell.Assigned, 0);
  EXPECT_EQ(cell.RotationAngle, 30);
  EXPECT_EQ(ChoosePicture(*state, 1, 0).PictureIndex, -1);

  // A caller that leaves the cell marked: it keeps the mark, no count goes wrong.
  cell.Assigned = 1;
  EXPECT_EQ(AssignBestPicture(*state, 1, 0), -1);
  EXPECT_EQ(cell.Assigned, 1);
  RecountUsage(*state);
  EXPECT_EQ(state->Library.LibImageInfos[0].UsageCount, 0);
}

// ---- Progress, determinism -----------------------------------------------------------------------

TEST(CellAssignment, RenderLayersReportsItsSteps) {
  auto state = GridState(5, 4);
  SetPictures(*state, GreyRamp(8, 100));
  state->CurrentProject.UseAllPhotos = 1;
  Cell(*state, 1, 3).Assigned = 1;  // one cell done before
  Cell(*state, 1, 3).PictureIndex = 0;
  TLogProgress log;
  RenderLayers(*state, &log);
  const std::vector<std::string>& e = log.Events;
  ASSERT_GE(e.size(), 5u);
  EXPECT_EQ(e[0], "log:Active Layers count:1");
  EXPECT_EQ(e[1], "log:Init Layers .............Done");
  EXPECT_EQ(e[2], "log:1st Render Procedure. (CycleLib) ");
  EXPECT_EQ(e[3], "step:Rendering 1st step");
  EXPECT_EQ(e[4], "percent:5");  // 1 x 100 div 20
  EXPECT_EQ(e[5], "detail:1/20");
  EXPECT_EQ(e[6], "pump");
  const auto second = std::find(e.begin(), e.end(), "log:2nd Render Procedure. (CycleTile) ");
  ASSERT_NE(second, e.end());
  EXPECT_EQ(second - e.begin(), 3 + 8 * 3 + 1);
  EXPECT_EQ(*(second + 1), "step:Rendering 2nd step");
  // 19 - 8 = 11 cells left: the first of them is cell 10 of 20 (9 assigned before).
  EXPECT_EQ(*(second + 2), "percent:9");  // 1 x 100 div 11
  EXPECT_EQ(*(second + 3), "detail:10/20");
  EXPECT_EQ(*(second + 4), "pump");
  EXPECT_EQ(e[e.size() - 2], "pump");
  EXPECT_EQ(e[e.size() - 3], "detail:20/20");
  EXPECT_EQ(e[e.size() - 4], "percent:100");
  EXPECT_EQ(e.back(), "log:Render Layers .............Done");
  EXPECT_EQ(std::count(e.begin(), e.end(), "pump"), 19);
}

TEST(CellAssignment, SeedDecidesTheMosaic) {
  auto build = [](std::uint64_t seed) {
    auto s = engine_testing::MakeState(480, 384, 48, 48);
    PermissiveProject(s->CurrentProject);
    s->CurrentProject.RandomizeLevel = 6;
    s->CurrentProject.RepeatRadius = 1;
    TLayerPattern lp;
    lp.Enabled = 1;
    lp.HorzFactor = lp.VertFactor = 1.0;
    BuildLayer(*s, s->CurrentProject.Layers[1], lp, 480, 384, 48, 48, nullptr);
    for (auto& w : s->LayerMaskWeights) w.fill(1.0f);
    std::mt19937 rng(17);
    std::vector<ImageSignature> pics;
    for (int i = 0; i < 50; ++i) pics.push_back(RandomSignature(rng));
    SetPictures(*s, pics);
    s->Rng.Seed(seed);
    return s;
  };
  auto a = build(1), b = build(1), c = build(2);
  ASSERT_EQ(Cells(*a).size(), 80u);
  RenderLayers(*a, nullptr, 1);
  RenderLayers(*b, nullptr, 2);
  RenderLayers(*c, nullptr, 2);
  EXPECT_TRUE(SameOutcome(*a, *b));
  EXPECT_FALSE(SameCells(Cells(*a), Cells(*c)));
  EXPECT_EQ(CountAssigned(*a), 80);
}

// ---- Bad input ---------------------------------------------------------------------------------

TEST(CellAssignment, BadInputNeverCrashesAndChangesNothingItShouldNot) {
  {  // no pictures
    auto s = GridState(4, 4);
    SetPictures(*s, {});
    s->CurrentProject.UseAllPhotos = 1;
    RenderLayers(*s, nullptr);
    EXPECT_EQ(CountAssigned(*s), 0);
    EXPECT_EQ(Cell(*s, 1, 0).UsablePictureCount, 0);
  }
  {  // counts outside the tables
    for (const std::int32_t count : {-5, INT32_MAX}) {
      auto s = GridState(3, 3);
      SetPictures(*s, GreyRamp(3));
      s->Library.LibImageCount = count;
      s->Library.LibDetailCount = count;
      s->CurrentProject.UseAllPhotos = 1;
      RenderLayers(*s, nullptr);
      EXPECT_EQ(CountAssigned(*s), count < 0 ? 0 : 9);
    }
  }
  {  // no active layer
    auto s = GridState(3, 3);
    SetPictures(*s, GreyRamp(3));
    s->CurrentProject.Layers[1].Active = 0;
    TLogProgress log;
    RenderLayers(*s, &log);
    EXPECT_EQ(log.Events.front(), "log:Active Layers count:0");
    EXPECT_EQ(CountAssigned(*s), 0);
    EXPECT_FALSE(FindBestCell(*s, 0).Valid());
  }
  {  // every cell assigned before: nothing changes
    auto s = GridState(3, 3);
    SetPictures(*s, GreyRamp(3));
    for (TMosaicCell& c : Cells(*s)) c.Assigned = 1, c.PictureIndex = 2;
    s->CurrentProject.UseAllPhotos = 1;
    const std::vector<TMosaicCell> before = Cells(*s);
    RenderLayers(*s, nullptr);
    EXPECT_TRUE(SameCells(before, Cells(*s)));
  }
  {  // pictures beyond the count on cells are not counted and never index out
    auto s = GridState(3, 1);
    SetPictures(*s, GreyRamp(3));
    Cell(*s, 1, 0).Assigned = 1, Cell(*s, 1, 0).PictureIndex = 4000;
    Cell(*s, 1, 1).Assigned = 1, Cell(*s, 1, 1).PictureIndex = 1 << 30;
    Cell(*s, 1, 2).Assigned = 1, Cell(*s, 1, 2).PictureIndex = 1;
    RecountUsage(*s);
    EXPECT_EQ(s->Library.LibImageInfos[4000].UsageCount, 0);
    EXPECT_EQ(s->Library.LibImageInfos[1].UsageCount, 1);
    s->CurrentProject.RepeatRadius = INT32_MAX;
    EXPECT_EQ(ComputeUsablePictures(*s, Cell(*s, 1, 0)), 2);
  }
  {  // cells that do not exist
    auto s = GridState(2, 1);
    SetPictures(*s, GreyRamp(3));
    const std::uint32_t next = TRandom(s->Rng).Next32();
    for (const auto& [l, i] : std::vector<std::pair<int, int>>{{0, 0}, {8, 0}, {1, 2}, {1, -1}, {-3, 0}}) {
      EXPECT_EQ(AssignBestPicture(*s, l, i), -1);
      EXPECT_EQ(ChoosePicture(*s, l, i).PictureIndex, -1);
      EXPECT_EQ(SearchCandidates(*s, l, i, true).Count, 0);
    }
    AssignPictureToBestCell(*s, -1);
    AssignPictureToBestCell(*s, 3);
    EXPECT_EQ(s->Rng.Next32(), next);  // no draw was made
    EXPECT_EQ(CountAssigned(*s), 0);
  }
  {  // counts read from a file at their limit
    auto s = GridState(2, 1);
    SetPictures(*s, GreyRamp(1));
    s->Library.LibImageInfos[0].UsageCount = INT32_MAX;
    s->CurrentProject.UseAllPhotos = 1;
    AssignByPicture(*s, nullptr);
    EXPECT_EQ(s->Library.LibImageInfos[0].UsageCount, INT32_MAX);
  }
  {  // limits that overflow 32 bits
    auto s = GridState(4, 1);
    SetPictures(*s, GreyRamp(2));
    TtsProject07& p = s->CurrentProject;
    p.LimitRepeat = 1;
    p.MinRepeatTimes = INT32_MAX;
    p.MaxRepeatTimes = INT32_MAX;
    p.ShapeDiff = INT32_MAX;
    RenderLayers(*s, nullptr);
    EXPECT_EQ(CountAssigned(*s), 4);
    for (int uses : UsesPerPicture(*s, 2)) EXPECT_EQ(uses, 2);  // 4 div 2 rounds
  }
}

TEST(CellAssignment, PenLayerIsWeightedAsAFullCell) {
  auto s = GridState(1, 1);
  TTSLayer& pen = s->CurrentProject.Layers[7];
  pen.Active = 1;
  pen.Cells.assign(1, Cell(*s, 1, 0));
  pen.CellCount = 1;
  for (auto& w : s->LayerMaskWeights) w.fill(0.0f);  // every pattern layer: all equal
  SetPictures(*s, {Grey(0), Grey(128), Grey(60)});
  EXPECT_EQ(SearchCandidates(*s, 7, 0, false).Slots[0].PictureIndex, 1);
  EXPECT_EQ(SearchCandidates(*s, 7, 0, false).Slots[0].Difference, 0);
  EXPECT_EQ(SearchCandidates(*s, 7, 0, false).Slots[1].Difference, 192 * 68 * 68);
  EXPECT_EQ(SearchCandidates(*s, 1, 0, false).Slots[1].Difference, 0);
}

}  // namespace
}  // namespace tessaro
