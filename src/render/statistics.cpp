// The statistics written at the end of a render job: "PositionTable.txt",
// "FileUsageCounter.txt", "FinalDiff.txt" and the chart "stat.bmp".
#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "render/report_text.h"
#include "render/reports.h"

namespace tessaro {

using namespace report_text;

namespace {

std::filesystem::path ProjectFile(const TAppState& state, const char* name) {
  return std::filesystem::path(state.CurrentProject.Projectpath) / name;
}

// Calls f(cell) for every cell of the active layers, layer 1 first, cells in order.
template <class F>
void ForEachActiveCell(const TAppState& state, F&& f) {
  for (int l = 1; l <= kLayerCount; ++l) {
    const TTSLayer& layer = state.CurrentProject.Layers[std::size_t(l)];
    if (!layer.Active) continue;
    for (const TMosaicCell& cell : layer.Cells) f(cell);
  }
}

constexpr int kChartWidth = 250, kChartHeight = 300;
constexpr int kChartColumns = 200;
constexpr int kChartBase = 256;  // the row every bar starts from
constexpr TColor32 kChartGrey = Color32(0x80, 0x80, 0x80);
constexpr TColor32 kChartGreen = Color32(0, 0xFF, 0);

// sorted: largest first.
TBitmap32 DrawDifferenceChart(const std::vector<std::int32_t>& sorted) {
  TBitmap32 chart(kChartWidth, kChartHeight);
  chart.Clear(kChartGrey);
  chart.FillRectS({0, 0, kChartColumns, kChartBase}, clWhite32);
  chart.Textout(20, 10, "Final Difference");
  const std::int64_t n = std::int64_t(sorted.size());
  if (n > 0) {
    for (int i = 0; i < kChartColumns; ++i) {
      const std::int64_t v = sorted[std::size_t(i * n / kChartColumns)];
      // The bar of v covers v rows from the base up (a line that leaves out its end
      // point); a negative value runs down instead. Only the rows inside the chart are
      // visited, so no value can make the loop long.
      std::int64_t from = v >= 0 ? kChartBase - v + 1 : kChartBase;
      std::int64_t to = v >= 0 ? kChartBase : kChartBase - v - 1;
      from = std::max<std::int64_t>(from, 0);
      to = std::min<std::int64_t>(to, kChartHeight - 1);
      for (std::int64_t y = from; y <= to; ++y) chart.SetPixel(i, int(y), kChartGreen);
    }
  }
  for (int j = 1; j <= 25; ++j)
    chart.FillRectS({0, kChartBase - 10 * j, kChartColumns, kChartBase - 10 * j + 1}, clBlack32);
  return chart;
}

}  // namespace

void WritePositionTable(TAppState& state) {
  const TtsProject07& project = state.CurrentProject;
  // A damaged project can carry a cell size of 0; it then counts as 1, so the table
  // gives pixel positions instead of dividing by zero.
  const int cellW = std::max(project.CellWidth, 1);
  const int cellH = std::max(project.CellHeight, 1);
  const int count = ReportPictureCount(state);

  // One pass over the cells instead of one per picture: the entries of each picture
  // come out in the same layer and cell order.
  std::vector<std::string> positions(static_cast<std::size_t>(count));
  std::vector<std::int64_t> hits(std::size_t(count), 0);
  ForEachActiveCell(state, [&](const TMosaicCell& cell) {
    const int k = cell.PictureIndex;
    if (k < 0 || k >= count) return;
    std::string& entry = positions[std::size_t(k)];
    entry += " x";
    entry += std::to_string(cell.Bounds.Left / cellW);
    entry += " y";
    entry += std::to_string(cell.Bounds.Top / cellH);
    entry += " ,";
    ++hits[std::size_t(k)];
  });

  TReportLines lines;
  std::int64_t total = 0, used = 0;
  for (int k = 0; k < count; ++k) {
    if (hits[std::size_t(k)] == 0) continue;
    lines.push_back(PictureFileOf(state, k) + " Pos:" + positions[std::size_t(k)]);
    ++used;
    total += hits[std::size_t(k)];
  }
  lines.push_back("total cell count " + std::to_string(total));
  lines.push_back("Used File " + std::to_string(used));
  SaveReportLines(ProjectFile(state, "PositionTable.txt"), lines);
}

void WriteStatistics(TAppState& state) {
  WritePositionTable(state);

  const int count = ReportPictureCount(state);
  TReportLines lines;
  lines.reserve(std::size_t(count) + 1);
  std::int64_t sum = 0;
  for (int k = 0; k < count; ++k) {
    const std::int32_t uses = UsageOf(state, k);
    lines.push_back("Use time: " + std::to_string(uses) + "   filename: " + PictureFileOf(state, k));
    sum += uses;
  }
  lines.push_back("total use time " + std::to_string(sum));
  SaveReportLines(ProjectFile(state, "FileUsageCounter.txt"), lines);

  // Sorted whole rather than by exchanges, which would take hours on a large mosaic;
  // equal values are indistinguishable, so the file is the same.
  std::vector<std::int32_t> diffs;
  ForEachActiveCell(state, [&](const TMosaicCell& cell) { diffs.push_back(cell.FinalDifference); });
  std::sort(diffs.begin(), diffs.end(), std::greater<>());
  lines.clear();
  lines.reserve(diffs.size());
  for (const std::int32_t d : diffs) lines.push_back(std::to_string(d));
  SaveReportLines(ProjectFile(state, "FinalDiff.txt"), lines);

  SaveReportBitmap(ProjectFile(state, "stat.bmp"), DrawDifferenceChart(diffs));
}

}  // namespace tessaro
