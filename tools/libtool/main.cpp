// tessaro-libtool: makes a photo library folder ("libcfg.cfg", "filelist.lst" and,
// in copy mode, reduced copies of the pictures) from a folder of the user's pictures.
//
// Exit status: 0 done, 1 failure (missing source, nothing usable, unwritable
// target), 2 usage error. Progress, warnings and errors go to stderr, the summary
// of a finished library to stdout.
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "library/TsPhotoLib.h"
#include "library_builder.h"
#include "progress_display.h"

using namespace tessaro;
using namespace tessaro::libtool;

namespace {

constexpr const char* kUsage =
    "usage: tessaro-libtool [options] SOURCE_DIR LIBRARY_DIR\n"
    "\n"
    "Makes a Tessaro photo library in LIBRARY_DIR from the JPEG and BMP pictures in\n"
    "SOURCE_DIR and its sub-folders (pictures are recognised by their content).\n"
    "\n"
    "  --name TEXT         library title (default: the name of LIBRARY_DIR)\n"
    "  --type photo|tile   a photo library (default) or a tile library for tile mosaics\n"
    "  --copy              copy every picture into LIBRARY_DIR as a reduced JPEG (default);\n"
    "                      LIBRARY_DIR must be new or empty and outside SOURCE_DIR\n"
    "  --max-edge N        copy mode: longer edge of a copy at most N pixels (default 400)\n"
    "  --quality Q         copy mode: JPEG quality 1..100 (default 90)\n"
    "  --link              list the pictures where they are, with full paths, instead of\n"
    "                      copying them\n"
    "  --no-recurse        take only the pictures directly in SOURCE_DIR\n"
    "  --jobs N            threads for decoding and reducing (default: one per core)\n"
    "  --verbose           name every skipped file and the reason\n"
    "  --help              show this help\n"
    "  --version           show the version\n"
    "\n"
    "At most 5000 pictures are taken, the most one project can use.\n"
    "Exit status: 0 done, 1 failure, 2 usage error. More in toolhelp.txt in the\n"
    "Tessaro folder.\n";

struct TUsageError {
  std::string text;
};

std::optional<int> ParseInt(std::string_view s) {
  int v = 0;
  const auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || p != s.data() + s.size() || s.empty()) return std::nullopt;
  return v;
}

int RangedInt(const std::string& option, const std::string& value, int lo, int hi) {
  const std::optional<int> v = ParseInt(value);
  if (!v || *v < lo || *v > hi)
    throw TUsageError{option + " needs a whole number from " + std::to_string(lo) + " to " +
                      std::to_string(hi) + ", not '" + value + "'"};
  return *v;
}

int DefaultJobs() {
  const unsigned n = std::thread::hardware_concurrency();
  return n == 0 ? 1 : int(std::min(n, 16u));
}

enum class TAction { Run, Help, Version };

