// LoadLibraryInfo with the input as both "LibInfo.cls" and "LibInfo_R.cls".
#include <memory>

#include "fuzz_support.h"
#include "library/library_signatures.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tessaro;
  static auto tables = std::make_unique<TLibrarySignatureTables>();  // about 10 MB
  fuzzing::WriteInput(kLibInfoFileName, data, size);
  fuzzing::WriteInput(kLibInfoRotatedFileName, data, size);
  try {
    LoadLibraryInfo(*tables, fuzzing::WorkDir());
  } catch (const TLibraryFileError&) {
  }
  if (tables->LibImageCount < 0 || tables->LibImageCount > kLibImageCapacity ||
      tables->LibDetailCount < 0 || tables->LibDetailCount > kLibDetailCapacity)
    __builtin_trap();
  return 0;
}
