// TBitmap32's file members: loading by extension and the two BMP writers.
#include <string>

#include "image/bitmap32.h"
#include "image/bmp_codec.h"
#include "image/jpeg_codec.h"

namespace tessaro {
namespace {

std::string AsciiLower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return s;
}

std::string CannotOpen(const std::filesystem::path& name) {
  return "Cannot open file \"" + name.string() + "\"";
}

}  // namespace

void TBitmap32::LoadFromFile(const std::filesystem::path& name) {
  std::string ext = name.extension().string();
  if (!ext.empty()) ext.erase(0, 1);  // the dot
  const std::string key = AsciiLower(ext);
  if (key == "bmp" || key == "dib") {
    const TDecodeResult r = LoadBmp(*this, name);
    if (r.Status == TDecodeStatus::CannotOpen) throw TPictureError(CannotOpen(name));
    if (!r.Ok()) throw TPictureError("Bitmap image is not valid");
  } else if (key == "jpg" || key == "jpeg") {
    const TDecodeResult r = LoadJpeg(*this, name);
    if (r.Status == TDecodeStatus::CannotOpen) throw TPictureError(CannotOpen(name));
    if (!r.Ok()) throw TPictureError("JPEG error #" + std::to_string(r.JpegMessageCode));
  } else {
    throw TPictureError("Unknown picture file extension (." + ext + ")");
  }
}

// No print resolution: both pixels-per-metre fields are 0, as "unspecified".
void TBitmap32::SaveToFile(const std::filesystem::path& name) const { SaveBmp32(*this, name, 0); }

void TBitmap32::SaveToFileWithDPI(const std::filesystem::path& name, int dpi) {
  SaveBmp32(*this, name, DpiToPixelsPerMetre(dpi));
}

}  // namespace tessaro