TAction ParseArguments(const std::vector<std::string>& args, TLibToolOptions& o) {
  std::vector<std::string> positional;
  bool copySeen = false, linkSeen = false, copyOptionSeen = false;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    // "--option=value" and "--option value" both work.
    std::optional<std::string> inlineValue;
    if (const std::size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
      inlineValue = arg.substr(eq + 1);
      arg.resize(eq);
    }
    auto value = [&]() -> std::string {
      if (inlineValue) return *inlineValue;
      if (i + 1 >= args.size()) throw TUsageError{arg + " needs a value"};
      return args[++i];
    };
    auto noValue = [&] {
      if (inlineValue) throw TUsageError{arg + " takes no value"};
    };

    if (arg == "--help" || arg == "-h") {
      noValue();
      return TAction::Help;
    } else if (arg == "--version") {
      noValue();
      return TAction::Version;
    } else if (arg == "--name") {
      o.Name = value();
      if (o.Name.empty()) throw TUsageError{"--name needs a non-empty title"};
    } else if (arg == "--type") {
      const std::string t = value();
      if (t == "photo")
        o.ColType = kColTypePhoto;
      else if (t == "tile")
        o.ColType = kColTypeTile;
      else
        throw TUsageError{"--type is photo or tile, not '" + t + "'"};
    } else if (arg == "--link") {
      noValue();
      linkSeen = true;
    } else if (arg == "--copy") {
      noValue();
      copySeen = true;
    } else if (arg == "--max-edge") {
      o.MaxEdge = RangedInt(arg, value(), 1, kMaxJpegEdge);
      copyOptionSeen = true;
    } else if (arg == "--quality") {
      o.Quality = RangedInt(arg, value(), 1, 100);
      copyOptionSeen = true;
    } else if (arg == "--no-recurse") {
      noValue();
      o.Recurse = false;
    } else if (arg == "--jobs") {
      o.Jobs = RangedInt(arg, value(), 1, 64);
    } else if (arg == "--verbose" || arg == "-v") {
      noValue();
      o.Verbose = true;
    } else {
      throw TUsageError{"unknown option " + arg};
    }
  }
  if (linkSeen && copySeen) throw TUsageError{"--link and --copy exclude each other"};
  if (linkSeen && copyOptionSeen) throw TUsageError{"--max-edge and --quality apply to copy mode only"};
  o.Link = linkSeen;
  if (positional.size() != 2)
    throw TUsageError{positional.size() < 2 ? "SOURCE_DIR and LIBRARY_DIR are needed"
                                            : "too many arguments: " + positional[2]};
  o.Source = positional[0];
  o.Library = positional[1];
  return TAction::Run;
}

void PrintSummary(const TLibToolOptions& o, const TLibToolResult& r) {
  std::printf("Library \"%s\" in %s: %zu pictures", r.Name.c_str(), r.Library.string().c_str(),
              r.Pictures);
  if (o.Link)
    std::printf(", listed where they are\n");
  else
    std::printf(" copied, longer edge at most %d pixels, JPEG quality %d\n", o.MaxEdge, o.Quality);
  std::printf("Scanned %zu folders\n", r.Folders);
  const std::size_t skipped = r.NotPictures + r.Undecodable + r.Unlistable;
  if (skipped > 0) {
    std::printf("Skipped %zu files:", skipped);
    const char* sep = " ";
    if (r.NotPictures) std::printf("%s%zu not a JPEG or BMP picture", sep, r.NotPictures), sep = ", ";
    if (r.Undecodable) std::printf("%s%zu cannot be decoded", sep, r.Undecodable), sep = ", ";
    if (r.Unlistable) std::printf("%s%zu with a line break in the path", sep, r.Unlistable);
    std::printf("\n");
  }
  if (r.LeftOut > 0)
    std::printf("Left out %zu pictures: a project takes at most %zu pictures\n", r.LeftOut,
                kMaxProjectPictures);
}

}  // namespace

int main(int argc, char** argv) {
  TLibToolOptions options;
  options.Jobs = DefaultJobs();
  try {
    switch (ParseArguments({argv + 1, argv + argc}, options)) {
      case TAction::Help:
        std::fputs(kUsage, stdout);
        return 0;
      case TAction::Version:
        std::printf("tessaro-libtool %s\n", TESSARO_VERSION);
        return 0;
      case TAction::Run:
        break;
    }
  } catch (const TUsageError& e) {
    std::fprintf(stderr, "tessaro-libtool: %s\nRun 'tessaro-libtool --help' for the options.\n",
                 e.text.c_str());
    return 2;
  }

  TLibToolResult result;
  {
    TProgressDisplay progress(stderr, ::isatty(STDERR_FILENO) == 1);
    try {
      result = BuildLibrary(options, progress);
    } catch (const std::exception& e) {  // memory exhaustion or a file system fault
      progress.Line(std::string("tessaro-libtool: ") + e.what());
      return 1;
    }
    if (result.LeftOut > 0)
      progress.Line("tessaro-libtool: warning: " + std::to_string(result.LeftOut) +
                    " more pictures left out; a project takes at most " +
                    std::to_string(kMaxProjectPictures) + " pictures");
  }
  if (result.Status != TLibToolStatus::Ok) return 1;
  PrintSummary(options, result);
  return 0;
}
