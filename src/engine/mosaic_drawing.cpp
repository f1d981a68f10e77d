// Drawing the layers of one page: the cells that touch it, grouped by picture so that
// each file is decoded once, prepared on worker threads and drawn in the serial order.
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "core/app_state.h"
#include "core/job_progress.h"
#include "engine/mosaic_drawing.h"
#include "engine/mosaic_drawing_internal.h"
#include "image/ooimgfunction2007.h"

namespace tessaro {

using namespace drawing_internal;

namespace {

constexpr int kMaxDrawThreads = 8;

// One chunk of work between two rounds of drawing and progress: pictures are decoded
// and their cells prepared until about this many pixels are held (decoded pictures
// times their cells, plus each cell's resampled part of the page) or this many cells
// are waiting. That bounds the memory held at once and keeps the windows served
// every few tens of milliseconds.
constexpr std::int64_t kChunkPixels = std::int64_t(1) << 23;
constexpr std::int64_t kChunkCells = 256;

// The touching cells of one picture index, in cell order; the groups are in the
// order of their first cell, which is the order the cells are drawn in.
struct TPictureGroup {
  std::int32_t PictureIndex = -1;
  std::vector<int> Cells;
  std::int64_t PagePixels = 0;  // the cells' visible area on the page
  bool Loaded = false;          // set while its chunk is decoded
  TBitmap32 Picture;            // cropped and greyed, for its chunk only
};

struct TCellJob {
  int Cell = 0;
  const TPictureGroup* Group = nullptr;
  const TCellShape* Shape = nullptr;  // the layer's cut for the group's picture size
  bool KeepPicture = false;  // the chunk's last cell: its picture stays as PictureBitmap
  TCellMeasures Measures;
  TPlacement Placement;
  TBitmap32 Picture;
};

// Runs work on up to `threads` threads, the calling thread one of them, and waits for
// all. work takes its items from a shared counter, so a thread the system refuses
// only leaves its share to the others. The first failure is raised again here.
void RunOnThreads(int threads, const std::function<void()>& work) {
  std::vector<std::exception_ptr> errors(std::size_t(std::max(threads, 1)));
  std::vector<std::thread> workers;
  for (int t = 1; t < threads; ++t) {
    try {
      workers.emplace_back([&work, &errors, t] {
        try {
          work();
        } catch (...) {
          errors[std::size_t(t)] = std::current_exception();
        }
      });
    } catch (const std::system_error&) {
      break;
    }
  }
  try {
    work();
  } catch (...) {
    errors[0] = std::current_exception();
  }
  for (std::thread& w : workers) w.join();
  for (const std::exception_ptr& e : errors)
    if (e) std::rethrow_exception(e);
}

std::int64_t VisiblePixels(const TRect& bounds, const TRect& page, int targetW, int targetH) {
  TRect dest;
  if (!MoveRect(bounds, page, dest)) return 0;
  const TRect v = IntersectRect(dest, TRect{0, 0, targetW, targetH});
  return std::int64_t(v.Width()) * v.Height();
}

// Decodes the groups from `first` on until the chunk is full; returns the end of the
// chunk. Threads take the groups in order, so the decoded ones are always a run.
std::size_t DecodeChunk(const TAppState& state, std::vector<TPictureGroup>& groups,
                        std::size_t first, int threads) {
  std::atomic<std::size_t> next{first};
  std::atomic<std::int64_t> pixels{0}, cells{0};
  std::atomic<bool> full{false};
  RunOnThreads(int(std::min<std::size_t>(std::size_t(threads), groups.size() - first)), [&] {
    while (!full.load()) {
      const std::size_t g = next.fetch_add(1);
      if (g >= groups.size()) return;
      TPictureGroup& group = groups[g];
      const std::string* file = CellPictureFile(state, group.PictureIndex);
      group.Loaded = file && LoadCellPicture(state.CurrentProject, *file, group.Picture);
      const std::int64_t n = std::int64_t(group.Cells.size());
      const std::int64_t held =
          (group.Loaded ? std::int64_t(group.Picture.Width()) * group.Picture.Height() * n : 0) +
          group.PagePixels;
      if (pixels.fetch_add(held) + held >= kChunkPixels || cells.fetch_add(n) + n >= kChunkCells)
        full.store(true);
    }
  });
  return std::min(next.load(), groups.size());
}

void PrepareChunk(const TAppState& state, const TTSLayer& layer, const TRect& page, int targetW,
                  int targetH, std::vector<TCellJob>& jobs, int threads) {
  std::atomic<std::size_t> next{0};
  RunOnThreads(int(std::min<std::size_t>(std::size_t(threads), jobs.size())), [&] {
    for (;;) {
      const std::size_t j = next.fetch_add(1);
      if (j >= jobs.size()) return;
      TCellJob& job = jobs[j];
      const TMosaicCell& cell = layer.Cells[std::size_t(job.Cell)];
      TBitmap32 picture(job.Group->Picture);
      PrepareCellPicture(state, layer, cell, cell.Bounds, TCellSteps{}, picture, job.Measures,
                         job.Shape);
      if (job.KeepPicture) job.Picture = picture;
      TRect dest;
      if (MoveRect(cell.Bounds, page, dest))
        PlacePicture(std::move(picture), targetW, targetH, dest, job.Placement);
    }
  });
}

}  // namespace

void DrawLayer(TAppState& state, int layerNo, const TRect& page, IJobProgress* progress,
               int threadCount) {
  TTSLayer* layer = LayerOf(state, layerNo);
  if (!layer) return;
  std::vector<TMosaicCell>& cells = layer->Cells;
  TBitmap32& target = state.OutputBitmap;

  std::vector<int> touching;
  for (std::size_t i = 0; i < cells.size(); ++i) {
    TMosaicCell& cell = cells[i];
    if (!cell.Assigned || !RectCornerInRect(cell.Bounds, page)) continue;
    cell.Drawn = 0;
    touching.push_back(int(i));
  }
  const std::int64_t total = std::int64_t(touching.size());

  if (state.CurrentProject.TilePreviewOnly != 0) {
    for (std::size_t i = 0; i < cells.size(); ++i)
      if (cells[i].Assigned) DrawCell(state, layerNo, int(i), target, nullptr, false, page);
    return;
  }

  // Cells whose index lies outside the picture list have no file: never drawn.
  const std::size_t listSize = state.RenderCellImgList.size();
  std::vector<std::int32_t> groupOf(listSize, -1);
  std::vector<TPictureGroup> groups;
  for (int i : touching) {
    const TMosaicCell& cell = cells[std::size_t(i)];
    if (cell.PictureIndex < 0 || std::size_t(cell.PictureIndex) >= listSize) continue;
    std::int32_t& g = groupOf[std::size_t(cell.PictureIndex)];
    if (g < 0) {
      g = std::int32_t(groups.size());
      groups.emplace_back().PictureIndex = cell.PictureIndex;
    }
    groups[std::size_t(g)].Cells.push_back(i);
    groups[std::size_t(g)].PagePixels += VisiblePixels(cell.Bounds, page, target.Width(), target.Height());
  }

  const int threads = std::clamp(threadCount, 1, kMaxDrawThreads);
  // Appended piecewise: GCC 12 warns falsely (-Wrestrict) on "literal" + std::string.
  std::string prefix = "Layer:";
  prefix += std::to_string(layer->LayerNo);
  prefix += ", Done:";
  std::string suffix = "/";
  suffix += std::to_string(total);
  std::int64_t done = 0;

  // Colour shift, flips, blend and rotation keep a picture's size, so every cell of a
  // group is cut at its picture's size; pictures of one library mostly share one.
  const bool shaped = HasShape(*layer);
  std::map<std::pair<int, int>, std::unique_ptr<const TCellShape>> shapes;
  auto shapeFor = [&](const TBitmap32& picture) -> const TCellShape* {
    if (!shaped) return nullptr;
    std::unique_ptr<const TCellShape>& s = shapes[{picture.Width(), picture.Height()}];
    if (!s)
      s = std::make_unique<const TCellShape>(layer->MaskBitmap, picture.Width(), picture.Height(),
                                             state.CurrentProject.BorderColor,
                                             state.CurrentProject.BorderSize);
    return s.get();
  };

  std::vector<TCellJob> jobs;
  for (std::size_t first = 0; first < groups.size();) {
    const std::size_t end = DecodeChunk(state, groups, first, threads);
    jobs.clear();
    for (std::size_t g = first; g < end; ++g) {
      if (!groups[g].Loaded) continue;
      const TCellShape* shape = shapeFor(groups[g].Picture);
      for (int i : groups[g].Cells) {
        if (std::size_t(i) >= cells.size()) continue;  // window code changed the layer
        TCellJob& job = jobs.emplace_back();
        job.Cell = i;
        job.Group = &groups[g];
        job.Shape = shape;
      }
    }
    if (!jobs.empty()) jobs.back().KeepPicture = true;
    // The page may have been resized by window code during the last round of
    // messages: each chunk is placed for the page as it is now.
    PrepareChunk(state, *layer, page, target.Width(), target.Height(), jobs, threads);
    for (std::size_t g = first; g < end; ++g) groups[g].Picture = TBitmap32();

    for (TCellJob& job : jobs) {
      if (std::size_t(job.Cell) >= cells.size()) continue;
      TMosaicCell& cell = cells[std::size_t(job.Cell)];
      StoreMeasures(job.Measures, cell);
      DrawPlacement(job.Placement, target);
      job.Placement = TPlacement();
      cell.Drawn = 1;
      ++done;
      if (progress) {
        progress->SetPercent(int(done * 100 / total));
        progress->SetDetail(prefix + std::to_string(done) + suffix);
        progress->ProcessMessages();
      }
    }
    if (!jobs.empty()) state.PictureBitmap = std::move(jobs.back().Picture);
    first = end;
  }
}

void DrawAllLayers(TAppState& state, const TRect& page, IJobProgress* progress, int threadCount) {
  for (int n = 1; n <= kLayerCount; ++n)
    if (state.CurrentProject.Layers[std::size_t(n)].Active)
      DrawLayer(state, n, page, progress, threadCount);
}

}  // namespace tessaro
