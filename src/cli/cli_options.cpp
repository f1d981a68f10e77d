#include "cli/cli_options.h"

#include <charconv>
#include <functional>
#include <limits>
#include <string_view>

#include "core/ootsfunction2007.h"
#include "core/project_field_names.h"
#include "core/quoted.h"

namespace tessaro::cli {

namespace {

constexpr const char* kUsage =
    "usage: tessaro-cli new --main FILE --out-dir DIR [--photos DIR]... [--library DIR|NAME]...\n"
    "                       [--size WxH] [--page WxH] [--cell WxH] [--pattern M,P] [--ppi N]\n"
    "                       [--seed N] [--set FIELD=VALUE]... [--yes]\n"
    "       tessaro-cli render FILE.TS8 [--seed N] [--yes]\n"
    "       tessaro-cli redraw FILE.TS8 [--yes]\n"
    "       tessaro-cli page FILE.TS8 COL ROW\n"
    "       tessaro-cli tileplan FILE.TS8 [--folder DIR] [--names 0|1|2]\n"
    "       tessaro-cli demo [--out DIR] [--seed N] [--yes]\n"
    "       tessaro-cli signature FILE...\n"
    "       tessaro-cli --help [fields] | --version\n"
    "\n"
    "  new        create a project in a new folder inside DIR from the main image and the\n"
    "             pictures (--photos: a folder of own pictures, searched recursively;\n"
    "             --library: a library folder or the name of one in the install folder's\n"
    "             PhotoLibs; at least one source), then render it to the end.\n"
    "             --size: mosaic size (default: the main image's), --page: page size\n"
    "             (default: one page of the mosaic's size), --cell: cell size, --pattern:\n"
    "             mask and pattern number, --ppi: resolution stamped into the pages,\n"
    "             --seed: the random generator (default: the clock), --set: any project\n"
    "             field by name, applied last (list: tessaro-cli --help fields).\n"
    "  render     open a project and run the steps it still lacks.\n"
    "  redraw     open a rendered project and draw all its pages again.\n"
    "  page       open a rendered project and draw page COL ROW (from 0) only.\n"
    "  tileplan   write the tile book (TileIDandCount.txt, sample sheets) and the\n"
    "             construction plan into DIR (default: the project folder); --names:\n"
    "             0 no file names, 1 file names (default), 2 full paths.\n"
    "  demo       render the shipped demo picture from the sample library into a new\n"
    "             folder in DIR (default ./tessaro-demo).\n"
    "  signature  print the colour signature of each JPEG or BMP file.\n"
    "\n"
    "Questions the job asks are answered No, or Yes with --yes. Progress goes to standard\n"
    "error; the project folder (demo: the output.bmp) is the last line of standard output.\n"
    "Exit status: 0 done, 1 a step failed or an input is unusable, 2 usage error.\n";

constexpr int kMaxDimension = 65536;

bool ParseInteger(std::string_view text, std::int64_t lo, std::int64_t hi, std::int64_t& out) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty() || text.front() == '+') return false;
  std::int64_t v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size() || v < lo || v > hi) return false;
  out = v;
  return true;
}

std::string ParseIntOption(std::string_view option, std::string_view text, std::int64_t lo,
                           std::int64_t hi, int& out) {
  std::int64_t v = 0;
  if (!ParseInteger(text, lo, hi, v))
    return std::string(option) + ": " + Quoted(text) + " is not a whole number in " +
           std::to_string(lo) + ".." + std::to_string(hi);
  out = int(v);
  return {};
}

std::string ParseSeed(std::string_view text, std::optional<std::uint64_t>& out) {
  std::uint64_t v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size())
    return "--seed: " + Quoted(text) + " is not a whole number 0.." +
           std::to_string(std::numeric_limits<std::uint64_t>::max());
  out = v;
  return {};
}

// Two numbers joined by sep ("1600x1200", "2,3"), each in lo..hi.
std::string ParsePair(std::string_view option, std::string_view text, const char* seps,
                      const char* form, std::int64_t lo, std::int64_t hi,
                      std::optional<TSize2>& out) {
  const std::size_t at = text.find_first_of(seps);
  std::int64_t a = 0, b = 0;
  if (at == std::string_view::npos || !ParseInteger(text.substr(0, at), lo, hi, a) ||
      !ParseInteger(text.substr(at + 1), lo, hi, b))
    return std::string(option) + ": " + Quoted(text) + " is not " + form + " with numbers in " +
           std::to_string(lo) + ".." + std::to_string(hi);
  out = TSize2{int(a), int(b)};
  return {};
}

std::string ParseSize(std::string_view option, std::string_view text, std::optional<TSize2>& out) {
  return ParsePair(option, text, "xX", "WxH", 1, kMaxDimension, out);
}

