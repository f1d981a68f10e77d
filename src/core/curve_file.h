// Curve point sets and the curve files ".ehc" (colour enhancement) and ".amc"
// (main-image alpha).
//
// A curve file is exactly 40 bytes, no header: x1, y1, x2, y2, ..., x5, y5 as 32-bit
// little-endian signed integers. The same 40-byte block is what the project record
// stores as EnhanceCurvePoints and AlphaCurvePoints, which is why TCurvePoints is a
// packed type: it sits unaligned inside the record's render parameter group.
//
// Because the type is packed, bind no reference to a coordinate (std::min(p.X, 5)
// would read through a misaligned int reference); copy coordinates out by value.
// References to a whole TCurvePoint or TCurvePoints are fine.
#pragma once

#include <cstdint>
#include <filesystem>

namespace tessaro {

#pragma pack(push, 1)
struct TCurvePoint {
  std::int32_t X;
  std::int32_t Y;
  friend bool operator==(const TCurvePoint& a, const TCurvePoint& b) {
    return a.X == b.X && a.Y == b.Y;
  }
};

// Five control points in file order; the order is free, BuildCurveTable sorts by x.
// Indexed 0..4 (point 1 is P[0]).
struct TCurvePoints {
  TCurvePoint P[5];

  TCurvePoint& operator[](int i) { return P[i]; }
  const TCurvePoint& operator[](int i) const { return P[i]; }
  friend bool operator==(const TCurvePoints& a, const TCurvePoints& b) {
    for (int i = 0; i < 5; ++i)
      if (!(a.P[i] == b.P[i])) return false;
    return true;
  }
};
#pragma pack(pop)

static_assert(sizeof(TCurvePoint) == 8);
static_assert(sizeof(TCurvePoints) == 40);
static_assert(alignof(TCurvePoints) == 1);

constexpr std::size_t kCurveFileSize = 40;

enum TCurveKind : int { ckEnhance = 1, ckAlpha = 2 };

// Reads the first 40 bytes of file into points. A shorter file fills only the whole
// points it holds and leaves the others as they were (a point half covered by the
// file is not touched, so no point mixes an old and a new coordinate). Returns false,
// points unchanged, when the file does not exist or cannot be read.
bool ReadCurveFile(const std::filesystem::path& file, TCurvePoints& points);

// Writes the 40-byte file, replacing file through a temporary in the same folder.
// Raises std::filesystem::filesystem_error when it cannot be written.
void WriteCurveFile(const std::filesystem::path& file, const TCurvePoints& points);

// appDir/config/enhance/default.ehc into enhance and default.amc into alpha, each
// only when its file exists; a missing file leaves that set unchanged.
void LoadDefaultCurves(const std::filesystem::path& appDir, TCurvePoints& enhance,
                       TCurvePoints& alpha);

// Relative names inside the install folder.
std::filesystem::path CurveFolder(const std::filesystem::path& appDir);
std::filesystem::path DefaultCurveFile(const std::filesystem::path& appDir, TCurveKind kind);

}  // namespace tessaro
