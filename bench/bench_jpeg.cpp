// JPEG decoding speed: LoadPicture against a plain libjpeg-turbo scanline loop (the
// core of djpeg), on a 12-megapixel photo-like picture made here with SaveJpeg.
//
//   bench_jpeg                          Google Benchmark cases
//   bench_jpeg --make-photo FILE        write the 4000 x 3000 test photo
//   bench_jpeg --decode FILE N          LoadPicture FILE N times into one bitmap, print
//                                       the CPU time per decode (for compare_djpeg.sh)
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>  // before jpeglib.h, which needs FILE and size_t
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "core/random.h"
#include "image/bitmap32.h"
#include "image/jpeg_codec.h"
#include "image/picture_files.h"

namespace {

using namespace tessaro;

// Smooth light and colour gradients, sensor-like noise, and a few regions of fine
// detail (stripes, rings, hard edges): the mix a camera picture gives the entropy coder.
TBitmap32 MakePhoto(int w, int h) {
  TBitmap32 b(w, h);
  TRandom rnd(20240601);
  for (int y = 0; y < h; ++y) {
    TColor32* row = b.ScanLine(y);
    const double fy = double(y) / h;
    for (int x = 0; x < w; ++x) {
      const double fx = double(x) / w;
      double r = 120 + 70 * std::sin(fx * 3.1 + fy * 1.3) + 30 * fy;
      double g = 110 + 60 * std::cos(fx * 2.3 - fy * 2.9);
      double bl = 100 + 80 * fy - 40 * fx + 20 * std::sin(fx * 9.0);
      if (x > w / 2 && y < h / 3) {  // fabric-like stripes
        const double s = 35 * std::sin(x * 0.9 + std::sin(y * 0.05) * 6);
        r += s;
        g += s;
        bl += s;
      }
      const double dx = x - w * 0.3, dy = y - h * 0.65;
      const double d = std::sqrt(dx * dx + dy * dy);
      if (d < h * 0.25) {  // rings
        const double s = 45 * std::sin(d * 0.35);
        r -= s;
        bl += s;
      }
      if ((x / 250 + y / 250) % 7 == 0) {  // hard-edged tiles
        r = r * 0.5 + 100;
        g *= 0.6;
      }
      const int noise = int(rnd.Next32() % 17) - 8;
      auto clamp = [&](double v) {
        return std::uint8_t(std::lround(std::fmin(255, std::fmax(0, v + noise))));
      };
      row[x] = Color32(clamp(r), clamp(g), clamp(bl));
    }
  }
  return b;
}

const std::filesystem::path& PhotoFile() {
  static const std::filesystem::path file = [] {
    const auto f = std::filesystem::temp_directory_path() / "tessaro_bench_photo.jpg";
    SaveJpeg(MakePhoto(4000, 3000), f, 90, false);
    return f;
  }();
  return file;
}

// Steady state: one target reused, as the signature loop does. The two loads before
// the loop fill the target and the decoders' spare buffer, so no iteration touches
// fresh memory.
void BM_LoadPicture(benchmark::State& state) {
  const auto& f = PhotoFile();
  TBitmap32 target;
  LoadPicture(target, f);
  LoadPicture(target, f);
  for (auto _ : state) {
    LoadPicture(target, f);
    benchmark::DoNotOptimize(target.Bits());
  }
  if (target.Width() != 4000) state.SkipWithError("photo did not decode");
  state.counters["MPix/s"] =
      benchmark::Counter(12.0 * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_LoadPicture)->Unit(benchmark::kMillisecond);

// A new target every time: every load brings 48 MB of memory the process has not
// touched yet, the cost of a first load (and on a VM, of page faults).
void BM_LoadPictureIntoNewBitmap(benchmark::State& state) {
  const auto& f = PhotoFile();
  for (auto _ : state) {
    TBitmap32 target;
    LoadPicture(target, f);
    benchmark::DoNotOptimize(target.Bits());
  }
  state.counters["MPix/s"] =
      benchmark::Counter(12.0 * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_LoadPictureIntoNewBitmap)->Unit(benchmark::kMillisecond);

struct JumpError {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};
[[noreturn]] void JumpOut(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<JumpError*>(cinfo->err)->jump, 1);
}

bool RunPlainDecode(jpeg_decompress_struct& cinfo, JumpError& err, std::FILE* in,
                    std::vector<JSAMPLE>& row) {
  if (setjmp(err.jump)) return false;
  jpeg_create_decompress(&cinfo);
  jpeg_stdio_src(&cinfo, in);
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_RGB;
  cinfo.dct_method = JDCT_ISLOW;
  cinfo.do_fancy_upsampling = TRUE;
  jpeg_start_decompress(&cinfo);
  row.resize(std::size_t(cinfo.output_width) * 3);
  JSAMPROW rows[1] = {row.data()};
  while (cinfo.output_scanline < cinfo.output_height) jpeg_read_scanlines(&cinfo, rows, 1);
  jpeg_finish_decompress(&cinfo);
  return true;
}

// What djpeg does for PPM output, minus the writing: RGB rows into one row buffer.
void BM_LibjpegRgbScanlines(benchmark::State& state) {
  const auto& f = PhotoFile();
  std::vector<JSAMPLE> row;
  for (auto _ : state) {
    std::FILE* in = std::fopen(f.c_str(), "rb");
    if (!in) {
      state.SkipWithError("cannot open the photo");
      break;
    }
    jpeg_decompress_struct cinfo{};
    JumpError err{};
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = JumpOut;
    const bool ok = RunPlainDecode(cinfo, err, in, row);
    jpeg_destroy_decompress(&cinfo);
    std::fclose(in);
    if (!ok) {
      state.SkipWithError("libjpeg failed");
      break;
    }
    benchmark::DoNotOptimize(row.data());
  }
  state.counters["MPix/s"] =
      benchmark::Counter(12.0 * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_LibjpegRgbScanlines)->Unit(benchmark::kMillisecond);

double CpuSeconds() { return double(std::clock()) / CLOCKS_PER_SEC; }  // user + system

// N loads into one target; the first two (target and spare buffer still to be
// allocated) are reported apart from the rest.
int DecodeMode(const char* file, int n) {
  TBitmap32 target;
  double cold = 0, steady = 0;
  for (int i = 0; i < n; ++i) {
    const double t0 = CpuSeconds();
    LoadPicture(target, file);
    (i < 2 ? cold : steady) += CpuSeconds() - t0;
  }
  if (target.Empty()) {
    std::fprintf(stderr, "%s: not decoded\n", file);
    return 1;
  }
  const int coldN = std::min(n, 2), steadyN = n - coldN;
  std::printf("%dx%d, %d decodes; cpu ms per decode: first %d %.2f, rest %.2f\n", target.Width(),
              target.Height(), n, coldN, cold * 1000 / std::max(1, coldN),
              steadyN > 0 ? steady * 1000 / steadyN : 0.0);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--make-photo") {
    SaveJpeg(MakePhoto(4000, 3000), argv[2], 90, false);
    return 0;
  }
  if (argc == 4 && std::string(argv[1]) == "--decode")
    return DecodeMode(argv[2], std::atoi(argv[3]));
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
