// LoadFileListGrid on arbitrary bytes as "filelist.lst".
#include "fuzz_support.h"
#include "library/TsPhotoLib.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tessaro;
  const auto file = fuzzing::WriteInput(kFileListFileName, data, size);
  TFileListGrid grid;
  try {
    LoadFileListGrid(grid, file);
  } catch (const TLibraryFileError&) {
  }
  grid.ForEachCell([&](int col, int row, const std::string&) {
    if (col < 0 || col >= grid.ColCount() || row < 0 || row >= grid.RowCount()) __builtin_trap();
  });
  return 0;
}
