// The signature tables of a project's pictures and their files "LibInfo.cls" and
// "LibInfo_R.cls".
//
// Picture k of the project's picture list ("imglist.lst") owns record k of
// LibImageInfos (its upright signature and usage count) and, when rotation is on and
// k < 1000, record k of LibImageDetails (its signatures at 0, 15, ..., 345 degrees).
// The tables have fixed capacities; no file, list or count can make anything write
// beyond them.
//
// Both computations decode pictures on worker threads (each with its own bitmaps)
// and consume the results in index order on the calling thread, which reports
// progress and lets messages run after every picture. The tables come out byte for
// byte as from the serial loop, including the rule that a picture LoadPicture cannot
// decode takes the previous picture's signatures (the first picture an empty
// bitmap's). workers = 1 runs that serial loop itself; SafeModeRendering always does,
// since its pauses exist to leave the machine to the user.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

#include "core/job_progress.h"
#include "image/bitmap32.h"
#include "image/signature.h"

namespace tessaro {

struct TAppState;

// Raised by the library's file readers; the text is the message shown to the user.
class TLibraryFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

inline constexpr int kLibImageCapacity = 5001;   // records in LibImageInfos
inline constexpr int kLibDetailCapacity = 1001;  // records in LibImageDetails
inline constexpr int kMaxRotatedPictures = 1000;  // pictures described at 24 angles
inline constexpr int kRotationSteps = 24;         // 15 degrees apart

// 356 bytes, as stored in "LibInfo.cls". Every field is 4-byte aligned, so the
// natural layout has no gaps; the asserts below pin it.
struct LibImageInfo {
  std::int32_t Reserved1 = 0;   // never written
  std::int32_t Reserved2 = 0;   // never written
  std::int32_t UsageCount = 0;  // cells currently showing the picture
  ImageSignature Signature;     // the picture as loaded (upright)
};

// 8268 bytes, as stored in "LibInfo_R.cls".
struct LibImageDetail {
  std::int32_t Reserved[3] = {0, 0, 0};  // never written
  ImageSignature Rotated[kRotationSteps];  // entry i: the picture turned by 15 * i degrees
};

static_assert(sizeof(LibImageInfo) == 356);
static_assert(offsetof(LibImageInfo, Reserved1) == 0);
static_assert(offsetof(LibImageInfo, Reserved2) == 4);
static_assert(offsetof(LibImageInfo, UsageCount) == 8);
static_assert(offsetof(LibImageInfo, Signature) == 12);
static_assert(sizeof(LibImageDetail) == 8268);
static_assert(offsetof(LibImageDetail, Reserved) == 0);
static_assert(offsetof(LibImageDetail, Rotated) == 12);
// No padding anywhere: the file images are the records' bytes.
static_assert(std::has_unique_object_representations_v<LibImageInfo>);
static_assert(std::has_unique_object_representations_v<LibImageDetail>);

// A heap array of fixed length N, zero-initialised, deep-copied: the tables are too
// large for a stack-held TAppState and must never change length.
template <class T, std::size_t N>
class TFixedTable {
 public:
  TFixedTable() : data_(std::make_unique<T[]>(N)) {}
  TFixedTable(const TFixedTable& o) : TFixedTable() { std::copy(o.begin(), o.end(), begin()); }
  TFixedTable& operator=(const TFixedTable& o) {
    if (this != &o) std::copy(o.begin(), o.end(), begin());
    return *this;
  }

  static constexpr std::size_t size() { return N; }
  T& operator[](std::size_t i) { return data_[i]; }
  const T& operator[](std::size_t i) const { return data_[i]; }
  T* data() { return data_.get(); }
  const T* data() const { return data_.get(); }
  T* begin() { return data_.get(); }
  T* end() { return data_.get() + N; }
  const T* begin() const { return data_.get(); }
  const T* end() const { return data_.get() + N; }

 private:
  std::unique_ptr<T[]> data_;
};

// Process-wide: survive from one project to the next; each computation overwrites the
// records and counts it covers.
struct TLibrarySignatureTables {
  std::int32_t LibImageCount = 0;  // valid LibImageInfos records
  TFixedTable<LibImageInfo, kLibImageCapacity> LibImageInfos;
  std::int32_t LibDetailCount = 0;  // valid LibImageDetails records
  TFixedTable<LibImageDetail, kLibDetailCapacity> LibImageDetails;
  std::uint8_t SafeModeRendering = 0;  // pause 100 ms before and after every load
  std::uint8_t FastModeRendering = 0;  // matching compares the 2 x 2 grid only
};

// ---- Computation -------------------------------------------------------------------

// workers: 0 uses the machine's cores; 1 is the serial loop.
//
// Fills LibImageCount and LibImageInfos[0 .. count - 1] (Signature, UsageCount 0) for
// the list's pictures; an empty list changes nothing. A list longer than the table's
// capacity is described up to the capacity. Progress: detail " Done Images:k/count",
// percent k * 100 div (count - 1) (100 for a single picture), then ProcessMessages.
void ComputeLibrarySignatures(TLibrarySignatureTables& tables,
                              const std::vector<std::string>& pictureList,
                              IJobProgress& progress, int workers = 0);

// As above for the first n = min(count, 1000) pictures, which also get their 24
// rotated signatures with the corners filled by borderColor (a canvas colour
// 0x00BBGGRR, used opaque). LibImageCount := count, LibDetailCount := n. The records
// of the pictures after the first 1000 are cleared (usage 0, zero signature): they
// take no part in the matching, and a report must not show a previous project's
// values for them. Progress reports k against the whole count.
void ComputeLibrarySignaturesRotated(TLibrarySignatureTables& tables,
                                     const std::vector<std::string>& pictureList,
                                     TCanvasColor borderColor, IJobProgress& progress,
                                     int workers = 0);

// The render job's forms: state.RenderCellImgList into state.Library, with the
// project's BorderColor for the rotation fill.
void ComputeLibrarySignatures(TAppState& state, IJobProgress& progress);
void ComputeLibrarySignaturesRotated(TAppState& state, IJobProgress& progress);

// ---- Files -------------------------------------------------------------------------

inline constexpr const char* kLibInfoFileName = "LibInfo.cls";
inline constexpr const char* kLibInfoRotatedFileName = "LibInfo_R.cls";

// Writes "LibInfo.cls" (LibImageCount, then that many records) and "LibInfo_R.cls"
// (LibDetailCount and its records) into folder, each through a temporary file renamed
// over the old one. Counts are clamped to 0..capacity. Raises
// std::filesystem::filesystem_error when a file cannot be written.
void SaveLibraryInfo(const TLibrarySignatureTables& tables, const std::filesystem::path& folder);

// Reads both files back. A count above the capacity is cut to it, a negative count
// reads as 0; a file shorter than its count implies fills the whole records present
// and leaves the rest as they were. Raises TLibraryFileError "Cannot open file <name>"
// when either file is missing or unreadable and "File contains no data or corrupt
// file <name>" when one is too short to hold its count; the tables are then untouched.
void LoadLibraryInfo(TLibrarySignatureTables& tables, const std::filesystem::path& folder);

// The render job's forms, in CurrentProject.Projectpath.
void SaveLibraryInfo(const TAppState& state);
void LoadLibraryInfo(TAppState& state);

}  // namespace tessaro
