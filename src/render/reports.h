// The report files: the statistics written at the end of a render job, and the tile
// book, sample sheets and construction plan of a tile mosaic. The writers read the
// project, the layers, the picture list and the usage counts and change none of them.
// Every text line ends with CR LF. A file that cannot be written raises
// std::filesystem::filesystem_error; files written before stay.
#pragma once

#include <filesystem>
#include <string>

#include "image/bitmap32.h"

namespace tessaro {

struct TAppState;
class IJobProgress;

// FileNameMode of the tile plan writers.
inline constexpr int kTileNamesNone = 0;
inline constexpr int kTileNamesFileOnly = 1;
inline constexpr int kTileNamesFullPath = 2;

// "PositionTable.txt", "FileUsageCounter.txt", "FinalDiff.txt", "stat.bmp" in Projectpath.
void WriteStatistics(TAppState& state);
void WritePositionTable(TAppState& state);

// The tile plan writers send their files to folder when it names an existing folder,
// otherwise to Projectpath.
void WriteTileCountReport(TAppState& state, int fileNameMode, const std::string& folder);
void WriteTileSamples(TAppState& state, int fileNameMode, const std::string& folder);
// inPlace draws into OutputBitmap itself; progress may be null.
void DrawConstructionPlan(TAppState& state, IJobProgress* progress, const std::string& folder,
                          bool inPlace);
void DrawPlanCell(TAppState& state, int layer, int index, TBitmap32& target,
                  const std::string& text);

}  // namespace tessaro
