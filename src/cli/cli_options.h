// The command line of tessaro-cli, parsed into one value per command. Parsing checks
// everything that can be checked without touching a file: option names, numbers and
// their ranges, the --set assignments against a scratch project, required options.
// Any fault is a usage error (exit status 2) with a text that names the option.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace tessaro::cli {

struct TSize2 {
  int Width = 0, Height = 0;
};

struct THelpCommand {
  bool Fields = false;  // list the fields --set takes
};
struct TVersionCommand {};

struct TSignatureCommand {
  std::vector<std::string> Files;
};

struct TNewCommand {
  std::string Main;
  std::string OutDir;
  std::vector<std::string> Photos;     // folders scanned recursively
  std::vector<std::string> Libraries;  // library folders or names under PhotoLibs
  std::optional<TSize2> Size, Page, Cell;
  std::optional<TSize2> Pattern;  // Width = PatternGroup, Height = PatternIndex
  std::optional<int> Ppi;
  std::optional<std::uint64_t> Seed;
  std::vector<std::string> Sets;  // FIELD=VALUE, applied in order, last
  bool Yes = false;
};

struct TRenderCommand {
  std::string Project;
  std::optional<std::uint64_t> Seed;
  bool Yes = false;
};

struct TRedrawCommand {
  std::string Project;
  bool Yes = false;
};

struct TPageCommand {
  std::string Project;
  int Col = 0, Row = 0;
};

struct TTilePlanCommand {
  std::string Project;
  std::string Folder;  // empty: the project folder
  int Names = 1;       // 0 no file name, 1 file name only, 2 full path
};

struct TDemoCommand {
  std::string OutDir = "tessaro-demo";
  std::optional<std::uint64_t> Seed;
  bool Yes = false;
};

using TCommand = std::variant<THelpCommand, TVersionCommand, TSignatureCommand, TNewCommand,
                              TRenderCommand, TRedrawCommand, TPageCommand, TTilePlanCommand,
                              TDemoCommand>;

struct TParseResult {
  TCommand Command;
  std::string Error;  // non-empty: a usage error
};

// args without the program name.
TParseResult ParseCommandLine(const std::vector<std::string>& args);

// The usage text printed by --help and after a usage error.
const char* UsageText();

}  // namespace tessaro::cli
