// Cell assignment: every cell of the active layers gets a library picture. The
// picture-order procedure (CycleLib) gives each picture its best free cell; the
// cell-order procedure (CycleTile) fills the remaining cells by priority level, each
// taking one of its best candidates under the repeat rules and colour thresholds.
//
// Random numbers come from state.Rng and are drawn in exactly this order: FindBestCell
// one Random(Total) per call; AssignByCell one Random(n) per visit; SearchCandidates
// one Random(N) per search; ChoosePicture one Random(min(count, RandomizeLevel)) when
// the list is not empty. Parallel work (the distances of one search, the cells of one
// FindBestCell) is computed on worker threads and consumed in the serial order, so a
// seed gives the same mosaic on one thread or two.
//
// UsageCount and the assigned-cell counts are kept up to date as cells are assigned,
// and the radius test looks only at the assigned cells near the cell, through a grid
// of buckets; the results equal those of the full recount and the scan over every
// assigned cell. These structures live only while RenderLayers, AssignByPicture or
// AssignByCell runs (each builds them from the cells when it starts); every other
// call, from the workspace after arbitrary cell edits, does the full computation.
//
// Cells take part by their Assigned byte: 1 is assigned (counted, blocks repeats), 0
// is free (may be given a picture); a cell's PictureIndex outside 0 .. LibImageCount
// - 1 is not counted. LibImageCount is read as 0 .. capacity and LibDetailCount as
// at most LibImageCount, so no table is read beyond its valid records. With rotation
// only the first LibDetailCount pictures take part, in both procedures: the others
// have no signatures. Layer 7 (the pen layer) has no mask and is weighted as a full
// cell (all 1.0).
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "engine/cell_compare.h"
#include "engine/layers.h"

namespace tessaro {

struct TAppState;
class IJobProgress;

inline constexpr int kCandidateSlots = 100;
inline constexpr std::int32_t kEmptyCandidateDifference = 99999999;

struct TCandidate {
  std::int32_t Difference = kEmptyCandidateDifference;
  std::uint8_t FlipVert = 0;
  std::uint8_t FlipHorz = 0;
  std::int32_t RotationAngle = 0;  // degrees
  std::int32_t PictureIndex = -1;  // -1: empty
  std::int32_t MeanDeviation = 0;
  std::int32_t MaxDeviation = 0;
};

struct TCandidateList {
  std::int32_t Count = 0;  // valid slots, at the front after the search
  std::array<TCandidate, kCandidateSlots> Slots{};
};

// Threads the procedures use for the distances of one search and the cells of one
// FindBestCell unless a caller says otherwise (1 keeps all on the calling thread).
inline constexpr int kDefaultAssignThreads = 2;
inline constexpr int kMaxAssignThreads = 8;

struct TPictureChoice {
  std::int32_t PictureIndex = -1;  // -1: none
  std::int32_t RotationStep = 0;   // RotationAngle div 15
  std::int32_t Count = -1;         // candidate count; -1 when none was found
};

// The whole assignment: log lines, then AssignByPicture and AssignByCell(1, 9).
// progress may be null. threadCount is clamped to 1..kMaxAssignThreads; the result
// does not depend on it.
void RenderLayers(TAppState& state, IJobProgress* progress,
                  int threadCount = kDefaultAssignThreads);

void AssignByPicture(TAppState& state, IJobProgress* progress,
                     int threadCount = kDefaultAssignThreads);
void AssignByCell(TAppState& state, int firstLevel, int lastLevel, IJobProgress* progress,
                  int threadCount = kDefaultAssignThreads);

// A picture outside the pictures the matching runs over, or a (layer, index) that is
// no cell, gives nothing (invalid, -1, an empty list), changes nothing and draws no
// random number.

// Does nothing when no cell is free: a placed picture never overwrites a cell.
void AssignPictureToBestCell(TAppState& state, int picture);
// (layer, index) of the free cell the picture fits best; invalid when no cell is free.
TCellLocation FindBestCell(TAppState& state, int picture);

// Chooses and records a picture for one cell; returns the candidate count (-1 when
// none was found). Also the workspace's change command. Without a picture only
// PictureIndex changes (to -1); the Assigned flag is left as the caller left it.
std::int32_t AssignBestPicture(TAppState& state, int layer, int index);
TPictureChoice ChoosePicture(TAppState& state, int layer, int index);
// Also sets the cell's UsablePictureCount, and with filtered its ColorPassCount.
TCandidateList SearchCandidates(TAppState& state, int layer, int index, bool filtered);

// UsablePictures for the cell; returns the number of usable pictures among the first
// LibImageCount.
std::int32_t ComputeUsablePictures(TAppState& state, const TMosaicCell& cell);
// Every UsageCount from the assigned cells of the active layers.
void RecountUsage(TAppState& state);

}  // namespace tessaro
