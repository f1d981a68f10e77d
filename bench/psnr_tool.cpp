// Helper of the comparison scripts: scores a mosaic against its main image, and
// resizes a picture for them.
//
//   psnr_tool score REFERENCE MOSAIC W H   reduce both to W x H by area averaging,
//                                          print the PSNR over R, G, B in dB
//   psnr_tool resize IN OUT.jpg W H        area-averaged resize, saved as JPEG (q 95)
//
// Pictures are read with the program's own loader (JPEG, BMP) and otherwise with Qt
// (PNG, the other program's output). Both pictures of a score go through the same
// halftone resampler, so neither side gets a different averaging.
#include <QImage>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "image/bitmap32.h"
#include "image/halftone.h"
#include "image/jpeg_codec.h"
#include "image/picture_files.h"

using namespace tessaro;

namespace {

bool Load(const char* file, TBitmap32& out) {
  LoadPicture(out, file);
  if (!out.Empty()) return true;
  QImage image(QString::fromLocal8Bit(file));
  if (image.isNull()) return false;
  image = image.convertToFormat(QImage::Format_ARGB32);
  out.SetSize(image.width(), image.height());
  for (int y = 0; y < image.height(); ++y) {
    const auto* src = reinterpret_cast<const TColor32*>(image.constScanLine(y));
    TColor32* dst = out.ScanLine(y);
    for (int x = 0; x < image.width(); ++x) dst[x] = src[x] | 0xFF000000u;
  }
  return true;
}

int Usage() {
  std::fputs("usage: psnr_tool score REFERENCE MOSAIC W H\n"
             "       psnr_tool resize IN OUT.jpg W H\n",
             stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) return Usage();
  const std::string mode = argv[1];
  const int w = std::atoi(argv[4]), h = std::atoi(argv[5]);
  if (w <= 0 || h <= 0 || w > 20000 || h > 20000) return Usage();
  TBitmap32 a;
  if (!Load(argv[2], a)) {
    std::fprintf(stderr, "psnr_tool: cannot read %s\n", argv[2]);
    return 1;
  }
  if (mode == "resize") {
    TBitmap32 small;
    HalftoneResize(a, small, w, h);
    try {
      SaveJpeg(small, argv[3], 95, false);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "psnr_tool: %s\n", e.what());
      return 1;
    }
    return 0;
  }
  if (mode != "score") return Usage();
  TBitmap32 b;
  if (!Load(argv[3], b)) {
    std::fprintf(stderr, "psnr_tool: cannot read %s\n", argv[3]);
    return 1;
  }
  TBitmap32 ra, rb;
  HalftoneResize(a, ra, w, h);
  HalftoneResize(b, rb, w, h);
  double sum = 0;
  for (int y = 0; y < h; ++y) {
    const TColor32* pa = ra.ScanLine(y);
    const TColor32* pb = rb.ScanLine(y);
    for (int x = 0; x < w; ++x) {
      const double dr = double(RedOf(pa[x])) - RedOf(pb[x]);
      const double dg = double(GreenOf(pa[x])) - GreenOf(pb[x]);
      const double db = double(BlueOf(pa[x])) - BlueOf(pb[x]);
      sum += dr * dr + dg * dg + db * db;
    }
  }
  const double mse = sum / (3.0 * w * h);
  const double psnr = mse > 0 ? 10.0 * std::log10(255.0 * 255.0 / mse) : 99.0;
  std::printf("%.2f\n", psnr);
  return 0;
}
