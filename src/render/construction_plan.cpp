// The construction plan of a tile mosaic, "constructionplan.bmp": every assigned cell
// as a white square with its tile ID on dark green, cut to the cell's shape.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/job_progress.h"
#include "image/canvas.h"
#include "image/ooimgfunction2007.h"
#include "render/report_text.h"
#include "render/reports.h"

namespace tessaro {

using namespace report_text;

namespace {

constexpr TColor32 kPlanGreen = Color32(0, 0x80, 0);
constexpr int kPlanFontHeight = 12;

}  // namespace

void DrawPlanCell(TAppState& state, int layer, int index, TBitmap32& target,
                  const std::string& text) {
  if (layer < 1 || layer > kLayerCount) return;
  const TTSLayer& l = state.CurrentProject.Layers[std::size_t(layer)];
  if (index < 0 || std::size_t(index) >= l.Cells.size()) return;
  const TMosaicCell& cell = l.Cells[std::size_t(index)];
  if (!cell.Assigned) return;
  const TtsProject07& project = state.CurrentProject;
  const int cw = project.CellWidth, ch = project.CellHeight;
  if (cw <= 0 || ch <= 0 || std::int64_t(cw) * ch > kMaxPlanCellPixels) return;

  TBitmap32& square = state.PictureBitmap;
  square.SetSize(cw, ch);
  square.Clear(clWhite32);
  // PictureBitmap is shared with the drawing step: draw it as a plain opaque square
  // whatever that left behind.
  square.DrawMode = dmOpaque;
  square.CombineMode = cmBlend;
  square.MasterAlpha = 255;
  TFont& font = square.Canvas().Font;
  font = TFont{};
  font.Height = kPlanFontHeight;
  const int x = std::max(0, cw / 2 - square.TextWidth(text) / 2);
  const int y = std::max(0, ch / 2 - square.TextHeight(text) / 2);
  square.Textout(x, y, text);
  if (l.Pattern.HasMask && !l.MaskBitmap.Empty())
    ApplyCellMask(square, square, l.MaskBitmap, project.BorderColor, project.BorderSize);
  square.DrawTo(target, cell.Bounds);
}

void DrawConstructionPlan(TAppState& state, IJobProgress* progress, const std::string& folder,
                          bool inPlace) {
  if (state.OutputBitmap.Empty())
    throw TReportError("There is no mosaic page to draw the construction plan on.");

  const int count = ReportPictureCount(state);
  std::vector<int> tileId(std::size_t(count), -1);
  std::int64_t uses = 0;
  {
    int id = 0;
    for (const int k : UsedPictures(state)) {
      tileId[std::size_t(k)] = id++;
      uses += UsageOf(state, k);
    }
  }

  TBitmap32 copy;
  if (!inPlace) copy.SetSize(state.OutputBitmap.Width(), state.OutputBitmap.Height());
  TBitmap32& target = inPlace ? state.OutputBitmap : copy;
  target.Clear(kPlanGreen);

  std::int64_t done = 0;
  int shown = -1;
  for (int l = 1; l <= kLayerCount; ++l) {
    const std::vector<TMosaicCell>& cells = state.CurrentProject.Layers[std::size_t(l)].Cells;
    for (std::size_t i = 0; i < cells.size(); ++i) {
      const int k = cells[i].PictureIndex;
      const int id = k >= 0 && k < count ? tileId[std::size_t(k)] : -1;
      DrawPlanCell(state, l, int(i), target, id >= 0 ? std::to_string(id) : "N/A");
      ++done;
      if (progress && uses > 0) {
        // done counts every cell, uses only the pictured ones: keep the bar in range.
        const int percent = int(std::min<std::int64_t>(done * 100 / uses, 100));
        if (percent != shown) {
          shown = percent;
          progress->SetPercent(percent);
          progress->ProcessMessages();
        }
      }
    }
  }
  if (progress) progress->SetPercent(0);

  SaveReportBitmap(TilePlanFolder(state, folder) / "constructionplan.bmp", target);
}

}  // namespace tessaro
