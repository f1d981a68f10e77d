#include "core/project_folders.h"

#include <pwd.h>
#include <unistd.h>

#include <QStandardPaths>
#include <QString>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace tessaro {

namespace {

std::string WithoutTrailingSeparator(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

}  // namespace

std::string GetMyDocumentsDir() {
  // QStandardPaths needs no QCoreApplication for this location: it reads the XDG
  // user-dirs configuration and falls back to $HOME/Documents.
  const QString dir = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  return WithoutTrailingSeparator(dir.toStdString());
}

std::string HomeDir() {
  if (const char* home = std::getenv("HOME"); home && *home)
    return WithoutTrailingSeparator(home);
  if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir && *pw->pw_dir)
    return WithoutTrailingSeparator(pw->pw_dir);
  return {};
}

std::string ProjectsRootDirIn(const std::string& documentsDir) {
  std::string base = documentsDir.empty() ? HomeDir() : WithoutTrailingSeparator(documentsDir);
  if (base == "/") base.clear();
  const std::string root = base + "/MosaicProject";
  std::error_code ec;
  if (!std::filesystem::is_directory(root, ec)) std::filesystem::create_directories(root, ec);
  return root;
}

std::string GetProjectsRootDir() { return ProjectsRootDirIn(GetMyDocumentsDir()); }

}  // namespace tessaro
