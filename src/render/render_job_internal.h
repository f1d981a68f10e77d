// Helpers shared by the render job's driver, its steps and the page drawing.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "image/bitmap32.h"

namespace tessaro {

class TtsProject07;

namespace render_detail {

// The file name in the project folder.
std::filesystem::path ProjectFile(const TtsProject07& project, const std::string& name);

// StageFlags := stage, then SaveProject. When the save fails the previous value comes
// back before the error goes on: memory keeps the stage of the last step whose
// files are on disk.
void AdvanceStage(TtsProject07& project, std::int32_t stage);

// Raises TRenderError unless a PageWidth x PageHeight page can be allocated and saved.
void CheckPageSize(const TtsProject07& project);
// CheckPageSize, a mosaic of at least one pixel each way and a bounded number of pages.
void CheckPageGeometry(const TtsProject07& project);

// Page (col, row) of the mosaic in mosaic pixels: left col x PageWidth, right
// min((col + 1) x PageWidth, MosaicWidth), top and bottom alike; empty (right = left,
// bottom = top) for a page outside the mosaic. Formed in 64 bits and clamped, so no
// column number overflows.
TRect PageRectOf(const TtsProject07& project, int col, int row);

// Writes bitmap as the 32-bit BMP stamped with dpi through a temporary file renamed
// over target, so an interrupted save never leaves half a page in place of a good one.
void SavePageAtomically(TBitmap32& bitmap, const std::filesystem::path& target, int dpi);

}  // namespace render_detail
}  // namespace tessaro
