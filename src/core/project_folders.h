// The user's documents folder and the projects root beneath it.
#pragma once

#include <string>

namespace tessaro {

// The desktop's documents folder (usually ~/Documents, or what the user's XDG
// user-dirs configuration names), without a trailing separator; empty when it cannot
// be determined. Works without a Qt application object.
std::string GetMyDocumentsDir();

// GetMyDocumentsDir() + "/MosaicProject", created when missing; see ProjectsRootDirIn.
std::string GetProjectsRootDir();

// documentsDir + "/MosaicProject", without a trailing separator, creating it when it
// does not exist. A documents folder that does not exist yet is created with it (a
// fresh account often has none). An empty documentsDir stands for the home folder:
// the root of the file system is no place for a user's projects and usually cannot be
// written. Nothing is reported when the folder cannot be created; the path is returned
// all the same and the first file written there reports the error.
std::string ProjectsRootDirIn(const std::string& documentsDir);

// The home folder ($HOME, else the password database), without a trailing separator;
// empty when neither knows it.
std::string HomeDir();

}  // namespace tessaro
