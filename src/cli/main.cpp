// tessaro-cli: the headless front end over the engine.
//
// For now it has the picture commands: "signature" prints the colour signature of
// picture files; "demo" makes a picture, writes it as JPEG, reads it back and prints
// its signature and writes a preview of the signature beside it.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "core/random.h"
#include "image/jpeg_codec.h"
#include "image/ooimgfunction2007.h"

namespace fs = std::filesystem;
using namespace tessaro;

namespace {

constexpr const char* kUsage =
    "usage: tessaro-cli demo [--out DIR]\n"
    "       tessaro-cli signature FILE...\n"
    "       tessaro-cli --help | --version\n"
    "\n"
    "  demo       write a generated photo to DIR (default: ./tessaro-demo) as JPEG,\n"
    "             load it back and print its colour signature\n"
    "  signature  print the colour signature of each JPEG or BMP file\n";

void PrintSignature(const std::string& name, const TBitmap32& picture) {
  const ImageSignature s = ComputeSignature(picture);
  std::printf("%s: %dx%d pixels\n", name.c_str(), picture.Width(), picture.Height());
  std::printf("  palette index %d\n", s.PaletteIndex);
  std::printf("  average       grey %3d  R %3d  G %3d  B %3d\n", s.Average.Grey, s.Average.R,
              s.Average.G, s.Average.B);
  for (int r = 0; r < 2; ++r) {
    std::printf("  2x2 row %d    ", r);
    for (int c = 0; c < 2; ++c) {
      const SignatureColor& g = s.Grid2[2 * r + c];
      std::printf("  (%3d,%3d,%3d)", g.R, g.G, g.B);
    }
    std::printf("\n");
  }
}

// A landscape-like picture: sky gradient, a sun, hills and some grain, so the
// signature has structure worth looking at.
TBitmap32 DemoPicture(int w, int h) {
  TBitmap32 b(w, h);
  TRandom rnd(2026);
  for (int y = 0; y < h; ++y) {
    TColor32* row = b.ScanLine(y);
    const double t = double(y) / h;
    for (int x = 0; x < w; ++x) {
      double r = 70 + 120 * t, g = 130 + 80 * t, bl = 230 - 40 * t;  // sky
      const double dx = x - 0.72 * w, dy = y - 0.25 * h;
      if (dx * dx + dy * dy < 0.006 * w * w) r = 255, g = 220, bl = 90;  // sun
      const double hill = 0.62 * h + 0.08 * h * std::sin(x * 6.0 / w) + 0.04 * h * std::sin(x * 17.0 / w);
      if (y > hill) {
        const double d = (y - hill) / (h - hill);
        r = 40 + 60 * d, g = 120 - 40 * d, bl = 40 + 10 * d;  // grass
      }
      const int n = rnd.Random(21) - 10;
      row[x] = Color32(std::uint8_t(ClampByte(int(r) + n)), std::uint8_t(ClampByte(int(g) + n)),
                       std::uint8_t(ClampByte(int(bl) + n)));
    }
  }
  return b;
}

int Demo(const fs::path& dir) {
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec) {
    std::fprintf(stderr, "tessaro-cli: cannot create %s: %s\n", dir.string().c_str(), ec.message().c_str());
    return 1;
  }
  const fs::path jpeg = dir / "demo.jpg";
  try {
    SaveJpeg(DemoPicture(640, 480), jpeg, 90, false);
  } catch (const TPictureError& e) {
    std::fprintf(stderr, "tessaro-cli: %s\n", e.what());
    return 1;
  }
  TBitmap32 loaded;
  LoadPicture(loaded, jpeg);
  if (loaded.Empty()) {
    std::fprintf(stderr, "tessaro-cli: %s could not be decoded\n", jpeg.string().c_str());
    return 1;
  }
  PrintSignature(jpeg.string(), loaded);
  TBitmap32 preview;
  DrawSignaturePreview(preview, ComputeSignature(loaded), 64, false);
  TBitmap32 big;
  ResampleBitmap(preview, big, 256, 256);
  const fs::path out = dir / "demo-signature.bmp";
  try {
    big.SaveToFileWithDPI(out, 72);
  } catch (const TPictureError& e) {
    std::fprintf(stderr, "tessaro-cli: %s\n", e.what());
    return 1;
  }
  std::printf("signature preview: %s\n", out.string().c_str());
  return 0;
}

int Signatures(const std::vector<std::string>& files) {
  int status = 0;
  for (const std::string& f : files) {
    if (DetectPictureType(f) == kPictureNone) {
      std::fprintf(stderr, "tessaro-cli: %s: not a JPEG or BMP picture\n", f.c_str());
      status = 1;
      continue;
    }
    TBitmap32 picture;
    LoadPicture(picture, f);
    if (picture.Empty()) {
      std::fprintf(stderr, "tessaro-cli: %s: cannot be decoded\n", f.c_str());
      status = 1;
      continue;
    }
    PrintSignature(f, picture);
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  if (args[0] == "--help" || args[0] == "-h") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (args[0] == "--version") {
    std::printf("tessaro-cli 0.1.0\n");
    return 0;
  }
  if (args[0] == "demo") {
    fs::path dir = "tessaro-demo";
    for (std::size_t i = 1; i < args.size(); ++i) {
      if (args[i] == "--out" && i + 1 < args.size()) {
        dir = args[++i];
      } else {
        std::fprintf(stderr, "tessaro-cli: unknown option %s\n%s", args[i].c_str(), kUsage);
        return 2;
      }
    }
    return Demo(dir);
  }
  if (args[0] == "signature") {
    if (args.size() < 2) {
      std::fputs(kUsage, stderr);
      return 2;
    }
    return Signatures({args.begin() + 1, args.end()});
  }
  std::fprintf(stderr, "tessaro-cli: unknown command %s\n%s", args[0].c_str(), kUsage);
  return 2;
}
