// The global numbering of the cells of the active layers.
#include <algorithm>
#include <cstdint>

#include "core/ootsfunction2007.h"
#include "engine/layers.h"

namespace tessaro {

namespace {

// Cells of a layer that take part in the numbering. CellCount is kept equal to
// Cells.size(); the clamp only makes sure no number can point past the array.
std::int32_t NumberedCells(const TTSLayer& layer) {
  if (!layer.Active) return 0;
  return std::clamp<std::int64_t>(layer.CellCount, 0, std::int64_t(layer.Cells.size()));
}

int FirstLayer(int first) { return std::max(first, 1); }
int LastLayer(int last) { return std::min(last, kLayerCount); }

}  // namespace

std::int32_t ActiveCellCount(const TtsProject07& project, int first, int last) {
  std::int32_t n = 0;
  for (int l = FirstLayer(first); l <= LastLayer(last); ++l)
    n += NumberedCells(project.Layers[std::size_t(l)]);
  return n;
}

std::int32_t AssignedCellCount(const TtsProject07& project, int first, int last) {
  std::int32_t n = 0;
  for (int l = FirstLayer(first); l <= LastLayer(last); ++l) {
    const TTSLayer& layer = project.Layers[std::size_t(l)];
    const TMosaicCell* cells = layer.Cells.data();
    const std::int32_t count = NumberedCells(layer);
    for (std::int32_t i = 0; i < count; ++i) n += cells[i].Assigned == 1 ? 1 : 0;
  }
  return n;
}

std::int32_t CountUnassignedAtLevel(const TtsProject07& project, int first, int last,
                                    std::int32_t level) {
  std::int32_t n = 0;
  for (int l = FirstLayer(first); l <= LastLayer(last); ++l) {
    const TTSLayer& layer = project.Layers[std::size_t(l)];
    const TMosaicCell* cells = layer.Cells.data();
    const std::int32_t count = NumberedCells(layer);
    for (std::int32_t i = 0; i < count; ++i)
      n += cells[i].Assigned == 0 && cells[i].PriorityLevel == level ? 1 : 0;
  }
  return n;
}

TCellLocation LocateCell(const TtsProject07& project, std::int32_t g) {
  if (g < 0) return {};
  std::int32_t before = 0;
  for (int l = 1; l <= kLayerCount; ++l) {
    const std::int32_t n = NumberedCells(project.Layers[std::size_t(l)]);
    if (g - before < n) return {l, g - before};
    before += n;
  }
  return {};
}

}  // namespace tessaro
