// The render job's driver: prepares the canvas and the pattern, runs the steps the
// project's StageFlags still lack, writes the statistics and asks the closing
// question. A step that raises ends the job there.
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "core/app_state.h"
#include "core/job_progress.h"
#include "core/project_files.h"
#include "engine/layers.h"
#include "engine/pattern_definitions.h"
#include "image/picture_files.h"
#include "library/library_signatures.h"
#include "render/ootsrender.h"
#include "render/render_job_internal.h"
#include "render/reports.h"

namespace tessaro {

namespace {

constexpr const char* kMissingOutputQuestion = "output.bmp is missing, render again?";

// The job names the step it is in, so a failure can say where it happened.
class TStepTracker {
 public:
  void Enter(const char* step) { step_ = step; }
  const std::string& Current() const { return step_; }

 private:
  std::string step_;
};

void LoadProjectPattern(TAppState& state) {
  TtsProject07& p = state.CurrentProject;
  TTSPattern pattern;
  LoadPattern(state, p.PatternGroup, p.PatternIndex, pattern);
  p.Pattern = std::move(pattern);
  // Without cells every later step would run and leave an empty mosaic.
  if (CountPatternCells(p, p.Pattern) <= 0)
    throw TRenderError("The cell pattern (shape " + std::to_string(p.PatternGroup) +
                       ", pattern " + std::to_string(p.PatternIndex) +
                       ") gives no cells for a " + std::to_string(p.MosaicWidth) + " x " +
                       std::to_string(p.MosaicHeight) + " mosaic of " +
                       std::to_string(p.CellWidth) + " x " + std::to_string(p.CellHeight) +
                       " cells");
}

// LoadLayers reads nothing when the cell file is missing or unreadable; a project past
// the pattern step without its cells cannot go on.
void LoadProjectCells(TAppState& state) {
  const std::filesystem::path file =
      render_detail::ProjectFile(state.CurrentProject, kProjectLayersFileName);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec) || !std::ifstream(file, std::ios::binary))
    throw TRenderError("The project's cells cannot be read: " + file.string() +
                       " is missing or unreadable");
  LoadLayers(state);
}

void ResumeLibraryAndCells(TAppState& state, TStepTracker& step) {
  step.Enter(kStepLoadImageLib);
  LoadLibraryInfo(state);
  step.Enter(kStepLoadLayers);
  ReapplyPattern(state.CurrentProject);
  LoadProjectCells(state);
}

// Shows the finished page "output.bmp" when it can be read. A file that is there but
// cannot be decoded is as good as missing.
bool ShowFinishedPage(TAppState& state, IJobProgress& progress) {
  const std::filesystem::path file = render_detail::ProjectFile(state.CurrentProject, "output.bmp");
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec)) return false;
  TBitmap32 page;
  LoadPicture(page, file);
  if (page.Empty()) {
    progress.Log("output.bmp cannot be decoded");
    return false;
  }
  state.OutputBitmap.SwapPixels(page);
  progress.RefreshView();
  return true;
}

// Runs the steps StageFlags calls for; returns whether the statistics are written.
bool Dispatch(TAppState& state, IJobProgress& progress, TStepTracker& step) {
  TtsProject07& p = state.CurrentProject;
  switch (p.StageFlags) {
    case kStageNew:
      step.Enter(kStepImageLib);
      BuildImageLibrary(state, progress);
      step.Enter(kStepPattern);
      ApplyPatternStage(state, progress);
      step.Enter(kStepRendering);
      RenderPatternStage(state, progress);
      step.Enter(kStepDrawMosaic);
      DrawAllPages(state, progress);
      return true;

    case kStageLibraryReady:
      step.Enter(kStepLoadImageLib);
      LoadLibraryInfo(state);
      step.Enter(kStepPattern);
      ApplyPatternStage(state, progress);
      step.Enter(kStepRendering);
      RenderPatternStage(state, progress);
      step.Enter(kStepDrawMosaic);
      DrawAllPages(state, progress);
      return true;

    case kStagePatternApplied:
      ResumeLibraryAndCells(state, step);
      step.Enter(kStepRendering);
      RenderPatternStage(state, progress);
      step.Enter(kStepDrawMosaic);
      DrawAllPages(state, progress);
      return true;

    case kStageCellsAssigned:
      ResumeLibraryAndCells(state, step);
      step.Enter(kStepDrawMosaic);
      DrawAllPages(state, progress);
      return true;

    case kStageDrawn:
      ResumeLibraryAndCells(state, step);
      step.Enter(kStepLoadOutput);
      if (!ShowFinishedPage(state, progress) && progress.Ask(kMissingOutputQuestion, "error")) {
        step.Enter(kStepDrawMosaic);
        DrawAllPages(state, progress);
      }
      progress.Log("Project Loaded");
      return false;

    case kStageRedrawRequested:
      step.Enter(kStepDrawMosaic);
      DrawAllPages(state, progress);
      return true;

    case kStageLoadedFinished:
      step.Enter(kStepLoadImageLib);
      PrepareMainImage(state);
      LoadLibraryInfo(state);
      p.BuildCurveTables();
      step.Enter(kStepLoadLayers);
      LoadProjectCells(state);
      step.Enter(kStepLoadOutput);
      if (!ShowFinishedPage(state, progress)) {
        step.Enter(kStepLoadLayers);
        LoadProjectCells(state);
        step.Enter(kStepDrawMosaic);
        DrawAllPages(state, progress);
      }
      progress.Log("Project Loaded");
      progress.Log("All Job Done");
      progress.ShowDone();
      progress.Pause(1000);
      progress.Message("Mosaic Loaded", "Done");
      return true;

    default:
      // Nothing was loaded or computed: statistics now would describe whatever the
      // tables held before, and overwrite the project's own reports with it.
      return false;
  }
}

}  // namespace

TRenderJobResult RunRenderJob(TAppState& state, IJobProgress& progress) {
  TtsProject07& p = state.CurrentProject;
  TRenderJobResult result;
  TStepTracker step;

  progress.RefillCellPenList();
  progress.BeginJob();
  progress.SetPercent(0);
  progress.Log("Processing Project: " + p.Projectname);

  try {
    step.Enter(kStepInitCanvas);
    InitCanvas(state, progress);
    progress.SetPercent(0);
    progress.Log("Step3 -- Rendering Mosaic ");

    step.Enter(kStepLoadPattern);
    p.BuildCurveTables();
    LoadProjectPattern(state);
    ComputeLayerMaskSignatures(state);

    const bool showStatistics = Dispatch(state, progress, step);
    if (p.TilePreviewOnly == 0 && showStatistics) {
      step.Enter(kStepStatistics);
      progress.Log("Statistics");
      WriteStatistics(state);
      progress.Log("Final Step: Generate the Construction plan");
    }
  } catch (const std::exception& e) {
    result.FailedStep = step.Current();
    result.Error = e.what();
  } catch (...) {
    result.FailedStep = step.Current();
    result.Error = "unknown error";
  }
  if (!result.FailedStep.empty()) {
    progress.Log("Step failed: " + result.FailedStep + ": " + result.Error);
    progress.ShowDone();
    return result;
  }

  progress.Log("All Job Done");
  progress.ShowDone();
  progress.Pause(1000);
  if (progress.Ask("Mosaic Created, Open the output directory?", "Done"))
    progress.OpenFolder(p.Projectpath);
  progress.ShowOverview();
  result.Finished = true;
  return result;
}

}  // namespace tessaro
