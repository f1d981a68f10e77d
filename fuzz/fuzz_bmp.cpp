// LoadBmp on arbitrary bytes.
#include "fuzz_support.h"
#include "image/bitmap32.h"
#include "image/picture_files.h"
#include "image/bmp_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tessaro;
  const auto file = fuzzing::WriteInput("input.bmp", data, size);
  TBitmap32 bitmap;
  const TDecodeResult r = LoadBmp(bitmap, file);
  if (!r.Ok() && (bitmap.Width() != 0 || bitmap.Height() != 0)) __builtin_trap();
  return 0;
}
