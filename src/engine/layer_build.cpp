// Building a pattern layer's cells: grid geometry, division, signatures, priorities.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <exception>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "core/app_state.h"
#include "core/job_progress.h"
#include "engine/layers.h"
#include "image/ooimgfunction2007.h"

namespace tessaro {

namespace {

// Trunc(size x factor) as a pitch; false when it is below one pixel (a zero, negative
// or NaN factor included). Pitches beyond 32 bits are held at INT32_MAX, which gives
// the grid no more than one column.
bool PitchOf(int size, double factor, std::int32_t& pitch) {
  const double v = double(size) * factor;
  if (!(v >= 1.0)) return false;
  pitch = v >= double(INT32_MAX) ? INT32_MAX : std::int32_t(v);
  return true;
}

// Trunc(size x offset); false when it is NaN or beyond 32 bits.
bool ShiftOf(int size, double offset, std::int32_t& shift) {
  const double v = std::trunc(double(size) * offset);
  if (!(v >= double(INT32_MIN) && v <= double(INT32_MAX))) return false;
  shift = std::int32_t(v);
  return true;
}

// Every edge of a grid along one axis fits 32 bits: from offset to
// step x (count - 1) + offset + cell.
bool AxisFits(std::int64_t step, std::int64_t count, std::int64_t offset, std::int64_t cell) {
  if (count == 0) return true;
  const std::int64_t lo = offset, hi = step * (count - 1) + offset + cell;
  return lo >= INT32_MIN && hi <= INT32_MAX;
}

bool IsFile(const std::filesystem::path& p) {
  std::error_code ec;
  return std::filesystem::is_regular_file(p, ec);
}

// Division treats -1 (no level) like 9: a stray pixel must not split a cell in
// every pass, which would multiply the cells by up to 4^9.
std::int32_t SplitLevel(std::int32_t level) { return level < 1 ? kNoDivisionLevel : level; }

TMosaicCell QuarterCell(const TAppState& state, const TRect& r) {
  TMosaicCell c;
  c.Bounds = r;
  c.PriorityLevel = kDefaultPriorityLevel;
  c.DivisionLevel = DivisionLevelAt(state, CellCentre(r));
  return c;
}

// Splits the layer's cells by the division map, on rectangles and levels only; the
// signatures follow once the cells are final.
void DivideCells(const TAppState& state, TTSLayer& layer) {
  std::vector<TMosaicCell>& cells = layer.Cells;
  for (std::int32_t pass = 9; pass >= 1; --pass) {
    // Cells appended in this pass are examined in the following passes only.
    const std::size_t present = cells.size();
    for (std::size_t i = 0; i < present; ++i) {
      if (SplitLevel(cells[i].DivisionLevel) >= pass) continue;
      const TRect r = cells[i].Bounds;
      const int hw = r.Width() / 2, hh = r.Height() / 2;
      if (hw < 1 || hh < 1) continue;  // a half of 0 pixels is no cell
      if (cells.size() + 3 > std::size_t(kMaxLayerCells)) return;
      const TRect tl{r.Left, r.Top, r.Left + hw, r.Top + hh};
      cells[i].Bounds = tl;
      cells[i].PriorityLevel = kDefaultPriorityLevel;
      cells[i].DivisionLevel = DivisionLevelAt(state, CellCentre(tl));
      cells.push_back(QuarterCell(state, {r.Left + hw, r.Top, r.Right, r.Top + hh}));
      cells.push_back(QuarterCell(state, {r.Left, r.Top + hh, r.Left + hw, r.Bottom}));
      cells.push_back(QuarterCell(state, {r.Left + hw, r.Top + hh, r.Right, r.Bottom}));
    }
  }
}

// Cells per batch between two rounds of progress reports: about a million scratch
// pixels, so the windows are served every few milliseconds whatever the cell size.
std::size_t BatchCells(int cellWidth, int cellHeight) {
  const std::int64_t area = std::max<std::int64_t>(1, std::int64_t(cellWidth) * cellHeight);
  return std::size_t(std::clamp<std::int64_t>((std::int64_t(1) << 20) / area, 2, 256));
}

// Signatures of cells [begin, end) split into `bands` contiguous bands, the last on
// the calling thread. Each cell's signature depends on its own rectangle only.
void SignatureBands(const TBitmap32& main, int mosaicWidth, int mosaicHeight,
                    TMosaicCell* cells, std::size_t begin, std::size_t end, int bands) {
  auto run = [&](std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i)
      cells[i].Signature = ComputeCellSignature(main, mosaicWidth, mosaicHeight, cells[i].Bounds);
  };
  const std::size_t n = end - begin;
  bands = int(std::clamp<std::size_t>(std::size_t(std::max(bands, 1)), 1, std::max<std::size_t>(n, 1)));
  if (bands == 1) {
    run(begin, end);
    return;
  }
  std::vector<std::thread> workers;
  std::vector<std::exception_ptr> errors(std::size_t(bands - 1));
  workers.reserve(std::size_t(bands - 1));
  for (int b = 0; b + 1 < bands; ++b) {
    const std::size_t from = begin + n * std::size_t(b) / std::size_t(bands);
    const std::size_t to = begin + n * std::size_t(b + 1) / std::size_t(bands);
    auto band = [&, from, to, b] {
      try {
        run(from, to);
      } catch (...) {
        errors[std::size_t(b)] = std::current_exception();
      }
    };
    try {
      workers.emplace_back(band);
    } catch (const std::system_error&) {
      band();  // no thread to be had: this band runs here instead
    }
  }
  std::exception_ptr own;
  try {
    run(begin + n * std::size_t(bands - 1) / std::size_t(bands), end);
  } catch (...) {
    own = std::current_exception();
  }
  for (std::thread& t : workers) t.join();
  if (own) std::rethrow_exception(own);
  for (const std::exception_ptr& e : errors)
    if (e) std::rethrow_exception(e);
}

constexpr int kMaxBuildThreads = 8;

}  // namespace

