// The render job: runs the steps a project still lacks, as its StageFlags say, and
// saves the project folder after each step so a reopened project resumes there.
// Everything runs on the caller's thread; progress, log lines and questions go
// through IJobProgress.
#pragma once

#include <string>

#include "image/bitmap32.h"

namespace tessaro {

struct TAppState;
class IJobProgress;

// How a job ended. A file that cannot be read or written inside a step ends the job
// at that step; the project on disk is what the previous step saved, and StageFlags
// in memory keeps the value of the last finished step.
struct TRenderJobResult {
  bool Finished = false;   // the job ran to its end
  std::string FailedStep;  // the step's name ("image Lib", "Pattern", "Rendering",
                           // "Draw Mosaic", "Statistics", ...) when it did not
  std::string Error;       // what failed, for the user
};

TRenderJobResult RunRenderJob(TAppState& state, IJobProgress& progress);

// The steps, in the job's order; each raises on a file error (the job catches it).
void InitCanvas(TAppState& state, IJobProgress& progress);
void BuildImageLibrary(TAppState& state, IJobProgress& progress);
void ApplyPatternStage(TAppState& state, IJobProgress& progress);
void RenderPatternStage(TAppState& state, IJobProgress& progress);
void DrawAllPages(TAppState& state, IJobProgress& progress);

// Draws and saves one page; no stage change, no project save. Raises on a file error.
void DrawOnePage(TAppState& state, IJobProgress& progress, int col, int row);

// Page grid of the project: columns and rows as DrawAllPages counts them, and the file
// of page (c, r): "output.bmp" for a single page, else "output_x" c "y" r ".bmp".
struct TPageGrid {
  int Columns = 0, Rows = 0;
};
TPageGrid PageGridOf(int mosaicWidth, int mosaicHeight, int pageWidth, int pageHeight);
std::string PageFileName(const TPageGrid& grid, int col, int row);

}  // namespace tessaro
