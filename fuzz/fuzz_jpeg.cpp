// LoadJpeg on arbitrary bytes.
#include "fuzz_support.h"
#include "image/bitmap32.h"
#include "image/picture_files.h"
#include "image/jpeg_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tessaro;
  const auto file = fuzzing::WriteInput("input.jpg", data, size);
  TBitmap32 bitmap;
  const TDecodeResult r = LoadJpeg(bitmap, file);
  // A failed decode leaves the target untouched.
  if (!r.Ok() && (bitmap.Width() != 0 || bitmap.Height() != 0)) __builtin_trap();
  return 0;
}
