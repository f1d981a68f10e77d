// LoadLayers with the input as "project.LYS", over a two-layer pattern of 64 cells
// per layer.
#include <memory>

#include "core/app_state.h"
#include "core/project_files.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tessaro;
  static auto state = [] {
    auto s = std::make_unique<TAppState>();
    TMemIniFile defs;
    defs.SetText("[mask1,pat1]\r\nlayercount=2\r\n[mask1,pat1,layer1]\r\nHorzFactor=1\r\n"
                 "[mask1,pat1,layer2]\r\nHorzFactor=2\r\nVertFactor=2\r\nHorzOffset=0.5\r\n");
    s->PatternDefinitions = defs;
    return s;
  }();
  TtsProject07& p = state->CurrentProject;
  p.Layers = MakeProjectLayers();
  p.Projectpath = fuzzing::WorkDir().string();
  p.MosaicWidth = p.MosaicHeight = 80;
  p.CellWidth = p.CellHeight = 10;
  p.PatternGroup = p.PatternIndex = 1;
  fuzzing::WriteInput("project.LYS", data, size);
  LoadLayers(*state);
  for (int l = 1; l <= kLayerCount; ++l) {
    const TTSLayer& layer = p.Layers[std::size_t(l)];
    if (layer.CellCount != std::int32_t(layer.Cells.size())) __builtin_trap();
    // No layer grows beyond its geometry or the cells the file can hold.
    if (layer.Cells.size() > 64 && layer.Cells.size() > size / sizeof(TMosaicCell)) __builtin_trap();
  }
  return 0;
}
