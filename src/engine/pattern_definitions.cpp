#include "engine/pattern_definitions.h"

#include <algorithm>
#include <system_error>

#include "core/app_state.h"

namespace tessaro {

namespace {

const TMemIniFile* Definitions(const TAppState& state) {
  return state.PatternDefinitions ? &*state.PatternDefinitions : nullptr;
}

int ReadInt(const TAppState& state, const std::string& section, const char* key) {
  const TMemIniFile* ini = Definitions(state);
  return ini ? ini->ReadInteger(section, key, 0) : 0;
}

std::string ReadText(const TAppState& state, const std::string& section, const char* key) {
  const TMemIniFile* ini = Definitions(state);
  return ini ? ini->ReadString(section, key, "") : std::string();
}

double ReadDecimal(const TAppState& state, const std::string& section, const char* key,
                   double fallback) {
  const TMemIniFile* ini = Definitions(state);
  return ini ? ini->ReadFloat(section, key, fallback) : fallback;
}

bool IsFile(const std::filesystem::path& p) {
  std::error_code ec;
  return std::filesystem::is_regular_file(p, ec);
}

}  // namespace

std::string MaskSection(int mask) { return "mask" + std::to_string(mask); }

std::string PatternSection(int mask, int pattern) {
  return MaskSection(mask) + ",pat" + std::to_string(pattern);
}

std::string PatternLayerSection(int mask, int pattern, int layer) {
  return PatternSection(mask, pattern) + ",layer" + std::to_string(layer);
}

std::filesystem::path MaskFolderPath(const std::filesystem::path& appDir,
                                     const std::string& name) {
  std::string relative = name;
  std::replace(relative.begin(), relative.end(), '\\', '/');
  std::filesystem::path p = appDir / "masks" / "";
  // Concatenation, not operator/: an absolute name must not replace the folder.
  p += relative;
  return p;
}

int ReadMaskCount(const TAppState& state) { return ReadInt(state, "brief", "maskcount"); }

std::string ReadMaskName(const TAppState& state, int mask) {
  return ReadText(state, MaskSection(mask), "maskname");
}

std::filesystem::path MaskOverviewPath(const TAppState& state, int mask) {
  return MaskFolderPath(state.AppDir, ReadText(state, MaskSection(mask), "maskov"));
}

int ReadPatternCount(const TAppState& state, int mask) {
  return ReadInt(state, MaskSection(mask), "patterncount");
}

std::string ReadPatternName(const TAppState& state, int mask, int pattern) {
  return ReadText(state, PatternSection(mask, pattern), "patternname");
}

std::filesystem::path PatternOverviewPath(const TAppState& state, int mask, int pattern) {
  return MaskFolderPath(state.AppDir, ReadText(state, PatternSection(mask, pattern), "patov"));
}

int ReadLayerCount(const TAppState& state, int mask, int pattern) {
  return ReadInt(state, PatternSection(mask, pattern), "layercount");
}

void LoadPattern(const TAppState& state, int mask, int pattern, TTSPattern& out) {
  const int n = ReadLayerCount(state, mask, pattern);
  if (n <= 0) return;
  const int layers = std::min(n, kMaxPatternLayers);

  out.MaskName = ReadMaskName(state, mask);
  out.PatternName = ReadPatternName(state, mask, pattern);
  out.LayerCount = layers;

  for (int k = 1; k <= layers; ++k) {
    const std::string section = PatternLayerSection(mask, pattern, k);
    TLayerPattern& lp = out.Layers[std::size_t(k)];
    lp.Enabled = 1;
    const std::filesystem::path maskPath =
        MaskFolderPath(state.AppDir, ReadText(state, section, "maskimage"));
    // The folder itself (no "maskimage") is not a mask image.
    if (IsFile(maskPath)) {
      lp.HasMask = 1;
      lp.MaskImage = maskPath;
    }
    lp.HorzFactor = ReadDecimal(state, section, "HorzFactor", 1.0);
    lp.VertFactor = ReadDecimal(state, section, "VertFactor", 1.0);
    lp.HorzOffset = ReadDecimal(state, section, "HorzOffset", 0.0);
    lp.VertOffset = ReadDecimal(state, section, "VertOffset", 0.0);
  }
}

}  // namespace tessaro
