// TAppState: the process-wide state of the program in one object. The desktop
// program has one instance; every engine function that needs a global takes it
// explicitly, so each test builds a fresh one.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/curve_file.h"
#include "core/inifile.h"
#include "core/ootsfunction2007.h"
#include "core/random.h"
#include "image/bitmap32.h"
#include "library/library_signatures.h"
#include "library/library_state.h"

namespace tessaro {

// ToolMode values of the main view.
inline constexpr int kToolModeCellInfo = 5;

struct TAppState {
  TAppState() = default;
  TAppState(const TAppState&) = delete;
  TAppState& operator=(const TAppState&) = delete;

  // The install folder: the executable's folder, without a trailing separator. Every
  // install-folder path is AppDir / a fixed relative name.
  std::filesystem::path AppDir;

  TtsProject07 CurrentProject;

  TBitmap32 ViewCache;
  TBitmap32 OutputBitmap;  // the current output page
  TBitmap32 MainImage;
  TBitmap32 PriorityMap;
  TBitmap32 DivisionMap;
  TBitmap32 PictureBitmap;
  TBitmap32 DrawBitmap;  // the drawing step's work bitmap

  // "masks/patterndefine.ini", read once at start-up; absent when the file is missing.
  std::optional<TMemIniFile> PatternDefinitions;

  // View state of the main window.
  int ViewOriginX = 0;
  int ViewOriginY = 0;
  int ToolMode = kToolModeCellInfo;
  int PenPictureIndex = 0;

  // The curve editor's current point sets; zero until the default files are read.
  TCurvePoints CurrentEnhanceCurve{};
  TCurvePoints CurrentAlphaCurve{};

  TRandom Rng;

  // The render job's picture list: line k of the project's "imglist.lst" is picture k.
  std::vector<std::string> RenderCellImgList;

  // Photo libraries (PhotoLibsDir, CurrentLibCfg, HighlightedLibraryPhotoCount) and the
  // signature tables of the project's pictures (LibImageInfos, LibImageDetails, ...).
  TPhotoLibState PhotoLibs;
  TLibrarySignatureTables Library;

  // 1 = the picture may be used for the cell being matched; recomputed for every cell.
  std::vector<std::uint8_t> UsablePictures = std::vector<std::uint8_t>(65536, 0);

  // Weights of the colour comparison per pattern layer, [1..6]; zero at start-up.
  TLayerMaskWeights LayerMaskWeights{};
};

// The start-up sequence of the main window's create handler, in its order: seed the
// generator from the clock, set AppDir, the view state, create the bitmaps and then
// CurrentProject (defaults), load the default curves, open
// AppDir/masks/patterndefine.ini when it exists. Missing install files are not errors.
void InitializeAppState(TAppState& state, const std::filesystem::path& appDir);

// Folder of the running executable, without a trailing separator; the current folder
// when the system cannot say.
std::filesystem::path ExecutableDir();

// Install-folder names.
std::filesystem::path PatternDefinitionFile(const std::filesystem::path& appDir);

}  // namespace tessaro
