// What the assignment's three source files share: the worker pool, the grid of
// assigned cell centres for the radius test, the level walk of the cell-order
// procedure, and the context object that holds them while a procedure runs.
//
// Every internal operation takes a TAssignContext pointer. Null is the standalone
// form (the workspace's single-cell calls): full recount, full radius scan, one
// thread. Non-null is a procedure in progress: the context's structures are exact
// because every assignment inside the procedure goes through NoteAssigned. It holds
// pointers into the layers' cell arrays, so nothing else may edit the cells while a
// procedure runs (the render job is their only writer, window code run from
// ProcessMessages included). The workers are idle whenever ProcessMessages runs.
#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/cell_assignment.h"
#include "engine/cell_compare.h"
#include "engine/layer_records.h"

namespace tessaro {

struct TAppState;

namespace assign_detail {

// ---- Worker pool ---------------------------------------------------------------------
//
// threads - 1 persistent workers; the calling thread works too. ForChunks splits
// [0, n) into chunks claimed in any order, so body must write only to its own chunk's
// outputs. The caller waits only for chunks already claimed, never for a worker that
// has not woken up yet (the cores are shared).
class TWorkerPool {
 public:
  explicit TWorkerPool(int threads);
  ~TWorkerPool();
  TWorkerPool(const TWorkerPool&) = delete;
  TWorkerPool& operator=(const TWorkerPool&) = delete;

  int Threads() const { return int(workers_.size()) + 1; }

  template <class F>
  void ForChunks(std::int64_t n, std::int64_t chunk, const F& body) {
    if (n <= 0) return;
    chunk = std::max<std::int64_t>(chunk, 1);
    if (workers_.empty() || n <= chunk) {
      for (std::int64_t b = 0; b < n; b += chunk) body(b, std::min(n, b + chunk));
      return;
    }
    Run(n, chunk, [](const void* f, std::int64_t b, std::int64_t e) {
      (*static_cast<const F*>(f))(b, e);
    }, &body);
  }

 private:
  using TBody = void (*)(const void*, std::int64_t, std::int64_t);
  struct TJob {
    std::int64_t N = 0, Chunk = 1;
    std::uint32_t Chunks = 0;
    TBody Fn = nullptr;
    const void* Arg = nullptr;
  };
  void Run(std::int64_t n, std::int64_t chunk, TBody fn, const void* arg);
  void Work(const TJob& job, std::uint32_t generation);
  void Loop();

  std::vector<std::thread> workers_;
  std::mutex mutex_;
  std::condition_variable wake_, done_;
  TJob job_;
  std::uint32_t generation_ = 0;  // under mutex_
  bool stop_ = false;
  // (generation << 32) | next chunk: a worker still holding an older job's copy
  // cannot claim a chunk of the new one.
  std::atomic<std::uint64_t> next_{0};
  std::atomic<std::uint32_t> completed_{0};
};

// ---- Radius test -------------------------------------------------------------------------
//
// The centres of the assigned cells (with a picture) in square buckets. Mark clears
// UsablePictures for every entry within DistSq <= T of a centre, exactly as the scan
// over every assigned cell does; a T at or beyond INT32_MAX takes every entry, since
// DistSq saturates there.
class TRepeatGrid {
 public:
  // Bounds over every centre that will be inserted or queried; bucket edge at least
  // maxReach (the largest sqrt(T) any query uses), widened so that the grid never has
  // many more buckets than cells.
  void Reset(TPoint minCentre, TPoint maxCentre, std::int64_t maxReach, std::int64_t cells);
  void Insert(TPoint centre, std::int32_t picture);
  void Mark(TPoint centre, std::int64_t t, std::uint8_t* usable) const;

 private:
  struct TEntry {
    std::int32_t X, Y, Picture;
  };
  std::int64_t BucketX(std::int64_t x) const;
  std::int64_t BucketY(std::int64_t y) const;

  std::int64_t minX_ = 0, minY_ = 0, size_ = 1, columns_ = 1, rows_ = 1;
  std::vector<std::vector<TEntry>> buckets_;
  // Distinct pictures in the grid, for a T that takes every entry.
  std::vector<std::int32_t> pictureCells_;
  std::vector<std::int32_t> distinct_;
};

// ---- Level walk ----------------------------------------------------------------------------
//
// The free cells of one priority level in global order, with a Fenwick tree over
// "still free": the count and "skip R and take the next" in O(log n).
class TLevelWalk {
 public:
  void Reset(std::vector<std::int32_t> cells);
  std::int32_t Count() const { return count_; }
  // Global number of the free cell after skipping r free ones; -1 when r >= Count().
  std::int32_t Take(std::int32_t r) const;
  // The cell is no longer free; cells not in the walk are ignored.
  void Remove(std::int32_t g);