struct TOptionRule {
  const char* Name;
  bool TakesValue;
  std::function<std::string(std::string_view)> Apply;  // returns an error text
};

// Options (as "--name value" or "--name=value") and positional arguments from
// args[first..]; the first fault as an error text.
std::string ParseOptions(const std::vector<std::string>& args, std::size_t first,
                         const std::vector<TOptionRule>& rules,
                         std::vector<std::string>& positionals) {
  for (std::size_t i = first; i < args.size(); ++i) {
    const std::string& arg = args[i];
    // "-1" is a (bad) number for a positional, not an option.
    if (arg.size() < 2 || arg[0] != '-' || (arg[1] >= '0' && arg[1] <= '9')) {
      positionals.push_back(arg);
      continue;
    }
    if (arg == "--") {
      positionals.insert(positionals.end(), args.begin() + std::ptrdiff_t(i) + 1, args.end());
      break;
    }
    std::string_view name = arg;
    std::optional<std::string_view> inlineValue;
    if (const std::size_t eq = name.find('='); eq != std::string_view::npos) {
      inlineValue = name.substr(eq + 1);
      name = name.substr(0, eq);
    }
    const TOptionRule* rule = nullptr;
    for (const TOptionRule& s : rules)
      if (name == s.Name) rule = &s;
    if (!rule) return "unknown option " + std::string(name);
    std::string_view value;
    if (rule->TakesValue) {
      if (inlineValue) {
        value = *inlineValue;
      } else if (i + 1 < args.size()) {
        value = args[++i];
      } else {
        return std::string(name) + " needs a value";
      }
    } else if (inlineValue) {
      return std::string(name) + " takes no value";
    }
    if (std::string error = rule->Apply(value); !error.empty()) return error;
  }
  return {};
}

std::string ExpectPositionals(const char* command, const std::vector<std::string>& got,
                              std::size_t count, const char* names) {
  if (got.size() == count) return {};
  if (got.size() < count) return std::string(command) + ": missing " + names;
  return std::string(command) + ": unexpected argument " + Quoted(got[count]);
}

TParseResult ParseNew(const std::vector<std::string>& args) {
  TNewCommand c;
  TtsProject07 scratch;  // --set is checked here, so a typo fails before any work
  const std::vector<TOptionRule> rules = {
      {"--main", true, [&](std::string_view v) { c.Main = v; return std::string(); }},
      {"--out-dir", true, [&](std::string_view v) { c.OutDir = v; return std::string(); }},
      {"--photos", true, [&](std::string_view v) { c.Photos.emplace_back(v); return std::string(); }},
      {"--library", true,
       [&](std::string_view v) { c.Libraries.emplace_back(v); return std::string(); }},
      {"--size", true, [&](std::string_view v) { return ParseSize("--size", v, c.Size); }},
      {"--page", true, [&](std::string_view v) { return ParseSize("--page", v, c.Page); }},
      {"--cell", true, [&](std::string_view v) { return ParseSize("--cell", v, c.Cell); }},
      {"--pattern", true,
       [&](std::string_view v) { return ParsePair("--pattern", v, ",", "M,P", 1, 10000, c.Pattern); }},
      {"--ppi", true,
       [&](std::string_view v) {
         int ppi = 0;
         std::string e = ParseIntOption("--ppi", v, 1, 65535, ppi);
         if (e.empty()) c.Ppi = ppi;
         return e;
       }},
      {"--seed", true, [&](std::string_view v) { return ParseSeed(v, c.Seed); }},
      {"--set", true,
       [&](std::string_view v) {
         std::string e = ApplyProjectFieldAssignment(scratch, v);
         if (!e.empty()) return "--set: " + e;
         c.Sets.emplace_back(v);
         return std::string();
       }},
      {"--yes", false, [&](std::string_view) { c.Yes = true; return std::string(); }},
  };
  std::vector<std::string> positionals;
  std::string error = ParseOptions(args, 1, rules, positionals);
  if (error.empty()) error = ExpectPositionals("new", positionals, 0, "");
  if (error.empty() && c.Main.empty()) error = "new: --main FILE is required";
  if (error.empty() && c.OutDir.empty()) error = "new: --out-dir DIR is required";
  if (error.empty() && c.Photos.empty() && c.Libraries.empty())
    error = "new: give at least one picture source (--photos DIR or --library DIR|NAME)";
  return {c, error};
}

