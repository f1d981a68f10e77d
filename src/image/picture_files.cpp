#include "image/picture_files.h"

#include <fstream>

#include "image/bmp_codec.h"
#include "image/jpeg_codec.h"

namespace tessaro {
namespace {

TBitmap32& Spare() {
  thread_local TBitmap32 spare;
  return spare;
}

}  // namespace

void TakeSpareBitmap(TBitmap32& into) {
  into.SetSize(0, 0);
  into.SwapPixels(Spare());
}

void KeepSpareBitmap(TBitmap32& from) {
  if (std::int64_t(from.Width()) * from.Height() <= kMaxSparePixels) Spare().SwapPixels(from);
  from.SetSize(0, 0);
}

int DetectPictureType(const std::filesystem::path& fileName) {
  std::error_code ec;
  if (std::filesystem::is_directory(fileName, ec)) return kPictureNone;
  std::filebuf f;
  if (!f.open(fileName, std::ios::in | std::ios::binary)) return kPictureNone;
  try {
    unsigned char head[2], tail[2];
    if (f.sgetn(reinterpret_cast<char*>(head), 2) != 2) return kPictureNone;
    int result = head[0] == 'B' && head[1] == 'M' ? kPictureBmp : kPictureNone;
    if (head[0] == 0xFF && head[1] == 0xD8 && f.pubseekoff(-2, std::ios::end, std::ios::in) >= 0 &&
        f.sgetn(reinterpret_cast<char*>(tail), 2) == 2 && tail[0] == 0xFF && tail[1] == 0xD9)
      result = kPictureJpeg;
    return result;
  } catch (const std::exception&) {  // libstdc++ throws on read errors
    return kPictureNone;
  }
}

void LoadPicture(TBitmap32& target, const std::filesystem::path& fileName) {
  switch (DetectPictureType(fileName)) {
    case kPictureJpeg:
      LoadJpeg(target, fileName);
      break;
    case kPictureBmp:
      LoadBmp(target, fileName);
      break;
    default:
      break;
  }
}

}  // namespace tessaro
