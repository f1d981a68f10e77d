// Windows BMP reading and the 32-bit BMP writer.
//
// Read: BITMAPCOREHEADER (12 bytes) and BITMAPINFOHEADER with its larger versions
// (40, 52, 56, 108, 124 bytes; 64-byte OS/2 headers when uncompressed or RLE);
// 1, 4 and 8 bits with a palette (also RLE4 / RLE8), 16 bits (5-5-5, or bit fields),
// 24 bits, 32 bits (standard or other bit fields); bottom-up and top-down rows.
// A 32-bit file keeps its fourth byte as alpha (with non-standard bit fields, the
// alpha mask if there is one); every other picture is opaque.
//
// Every header field is checked and the pixel data must lie inside the file before
// the bitmap is allocated, so a truncated or absurd file costs no more memory than
// its own size implies. Run-length data can claim many pixels in few bytes, so RLE
// pictures are also capped at kMaxRlePixels.
//
// Write: always the 54-byte header, 32 bits, bottom-up, alpha written unchanged.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "image/bitmap32.h"
#include "image/picture_files.h"

namespace tessaro {

// Pixels of an uncompressed picture: a bitmap that cannot be written back as a
// 32-bit BMP (file size field of 32 bits) is not read either.
constexpr std::uint64_t kMaxBmpPixels = (std::uint64_t(0xFFFFFFFFu) - 54) / 4;
// Run-length pictures: the same 2^28-pixel (1 GiB) cap as JPEG, for the same reason.
constexpr std::uint64_t kMaxRlePixels = std::uint64_t(1) << 28;

// Decodes the file into target (via SwapPixels); target is untouched unless the
// result is Ok. Never throws.
TDecodeResult LoadBmp(TBitmap32& target, const std::filesystem::path& fileName);

// Print resolution in the header's pixels-per-metre unit: dpi / 2.54 * 100, rounded
// to nearest with ties to even, clamped to the field's 32-bit range.
std::int32_t DpiToPixelsPerMetre(int dpi);

// Writes bitmap as the 54-byte-header 32-bit BMP with both resolution fields set to
// pixelsPerMetre. The bitmap is not modified. Raises TPictureError when the file
// cannot be created or written, or the picture is too large for the format.
void SaveBmp32(const TBitmap32& bitmap, const std::filesystem::path& fileName,
               std::int32_t pixelsPerMetre);

// The same file's bytes in memory, for writers that store files through a temporary
// file renamed over the target. Raises TPictureError when the picture is too large.
std::string EncodeBmp32(const TBitmap32& bitmap, std::int32_t pixelsPerMetre);

}  // namespace tessaro
