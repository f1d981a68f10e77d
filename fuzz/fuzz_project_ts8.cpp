// LoadProject with the input as "project.TS8", "project.ini" and "imglist.lst".
#include <memory>

#include "core/app_state.h"
#include "core/project_files.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tessaro;
  static auto state = std::make_unique<TAppState>();  // large: built once
  state->CurrentProject = TtsProject07();
  state->RenderCellImgList.clear();
  const auto file = fuzzing::WriteInput("project.TS8", data, size);
  fuzzing::WriteInput("project.ini", data, size);
  fuzzing::WriteInput("imglist.lst", data, size);
  LoadProject(*state, file);
  if (state->CurrentProject.Projectpath != fuzzing::WorkDir().string()) __builtin_trap();
  (void)ReadProjectVersion(file);
  return 0;
}
