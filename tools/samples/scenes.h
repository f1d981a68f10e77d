// The sample pictures: photo-like scenes, ceramic tiles and the demo main image.
//
// Every picture is a pure function of its arguments: the same (seed, index, size)
// paints the same pixels in any order and on any thread, which is what lets the
// generator spread the work over the cores and still write identical files. (Across
// compilers the files may differ: the order in which arguments are evaluated and the
// maths library's last bits are theirs to choose.)
#pragma once

#include <cstdint>
#include <string>

#include "paint.h"

namespace tessaro::samples {

// Photo number index of a library made with seed, w x h pixels: a landscape, a
// sunset, a street, a close-up ... each in a palette of its own, and finished like
// a photograph (grade, light falloff, vignette, grain).
Picture MakePhoto(int w, int h, std::uint64_t seed, int index);

// Whether photo index of the shipped library (no size given) is upright.
bool PhotoIsPortrait(std::uint64_t seed, int index);

// Tile number index: one glaze of the palette in one surface (glazes and surfaces
// cycle so that every glaze comes in several surfaces).
Picture MakeTile(int w, int h, std::uint64_t seed, int index);
// "<glaze>-<surface>" of tile index, e.g. "celadon-crackle".
std::string TileName(int index);
// Glaze colours times surfaces: the tile count at which every combination occurs once.
int TileCombinationCount();

// The demo main image: a lighthouse on a rocky coast at sunset, large clear shapes
// in strong colours.
Picture MakeDemo(int w, int h, std::uint64_t seed);

}  // namespace tessaro::samples
