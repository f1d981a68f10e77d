// Which pictures a cell may take: the radius test against the assigned cells nearby
// and the repeat count test, with the usage recount; the bucket grid and the level
// walk that keep both fast inside a procedure; the small shared helpers.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/app_state.h"
#include "engine/assignment_internal.h"
#include "engine/cell_assignment.h"
#include "engine/layers.h"

namespace tessaro {

namespace assign_detail {

namespace {

constexpr std::int64_t kUsableTableSize = 65536;

std::uint8_t* UsableTable(TAppState& state) {
  if (std::int64_t(state.UsablePictures.size()) < kUsableTableSize)
    state.UsablePictures.resize(std::size_t(kUsableTableSize), 0);
  return state.UsablePictures.data();
}

}  // namespace

std::int32_t PictureCount(const TAppState& state) {
  return std::clamp<std::int32_t>(state.Library.LibImageCount, 0, kLibImageCapacity);
}

std::int32_t MatchedPictureCount(const TAppState& state) {
  const std::int32_t pictures = PictureCount(state);
  if (!state.CurrentProject.AllowRotation) return pictures;
  return std::clamp<std::int32_t>(state.Library.LibDetailCount, 0,
                                  std::min<std::int32_t>(pictures, kLibDetailCapacity));
}

const TMaskWeights& LayerWeights(const TAppState& state, int layer) {
  static const TMaskWeights kFullCell = [] {
    TMaskWeights w;
    w.fill(1.0f);
    return w;
  }();
  if (layer >= 1 && layer <= kMaxPatternLayers) return state.LayerMaskWeights[std::size_t(layer)];
  return kFullCell;
}

TMatchOptions MatchOptionsOf(const TAppState& state) {
  const TtsProject07& p = state.CurrentProject;
  return TMatchOptions{p.MonochromeCell != 0, p.AllowHorizontalFlip != 0,
                       p.AllowVerticalFlip != 0, state.Library.FastModeRendering != 0};
}

TMosaicCell* CellAt(TAppState& state, int layer, int index) {
  if (layer < 1 || layer > kLayerCount) return nullptr;
  std::vector<TMosaicCell>& cells = state.CurrentProject.Layers[std::size_t(layer)].Cells;
  if (index < 0 || std::size_t(index) >= cells.size()) return nullptr;
  return &cells[std::size_t(index)];
}

std::int64_t RepeatLimit(const TMosaicCell& cell, std::int32_t repeatRadius) {
  const TRect& b = cell.Bounds;
  return std::int64_t(DistSq(TPoint{b.Left, b.Top}, TPoint{b.Right, b.Bottom})) * repeatRadius;
}

// ---- Radius grid -------------------------------------------------------------------------

void TRepeatGrid::Reset(TPoint minCentre, TPoint maxCentre, std::int64_t maxReach,
                        std::int64_t cells) {
  minX_ = minCentre.X;
  minY_ = minCentre.Y;
  const std::int64_t width = std::max<std::int64_t>(std::int64_t(maxCentre.X) - minX_ + 1, 1);
  const std::int64_t height = std::max<std::int64_t>(std::int64_t(maxCentre.Y) - minY_ + 1, 1);
  // A bucket at least as wide as the reach keeps a query to 3 x 3 buckets; more buckets
  // than cells would only cost memory.
  size_ = std::clamp<std::int64_t>(maxReach, 1, std::max(width, height));
  const std::int64_t limit = 4 * std::max<std::int64_t>(cells, 0) + 64;
  for (;;) {
    columns_ = (width - 1) / size_ + 1;
    rows_ = (height - 1) / size_ + 1;
    if (columns_ * rows_ <= limit) break;
    size_ *= 2;
  }
  buckets_.assign(std::size_t(columns_ * rows_), {});
  pictureCells_.assign(std::size_t(kUsableTableSize), 0);
  distinct_.clear();
}

std::int64_t TRepeatGrid::BucketX(std::int64_t x) const {
  return x < minX_ ? 0 : std::min((x - minX_) / size_, columns_ - 1);
}

std::int64_t TRepeatGrid::BucketY(std::int64_t y) const {
  return y < minY_ ? 0 : std::min((y - minY_) / size_, rows_ - 1);
}

void TRepeatGrid::Insert(TPoint centre, std::int32_t picture) {
  if (picture < 0 || picture >= kUsableTableSize || buckets_.empty()) return;
  buckets_[std::size_t(BucketY(centre.Y) * columns_ + BucketX(centre.X))].push_back(
      TEntry{centre.X, centre.Y, picture});
  if (pictureCells_[std::size_t(picture)]++ == 0) distinct_.push_back(picture);
}

void TRepeatGrid::Mark(TPoint centre, std::int64_t t, std::uint8_t* usable) const {
  if (t < 0 || buckets_.empty()) return;  // DistSq is never negative
  if (t >= INT32_MAX) {
    for (const std::int32_t p : distinct_) usable[p] = 0;
    return;
  }
  const std::int64_t reach = std::int64_t(std::sqrt(double(t))) + 1;
  const std::int64_t x0 = BucketX(std::int64_t(centre.X) - reach);
  const std::int64_t x1 = BucketX(std::int64_t(centre.X) + reach);
  const std::int64_t y0 = BucketY(std::int64_t(centre.Y) - reach);
  const std::int64_t y1 = BucketY(std::int64_t(centre.Y) + reach);
  for (std::int64_t by = y0; by <= y1; ++by) {
    const std::vector<TEntry>* row = buckets_.data() + by * columns_;
    for (std::int64_t bx = x0; bx <= x1; ++bx)
      for (const TEntry& e : row[bx])
        if (DistSq(TPoint{e.X, e.Y}, centre) <= t) usable[e.Picture] = 0;
  }
}

// ---- Level walk ----------------------------------------------------------------------------

void TLevelWalk::Reset(std::vector<std::int32_t> cells) {
  cells_ = std::move(cells);
  const std::size_t n = cells_.size();
  tree_.assign(n + 1, 0);
  for (std::size_t i = 1; i <= n; ++i) {
    tree_[i] += 1;
    const std::size_t j = i + (i & (~i + 1));
    if (j <= n) tree_[j] += tree_[i];
  }
  present_.assign(n, 1);
  count_ = std::int32_t(n);
  topBit_ = 1;
  while (std::size_t(topBit_) * 2 <= n) topBit_ *= 2;
}

std::int32_t TLevelWalk::Take(std::int32_t r) const {
  if (r < 0 || r >= count_) return -1;
  const std::size_t n = cells_.size();
  std::size_t pos = 0;
  std::int32_t rest = r;
  for (std::size_t step = std::size_t(topBit_); step > 0; step >>= 1) {
    if (pos + step <= n && tree_[pos + step] <= rest) {
      pos += step;
      rest -= tree_[pos];
    }
  }
  return cells_[pos];  // the (r + 1)-th present cell
}

void TLevelWalk::Remove(std::int32_t g) {
  const auto it = std::lower_bound(cells_.begin(), cells_.end(), g);
  if (it == cells_.end() || *it != g) return;
  const std::size_t i = std::size_t(it - cells_.begin());
  if (!present_[i]) return;
  present_[i] = 0;
  --count_;
  for (std::size_t j = i + 1; j <= cells_.size(); j += j & (~j + 1)) --tree_[j];
}

// ---- Usable pictures -----------------------------------------------------------------------

std::int32_t ComputeUsablePicturesIn(TAssignContext* ctx, TAppState& state,
                                     const TMosaicCell& cell) {
  TtsProject07& project = state.CurrentProject;
  std::uint8_t* usable = UsableTable(state);
  std::memset(usable, 1, state.UsablePictures.size());

  const std::int64_t t = RepeatLimit(cell, project.RepeatRadius);
  const TPoint centre = CellCentre(cell.Bounds);
  if (ctx) {
    ctx->Grid.Mark(centre, t, usable);
  } else if (t >= 0) {
    for (int l = 1; l <= kLayerCount; ++l) {
      const std::int32_t n = ActiveCellCount(project, l, l);
      const TMosaicCell* cells = project.Layers[std::size_t(l)].Cells.data();
      for (std::int32_t i = 0; i < n; ++i) {
        const TMosaicCell& c = cells[i];
        if (c.Assigned == 1 && c.PictureIndex >= 0 && c.PictureIndex < kUsableTableSize &&
            DistSq(CellCentre(c.Bounds), centre) <= t)
          usable[c.PictureIndex] = 0;
      }
    }
  }

  if (!ctx || !ctx->UsageFresh) {
    RecountUsage(state);
    if (ctx) ctx->UsageFresh = true;
  }
  const std::int32_t pictures = PictureCount(state);
  if (project.LimitRepeat) {
    const LibImageInfo* infos = state.Library.LibImageInfos.data();
    for (std::int32_t i = 0; i < pictures; ++i)
      if (std::int64_t(infos[i].UsageCount) + 1 > project.MaxRepeatTimes) usable[i] = 0;
  }
  std::int32_t count = 0;
  for (std::int32_t i = 0; i < pictures; ++i) count += usable[i] == 1 ? 1 : 0;
  return count;
}

}  // namespace assign_detail

std::int32_t ComputeUsablePictures(TAppState& state, const TMosaicCell& cell) {
  return assign_detail::ComputeUsablePicturesIn(nullptr, state, cell);
}

void RecountUsage(TAppState& state) {
  LibImageInfo* infos = state.Library.LibImageInfos.data();
  for (std::size_t i = 0; i < state.Library.LibImageInfos.size(); ++i) infos[i].UsageCount = 0;
  const std::int32_t pictures = assign_detail::PictureCount(state);
  const TtsProject07& project = state.CurrentProject;
  for (int l = 1; l <= kLayerCount; ++l) {
    const std::int32_t n = ActiveCellCount(project, l, l);
    const TMosaicCell* cells = project.Layers[std::size_t(l)].Cells.data();
    for (std::int32_t i = 0; i < n; ++i) {
      const TMosaicCell& c = cells[i];
      if (c.Assigned == 1 && c.PictureIndex >= 0 && c.PictureIndex < pictures)
        ++infos[c.PictureIndex].UsageCount;
    }
  }
}

}  // namespace tessaro
