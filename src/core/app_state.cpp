#include "core/app_state.h"

#include <system_error>

namespace tessaro {

std::filesystem::path PatternDefinitionFile(const std::filesystem::path& appDir) {
  return appDir / "masks" / "patterndefine.ini";
}

void InitializeAppState(TAppState& state, const std::filesystem::path& appDir) {
  state.Rng.SeedFromClock();

  state.AppDir = appDir;

  state.ViewOriginX = 0;
  state.ViewOriginY = 0;
  state.ToolMode = kToolModeCellInfo;
  state.PenPictureIndex = 0;

  state.ViewCache = TBitmap32();
  state.OutputBitmap = TBitmap32();
  state.MainImage = TBitmap32();
  state.PriorityMap = TBitmap32();
  state.DivisionMap = TBitmap32();
  state.PictureBitmap = TBitmap32();
  state.DrawBitmap = TBitmap32();
  state.CurrentProject = TtsProject07::Create();

  state.CurrentEnhanceCurve = TCurvePoints{};
  state.CurrentAlphaCurve = TCurvePoints{};
  LoadDefaultCurves(state.AppDir, state.CurrentEnhanceCurve, state.CurrentAlphaCurve);

  // An unreadable file counts as missing: every pattern query then answers as for a
  // file without masks.
  state.PatternDefinitions = TMemIniFile::Open(PatternDefinitionFile(state.AppDir));

  state.RenderCellImgList.clear();
}

std::filesystem::path ExecutableDir() {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec && exe.has_parent_path()) return exe.parent_path();
  return std::filesystem::current_path(ec);
}

}  // namespace tessaro
