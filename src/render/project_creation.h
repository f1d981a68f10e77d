// Creating a new project from a panel's (or the command line's) working project: the
// project folder named from the main image and the time, the main image copy, the
// picture list "imglist.lst", the hand-over into CurrentProject and "project.ini" /
// "project.TS8". The render job is started by the caller afterwards.
#pragma once

#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "core/ootsfunction2007.h"

namespace tessaro {

struct TAppState;

// year-month-day-hour-minute-second of local time, decimal without leading zeros
// ("2024-3-7-14-5-9").
std::string ProjectTimestamp(const std::tm& localTime);

struct TNewProjectRequest {
  // The panel's project directory box; only its folder part counts (up to and
  // including the last separator), so "D:/Mosaics" places the project in "D:/".
  std::string ProjectDirBox;
  std::vector<std::filesystem::path> Libraries;  // ticked library folders, in order
  std::vector<std::string> OwnPictures;          // full paths, in order
  bool AcceptedTypesOnly = false;  // list only pictures DetectPictureType accepts
  bool AutoRepeatLimit = true;     // the Beginner panel's 1; else the panel's box
  // The panel's "SafeMode Rendering" and "FastMode Rendering" boxes, set into the
  // signature tables' flags.
  bool SafeModeRendering = false;
  bool FastModeRendering = false;
};

struct TNewProjectResult {
  bool Created = false;  // false: nothing was started; Error says why
  std::string Error;
  std::filesystem::path Folder;  // the project folder
  int PictureCount = 0;          // lines of "imglist.lst"
  int PicturesLeftOut = 0;       // pictures beyond the project's limit, not listed
};

// wizardProject.OrgMainimageFilename names the main image. Refuses (Created false, a
// clear Error, nothing written) when the main image is missing or not a JPEG or BMP
// picture, the directory box has no folder part, a library's file list is corrupt, or
// no picture is listed (a tile preview needs none). Otherwise makes the folder, copies
// the main image as "mainimage" + its extension, writes "imglist.lst" (also into
// state.RenderCellImgList), sets Projectpath, Projectname and StageFlags 0,
// CurrentProject.Assign(wizardProject) and SaveProject.
// The folder is "<main image name>-<timestamp>"; when that exists already (two
// projects within one second) the new one is "..._2", "..._3" and so on, so an
// earlier project is never reused or overwritten.
// Raises std::filesystem::filesystem_error when a folder or file cannot be written;
// a folder made by this call is then removed again.
TNewProjectResult CreateProject(TAppState& state, TtsProject07& wizardProject,
                                const TNewProjectRequest& request, const std::tm& localTime);

}  // namespace tessaro
