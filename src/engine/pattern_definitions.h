// Cell pattern definitions: the catalogue "masks/patterndefine.ini" and the record of
// one chosen pattern.
//
// The catalogue has masks (cell shape families) M = 1.., each with patterns P = 1..,
// each with up to six layers K. Its sections are "brief", "mask" M, "mask" M ",pat" P
// and "mask" M ",pat" P ",layer" K, the numbers in decimal without leading zeros
// (mask 10, pattern 2, layer 1 is "mask10,pat2,layer1"); names match without regard
// to case.
//
// Every reader queries TAppState::PatternDefinitions, the file held in memory since
// start-up. When it is absent (no file), and for every missing section or key, a
// reader answers the key's default: 0 counts, empty names, factors 1.0, offsets 0,
// and overview paths that end in "masks/". Nothing is reported and nothing throws.
//
// Install-folder names are AppDir/masks/ + the name the file gives, joined as text:
// a name never escapes that folder by being absolute. Backslashes in a name (files
// written on the original platform) are read as the separator.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

namespace tessaro {

struct TAppState;

// The record holds at most this many layers.
inline constexpr int kMaxPatternLayers = 6;

// One layer of a pattern. A fresh record is all zero (disabled, factors 0).
struct TLayerPattern {
  std::uint8_t Enabled = 0;  // 1: the layer exists
  std::uint8_t HasMask = 0;  // 1: the mask image file was found
  std::filesystem::path MaskImage;  // AppDir/masks/<maskimage>, set only when found
  double HorzFactor = 0;  // pitch as a multiple of the cell width
  double VertFactor = 0;
  double HorzOffset = 0;  // grid shift as a multiple of the cell width
  double VertOffset = 0;
  friend bool operator==(const TLayerPattern&, const TLayerPattern&) = default;
};

// One pattern. Layers[1..6] (element 0 unused); entries beyond LayerCount stay
// disabled. A fresh record describes no layer.
struct TTSPattern {
  std::string MaskName;
  std::string PatternName;
  std::int32_t LayerCount = 0;
  std::int32_t Reserved = 0;  // never written or read
  std::array<TLayerPattern, kMaxPatternLayers + 1> Layers{};
  friend bool operator==(const TTSPattern&, const TTSPattern&) = default;
};

// Section names, exactly as the file spells them.
std::string MaskSection(int mask);
std::string PatternSection(int mask, int pattern);
std::string PatternLayerSection(int mask, int pattern, int layer);

// AppDir/masks/ + name (text join, see above); AppDir/masks/ for an empty name.
std::filesystem::path MaskFolderPath(const std::filesystem::path& appDir, const std::string& name);

// "maskcount" of "brief".
int ReadMaskCount(const TAppState& state);
// "maskname" of mask M.
std::string ReadMaskName(const TAppState& state, int mask);
// AppDir/masks/ + "maskov" of mask M, returned whether or not the file exists.
std::filesystem::path MaskOverviewPath(const TAppState& state, int mask);
// "patterncount" of mask M.
int ReadPatternCount(const TAppState& state, int mask);
// "patternname" of pattern P of mask M.
std::string ReadPatternName(const TAppState& state, int mask, int pattern);
// AppDir/masks/ + "patov" of pattern P of mask M, whether or not the file exists.
std::filesystem::path PatternOverviewPath(const TAppState& state, int mask, int pattern);
// "layercount" of pattern P of mask M, as the file says (may exceed six).
int ReadLayerCount(const TAppState& state, int mask, int pattern);

// Fills pattern from pattern P of mask M. A layer count of 0 or less (or a missing
// pattern) leaves the record as it was; callers pass a fresh record, which then
// describes no layer. A count above six takes the first six layers, the record's
// capacity, so a pattern made for more layers still gives a mosaic. Each layer read
// is enabled; it gets its mask path only when that names an existing regular file.
void LoadPattern(const TAppState& state, int mask, int pattern, TTSPattern& out);

}  // namespace tessaro