TParseResult ParseRender(const std::vector<std::string>& args) {
  TRenderCommand c;
  const std::vector<TOptionRule> rules = {
      {"--seed", true, [&](std::string_view v) { return ParseSeed(v, c.Seed); }},
      {"--yes", false, [&](std::string_view) { c.Yes = true; return std::string(); }},
  };
  std::vector<std::string> positionals;
  std::string error = ParseOptions(args, 1, rules, positionals);
  if (error.empty()) error = ExpectPositionals("render", positionals, 1, "FILE.TS8");
  if (error.empty()) c.Project = positionals[0];
  return {c, error};
}

TParseResult ParseRedraw(const std::vector<std::string>& args) {
  TRedrawCommand c;
  const std::vector<TOptionRule> rules = {
      {"--yes", false, [&](std::string_view) { c.Yes = true; return std::string(); }},
  };
  std::vector<std::string> positionals;
  std::string error = ParseOptions(args, 1, rules, positionals);
  if (error.empty()) error = ExpectPositionals("redraw", positionals, 1, "FILE.TS8");
  if (error.empty()) c.Project = positionals[0];
  return {c, error};
}

TParseResult ParsePage(const std::vector<std::string>& args) {
  TPageCommand c;
  std::vector<std::string> positionals;
  std::string error = ParseOptions(args, 1, {}, positionals);
  if (error.empty()) error = ExpectPositionals("page", positionals, 3, "FILE.TS8 COL ROW");
  if (error.empty()) error = ParseIntOption("page: COL", positionals[1], 0, kMaxDimension, c.Col);
  if (error.empty()) error = ParseIntOption("page: ROW", positionals[2], 0, kMaxDimension, c.Row);
  if (error.empty()) c.Project = positionals[0];
  return {c, error};
}

TParseResult ParseTilePlan(const std::vector<std::string>& args) {
  TTilePlanCommand c;
  const std::vector<TOptionRule> rules = {
      {"--folder", true, [&](std::string_view v) { c.Folder = v; return std::string(); }},
      {"--names", true, [&](std::string_view v) { return ParseIntOption("--names", v, 0, 2, c.Names); }},
  };
  std::vector<std::string> positionals;
  std::string error = ParseOptions(args, 1, rules, positionals);
  if (error.empty()) error = ExpectPositionals("tileplan", positionals, 1, "FILE.TS8");
  if (error.empty()) c.Project = positionals[0];
  return {c, error};
}

TParseResult ParseDemo(const std::vector<std::string>& args) {
  TDemoCommand c;
  const std::vector<TOptionRule> rules = {
      {"--out", true, [&](std::string_view v) { c.OutDir = v; return std::string(); }},
      {"--seed", true, [&](std::string_view v) { return ParseSeed(v, c.Seed); }},
      {"--yes", false, [&](std::string_view) { c.Yes = true; return std::string(); }},
  };
  std::vector<std::string> positionals;
  std::string error = ParseOptions(args, 1, rules, positionals);
  if (error.empty()) error = ExpectPositionals("demo", positionals, 0, "");
  if (error.empty() && c.OutDir.empty()) error = "demo: --out needs a folder";
  return {c, error};
}

TParseResult ParseSignature(const std::vector<std::string>& args) {
  TSignatureCommand c;
  std::vector<std::string> positionals;
  std::string error = ParseOptions(args, 1, {}, positionals);
  if (error.empty() && positionals.empty()) error = "signature: missing FILE";
  c.Files = positionals;
  return {c, error};
}

}  // namespace

TParseResult ParseCommandLine(const std::vector<std::string>& args) {
  if (args.empty()) return {THelpCommand{}, "missing command"};
  const std::string& command = args[0];
  using TParser = TParseResult (*)(const std::vector<std::string>&);
  static const std::pair<const char*, TParser> kCommands[] = {
      {"new", ParseNew},         {"render", ParseRender},     {"redraw", ParseRedraw},
      {"page", ParsePage},       {"tileplan", ParseTilePlan}, {"demo", ParseDemo},
      {"signature", ParseSignature},
  };
  for (const auto& [name, parse] : kCommands)
    if (command == name) return parse(args);
  if (command == "--help" || command == "-h" || command == "help") {
    if (args.size() == 2 && args[1] == "fields") return {THelpCommand{true}, ""};
    if (args.size() > 1) return {THelpCommand{}, "--help: unexpected argument " + Quoted(args[1])};
    return {THelpCommand{}, ""};
  }
  if (command == "--version") {
    if (args.size() > 1) return {TVersionCommand{}, "--version takes no argument"};
    return {TVersionCommand{}, ""};
  }
  if (command.starts_with("-")) return {THelpCommand{}, "unknown option " + command};
  return {THelpCommand{}, "unknown command " + Quoted(command)};
}

const char* UsageText() { return kUsage; }

}  // namespace tessaro::cli
