// The library signature stage against plain JPEG decoding of the same files.
//
// 1500 photo-like JPEG pictures of 200 x 150 (quality 85) are written to a temporary
// folder once per run. Figures to compare are ratios within one run:
//   - BM_PlainDecode: libjpeg-turbo alone, one thread, each file opened, decoded to RGB
//     at full size (accurate DCT, fancy upsampling: the loader's settings) and closed;
//   - BM_LibrarySignatures/workers:1: ComputeLibrarySignatures serially (detect the
//     type, decode, 64 x 64 reduction, block sums, progress per picture);
//     goal: within 1.5 x BM_PlainDecode;
//   - BM_LibrarySignatures/workers:2: the same on two workers; goal: below BM_PlainDecode;
//   - BM_LoadPictureOnly, BM_ComputeSignatureOnly: the serial stage's two halves
//     (LoadPicture of every file; ComputeSignature of one 200 x 150 picture as often);
//   - BM_LibrarySignaturesRotated: 200 pictures with the 24 rotations, for scale.
// Run with --benchmark_repetitions=5 on a quiet machine for stable figures.
#include <benchmark/benchmark.h>
#include <jpeglib.h>
#include <stdlib.h>

#include <csetjmp>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "core/job_progress.h"
#include "core/random.h"
#include "image/jpeg_codec.h"
#include "image/ooimgfunction2007.h"
#include "library/library_signatures.h"

namespace tessaro {
namespace {

namespace fs = std::filesystem;

constexpr int kPictures = 1500;
constexpr int kWidth = 200, kHeight = 150;

// Smooth shading, a few soft-edged discs and a little sensor noise: what a JPEG of a
// photograph holds, unlike pure noise (too hard) or flat colour (too easy).
TBitmap32 PhotoLike(TRandom& rng) {
  TBitmap32 b(kWidth, kHeight);
  const int r0 = rng.Random(256), g0 = rng.Random(256), b0 = rng.Random(256);
  const int dr = rng.Random(200) - 100, dg = rng.Random(200) - 100, db = rng.Random(200) - 100;
  struct Disc {
    int x, y, r, cr, cg, cb;
  } discs[4];
  for (Disc& d : discs)
    d = {rng.Random(kWidth), rng.Random(kHeight), 10 + rng.Random(50), rng.Random(256), rng.Random(256),
         rng.Random(256)};
  for (int y = 0; y < kHeight; ++y) {
    TColor32* row = b.ScanLine(y);
    for (int x = 0; x < kWidth; ++x) {
      double r = r0 + dr * x / double(kWidth), g = g0 + dg * y / double(kHeight),
             bl = b0 + db * (x + y) / double(kWidth + kHeight);
      for (const Disc& d : discs) {
        const double dist2 = double(x - d.x) * (x - d.x) + double(y - d.y) * (y - d.y);
        const double w = dist2 < d.r * d.r ? 1.0 - dist2 / (d.r * d.r) : 0.0;
        r += (d.cr - r) * w;
        g += (d.cg - g) * w;
        bl += (d.cb - bl) * w;
      }
      const int n = rng.Random(9) - 4;
      auto clamp = [](double v) { return std::uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); };
      row[x] = Color32(clamp(r + n), clamp(g + n), clamp(bl + n));
    }
  }
  return b;
}

const bench::TJpegFolder& TestPictures() {
  static const bench::TJpegFolder pictures("tessaro_bench_lib", kPictures, PhotoLike);
  return pictures;
}

struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};

// Plain libjpeg-turbo: the reference cost of getting the pixels at all.
bool DecodePlain(const std::string& file, std::vector<JSAMPLE>& rgb) {
  FILE* f = std::fopen(file.c_str(), "rb");
  if (!f) return false;
  jpeg_decompress_struct cinfo;
  ErrorManager err;
  cinfo.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = [](j_common_ptr c) { std::longjmp(reinterpret_cast<ErrorManager*>(c->err)->jump, 1); };
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    std::fclose(f);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_stdio_src(&cinfo, f);
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&cinfo);
  const std::size_t stride = std::size_t(cinfo.output_width) * cinfo.output_components;
  rgb.resize(stride * cinfo.output_height);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = rgb.data() + stride * cinfo.output_scanline;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  std::fclose(f);
  return true;
}

void BM_PlainDecode(benchmark::State& state) {
  const auto& list = TestPictures().List();
  std::vector<JSAMPLE> rgb;
  for (auto _ : state)
    for (const std::string& file : list) {
      if (!DecodePlain(file, rgb)) state.SkipWithError("decode failed");
      benchmark::DoNotOptimize(rgb.data());
    }
  state.SetItemsProcessed(state.iterations() * std::int64_t(list.size()));
}
BENCHMARK(BM_PlainDecode)->Unit(benchmark::kMillisecond)->UseRealTime();

// The two halves of the serial stage, to see where its time goes.
void BM_LoadPictureOnly(benchmark::State& state) {
  const auto& list = TestPictures().List();
  TBitmap32 work;
  for (auto _ : state)
    for (const std::string& file : list) {
      LoadPicture(work, file);
      benchmark::DoNotOptimize(work.Bits());
    }
  state.SetItemsProcessed(state.iterations() * std::int64_t(list.size()));
}
BENCHMARK(BM_LoadPictureOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ComputeSignatureOnly(benchmark::State& state) {
  const auto& list = TestPictures().List();
  TBitmap32 picture;
  LoadPicture(picture, list[0]);
  ImageSignature s;
  for (auto _ : state)
    for (std::size_t i = 0; i < list.size(); ++i) {
      ComputeSignature(picture, s);
      benchmark::DoNotOptimize(s);
    }
  state.SetItemsProcessed(state.iterations() * std::int64_t(list.size()));
}
BENCHMARK(BM_ComputeSignatureOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

// A progress display with the cost of a label update, as the render monitor has.
class CountingProgress final : public IJobProgress {
 public:
  void SetDetail(const std::string& text) override { chars += text.size(); }
  void SetPercent(int percent) override { last = percent; }
  std::size_t chars = 0;
  int last = 0;
};

void BM_LibrarySignatures(benchmark::State& state) {
  const auto& list = TestPictures().List();
  const int workers = int(state.range(0));
  TLibrarySignatureTables tables;
  CountingProgress progress;
  for (auto _ : state) {
    ComputeLibrarySignatures(tables, list, progress, workers);
    benchmark::DoNotOptimize(tables.LibImageInfos[0].Signature);
  }
  state.SetItemsProcessed(state.iterations() * std::int64_t(list.size()));
}
BENCHMARK(BM_LibrarySignatures)->ArgName("workers")->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LibrarySignaturesRotated(benchmark::State& state) {
  const auto& all = TestPictures().List();
  const std::vector<std::string> list(all.begin(), all.begin() + 200);
  const int workers = int(state.range(0));
  TLibrarySignatureTables tables;
  CountingProgress progress;
  for (auto _ : state) {
    ComputeLibrarySignaturesRotated(tables, list, 0x000000, progress, workers);
    benchmark::DoNotOptimize(tables.LibImageDetails[0].Rotated[1]);
  }
  state.SetItemsProcessed(state.iterations() * std::int64_t(list.size()));
}
BENCHMARK(BM_LibrarySignaturesRotated)->ArgName("workers")->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace tessaro
BENCHMARK_MAIN();
