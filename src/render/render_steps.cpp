// The render job's steps before the drawing: the canvas and main image, the picture
// signatures, the cells of the pattern and the assignment of pictures to them.
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>

#include "core/app_state.h"
#include "core/job_progress.h"
#include "core/project_files.h"
#include "engine/cell_assignment.h"
#include "engine/layers.h"
#include "engine/mosaic_drawing.h"
#include "image/ooimgfunction2007.h"
#include "library/library_signatures.h"
#include "render/ootsrender.h"
#include "render/render_job_internal.h"

namespace tessaro {

namespace render_detail {

std::filesystem::path ProjectFile(const TtsProject07& project, const std::string& name) {
  // An empty folder would put the project's files into the current folder.
  if (project.Projectpath.empty()) throw TRenderError("The project has no folder");
  return std::filesystem::path(project.Projectpath) / name;
}

void AdvanceStage(TtsProject07& project, std::int32_t stage) {
  const std::int32_t previous = project.StageFlags;
  project.StageFlags = stage;
  try {
    SaveProject(project);
  } catch (...) {
    project.StageFlags = previous;
    throw;
  }
}

}  // namespace render_detail

namespace {

// The main image as the project names it. Decoded into a bitmap of its own: a file
// that cannot be decoded must not leave the previous project's picture in place.
void LoadMainImage(TAppState& state) {
  const std::string& name = state.CurrentProject.MainimageFilename;
  if (name.empty()) throw TRenderError("The project names no main image");
  std::error_code ec;
  if (!std::filesystem::is_regular_file(name, ec))
    throw TRenderError("The main image " + name + " does not exist");
  TBitmap32 picture;
  LoadPicture(picture, name);
  if (picture.Empty())
    throw TRenderError("The main image " + name +
                       " cannot be decoded: it is not a JPEG or BMP picture, or it is damaged");
  state.MainImage.SwapPixels(picture);
}

// True when at least one picture of the list decodes. Stops at the first that does,
// so a usable list costs one extra decode.
bool AnyPictureDecodes(const std::vector<std::string>& list) {
  TBitmap32 probe;
  for (const std::string& file : list) {
    if (DetectPictureType(file) == kPictureNone) continue;
    LoadPicture(probe, file);
    if (!probe.Empty()) return true;
  }
  return false;
}

}  // namespace

void InitCanvas(TAppState& state, IJobProgress& progress) {
  TtsProject07& p = state.CurrentProject;
  progress.SetPercent(0);
  render_detail::CheckPageGeometry(p);
  if (p.StretchMainImage &&
      std::int64_t(p.MosaicWidth) * std::int64_t(p.MosaicHeight) > kMaxCanvasPixels)
    throw TRenderError("The mosaic " + std::to_string(p.MosaicWidth) + " x " +
                       std::to_string(p.MosaicHeight) +
                       " is too large to stretch the main image over it");

  LoadMainImage(state);
  TBitmap32& main = state.MainImage;
  if (p.MonochromeMainImage) GreyBitmap(main, main, 1);
  if (p.StretchMainImage) ResampleBitmap(main, main, p.MosaicWidth, p.MosaicHeight);
  main.DrawMode = dmBlend;
  main.CombineMode = cmBlend;
  main.StretchFilter = sfSpline;
  main.MasterAlpha = 255;

  progress.SetPercent(0);
  progress.Log("Init render.............Done");
  progress.Log("Init MainImage.............Done");

  state.OutputBitmap.SetSize(p.PageWidth, p.PageHeight);
  state.OutputBitmap.Clear(clBlack32);

  state.ViewOriginX = 0;
  state.ViewOriginY = 0;
  progress.SetScrollRanges(p.PageWidth, p.PageHeight);
  progress.Log("Step1 -- Init Canvas.............Done");

  if (p.MainImageAsBackground)
    DrawMainImageBackground(state, state.OutputBitmap, main.BoundsRect(), 255);
  else
    state.OutputBitmap.Clear(CanvasToColor32(p.CanvasColor));
  progress.Log("Step2 -- Background............Done");
}

void BuildImageLibrary(TAppState& state, IJobProgress& progress) {
  TtsProject07& p = state.CurrentProject;
  progress.SetStep("image Lib");
  if (p.TilePreviewOnly == 1) {
    progress.Log("Initalize image lib.............No operation");
    return;
  }
  if (state.RenderCellImgList.empty())
    throw TRenderError("The project lists no picture for the cells (imglist.lst is empty)");
  if (!AnyPictureDecodes(state.RenderCellImgList))
    throw TRenderError("None of the project's " + std::to_string(state.RenderCellImgList.size()) +
                       " pictures can be decoded as a JPEG or BMP picture");

  progress.Log("Initalize image lib.............Start");
  if (p.AllowRotation)
    ComputeLibrarySignaturesRotated(state, progress);
  else
    ComputeLibrarySignatures(state, progress);
  progress.SetPercent(0);
  progress.Log("Initalize image lib.............Done");
  progress.Log("============ Saving  image lib ============");

  SaveLibraryInfo(state);
  render_detail::AdvanceStage(p, kStageLibraryReady);
  progress.Log("=========== Saved ============");
}

void ApplyPatternStage(TAppState& state, IJobProgress& progress) {
  TtsProject07& p = state.CurrentProject;
  progress.SetStep("Pattern");
  progress.Log("apply pattern");
  ApplyPattern(state, &progress);
  progress.Log("apply pattern..............DONE");
  progress.Log("============ Saving Applied Pattern ============");

  // Before the stage changes: a new project (still at 0) has no cell file yet.
  SaveLayers(p);
  render_detail::AdvanceStage(p, kStagePatternApplied);
  progress.Log("=========== Saved ============");

  std::int64_t cells = 0;
  for (int l = 1; l <= kLayerCount; ++l)
    if (p.Layers[std::size_t(l)].Active) cells += p.Layers[std::size_t(l)].CellCount;
  progress.Log("===========" + std::to_string(cells) + " created ============");
  progress.SetDetail("Done");
}

void RenderPatternStage(TAppState& state, IJobProgress& progress) {
  TtsProject07& p = state.CurrentProject;
  progress.SetStep("Rendering");
  if (p.TilePreviewOnly == 1) {
    progress.Log("Rendering pattern.............No operation");
    for (int l = 1; l <= kLayerCount; ++l)
      for (TMosaicCell& cell : p.Layers[std::size_t(l)].Cells) cell.Assigned = 1;
    return;
  }
  const std::int32_t pictures = state.Library.LibImageCount;
  if (pictures <= 0)
    throw TRenderError("The project has no picture signatures to choose cell pictures from");

  if (p.AutoRepeatLimit) {
    p.LimitRepeat = 1;
    p.MaxRepeatTimes = std::int32_t(4 * std::int64_t(TotalCellCount(p)) / pictures);
  }
  progress.Log("============rendering pattern ============");
  RenderLayers(state, &progress);
  progress.Log("============Pattern Rendered============");
  progress.Log("============ Saving Rendered Pattern ============");

  SaveLayers(p);
  render_detail::AdvanceStage(p, kStageCellsAssigned);
  progress.Log("=========== Saved ============");
  progress.SetDetail("done");
}

}  // namespace tessaro
