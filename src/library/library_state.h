// The photo library state that lives in TAppState: where the libraries are, the
// configuration of the library last highlighted or processed, and its picture count.
// Kept apart from TsPhotoLib.h so that the application state can hold it without
// pulling in the whole unit.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace tessaro {

// One library's "libcfg.cfg" (section "LibCFG07"); a missing file or key gives the
// default shown here.
struct Tlibcfg {
  std::string colname = "NONAME";  // library title
  std::int32_t coltype = 0;        // library kind; only the library scan's filter reads it
  std::int32_t PhotoCount = 0;     // pictures counted in the selected totals
  std::int32_t PathType = 0;       // 0: full paths in column 0; 1: names relative to Path
  std::string Path = "NOFONT";     // the library folder when PathType is 1 (set on reading)
  std::string CharFont = "NOFONT";
  friend bool operator==(const Tlibcfg&, const Tlibcfg&) = default;
};

struct TPhotoLibState {
  std::filesystem::path PhotoLibsDir;  // AppDir/PhotoLibs, set by InitPhotoLibs
  Tlibcfg CurrentLibCfg;               // resolves the highlighted library's picture paths
  int HighlightedLibraryPhotoCount = 0;
};

}  // namespace tessaro
