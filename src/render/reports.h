// The report files: the statistics written at the end of a render job, and the tile
// book, sample sheets and construction plan of a tile mosaic. The writers read the
// project, the layers, the picture list and the usage counts and change none of them.
// Every text line ends with CR LF. A file that cannot be written raises
// std::filesystem::filesystem_error; files written before stay.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

#include "image/bitmap32.h"

namespace tessaro {

struct TAppState;
class IJobProgress;

// Raised by DrawConstructionPlan when there is no output page to take the plan's size
// from; the text is the message for the user. Nothing is written then.
class TReportError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// FileNameMode of the tile plan writers; any other value shows no name.
inline constexpr int kTileNamesNone = 0;
inline constexpr int kTileNamesFileOnly = 1;
inline constexpr int kTileNamesFullPath = 2;

// "PositionTable.txt", "FileUsageCounter.txt", "FinalDiff.txt", "stat.bmp" in Projectpath.
// The reports cover LibImageCount pictures (kept within the signature table); a
// picture beyond the end of RenderCellImgList has an empty name. A cell size below 1
// counts as 1 in the position table (positions in pixels).
void WriteStatistics(TAppState& state);
void WritePositionTable(TAppState& state);

// The tile plan writers send their files to folder when it names an existing folder,
// otherwise to Projectpath. Tile IDs number the pictures with UsageCount > 0 in
// ascending index from 0.
void WriteTileCountReport(TAppState& state, int fileNameMode, const std::string& folder);
// Sheets of 30 entries; the last, partly filled sheet is saved wherever the full ones
// are. A picture that cannot be decoded gets a white (empty) preview.
void WriteTileSamples(TAppState& state, int fileNameMode, const std::string& folder);
// A plan of OutputBitmap's size; inPlace draws into OutputBitmap itself. progress may
// be null; it gets done * 100 div uses, at most 100, and 0 at the end. Raises
// TReportError when OutputBitmap is empty.
void DrawConstructionPlan(TAppState& state, IJobProgress* progress, const std::string& folder,
                          bool inPlace);
// Cell index of Layers[layer] as a white CellWidth x CellHeight square with text,
// cut to the layer's mask, stretched into its Bounds on target (through
// PictureBitmap). Draws nothing for an unassigned cell, a layer or index out of
// range, or a cell size that is not positive or above kMaxPlanCellPixels. A mask
// that could not be loaded (HasMask with an empty MaskBitmap) leaves the square uncut.
inline constexpr long long kMaxPlanCellPixels = 1LL << 24;
void DrawPlanCell(TAppState& state, int layer, int index, TBitmap32& target,
                  const std::string& text);

}  // namespace tessaro
