// make_samples: paints the sample data of the install folder (the photo library, the
// tile library and the demo main image) or, for benchmarks and tests, one library or
// the demo image of any size and count into a folder of its own.
#include <charconv>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "sample_library.h"
#include "scenes.h"

namespace fs = std::filesystem;
using namespace tessaro::samples;

namespace {

constexpr const char* kUsage =
    "usage: make_samples --out DIR [--kind all|photos|tiles|demo] [--count N]\n"
    "                    [--size WxH] [--seed S] [--title TEXT] [--threads N]\n"
    "\n"
    "  --kind all     (default) DIR is an install folder: writes\n"
    "                 PhotoLibs/Sample Photos (600 photos, 320x240 and 240x320),\n"
    "                 PhotoLibs/Sample Tiles (208 tiles, 128x128) and\n"
    "                 demo/demo-main.jpg (1600x1200); --count and --size do not apply\n"
    "  --kind photos  DIR is a library folder: N photos (default 600) of WxH\n"
    "                 (default: 320x240 mixed with upright 240x320)\n"
    "  --kind tiles   DIR is a library folder: N tiles (default 208: 52 glazes, four\n"
    "                 surfaces each) of WxH (128x128)\n"
    "  --kind demo    writes DIR/demo-main.jpg of WxH (1600x1200)\n"
    "  --seed S       pictures are a function of the seed (default 1)\n"
    "  --title TEXT   the library title (colname)\n"
    "  --threads N    painting threads (default: the machine's cores); the output does\n"
    "                 not depend on it\n";

constexpr int kMaxCount = 100000;
// Pictures are painted in floating point: a 4096 x 4096 demo takes about 0.6 GB.
constexpr int kMinSide = 16, kMaxSide = 4096, kMaxLibrarySide = 2048;

bool ParseInt(std::string_view text, long long lo, long long hi, long long& out) {
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, out);
  return ec == std::errc() && ptr == end && out >= lo && out <= hi;
}

bool ParseSize(std::string_view text, int& w, int& h) {
  const std::size_t x = text.find('x');
  long long a = 0, b = 0;
  if (x == std::string_view::npos || !ParseInt(text.substr(0, x), kMinSide, kMaxSide, a) ||
      !ParseInt(text.substr(x + 1), kMinSide, kMaxSide, b))
    return false;
  w = int(a);
  h = int(b);
  return true;
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "make_samples: %s\n%s", message.c_str(), kUsage);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  std::string kind = "all", title;
  fs::path out;
  int count = -1, width = 0, height = 0;
  unsigned long long seed = 1;
  int threads = int(std::max(1u, std::thread::hardware_concurrency()));
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (i + 1 >= args.size()) return Fail("option " + a + " needs a value");
    const std::string& v = args[++i];
    long long n = 0;
    if (a == "--out") {
      if (v.empty()) return Fail("--out needs a folder");
      out = v;
    } else if (a == "--kind") {
      if (v != "all" && v != "photos" && v != "tiles" && v != "demo") return Fail("unknown kind " + v);
      kind = v;
    } else if (a == "--count") {
      if (!ParseInt(v, 1, kMaxCount, n)) return Fail("--count takes 1.." + std::to_string(kMaxCount));
      count = int(n);
    } else if (a == "--size") {
      if (!ParseSize(v, width, height))
        return Fail("--size takes WxH, each " + std::to_string(kMinSide) + ".." + std::to_string(kMaxSide));
    } else if (a == "--seed") {
      const auto [ptr, ec] = std::from_chars(v.data(), v.data() + v.size(), seed);
      if (ec != std::errc() || ptr != v.data() + v.size()) return Fail("--seed takes a whole number");
    } else if (a == "--title") {
      title = v;
    } else if (a == "--threads") {
      if (!ParseInt(v, 1, 64, n)) return Fail("--threads takes 1..64");
      threads = int(n);
    } else {
      return Fail("unknown option " + a);
    }
  }
  if (out.empty()) return Fail("--out is required");
  if (kind == "all" && (count >= 0 || width > 0)) return Fail("--count and --size apply to one kind only");
  if (kind == "demo" && count >= 0) return Fail("--count does not apply to the demo image");
  if (kind != "demo" && (width > kMaxLibrarySide || height > kMaxLibrarySide))
    return Fail("library pictures are at most " + std::to_string(kMaxLibrarySide) + " pixels a side");

  Batch batch;
  batch.seed = seed;
  batch.threads = threads;
  if (kind == "all" || kind == "photos") {
    LibraryJob job;
    job.kind = LibraryKind::Photos;
    job.folder = kind == "all" ? out / "PhotoLibs" / "Sample Photos" : out;
    job.title = title.empty() || kind == "all" ? "Sample Photos" : title;
    job.count = count > 0 ? count : 600;
    job.width = width;
    job.height = height;
    batch.libraries.push_back(job);
  }
  if (kind == "all" || kind == "tiles") {
    LibraryJob job;
    job.kind = LibraryKind::Tiles;
    job.folder = kind == "all" ? out / "PhotoLibs" / "Sample Tiles" : out;
    job.title = title.empty() || kind == "all" ? "Sample Tiles" : title;
    job.count = count > 0 ? count : TileCombinationCount();
    job.width = width;
    job.height = height;
    batch.libraries.push_back(job);
  }
  if (kind == "all" || kind == "demo") {
    DemoJob demo;
    demo.file = (kind == "all" ? out / "demo" : out) / "demo-main.jpg";
    if (width > 0) {
      demo.width = width;
      demo.height = height;
    }
    batch.demo = demo;
  }
  try {
    WriteBatch(batch);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "make_samples: %s\n", e.what());
    return 1;
  }
  return 0;
}
