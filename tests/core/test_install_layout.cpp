// The install folder the build tree lays out beside the programs, and the one
// `cmake --install` makes from it: both must hold every name the program opens.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/app_state.h"
#include "support/temp_dir.h"

namespace tessaro {
namespace {

namespace fs = std::filesystem;

fs::path BuildDir() { return ExecutableDir().parent_path(); }

void ExpectCompleteInstallFolder(const fs::path& appDir) {
  const char* files[] = {"tessaro-cli",
                         "masks/patterndefine.ini",
                         "config/enhance/default.ehc",
                         "config/enhance/default.amc",
                         "toolkit/tessaro-libtool",
                         "ts8help.pdf",
                         "toolhelp.txt",
                         "demo/demo-main.jpg"};
  for (const char* name : files) EXPECT_TRUE(fs::is_regular_file(appDir / name)) << name;
  const char* folders[] = {"masks", "PhotoLibs", "projects", "config/enhance", "toolkit"};
  for (const char* name : folders) EXPECT_TRUE(fs::is_directory(appDir / name)) << name;
  int libraries = 0;
  if (fs::is_directory(appDir / "PhotoLibs"))
    for (const auto& e : fs::directory_iterator(appDir / "PhotoLibs")) {
      if (!e.is_directory()) continue;
      ++libraries;
      EXPECT_TRUE(fs::is_regular_file(e.path() / "libcfg.cfg")) << e.path();
      EXPECT_TRUE(fs::is_regular_file(e.path() / "filelist.lst")) << e.path();
    }
  EXPECT_GE(libraries, 2);
  // Build-time generators stay out of the install folder.
  for (const auto& e : fs::recursive_directory_iterator(appDir))
    EXPECT_EQ(e.path().filename().string().rfind("make_", 0), std::string::npos) << e.path();
}

TEST(InstallLayout, BuildTreeHoldsTheCompleteInstallFolder) {
  ExpectCompleteInstallFolder(BuildDir() / "tessaro");
}

TEST(InstallLayout, CmakeInstallGivesTheSameLayout) {
  testing_support::TempDir prefix;
  const std::string command = "cmake --install \"" + BuildDir().string() + "\" --prefix \"" +
                              prefix.path().string() + "\" > /dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  ExpectCompleteInstallFolder(prefix.path());
  // Same files on both sides.
  const fs::path built = BuildDir() / "tessaro";
  for (const auto& e : fs::recursive_directory_iterator(built)) {
    const fs::path rel = fs::relative(e.path(), built);
    EXPECT_TRUE(fs::exists(prefix.path() / rel)) << rel;
  }
}

}  // namespace
}  // namespace tessaro
