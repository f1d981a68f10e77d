// The render job: runs the steps a project still lacks, as its StageFlags say, and
// saves the project folder after each step so a reopened project resumes there.
// Everything runs on the caller's thread; progress, log lines and questions go
// through IJobProgress.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "image/bitmap32.h"

namespace tessaro {

struct TAppState;
class IJobProgress;

// Raised by a step for input it cannot use, rather than giving a silent empty mosaic:
// a main image that is missing or cannot be decoded, a project without a usable
// picture, a page or mosaic size that cannot be drawn, missing cells. The text is for
// the user.
class TRenderError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Pages and stretched main images are bitmaps of their own: at most 2^28 pixels
// (1 GiB), the decoders' cap, so every page written can be read back.
inline constexpr std::int64_t kMaxCanvasPixels = std::int64_t(1) << 28;
// A mosaic is drawn in at most this many pages.
inline constexpr std::int64_t kMaxPageCount = 10000;

// The step names a failed job reports in FailedStep: the step label's texts, and
// names of their own for the steps that have none.
inline constexpr const char* kStepInitCanvas = "Init Canvas";
inline constexpr const char* kStepLoadPattern = "Load Pattern";
inline constexpr const char* kStepImageLib = "image Lib";
inline constexpr const char* kStepLoadImageLib = "Load image Lib";
inline constexpr const char* kStepPattern = "Pattern";
inline constexpr const char* kStepLoadLayers = "Load Layers";
inline constexpr const char* kStepRendering = "Rendering";
inline constexpr const char* kStepDrawMosaic = "Draw Mosaic";
inline constexpr const char* kStepLoadOutput = "Load output.bmp";
inline constexpr const char* kStepStatistics = "Statistics";

// How a job ended. A file that cannot be read or written inside a step ends the job
// at that step; the project on disk is what the previous step saved, and StageFlags
// in memory keeps the value of the last finished step.
struct TRenderJobResult {
  bool Finished = false;   // the job ran to its end
  std::string FailedStep;  // the step's name ("image Lib", "Pattern", "Rendering",
                           // "Draw Mosaic", "Statistics", ...) when it did not
  std::string Error;       // what failed, for the user
};

// A failed step is logged as "Step failed: <step>: <error>", "Done" is shown so the
// monitor can be closed, and the job returns without the later steps, statistics or
// questions.
TRenderJobResult RunRenderJob(TAppState& state, IJobProgress& progress);

// The steps, in the job's order; each raises on a file error (the job catches it).
void InitCanvas(TAppState& state, IJobProgress& progress);
void BuildImageLibrary(TAppState& state, IJobProgress& progress);
void ApplyPatternStage(TAppState& state, IJobProgress& progress);
void RenderPatternStage(TAppState& state, IJobProgress& progress);
void DrawAllPages(TAppState& state, IJobProgress& progress);

// Draws and saves one page; no stage change, no project save. Raises on a file error.
void DrawOnePage(TAppState& state, IJobProgress& progress, int col, int row);

// Page grid of the project: columns and rows as DrawAllPages counts them (0 x 0 for a
// page size below one pixel), and the file of page (c, r): "output.bmp" for the one
// page of a single-page mosaic, else "output_x" c "y" r ".bmp". A page outside a
// single-page mosaic takes the second form, so drawing it never overwrites the mosaic.
struct TPageGrid {
  int Columns = 0, Rows = 0;
  std::int64_t PageCount() const { return std::int64_t(Columns) * Rows; }
};
TPageGrid PageGridOf(int mosaicWidth, int mosaicHeight, int pageWidth, int pageHeight);
std::string PageFileName(const TPageGrid& grid, int col, int row);

}  // namespace tessaro
