// tessaro-cli: the headless front end over the engine. This file only dispatches;
// cli_options parses, commands does the work, terminal_progress shows the job.
#include <cstdio>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

#include "cli/cli_options.h"
#include "cli/commands.h"
#include "core/project_field_names.h"

using namespace tessaro::cli;

namespace {

void PrintFields() {
  std::printf("Fields for --set FIELD=VALUE (names are case-sensitive):\n");
  for (const tessaro::TProjectFieldInfo& f : tessaro::ProjectFieldList())
    std::printf("  %-22s %s\n", f.Name.c_str(), f.Form.c_str());
}

struct TDispatch {
  int operator()(const THelpCommand& c) const {
    if (c.Fields) {
      PrintFields();
    } else {
      std::fputs(UsageText(), stdout);
    }
    return kExitOk;
  }
  int operator()(const TVersionCommand&) const {
    std::printf("tessaro-cli %s\n", TESSARO_VERSION);
    return kExitOk;
  }
  int operator()(const TSignatureCommand& c) const { return RunSignature(c); }
  int operator()(const TNewCommand& c) const { return RunNew(c); }
  int operator()(const TRenderCommand& c) const { return RunRender(c); }
  int operator()(const TRedrawCommand& c) const { return RunRedraw(c); }
  int operator()(const TPageCommand& c) const { return RunPage(c); }
  int operator()(const TTilePlanCommand& c) const { return RunTilePlan(c); }
  int operator()(const TDemoCommand& c) const { return RunDemo(c); }
};

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const TParseResult parsed = ParseCommandLine(args);
  if (!parsed.Error.empty()) {
    std::fprintf(stderr, "tessaro-cli: %s\n(tessaro-cli --help shows the usage)\n",
                 parsed.Error.c_str());
    return kExitUsage;
  }
  return std::visit(TDispatch{}, parsed.Command);
}
