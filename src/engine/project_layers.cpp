// The project-level layer operations: applying the pattern, counting and describing it.
#include <algorithm>
#include <cstdint>
#include <string>

#include "core/app_state.h"
#include "core/job_progress.h"
#include "engine/layers.h"

namespace tessaro {

void ApplyPattern(TAppState& state, IJobProgress* progress, int threadCount) {
  PrepareMainImage(state);
  TtsProject07& project = state.CurrentProject;
  for (int n = 1; n <= kMaxPatternLayers; ++n) ClearLayer(project.Layers[std::size_t(n)]);
  for (int n = 1; n <= kMaxPatternLayers; ++n) {
    if (progress) progress->SetDetail("Layer " + std::to_string(n));
    BuildLayer(state, project.Layers[std::size_t(n)], project.Pattern.Layers[std::size_t(n)],
               project.MosaicWidth, project.MosaicHeight, project.CellWidth, project.CellHeight,
               progress, threadCount);
  }
}

void ReapplyPattern(TtsProject07& project) {
  for (int n = 1; n <= kMaxPatternLayers; ++n) ClearLayer(project.Layers[std::size_t(n)]);
  for (int n = 1; n <= kMaxPatternLayers; ++n)
    BuildLayerGeometry(project.Layers[std::size_t(n)], project.Pattern.Layers[std::size_t(n)],
                       project.MosaicWidth, project.MosaicHeight, project.CellWidth,
                       project.CellHeight);
}

std::int32_t TotalCellCount(const TtsProject07& project) {
  std::int64_t n = 0;
  for (int l = 1; l <= kLayerCount; ++l) n += project.Layers[std::size_t(l)].CellCount;
  return std::int32_t(std::clamp<std::int64_t>(n, 0, INT32_MAX));
}

std::int32_t CountPatternCells(const TtsProject07& project, const TTSPattern& pattern) {
  std::int64_t n = 0;  // at most six layers of kMaxLayerCells: fits 32 bits
  for (int l = 1; l <= kMaxPatternLayers; ++l)
    n += CountLayerCells(pattern.Layers[std::size_t(l)], project.MosaicWidth, project.MosaicHeight,
                         project.CellWidth, project.CellHeight);
  return std::int32_t(n);
}

std::string DescribePatternCells(const TtsProject07& project, const TTSPattern& pattern) {
  std::string text;
  for (int l = 1; l <= kMaxPatternLayers; ++l) {
    const TLayerGrid g = ComputeLayerGrid(pattern.Layers[std::size_t(l)], project.MosaicWidth,
                                          project.MosaicHeight, project.CellWidth,
                                          project.CellHeight);
    if (!g.Buildable) continue;
    text += "Layer" + std::to_string(l) + ":" + std::to_string(g.Columns) + "X" +
            std::to_string(g.Rows) + "  ";
  }
  return text;
}

}  // namespace tessaro
