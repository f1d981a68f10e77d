// Small fixtures shared by the pattern and layer tests.
#pragma once

#include "support/noise_picture.h"
#include "support/temp_dir.h"
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/job_progress.h"
#include "core/random.h"
#include "engine/layers.h"
#include "image/bitmap32.h"

namespace tessaro::engine_testing {

using TempDir = testing_support::TempDir;

inline TBitmap32 Solid(int w, int h, TColor32 c) {
  TBitmap32 b(w, h);
  b.Clear(c);
  return b;
}

// Fixed-seed opaque noise.
inline TBitmap32 Noise(int w, int h, std::uint64_t seed) { return testing_support::NoisePicture(w, h, seed); }

// A map of one level code everywhere.
inline TBitmap32 LevelMap(int w, int h, TColor32 code) { return Solid(w, h, code); }

// The code of a map level: 0x001E1E1E for 1 ... 0x009E9E9E for 9.
constexpr TColor32 LevelCode(int level) {
  const TColor32 v = TColor32(0x0E + 0x10 * level);
  return (v << 16) | (v << 8) | v;
}

inline TLayerPattern Layer(double hf, double vf, double ho = 0, double vo = 0) {
  TLayerPattern lp;
  lp.Enabled = 1;
  lp.HorzFactor = hf;
  lp.VertFactor = vf;
  lp.HorzOffset = ho;
  lp.VertOffset = vo;
  return lp;
}

// A state whose project has the given mosaic and cell sizes and a noise main image of
// the mosaic's size (or mainW x mainH).
inline std::unique_ptr<TAppState> MakeState(int mosaicW, int mosaicH, int cellW, int cellH,
                                            int mainW = -1, int mainH = -1) {
  auto state = std::make_unique<TAppState>();
  TtsProject07& p = state->CurrentProject;
  p.MosaicWidth = mosaicW;
  p.MosaicHeight = mosaicH;
  p.CellWidth = cellW;
  p.CellHeight = cellH;
  state->MainImage = Noise(mainW < 0 ? mosaicW : mainW, mainH < 0 ? mosaicH : mainH, 7);
  return state;
}

// Byte equality of two cell arrays, reporting the first differing cell.
inline ::testing::AssertionResult SameCells(const std::vector<TMosaicCell>& a,
                                            const std::vector<TMosaicCell>& b) {
  if (a.size() != b.size())
    return ::testing::AssertionFailure() << a.size() << " cells vs " << b.size();
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::memcmp(&a[i], &b[i], sizeof(TMosaicCell)) != 0)
      return ::testing::AssertionFailure() << "cell " << i << " differs";
  return ::testing::AssertionSuccess();
}

// Records every progress call in order, as "kind:value".
class TRecordingProgress : public IJobProgress {
 public:
  void SetStep(const std::string& text) override { Events.push_back("step:" + text); }
  void SetDetail(const std::string& text) override {
    Events.push_back("detail:" + text);
    LastDetail = text;
  }
  void SetPercent(int percent) override {
    Events.push_back("percent:" + std::to_string(percent));
  }
  void ProcessMessages() override {
    Events.push_back("pump");
    ++Pumps;
  }
  std::vector<std::string> Events;
  std::string LastDetail;
  int Pumps = 0;
};

}  // namespace tessaro::engine_testing
