// Drawing the output pages: every page of the mosaic (the job's last step) or one
// page on demand.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>

#include "core/app_state.h"
#include "core/job_progress.h"
#include "core/project_files.h"
#include "engine/mosaic_drawing.h"
#include "render/ootsrender.h"
#include "render/render_job_internal.h"

namespace tessaro {

namespace render_detail {

namespace {

int ClampToInt(std::int64_t v) {
  return int(std::clamp<std::int64_t>(v, INT_MIN, INT_MAX));
}

std::string SizeText(std::int64_t w, std::int64_t h) {
  return std::to_string(w) + " x " + std::to_string(h);
}

}  // namespace

void CheckPageSize(const TtsProject07& project) {
  const std::int64_t w = project.PageWidth, h = project.PageHeight;
  if (w < 1 || h < 1)
    throw TRenderError("The page size " + SizeText(w, h) + " is not usable: a page needs at "
                       "least one pixel each way");
  if (w * h > kMaxCanvasPixels)
    throw TRenderError("The page size " + SizeText(w, h) + " is too large: a page may hold at "
                       "most " + std::to_string(kMaxCanvasPixels) + " pixels");
}

void CheckPageGeometry(const TtsProject07& project) {
  CheckPageSize(project);
  if (project.MosaicWidth < 1 || project.MosaicHeight < 1)
    throw TRenderError("The mosaic size " + SizeText(project.MosaicWidth, project.MosaicHeight) +
                       " is not usable");
  const TPageGrid grid = PageGridOf(project.MosaicWidth, project.MosaicHeight,
                                    project.PageWidth, project.PageHeight);
  if (grid.PageCount() > kMaxPageCount)
    throw TRenderError("The mosaic would need " + std::to_string(grid.PageCount()) +
                       " pages; at most " + std::to_string(kMaxPageCount) + " can be drawn");
}

TRect PageRectOf(const TtsProject07& project, int col, int row) {
  const std::int64_t pw = project.PageWidth, ph = project.PageHeight;
  const std::int64_t left = std::int64_t(col) * pw, top = std::int64_t(row) * ph;
  const std::int64_t right = std::max(left, std::min((std::int64_t(col) + 1) * pw,
                                                     std::int64_t(project.MosaicWidth)));
  const std::int64_t bottom = std::max(top, std::min((std::int64_t(row) + 1) * ph,
                                                     std::int64_t(project.MosaicHeight)));
  return TRect{ClampToInt(left), ClampToInt(top), ClampToInt(right), ClampToInt(bottom)};
}

void SavePageAtomically(TBitmap32& bitmap, const std::filesystem::path& target, int dpi) {
  std::filesystem::path temp = target;
  temp += ".part";
  try {
    bitmap.SaveToFileWithDPI(temp, dpi);
    std::filesystem::rename(temp, target);
  } catch (...) {
    std::error_code ec;
    std::filesystem::remove(temp, ec);
    throw;
  }
}

}  // namespace render_detail

TPageGrid PageGridOf(int mosaicWidth, int mosaicHeight, int pageWidth, int pageHeight) {
  if (pageWidth < 1 || pageHeight < 1) return {};
  auto count = [](std::int64_t extent, std::int64_t page) {
    if (extent <= 0) return 0;
    std::int64_t n = extent / page;
    if (page * n < extent) ++n;
    return int(n);
  };
  return TPageGrid{count(mosaicWidth, pageWidth), count(mosaicHeight, pageHeight)};
}

std::string PageFileName(const TPageGrid& grid, int col, int row) {
  if (grid.PageCount() == 1 && col == 0 && row == 0) return "output.bmp";
  return "output_x" + std::to_string(col) + "y" + std::to_string(row) + ".bmp";
}

namespace {

// A fresh page: sized, filled, and the main image under it when the project wants it.
void PreparePage(TAppState& state, TColor32 fill) {
  const TtsProject07& p = state.CurrentProject;
  state.OutputBitmap.SetSize(p.PageWidth, p.PageHeight);
  state.OutputBitmap.Clear(fill);
  if (p.MainImageAsBackground)
    DrawMainImageBackground(state, state.OutputBitmap, state.MainImage.BoundsRect(), 255);
}

}  // namespace

void DrawAllPages(TAppState& state, IJobProgress& progress) {
  TtsProject07& p = state.CurrentProject;
  progress.SetStep("Draw Mosaic");
  render_detail::CheckPageGeometry(p);
  const TPageGrid grid = PageGridOf(p.MosaicWidth, p.MosaicHeight, p.PageWidth, p.PageHeight);
  const TColor32 canvas = CanvasToColor32(p.CanvasColor);

  progress.Log("Draw Mosaics");
  progress.Log("Clearning Main Mosaic Canvas");
  state.OutputBitmap.Clear(canvas);
  progress.Log("drawing tiles");
  progress.Pause(100);

  std::filesystem::path last;
  // Column by column: the files appear as x0y0, x0y1, ..., x1y0, ...
  for (int c = 0; c < grid.Columns; ++c) {
    for (int r = 0; r < grid.Rows; ++r) {
      const TRect page = render_detail::PageRectOf(p, c, r);
      PreparePage(state, canvas);
      DrawAllLayers(state, page, &progress);
      const std::string name = PageFileName(grid, c, r);
      last = render_detail::ProjectFile(p, name);
      render_detail::SavePageAtomically(state.OutputBitmap, last, p.OutputDPI);
      progress.SetDetail("Saved " + name);
    }
  }

  progress.Log("Draw Mosaics.......................Done");
  progress.Log("PhotoMosaic Saved to " + last.string());
  progress.RefreshView();

  SaveLayers(p);
  render_detail::AdvanceStage(p, kStageDrawn);
}

void DrawOnePage(TAppState& state, IJobProgress& progress, int col, int row) {
  TtsProject07& p = state.CurrentProject;
  render_detail::CheckPageSize(p);
  // The grid only decides between "output.bmp" and the per-page names.
  const TPageGrid grid = PageGridOf(p.MosaicWidth, p.MosaicHeight, p.PageWidth, p.PageHeight);
  const TColor32 border = CanvasToColor32(p.BorderColor);

  progress.Log("Draw Mosaics");
  progress.Log("Clearning Main Mosaic Canvas");
  state.OutputBitmap.Clear(border);
  progress.Log("drawing tiles");
  progress.Pause(100);

  const TRect page = render_detail::PageRectOf(p, col, row);
  PreparePage(state, border);
  DrawAllLayers(state, page, nullptr);
  const std::filesystem::path file = render_detail::ProjectFile(p, PageFileName(grid, col, row));
  render_detail::SavePageAtomically(state.OutputBitmap, file, p.OutputDPI);

  progress.Log("Draw Mosaics.......................Done");
  progress.Log("PhotoMosaic Saved to " + file.string());
  progress.RefreshView();
}

}  // namespace tessaro
