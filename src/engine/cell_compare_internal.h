// Pieces the plain and the vectorised comparison share, so the two cannot drift apart.
#pragma once

#include <cstdint>

#include "engine/cell_compare.h"

namespace tessaro::compare_detail {

struct TShifts {
  int B = 0, G = 0, R = 0;
};

// d * curve[|d|] div 255 in 64 bits, limited to +-2^30; |d| <= 255.
int EnhanceShiftOf(int d, const std::int32_t* curve);

// sX = d * curve[|d|] div 255 with d the picture's average (its grey in mono mode)
// minus the cell's average, per channel.
TShifts MatchShifts(const SignatureColor& picture, const SignatureColor& cell,
                    const std::int32_t* curve, bool mono);

// The result from the four mirrored differences and the allowed flips.
CompareResult ChooseMirror(const std::int64_t d[4], bool allowHorizontal, bool allowVertical);

}  // namespace tessaro::compare_detail
