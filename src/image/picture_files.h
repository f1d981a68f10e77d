// Picture files: telling JPEG from BMP by content, and loading either into a TBitmap32.
//
// Every loader here decodes into a bitmap of its own and hands the finished picture
// over with SwapPixels, so a file that cannot be decoded leaves the target exactly as
// it was (size, pixels and drawing properties). The loaders never throw; the
// extension-driven TBitmap32::LoadFromFile is the one that raises TPictureError.
#pragma once

#include <cstdint>
#include <filesystem>

#include "image/bitmap32.h"

namespace tessaro {

// Results of DetectPictureType.
constexpr int kPictureJpeg = 1;
constexpr int kPictureBmp = 2;
constexpr int kPictureNone = 3;  // missing, unreadable, or neither format

// kPictureBmp when the file starts with "BM"; kPictureJpeg when it starts with
// 0xFF 0xD8 and ends with 0xFF 0xD9 (so a JPEG followed by any trailing byte is not
// recognised); kPictureNone otherwise, for files shorter than two bytes and for
// missing files. The extension plays no part.
int DetectPictureType(const std::filesystem::path& fileName);

// Decodes the file by its detected type (JPEG at full size and best quality, BMP)
// into target. Nothing happens for kPictureNone or when decoding fails; nothing is
// reported either way.
void LoadPicture(TBitmap32& target, const std::filesystem::path& fileName);

// What the codecs report. The target bitmap is changed only when Status is Ok.
enum class TDecodeStatus { Ok, CannotOpen, Invalid };
struct TDecodeResult {
  TDecodeStatus Status = TDecodeStatus::Invalid;
  int JpegMessageCode = 0;  // libjpeg's msg_code when a JPEG decode failed
  bool Ok() const { return Status == TDecodeStatus::Ok; }
};

// For the decoders: one spare pixel buffer per thread. A decoder takes it, sizes it
// to the picture (SetSize keeps a buffer that already has the size), fills it, swaps
// it into the target and hands back the target's previous buffer. Loading many
// pictures of one size into one bitmap (the library signatures, the commonest load
// in the program) then allocates nothing and touches no fresh memory after the
// second picture. A buffer over kMaxSparePixels (64 MiB) is freed instead of kept.
constexpr std::int64_t kMaxSparePixels = std::int64_t(1) << 24;
void TakeSpareBitmap(TBitmap32& into);  // into's own pixels are dropped
void KeepSpareBitmap(TBitmap32& from);  // from is left empty

}  // namespace tessaro