TLayerGrid ComputeLayerGrid(const TLayerPattern& lp, int areaWidth, int areaHeight,
                            int cellWidth, int cellHeight) {
  if (!lp.Enabled) return {};
  if (cellWidth < 1 || cellHeight < 1 || cellWidth > kMaxCellEdge || cellHeight > kMaxCellEdge)
    return {};
  TLayerGrid g;
  if (!PitchOf(cellWidth, lp.HorzFactor, g.StepX) || !PitchOf(cellHeight, lp.VertFactor, g.StepY))
    return {};
  if (!ShiftOf(cellWidth, lp.HorzOffset, g.OffsetX) || !ShiftOf(cellHeight, lp.VertOffset, g.OffsetY))
    return {};
  const std::int64_t columns = std::max(areaWidth, 0) / g.StepX;
  const std::int64_t rows = std::max(areaHeight, 0) / g.StepY;
  if (columns * rows > kMaxLayerCells) return {};
  if (!AxisFits(g.StepX, columns, g.OffsetX, cellWidth) || !AxisFits(g.StepY, rows, g.OffsetY, cellHeight))
    return {};
  g.Columns = std::int32_t(columns);
  g.Rows = std::int32_t(rows);
  g.Buildable = true;
  return g;
}

TGridSize LayerGridSize(const TLayerPattern& lp, int areaWidth, int areaHeight, int cellWidth,
                        int cellHeight) {
  const TLayerGrid g = ComputeLayerGrid(lp, areaWidth, areaHeight, cellWidth, cellHeight);
  return {g.Columns, g.Rows};
}

std::int32_t CountLayerCells(const TLayerPattern& lp, int areaWidth, int areaHeight,
                             int cellWidth, int cellHeight) {
  return ComputeLayerGrid(lp, areaWidth, areaHeight, cellWidth, cellHeight).CellCount();
}

void ClearLayer(TTSLayer& layer) {
  layer.Cells.clear();
  layer.Cells.shrink_to_fit();
  layer.CellCount = 0;
  layer.BuiltCellCount = 0;
}

void SetCellBounds(const TAppState& state, TTSLayer& layer, int index, const TRect& r) {
  if (index < 0 || std::size_t(index) >= layer.Cells.size()) return;
  TMosaicCell& cell = layer.Cells[std::size_t(index)];
  cell.Bounds = r;
  cell.Signature = ComputeCellSignature(state, r);
  cell.PriorityLevel = kDefaultPriorityLevel;
}

