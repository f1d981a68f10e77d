// Writes the curve presets into the folder given as the only argument (the install
// folder's "config/enhance"):
//
// - default.ehc and default.amc: the curves a new project starts with.
// - N.ehc for N = 0, 10, 25, 50, 75, 100: the enhancement table flat at
//   v = Trunc(255 x N / 100), so N percent of every colour difference is removed
//   whatever its size.
// - N.amc for N = 0, 10, 25, 50: the main image is blended in up to a =
//   Trunc(255 x N / 100) over cells whose mean colour deviates from their picture's:
//   not at all for deviations up to 10, half of a at 30, a from 60 on.

#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

#include "core/curve_file.h"
#include "core/ootsfunction2007.h"

namespace tessaro {
namespace {

constexpr int kEnhancePercents[] = {0, 10, 25, 50, 75, 100};
constexpr int kAlphaPercents[] = {0, 10, 25, 50};

constexpr std::int32_t PercentOf255(int percent) { return 255 * percent / 100; }

TCurvePoints FlatEnhanceCurve(int percent) {
  const std::int32_t v = PercentOf255(percent);
  return {{{0, v}, {64, v}, {128, v}, {192, v}, {255, v}}};
}

TCurvePoints AlphaRamp(int percent) {
  const std::int32_t a = PercentOf255(percent);
  return {{{0, 0}, {10, 0}, {30, a / 2}, {60, a}, {255, a}}};
}

void WritePresets(const std::filesystem::path& folder) {
  std::filesystem::create_directories(folder);
  WriteCurveFile(folder / "default.ehc", kDefaultEnhanceCurvePoints);
  WriteCurveFile(folder / "default.amc", kDefaultAlphaCurvePoints);
  for (int n : kEnhancePercents)
    WriteCurveFile(folder / (std::to_string(n) + ".ehc"), FlatEnhanceCurve(n));
  for (int n : kAlphaPercents)
    WriteCurveFile(folder / (std::to_string(n) + ".amc"), AlphaRamp(n));
}

}  // namespace
}  // namespace tessaro

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <config/enhance folder>\n",
                 argc > 0 ? argv[0] : "tessaro_make_presets");
    return 2;
  }
  try {
    tessaro::WritePresets(argv[1]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
    return 1;
  }
  return 0;
}
