#include "cli/commands.h"

#include <cstdio>
#include <ctime>
#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <new>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "cli/terminal_progress.h"
#include "core/app_state.h"
#include "core/ootsfunction2007.h"
#include "core/project_field_names.h"
#include "core/project_files.h"
#include "core/quoted.h"
#include "engine/cell_assignment.h"
#include "engine/layers.h"
#include "engine/pattern_definitions.h"
#include "image/ooimgfunction2007.h"
#include "image/picture_files.h"
#include "library/TsPhotoLib.h"
#include "render/ootsrender.h"
#include "render/project_creation.h"
#include "render/reports.h"

namespace fs = std::filesystem;

namespace tessaro::cli {

namespace {

// A page bitmap of at most 1 GiB: every page is held whole in memory while it is
// drawn, so a size typed or stored by mistake must not ask for more.
constexpr std::int64_t kMaxPagePixels = std::int64_t(1) << 28;
// Section lengths above this mark a file that is not a project (ours are at most 116).
constexpr std::int32_t kMaxPlausibleSection = 65536;

struct TCliFailure {
  int Status;
  std::string Text;
};

[[noreturn]] void Fail(std::string text, int status = kExitFailed) {
  throw TCliFailure{status, std::move(text)};
}

std::string Q(const fs::path& p) { return Quoted(p.string()); }

// Runs body, turning every failure into one line on standard error and a status.
template <class F>
int Guarded(TTerminalProgress& progress, F&& body) {
  std::string error;
  int status = kExitFailed;
  try {
    return body();
  } catch (const TCliFailure& f) {
    error = f.Text;
    status = f.Status;
  } catch (const fs::filesystem_error& e) {
    error = e.what();
  } catch (const std::bad_alloc&) {
    error = "out of memory";
  } catch (const std::exception& e) {
    error = e.what();
  }
  progress.Finish();
  std::fprintf(stderr, "tessaro-cli: %s\n", error.c_str());
  return status;
}

std::unique_ptr<TAppState> NewState(const std::optional<std::uint64_t>& seed) {
  auto state = std::make_unique<TAppState>();
  InitializeAppState(*state, ExecutableDir());
  InitPhotoLibs(*state);
  if (seed) state->Rng.Seed(*seed);
  return state;
}

void RequirePicture(const fs::path& file, const std::string& what) {
  std::error_code ec;
  if (!fs::exists(file, ec)) Fail(what + " " + Q(file) + " does not exist");
  if (!fs::is_regular_file(file, ec)) Fail(what + " " + Q(file) + " is not a file");
  if (DetectPictureType(file) == kPictureNone)
    Fail(what + " " + Q(file) + " is not a JPEG or BMP picture");
}

TBitmap32 LoadMainImage(const fs::path& file) {
  RequirePicture(file, "main image");
  TBitmap32 picture;
  LoadPicture(picture, file);
  if (picture.Empty()) Fail("main image " + Q(file) + " cannot be decoded");
  return picture;
}

void CheckPageSize(const TtsProject07& p) {
  if (p.MosaicWidth <= 0 || p.MosaicHeight <= 0 || p.PageWidth <= 0 || p.PageHeight <= 0)
    Fail("mosaic " + std::to_string(p.MosaicWidth) + "x" + std::to_string(p.MosaicHeight) +
         " or page " + std::to_string(p.PageWidth) + "x" + std::to_string(p.PageHeight) +
         " has no pixels");
  const std::int64_t pixels = std::int64_t(p.PageWidth) * p.PageHeight;
  if (pixels > kMaxPagePixels)
    Fail("a page of " + std::to_string(p.PageWidth) + "x" + std::to_string(p.PageHeight) +
         " pixels is too large (at most " + std::to_string(kMaxPagePixels) +
         " pixels a page); use smaller pages (--page)");
  if (p.StretchMainImage &&
      std::int64_t(p.MosaicWidth) * p.MosaicHeight > kMaxPagePixels)
    Fail("StretchMainImage would resample the main image to " + std::to_string(p.MosaicWidth) +
         "x" + std::to_string(p.MosaicHeight) + " pixels, more than " +
         std::to_string(kMaxPagePixels));
}

// A library named on the command line: a folder, or a library of the install folder.
fs::path ResolveLibrary(const TAppState& state, const std::string& text) {
  std::error_code ec;
  fs::path folder = text;
  if (!fs::is_directory(folder, ec)) {
    folder = state.PhotoLibs.PhotoLibsDir / text;
    if (text.empty() || !fs::is_directory(folder, ec))
      Fail("no photo library " + Q(text) + ": neither a folder nor a library in " +
           Q(state.PhotoLibs.PhotoLibsDir));
  }
  if (!fs::is_regular_file(folder / kFileListFileName, ec))
    Fail(Q(folder) + " is not a photo library: it has no " + kFileListFileName);
  return fs::absolute(folder).lexically_normal();
}

void RunJob(TAppState& state, TTerminalProgress& progress) {
  const TRenderJobResult result = RunRenderJob(state, progress);
  if (!result.Finished)
    Fail("the render job stopped in step \"" + result.FailedStep + "\"" +
         (result.Error.empty() ? std::string() : ": " + result.Error));
}

// Creates the project the command describes and renders it; returns its folder.
fs::path CreateAndRender(TAppState& state, TTerminalProgress& progress, const TNewCommand& c) {
  const fs::path mainFile = fs::absolute(c.Main).lexically_normal();
  const TBitmap32 mainImage = LoadMainImage(mainFile);

  TtsProject07 wizard;  // the Beginner panel's defaults
  wizard.HasMainImage = 1;
  wizard.OrgMainimageFilename = mainFile.string();
  wizard.MosaicWidth = c.Size ? c.Size->Width : mainImage.Width();
  wizard.MosaicHeight = c.Size ? c.Size->Height : mainImage.Height();
  wizard.PageWidth = c.Page ? c.Page->Width : wizard.MosaicWidth;
  wizard.PageHeight = c.Page ? c.Page->Height : wizard.MosaicHeight;
  if (c.Cell) {
    wizard.CellWidth = c.Cell->Width;
    wizard.CellHeight = c.Cell->Height;
  }
  if (c.Pattern) {
    wizard.PatternGroup = c.Pattern->Width;
    wizard.PatternIndex = c.Pattern->Height;
  }
  if (c.Ppi) wizard.OutputDPI = *c.Ppi;
  wizard.AutoRepeatLimit = 1;
  for (const std::string& set : c.Sets)
    if (std::string error = ApplyProjectFieldAssignment(wizard, set); !error.empty())
      Fail("--set: " + error, kExitUsage);
  CheckPageSize(wizard);

  TNewProjectRequest request;
  std::vector<std::string> own;
  for (const std::string& dir : c.Photos) {
    std::error_code ec;
    const fs::path folder = fs::absolute(dir).lexically_normal();
    if (!fs::is_directory(folder, ec)) Fail("photo folder " + Q(dir) + " does not exist");
    const std::size_t before = own.size();
    AddPictureFolder(own, folder, true);
    progress.Note("pictures: " + std::to_string(own.size() - before) + " in " + folder.string());
  }
  if (own.empty() && c.Libraries.empty())
    Fail("no pictures (.jpg, .bmp) found in the --photos folders");
  request.OwnPictures = std::move(own);
  for (const std::string& lib : c.Libraries) request.Libraries.push_back(ResolveLibrary(state, lib));
  request.AutoRepeatLimit = wizard.AutoRepeatLimit != 0;

  if (ReadMaskCount(state) <= 0)
    Fail("no cell patterns: " + Q(PatternDefinitionFile(state.AppDir)) +
         " is missing or lists no mask");
  TTSPattern pattern;
  LoadPattern(state, wizard.PatternGroup, wizard.PatternIndex, pattern);
  if (CountPatternCells(wizard, pattern) <= 0)
    Fail("pattern " + std::to_string(wizard.PatternGroup) + "," +
         std::to_string(wizard.PatternIndex) + " gives no cells for a " +
         std::to_string(wizard.MosaicWidth) + "x" + std::to_string(wizard.MosaicHeight) +
         " mosaic with " + std::to_string(wizard.CellWidth) + "x" +
         std::to_string(wizard.CellHeight) + " cells");

  const fs::path outDir = fs::absolute(c.OutDir).lexically_normal();
  fs::create_directories(outDir);
  request.ProjectDirBox = (outDir / "").string();

  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  const TNewProjectResult created = CreateProject(state, wizard, request, local);
  if (!created.Created) Fail("cannot create the project: " + created.Error);
  progress.Note("project: " + created.Folder.string() + " (" +
                std::to_string(created.PictureCount) + " pictures)");
  RunJob(state, progress);
  return created.Folder;
}

// Refuses what is not a project this program can read, before LoadProject looks at it.
void CheckProjectFile(const fs::path& file) {
  std::error_code ec;
  if (!fs::exists(file, ec)) Fail("project file " + Q(file) + " does not exist");
  if (!fs::is_regular_file(file, ec)) Fail(Q(file) + " is not a file");
  const std::int32_t version = ReadProjectVersion(file);
  if (!IsAcceptedProjectVersion(version))
    Fail(Q(file) + ": project format version " + std::to_string(version) +
         " is not supported (0..100)");
  std::ifstream in(file, std::ios::binary);
  unsigned char header[32];
  if (!in.read(reinterpret_cast<char*>(header), sizeof header))
    Fail(Q(file) + " is not a project file: too short for its header");
  for (int i = 0; i < 8; ++i) {
    const std::uint32_t u = std::uint32_t(header[4 * i]) | std::uint32_t(header[4 * i + 1]) << 8 |
                            std::uint32_t(header[4 * i + 2]) << 16 |
                            std::uint32_t(header[4 * i + 3]) << 24;
    const std::int32_t length = std::int32_t(u);
    if (length < 0 || length > kMaxPlausibleSection)
      Fail(Q(file) + " is not a project file: section " + std::to_string(i + 1) +
           " claims " + std::to_string(length) + " bytes");
  }
}

void OpenProject(TAppState& state, const std::string& fileText) {
  const fs::path file = fs::absolute(fileText).lexically_normal();
  CheckProjectFile(file);
  LoadProject(state, file);
  const TtsProject07& p = state.CurrentProject;
  CheckPageSize(p);
  RequirePicture(p.MainimageFilename, "the project's main image");
}

bool CellsAssigned(std::int32_t stage) {
  return stage == kStageCellsAssigned || stage == kStageDrawn ||
         stage == kStageRedrawRequested || stage == kStageLoadedFinished;
}

// Brings the assigned cells into memory as a finished render leaves them: library
// signatures, pattern, layers and the usage counts. withCanvas also does what the
// job does before its steps (main image, page bitmap, curve tables, mask weights),
// for the commands that draw without running the job.
void LoadAssignedCells(TAppState& state, IJobProgress& progress, bool withCanvas) {
  TtsProject07& p = state.CurrentProject;
  if (!CellsAssigned(p.StageFlags))
    Fail("the project's cells are not assigned yet (StageFlags " + std::to_string(p.StageFlags) +
         "); run \"tessaro-cli render\" on it first");
  if (withCanvas) {
    InitCanvas(state, progress);
    p.BuildCurveTables();
  }
  LoadPattern(state, p.PatternGroup, p.PatternIndex, p.Pattern);
  if (withCanvas) ComputeLayerMaskSignatures(state);
  LoadLibraryInfo(state);
  ReapplyPattern(p);
  LoadLayers(state);
  RecountUsage(state);
}

void PrintLastLine(const fs::path& path) {
  std::printf("%s\n", path.string().c_str());
  std::fflush(stdout);
}

void PrintSignature(const std::string& name, const TBitmap32& picture) {
  const ImageSignature s = ComputeSignature(picture);
  std::printf("%s: %dx%d pixels\n", name.c_str(), picture.Width(), picture.Height());
  std::printf("  palette index %d\n", s.PaletteIndex);
  std::printf("  average       grey %3d  R %3d  G %3d  B %3d\n", s.Average.Grey, s.Average.R,
              s.Average.G, s.Average.B);
  for (int r = 0; r < 2; ++r) {
    std::printf("  2x2 row %d    ", r);
    for (int c = 0; c < 2; ++c) {
      const SignatureColor& g = s.Grid2[2 * r + c];
      std::printf("  (%3d,%3d,%3d)", g.R, g.G, g.B);
    }
    std::printf("\n");
  }
}

}  // namespace

int RunNew(const TNewCommand& command) {
  TTerminalProgress progress(stderr, command.Yes);
  return Guarded(progress, [&] {
    auto state = NewState(command.Seed);
    const fs::path folder = CreateAndRender(*state, progress, command);
    progress.Finish();
    PrintLastLine(folder);
    return kExitOk;
  });
}

int RunRender(const TRenderCommand& command) {
  TTerminalProgress progress(stderr, command.Yes);
  return Guarded(progress, [&] {
    auto state = NewState(command.Seed);
    OpenProject(*state, command.Project);
    RunJob(*state, progress);
    progress.Finish();
    PrintLastLine(state->CurrentProject.Projectpath);
    return kExitOk;
  });
}

int RunRedraw(const TRedrawCommand& command) {
  TTerminalProgress progress(stderr, command.Yes);
  return Guarded(progress, [&] {
    auto state = NewState(std::nullopt);
    OpenProject(*state, command.Project);
    LoadAssignedCells(*state, progress, false);
    state->CurrentProject.StageFlags = kStageRedrawRequested;
    RunJob(*state, progress);
    progress.Finish();
    PrintLastLine(state->CurrentProject.Projectpath);
    return kExitOk;
  });
}

int RunPage(const TPageCommand& command) {
  TTerminalProgress progress(stderr, false);
  return Guarded(progress, [&] {
    auto state = NewState(std::nullopt);
    OpenProject(*state, command.Project);
    const TtsProject07& p = state->CurrentProject;
    // Drawing a page outside the grid would save an empty page, and for a one-page
    // mosaic overwrite output.bmp with it, so such a page is refused.
    const TPageGrid grid = PageGridOf(p.MosaicWidth, p.MosaicHeight, p.PageWidth, p.PageHeight);
    if (command.Col >= grid.Columns || command.Row >= grid.Rows)
      Fail("page " + std::to_string(command.Col) + " " + std::to_string(command.Row) +
               " is outside the project's " + std::to_string(grid.Columns) + " x " +
               std::to_string(grid.Rows) + " pages (columns and rows count from 0)",
           kExitUsage);
    LoadAssignedCells(*state, progress, true);
    DrawOnePage(*state, progress, command.Col, command.Row);
    progress.Finish();
    PrintLastLine(fs::path(p.Projectpath) / PageFileName(grid, command.Col, command.Row));
    return kExitOk;
  });
}

int RunTilePlan(const TTilePlanCommand& command) {
  TTerminalProgress progress(stderr, false);
  return Guarded(progress, [&] {
    auto state = NewState(std::nullopt);
    OpenProject(*state, command.Project);
    LoadAssignedCells(*state, progress, false);
    const TtsProject07& p = state->CurrentProject;
    // The plan has the size of the output page.
    state->OutputBitmap.SetSize(p.PageWidth, p.PageHeight);
    std::error_code ec;
    fs::path target = p.Projectpath;
    if (!command.Folder.empty()) {
      if (fs::is_directory(command.Folder, ec))
        target = fs::absolute(command.Folder).lexically_normal();
      else
        progress.Note("folder " + Q(command.Folder) +
                      " does not exist; writing into the project folder");
    }
    const std::string folder = target.string();
    progress.SetStep("Tile Plan");
    WriteTileCountReport(*state, command.Names, folder);
    WriteTileSamples(*state, command.Names, folder);
    DrawConstructionPlan(*state, &progress, folder, false);
    progress.Finish();
    PrintLastLine(target);
    return kExitOk;
  });
}

int RunDemo(const TDemoCommand& command) {
  TTerminalProgress progress(stderr, command.Yes);
  return Guarded(progress, [&] {
    auto state = NewState(command.Seed);
    const fs::path mainFile = state->AppDir / "demo" / "demo-main.jpg";
    std::error_code ec;
    if (!fs::is_regular_file(mainFile, ec))
      Fail("the demo picture " + Q(mainFile) +
           " is missing; the build makes it (cmake --build BUILD) beside the program");
    std::vector<std::string> names, paths;
    ScanLibraries(state->PhotoLibs, &names, paths, 0);
    if (paths.empty())
      Fail("no photo library in " + Q(state->PhotoLibs.PhotoLibsDir) +
           "; the build makes the sample library there");
    TNewCommand c;
    c.Main = mainFile.string();
    c.OutDir = command.OutDir;
    c.Libraries = {paths.front()};
    c.Cell = TSize2{40, 40};
    c.Seed = command.Seed;
    c.Yes = command.Yes;
    progress.Note("demo: " + mainFile.string() + " from the library \"" + names.front() + "\"");
    const fs::path folder = CreateAndRender(*state, progress, c);
    progress.Finish();
    std::fprintf(stderr, "The mosaic is %s\n", (folder / "output.bmp").string().c_str());
    PrintLastLine(folder / "output.bmp");
    return kExitOk;
  });
}

int RunSignature(const TSignatureCommand& command) {
  int status = kExitOk;
  for (const std::string& f : command.Files) {
    if (DetectPictureType(f) == kPictureNone) {
      std::fprintf(stderr, "tessaro-cli: %s: not a JPEG or BMP picture\n", f.c_str());
      status = kExitFailed;
      continue;
    }
    TBitmap32 picture;
    LoadPicture(picture, f);
    if (picture.Empty()) {
      std::fprintf(stderr, "tessaro-cli: %s: cannot be decoded\n", f.c_str());
      status = kExitFailed;
      continue;
    }
    PrintSignature(f, picture);
  }
  return status;
}

}  // namespace tessaro::cli