void BuildLayerGeometry(TTSLayer& layer, const TLayerPattern& lp, int areaWidth, int areaHeight,
                        int cellWidth, int cellHeight) {
  const TLayerGrid g = ComputeLayerGrid(lp, areaWidth, areaHeight, cellWidth, cellHeight);
  layer.Active = g.Buildable ? 1 : 0;
  if (!g.Buildable) {
    // Inactive layers keep no cells and no shape.
    ClearLayer(layer);
    layer.MaskBitmap = TBitmap32();
    return;
  }
  layer.Pattern = lp;
  // A pattern without a (readable) mask never keeps the shape of an earlier one.
  layer.MaskBitmap = TBitmap32();
  if (lp.HasMask == 1 && IsFile(lp.MaskImage)) LoadPicture(layer.MaskBitmap, lp.MaskImage);

  layer.AreaWidth = areaWidth;
  layer.AreaHeight = areaHeight;
  layer.CellWidth = cellWidth;
  layer.CellHeight = cellHeight;
  layer.StepX = g.StepX;
  layer.StepY = g.StepY;
  layer.OffsetX = g.OffsetX;
  layer.OffsetY = g.OffsetY;
  layer.Columns = g.Columns;
  layer.Rows = g.Rows;
  layer.Cells.assign(std::size_t(g.CellCount()), TMosaicCell{});
  layer.CellCount = g.CellCount();
  layer.BuiltCellCount = g.CellCount();
}

void BuildLayer(TAppState& state, TTSLayer& layer, const TLayerPattern& lp, int areaWidth,
                int areaHeight, int cellWidth, int cellHeight, IJobProgress* progress,
                int threadCount) {
  BuildLayerGeometry(layer, lp, areaWidth, areaHeight, cellWidth, cellHeight);
  if (!layer.Active) return;
  const TtsProject07& project = state.CurrentProject;

  const std::int32_t built = layer.BuiltCellCount;
  for (std::int32_t i = 0; i < built; ++i) {
    const std::int32_t row = i / layer.Columns, column = i - row * layer.Columns;
    TMosaicCell& cell = layer.Cells[std::size_t(i)];
    // In 64 bits: a negative shift may bring a product beyond 32 bits back into range.
    const int left = int(std::int64_t(layer.StepX) * column + layer.OffsetX);
    const int top = int(std::int64_t(layer.StepY) * row + layer.OffsetY);
    cell.Bounds = {left, top, left + cellWidth, top + cellHeight};
    cell.PriorityLevel = kDefaultPriorityLevel;
    cell.DivisionLevel =
        project.UseDivisionMap ? DivisionLevelAt(state, CellCentre(cell.Bounds)) : kNoDivisionLevel;
  }
  // Division first, on rectangles only, so each cell's signature is taken once, from
  // its final rectangle: the same signatures as splitting signed cells.
  if (project.UseDivisionMap) DivideCells(state, layer);
  layer.CellCount = std::int32_t(layer.Cells.size());

  // Signatures in batches over the bands; the progress of each batch then follows in
  // the cells' order, with no worker running while messages are processed.
  const int bands = std::clamp(threadCount, 1, kMaxBuildThreads);
  const std::size_t total = layer.Cells.size();
  const std::size_t batch = progress ? BatchCells(cellWidth, cellHeight) : std::max<std::size_t>(total, 1);
  // Appended piecewise: GCC 12 warns falsely (-Wrestrict) on "literal" + std::string.
  std::string prefix = "Layer ";
  prefix += std::to_string(layer.LayerNo);
  prefix += " Done:";
  std::string suffix = "/";
  suffix += std::to_string(built);
  for (std::size_t begin = 0; begin < total; begin += batch) {
    const std::size_t end = std::min(total, begin + batch);
    SignatureBands(state.MainImage, project.MosaicWidth, project.MosaicHeight,
                   layer.Cells.data(), begin, end, bands);
    if (!progress) continue;
    for (std::size_t i = begin; i < end && i < std::size_t(built); ++i) {
      progress->ProcessMessages();
      progress->SetPercent(int(std::int64_t(i) * 100 / built));
      progress->SetDetail(prefix + std::to_string(i) + suffix);
    }
    // Quarters of divided cells: no counter of their own, but the windows stay alive.
    if (end > std::size_t(built)) progress->ProcessMessages();
  }

  if (project.UsePriorityMap)
    for (TMosaicCell& cell : layer.Cells)
      cell.PriorityLevel = PriorityLevelAt(state, CellCentre(cell.Bounds));
}

}  // namespace tessaro
