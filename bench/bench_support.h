// Inputs shared by the benchmarks.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <functional>
#include <string>
#include <system_error>
#include <vector>

#include "core/random.h"
#include "image/jpeg_codec.h"
#include "tests/support/noise_picture.h"

namespace tessaro::bench {

inline TBitmap32 NoisePicture(int w, int h, std::uint64_t seed = 2007) {
  return testing_support::NoisePicture(w, h, seed);
}

// A temporary folder of count JPEGs (quality 85) painted by paint from one generator
// seeded 2007; named so that the listing order is the painting order. Removed with it.
class TJpegFolder {
 public:
  TJpegFolder(const std::string& prefix, int count, const std::function<TBitmap32(TRandom&)>& paint) {
    std::string templ = (std::filesystem::temp_directory_path() / (prefix + "_XXXXXX")).string();
    if (::mkdtemp(templ.data())) folder_ = templ;
    TRandom rng(2007);
    for (int i = 0; i < count; ++i) {
      std::string name = "p";  // piecewise: GCC 12 warns falsely on "p" + std::string
      name += std::to_string(10000 + i);
      name += ".jpg";
      const std::filesystem::path file = folder_ / name;
      SaveJpeg(paint(rng), file, 85, false);
      list_.push_back(file.string());
    }
  }
  ~TJpegFolder() {
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
  TJpegFolder(const TJpegFolder&) = delete;
  TJpegFolder& operator=(const TJpegFolder&) = delete;
  const std::vector<std::string>& List() const { return list_; }

 private:
  std::filesystem::path folder_;
  std::vector<std::string> list_;
};

}  // namespace tessaro::bench
