// JPEG decoding and encoding through libjpeg(-turbo).
//
// Decoding is always at full size with the accurate integer DCT and fancy
// upsampling. Colour, greyscale and CMYK/YCCK files (Adobe-inverted or not) all come
// out as opaque B, G, R, A pixels; colour and greyscale rows are produced by libjpeg
// straight into the bitmap, with no conversion pass of our own.
//
// libjpeg errors return to the caller with libjpeg's message code; nothing is written
// to stderr and the process never exits. A file whose data ends early counts as
// undecodable, since the rest of the picture would be made up: a file cut short
// (JWRN_JPEG_EOF; only a missing final EOI marker is forgiven) or a scan that runs
// into a marker before its data is complete (JWRN_HIT_MARKER). Other irregularities
// that libjpeg recovers from (stray bytes before a marker, an odd progression) are
// tolerated, as every viewer tolerates them.
#pragma once

#include <cstdint>
#include <filesystem>

#include "image/bitmap32.h"
#include "image/picture_files.h"

namespace tessaro {

// Largest picture the decoder allocates: 2^28 pixels (1 GiB of TColor32, 268
// megapixels). A JPEG header of a few bytes can claim 65500 x 65500 pixels (16 GiB);
// no camera or scan the program meets comes near the cap.
constexpr std::uint64_t kMaxJpegPixels = std::uint64_t(1) << 28;
// More scans than this is not a real progressive file but a decode-time bomb (every
// scan touches the whole coefficient image); ordinary files have about ten.
constexpr int kMaxJpegScans = 500;

// Decodes the file into target (via SwapPixels). On failure target is untouched and
// JpegMessageCode holds libjpeg's code (JERR_IMAGE_TOO_BIG for the pixel cap,
// JERR_BAD_PROGRESSION for the scan cap, JWRN_JPEG_EOF / JWRN_HIT_MARKER for missing
// data). A folder or a file that cannot be opened gives CannotOpen. Never throws.
TDecodeResult LoadJpeg(TBitmap32& target, const std::filesystem::path& fileName);

// Writes bitmap as a baseline (or progressive) YCbCr JPEG of the given quality
// (1..100, clamped by libjpeg), 4:2:0, ignoring alpha. Raises TPictureError when the
// file cannot be created ("Cannot create file ...") or libjpeg fails ("JPEG error #n",
// an empty bitmap for example).
void SaveJpeg(const TBitmap32& bitmap, const std::filesystem::path& fileName, int quality,
              bool progressive);

}  // namespace tessaro