 private:
  std::vector<std::int32_t> cells_;  // ascending global numbers
  std::vector<std::int32_t> tree_;   // 1-based Fenwick tree of 0/1
  std::vector<std::uint8_t> present_;
  std::int32_t count_ = 0;
  int topBit_ = 0;
};

// ---- Context -------------------------------------------------------------------------------

struct TCellRef {
  TMosaicCell* Cell = nullptr;
  std::int32_t Layer = 0;
  std::int32_t Index = 0;
};

class TAssignContext {
 public:
  TAssignContext(TAppState& state, int threadCount);

  // Global number of a cell; -1 when (layer, index) is not numbered.
  std::int32_t GlobalNumber(int layer, int index) const;
  // Keeps the structures exact after global cell g was given picture p (Assigned 1).
  void NoteAssigned(std::int32_t g, std::int32_t picture);

  TAppState& State;
  TWorkerPool Pool;
  std::vector<TCellRef> Cells;            // by global number
  std::array<std::int32_t, 8> LayerStart{};  // first global number of layer 1..7
  std::array<std::int32_t, 8> LayerCells{};  // numbered cells of layer 1..7
  std::vector<std::uint8_t> Free;         // Assigned == 0, by global number
  TRepeatGrid Grid;
  // UsageCount is exact once recounted; the first search of a procedure recounts,
  // as the full computation does, and NoteAssigned's callers count every use after.
  bool UsageFresh = false;
  TLevelWalk Walk;       // the level AssignByCell is filling,
  bool Walking = false;  // while it does

  // FindBestCell compares one picture with every free cell: the cells and the layers'
  // weights prepared once (by global number and by layer 0..7), on the first call.
  void PrepareMatching();
  std::vector<TMatchCell> MatchCells;
  std::vector<TMatchWeights> MatchLayers;

  // Scratch of the searches, kept to avoid allocating per cell.
  std::vector<std::int32_t> Order;
  std::vector<TCandidate> Scores;
  struct TChunkBest {
    std::int32_t Difference = 0;
    std::int64_t K = -1;          // the chunk's first smallest; -1: none below the start value
    std::int64_t FirstFree = -1;  // the chunk's first free cell; -1: none
  };
  std::vector<TChunkBest> ChunkBest;
};

// ---- Shared helpers ------------------------------------------------------------------------

// LibImageCount read as 0 .. capacity.
std::int32_t PictureCount(const TAppState& state);
// The pictures the candidate search runs over: LibDetailCount (at most the pictures)
// with rotation, else the pictures.
std::int32_t MatchedPictureCount(const TAppState& state);
// The weights of a cell's layer; layer 7 and anything outside 1..6 all 1.0.
const TMaskWeights& LayerWeights(const TAppState& state, int layer);
TMatchOptions MatchOptionsOf(const TAppState& state);
// The cell at (layer, index); null when there is no such cell.
TMosaicCell* CellAt(TAppState& state, int layer, int index);
// The squared distance limit of the radius test for a cell: the squared diagonal
// times RepeatRadius, in 64 bits.
std::int64_t RepeatLimit(const TMosaicCell& cell, std::int32_t repeatRadius);

// ---- Operations with a context (null: standalone) ------------------------------------------

std::int32_t ComputeUsablePicturesIn(TAssignContext* ctx, TAppState& state,
                                     const TMosaicCell& cell);
TCandidateList SearchCandidatesIn(TAssignContext* ctx, TAppState& state, int layer, int index,
                                  bool filtered);
TPictureChoice ChoosePictureIn(TAssignContext* ctx, TAppState& state, int layer, int index);
std::int32_t AssignBestPictureIn(TAssignContext* ctx, TAppState& state, int layer, int index);
TCellLocation FindBestCellIn(TAssignContext* ctx, TAppState& state, int picture);
void AssignPictureToBestCellIn(TAssignContext* ctx, TAppState& state, int picture);

}  // namespace assign_detail
}  // namespace tessaro
