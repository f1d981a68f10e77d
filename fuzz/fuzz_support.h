// Shared by the fuzz targets: each process writes its inputs into one private folder,
// because the parsers under test read files by name.
#pragma once

#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace tessaro::fuzzing {

// Under $TESSARO_FUZZ_TMP when set (run.sh points it at a folder it removes: libFuzzer
// ends with _Exit, so no destructor runs), else memory-backed /dev/shm when it exists,
// so a run is not bound by disk writes.
inline const std::filesystem::path& WorkDir() {
  static const std::filesystem::path dir = [] {
    std::error_code ec;
    std::filesystem::path base = "/dev/shm";
    if (const char* env = std::getenv("TESSARO_FUZZ_TMP"); env && *env) base = env;
    else if (!std::filesystem::is_directory(base, ec)) base = std::filesystem::temp_directory_path();
    std::string templ = (base / "tessaro_fuzz_XXXXXX").string();
    if (!::mkdtemp(templ.data())) {
      std::perror("mkdtemp");
      std::abort();
    }
    return std::filesystem::path(templ);
  }();
  return dir;
}

// Removes the work folder when the process ends normally.
struct TWorkDirCleanup {
  ~TWorkDirCleanup() {
    std::error_code ec;
    std::filesystem::remove_all(WorkDir(), ec);
  }
};

inline std::filesystem::path WriteInput(const std::string& name, const std::uint8_t* data,
                                        std::size_t size) {
  static TWorkDirCleanup cleanup;
  const std::filesystem::path file = WorkDir() / name;
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
  out.close();
  return file;
}

}  // namespace tessaro::fuzzing
