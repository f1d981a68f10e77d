// The documents folder and the projects root, with HOME and the XDG configuration
// pointed at a temporary folder. No Qt application object exists in this program.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <string>

#include "core/core_test_support.h"
#include "core/project_folders.h"

namespace tessaro {
namespace {

using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

// Sets an environment variable for the lifetime of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (old_)
      ::setenv(name_, old_->c_str(), 1);
    else
      ::unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

class ProjectFolders : public ::testing::Test {
 protected:
  TempDir home_;
  ScopedEnv homeEnv_{"HOME", home_.path().string()};
  ScopedEnv configEnv_{"XDG_CONFIG_HOME", (home_.path() / ".config").string()};
};

TEST_F(ProjectFolders, DocumentsFolderDefaultsToDocumentsInHome) {
  EXPECT_EQ(GetMyDocumentsDir(), (home_.path() / "Documents").string());
}

TEST_F(ProjectFolders, DocumentsFolderFollowsTheUserDirsConfiguration) {
  WriteBytes(home_ / ".config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Papers\"\n");
  EXPECT_EQ(GetMyDocumentsDir(), (home_.path() / "Papers").string());
}

TEST_F(ProjectFolders, ProjectsRootIsCreatedOnceAndItsContentKept) {
  const std::string expected = (home_.path() / "Documents" / "MosaicProject").string();
  const std::string root = GetProjectsRootDir();
  EXPECT_EQ(root, expected);
  ASSERT_TRUE(std::filesystem::is_directory(root));
  WriteBytes(std::filesystem::path(root) / "beach" / "project.ini", "[renderpara]\r\nver=33\r\n");

  EXPECT_EQ(GetProjectsRootDir(), expected);
  EXPECT_EQ(ReadBytes(std::filesystem::path(root) / "beach" / "project.ini"), "[renderpara]\r\nver=33\r\n");
}

TEST_F(ProjectFolders, RootHasNoTrailingSeparator) {
  const std::string docs = (home_.path() / "Docs").string();
  EXPECT_EQ(ProjectsRootDirIn(docs + "/"), docs + "/MosaicProject");
  EXPECT_EQ(ProjectsRootDirIn(docs + "//"), docs + "/MosaicProject");
  EXPECT_TRUE(std::filesystem::is_directory(docs + "/MosaicProject"));
}

TEST_F(ProjectFolders, UnknownDocumentsFolderFallsBackToHome) {
  const std::string root = ProjectsRootDirIn("");
  EXPECT_EQ(root, (home_.path() / "MosaicProject").string());
  EXPECT_TRUE(std::filesystem::is_directory(root));
}

TEST_F(ProjectFolders, FolderThatCannotBeMadeIsStillNamed) {
  const std::string docs = (home_.path() / "Docs").string();
  WriteBytes(docs + "/MosaicProject", "a file in the way");
  EXPECT_EQ(ProjectsRootDirIn(docs), docs + "/MosaicProject");
  EXPECT_EQ(ReadBytes(docs + "/MosaicProject"), "a file in the way");
}

}  // namespace
}  // namespace tessaro
