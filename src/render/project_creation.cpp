// Creating a new project folder from a working project.
#include "render/project_creation.h"

#include <filesystem>
#include <string>
#include <system_error>

#include "core/app_state.h"
#include "core/project_files.h"
#include "image/picture_files.h"
#include "library/TsPhotoLib.h"

namespace tessaro {

namespace fs = std::filesystem;

namespace {

// Two projects made from one main image within one second would share a name; the
// later one gets "_2", "_3", ... rather than the earlier one's folder.
constexpr int kMaxNameSuffix = 1000;

TNewProjectResult Refused(std::string error) {
  TNewProjectResult r;
  r.Error = std::move(error);
  return r;
}

// The folder part of the directory box: up to and including its last separator.
std::string FolderPart(const std::string& box) {
  const std::size_t slash = box.find_last_of('/');
  return slash == std::string::npos ? std::string() : box.substr(0, slash + 1);
}

// Creates the first free folder among base, base_2, base_3, ...; returns its name.
// create_directory's answer decides, so a folder that appears meanwhile is never taken.
std::string CreateFreshFolder(const std::string& parent, const std::string& base) {
  for (int n = 1; n <= kMaxNameSuffix; ++n) {
    const std::string name = n == 1 ? base : base + "_" + std::to_string(n);
    const fs::path folder = fs::path(parent + name);
    std::error_code ec;
    if (fs::exists(fs::symlink_status(folder, ec))) continue;
    if (fs::create_directory(folder)) return name;
  }
  throw fs::filesystem_error("no free project folder name",
                             fs::path(parent + base),
                             std::make_error_code(std::errc::file_exists));
}

}  // namespace

std::string ProjectTimestamp(const std::tm& t) {
  return std::to_string(t.tm_year + 1900) + "-" + std::to_string(t.tm_mon + 1) + "-" +
         std::to_string(t.tm_mday) + "-" + std::to_string(t.tm_hour) + "-" +
         std::to_string(t.tm_min) + "-" + std::to_string(t.tm_sec);
}

TNewProjectResult CreateProject(TAppState& state, TtsProject07& wizardProject,
                                const TNewProjectRequest& request, const std::tm& localTime) {
  const std::string timestamp = ProjectTimestamp(localTime);
  state.Library.SafeModeRendering = request.SafeModeRendering ? 1 : 0;
  state.Library.FastModeRendering = request.FastModeRendering ? 1 : 0;

  // Everything that can refuse comes before anything is written.
  const std::string mainImage = wizardProject.OrgMainimageFilename;
  std::error_code ec;
  if (mainImage.empty()) return Refused("No main image was chosen");
  if (!fs::is_regular_file(mainImage, ec))
    return Refused("The main image " + mainImage + " does not exist");
  if (DetectPictureType(mainImage) == kPictureNone)
    return Refused("The main image " + mainImage + " is not a JPEG or BMP picture");

  const std::string parent = FolderPart(request.ProjectDirBox);
  if (parent.empty())
    return Refused("The project directory \"" + request.ProjectDirBox + "\" names no folder");

  std::vector<std::string> tickedLibraries;
  tickedLibraries.reserve(request.Libraries.size());
  for (const fs::path& lib : request.Libraries) tickedLibraries.push_back(lib.string());
  TPictureListResult list;
  try {
    list = BuildProjectPictureList(tickedLibraries, request.OwnPictures,
                                   request.AcceptedTypesOnly ? TPictureListFilter::Decodable
                                                             : TPictureListFilter::AllPaths);
  } catch (const TLibraryFileError& e) {
    return Refused(e.what());
  }
  // A tile preview chooses no pictures and needs none.
  if (list.Paths.empty() && wizardProject.TilePreviewOnly == 0)
    return Refused("You have not load any images for cells");

  const fs::path source(mainImage);
  const std::string name = CreateFreshFolder(parent, source.stem().string() + "-" + timestamp);
  const fs::path folder = fs::path(parent + name);
  try {
    wizardProject.MainimageFilename = (folder / ("mainimage" + source.extension().string())).string();
    fs::copy_file(source, wizardProject.MainimageFilename, fs::copy_options::overwrite_existing);
    wizardProject.Projectpath = folder.string();
    wizardProject.Projectname = name;
    wizardProject.StageFlags = kStageNew;
    SavePictureList(list.Paths, folder / kPictureListFileName);
    state.RenderCellImgList = list.Paths;
    wizardProject.AutoRepeatLimit = request.AutoRepeatLimit ? 1 : 0;

    state.CurrentProject.Assign(wizardProject);
    SaveProject(state.CurrentProject);
  } catch (...) {
    // The folder is ours, made a moment ago: no half project stays behind.
    fs::remove_all(folder, ec);
    throw;
  }

  TNewProjectResult result;
  result.Created = true;
  result.Folder = folder;
  result.PictureCount = int(list.Paths.size());
  result.PicturesLeftOut = int(list.LeftOut);
  return result;
}

}  // namespace tessaro
