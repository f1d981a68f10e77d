// The commands of tessaro-cli. Each returns the process exit status: 0 done, 1 a step
// failed or an input cannot be used (the reason on standard error), 2 a usage error
// found only once files were looked at (a page outside the project's page grid).
#pragma once

#include "cli/cli_options.h"

namespace tessaro::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

int RunNew(const TNewCommand& command);
int RunRender(const TRenderCommand& command);
int RunRedraw(const TRedrawCommand& command);
int RunPage(const TPageCommand& command);
int RunTilePlan(const TTilePlanCommand& command);
int RunDemo(const TDemoCommand& command);
int RunSignature(const TSignatureCommand& command);

}  // namespace tessaro::cli
