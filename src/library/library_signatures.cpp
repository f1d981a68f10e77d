// The signature tables: computing them (serially or on worker threads) and their files.
#include "library/library_signatures.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <exception>
#include <fstream>
#include <thread>

#include "core/app_state.h"
#include "core/file_io.h"
#include "image/ooimgfunction2007.h"
#include "library/library_internal.h"

namespace tessaro {

namespace {

using TRotatedSignatures = std::array<ImageSignature, kRotationSteps>;

constexpr int kMaxWorkers = 8;
constexpr auto kSafeModePause = std::chrono::milliseconds(100);

struct TRun {
  TLibrarySignatureTables& tables;
  const std::vector<std::string>& list;
  int count = 0;      // pictures reported against (the list, cut to the table's capacity)
  int described = 0;  // pictures given signatures: count, or the first 1000 with rotation
  bool rotated = false;
  TColor32 fill = clBlack32;
  IJobProgress& progress;

  void Report(int k) const {
    progress.SetDetail(" Done Images:" + std::to_string(k) + "/" + std::to_string(count));
    // One picture has no range to divide; it is all the work there is.
    progress.SetPercent(count == 1 ? 100 : int(std::int64_t(k) * 100 / (count - 1)));
    progress.ProcessMessages();
  }
};

// The signatures of one picture: upright, and with rotation at the 24 angles.
void Describe(const TRun& run, const TBitmap32& picture, TBitmap32& turned,
              ImageSignature& upright, ImageSignature* rotated) {
  ComputeSignature(picture, upright);
  if (!run.rotated) return;
  for (int i = 0; i < kRotationSteps; ++i) {
    RotateBitmap(picture, turned, 15 * i, run.fill);
    ComputeSignature(turned, rotated[i]);
  }
}

void LoadIfFile(TBitmap32& target, const std::string& file) {
  // A FIFO or device in the list would block the loader; it is no picture anyway.
  if (libinternal::IsRegularFile(file)) LoadPicture(target, file);
}

// The reference: one work bitmap for the whole run, so a picture that cannot be
// decoded leaves the previous one in place and takes its signatures.
void RunSerial(const TRun& run) {
  const bool safe = run.tables.SafeModeRendering != 0;
  TBitmap32 work, turned;
  for (int k = 0; k < run.described; ++k) {
    if (safe) std::this_thread::sleep_for(kSafeModePause);
    LoadIfFile(work, run.list[std::size_t(k)]);
    if (safe) std::this_thread::sleep_for(kSafeModePause);
    LibImageInfo& info = run.tables.LibImageInfos[std::size_t(k)];
    Describe(run, work, turned, info.Signature,
             run.rotated ? run.tables.LibImageDetails[std::size_t(k)].Rotated : nullptr);
    info.UsageCount = 0;
    run.Report(k);
  }
}

// Decodes file into picture; false when LoadPicture would have left its target as it
// was. A successful decode into an empty target is not always visible (a BMP may
// hold no pixels), so an empty result is told apart by loading once more into a
// target that any success would change.
bool DecodeFresh(const std::string& file, TBitmap32& picture, TBitmap32& probe) {
  picture.SetSize(0, 0);
  if (!libinternal::IsRegularFile(file)) return false;
  LoadPicture(picture, file);
  if (!picture.Empty()) return true;
  probe.SetSize(1, 1);
  LoadPicture(probe, file);
  return probe.Width() != 1 || probe.Height() != 1;
}

// Workers decode and describe pictures in any order into per-index slots; the calling
// thread takes the slots in index order, applies the previous-picture rule and alone
// writes the tables (the message pump may let a window read them meanwhile).
void RunParallel(const TRun& run, int workers) {
  enum : std::uint8_t { kPending = 0, kDecoded, kUndecoded, kFailed };
  const std::size_t n = std::size_t(run.described);
  const auto state = std::make_unique<std::atomic<std::uint8_t>[]>(n);
  std::vector<std::exception_ptr> errors(n);
  std::vector<ImageSignature> upright(n);
  std::vector<TRotatedSignatures> rotated(run.rotated ? n : 0);
  std::atomic<std::size_t> next{0};
  std::atomic<bool> stop{false};

  auto worker = [&] {
    TBitmap32 picture, turned, probe;
    for (;;) {
      if (stop.load(std::memory_order_relaxed)) return;
      const std::size_t k = next.fetch_add(1, std::memory_order_relaxed);
      if (k >= n) return;
      std::uint8_t result = kUndecoded;
      try {
        if (DecodeFresh(run.list[k], picture, probe)) {
          Describe(run, picture, turned, upright[k], run.rotated ? rotated[k].data() : nullptr);
          result = kDecoded;
        }
      } catch (...) {
        errors[k] = std::current_exception();
        result = kFailed;
      }
      state[k].store(result, std::memory_order_release);
      state[k].notify_one();
    }
  };

  // What the serial loop's fresh work bitmap yields when the first picture fails.
  ImageSignature emptyUpright;
  TRotatedSignatures emptyRotated{};
  {
    TBitmap32 empty, turned;
    Describe(run, empty, turned, emptyUpright, emptyRotated.data());
  }

  std::vector<std::jthread> threads;
  struct StopOnExit {
    std::atomic<bool>& stop;
    ~StopOnExit() { stop.store(true); }  // runs before the threads are joined
  } stopOnExit{stop};
  for (int i = 0; i < workers; ++i) threads.emplace_back(worker);

  for (std::size_t k = 0; k < n; ++k) {
    state[k].wait(kPending, std::memory_order_acquire);
    const std::uint8_t result = state[k].load(std::memory_order_acquire);
    if (result == kFailed) std::rethrow_exception(errors[k]);
    LibImageInfo& info = run.tables.LibImageInfos[k];
    if (result == kDecoded) {
      info.Signature = upright[k];
      if (run.rotated)
        std::copy(rotated[k].begin(), rotated[k].end(), run.tables.LibImageDetails[k].Rotated);
    } else if (k == 0) {
      info.Signature = emptyUpright;
      if (run.rotated)
        std::copy(emptyRotated.begin(), emptyRotated.end(), run.tables.LibImageDetails[0].Rotated);
    } else {
      info.Signature = run.tables.LibImageInfos[k - 1].Signature;
      if (run.rotated)
        std::memcpy(run.tables.LibImageDetails[k].Rotated, run.tables.LibImageDetails[k - 1].Rotated,
                    sizeof(LibImageDetail::Rotated));
    }
    info.UsageCount = 0;
    run.Report(int(k));
  }
}

void Run(const TRun& run, int workers) {
  if (run.tables.SafeModeRendering) workers = 1;  // its pauses leave the machine to the user
  if (workers <= 0) workers = int(std::thread::hardware_concurrency());
  workers = std::min({std::max(workers, 1), kMaxWorkers, run.described});
  if (workers <= 1)
    RunSerial(run);
  else
    RunParallel(run, workers);
}

int CountWithinCapacity(const std::vector<std::string>& list) {
  return int(std::min<std::size_t>(list.size(), kLibImageCapacity));
}

}  // namespace

void ComputeLibrarySignatures(TLibrarySignatureTables& tables,
                              const std::vector<std::string>& pictureList,
                              IJobProgress& progress, int workers) {
  if (pictureList.empty()) return;
  const int count = CountWithinCapacity(pictureList);
  tables.LibImageCount = count;
  Run(TRun{tables, pictureList, count, count, false, clBlack32, progress}, workers);
}

void ComputeLibrarySignaturesRotated(TLibrarySignatureTables& tables,
                                     const std::vector<std::string>& pictureList,
                                     TCanvasColor borderColor, IJobProgress& progress,
                                     int workers) {
  if (pictureList.empty()) return;
  const int count = CountWithinCapacity(pictureList);
  const int n = std::min(count, kMaxRotatedPictures);
  tables.LibImageCount = count;
  tables.LibDetailCount = n;
  for (int k = n; k < count; ++k) {
    tables.LibImageInfos[std::size_t(k)].UsageCount = 0;
    tables.LibImageInfos[std::size_t(k)].Signature = ImageSignature{};
  }
  Run(TRun{tables, pictureList, count, n, true, CanvasToColor32(borderColor), progress}, workers);
}

void ComputeLibrarySignatures(TAppState& state, IJobProgress& progress) {
  ComputeLibrarySignatures(state.Library, state.RenderCellImgList, progress);
}

void ComputeLibrarySignaturesRotated(TAppState& state, IJobProgress& progress) {
  ComputeLibrarySignaturesRotated(state.Library, state.RenderCellImgList,
                                  state.CurrentProject.BorderColor, progress);
}

// ---- Files -------------------------------------------------------------------------

namespace {

void PutLe32(char* p, std::int32_t v) {
  const auto u = std::uint32_t(v);
  for (int i = 0; i < 4; ++i) p[i] = char(std::uint8_t(u >> (8 * i)));
}

std::int32_t GetLe32(const char* p) {
  std::uint32_t u = 0;
  for (int i = 0; i < 4; ++i) u |= std::uint32_t(std::uint8_t(p[i])) << (8 * i);
  return std::int32_t(u);
}

// The records are packed little-endian byte images (asserted in the header), so the
// file holds exactly their bytes.
template <class Record, std::size_t N>
std::string FileImage(std::int32_t count, const TFixedTable<Record, N>& table) {
  const std::size_t n = std::size_t(std::clamp<std::int64_t>(count, 0, std::int64_t(N)));
  std::string out(4 + n * sizeof(Record), '\0');
  PutLe32(out.data(), std::int32_t(n));
  std::memcpy(out.data() + 4, table.data(), n * sizeof(Record));
  return out;
}

// At most maxBytes from the start of file: what lies beyond the table's capacity is
// never needed, however large the file.
std::string ReadPrefix(const std::filesystem::path& file, std::size_t maxBytes) {
  if (!libinternal::IsRegularFile(file)) throw TLibraryFileError(libinternal::CannotOpenText(file));
  std::ifstream in(file, std::ios::binary);
  if (!in) throw TLibraryFileError(libinternal::CannotOpenText(file));
  std::string bytes(maxBytes, '\0');
  in.read(bytes.data(), std::streamsize(maxBytes));
  if (in.bad()) throw TLibraryFileError(libinternal::CannotOpenText(file));
  bytes.resize(std::size_t(in.gcount()));
  if (bytes.size() < 4) throw TLibraryFileError(libinternal::CorruptFileText(file));
  return bytes;
}

template <class Record, std::size_t N>
void ApplyFileImage(const std::string& bytes, std::int32_t& count, TFixedTable<Record, N>& table) {
  const std::int32_t n = std::clamp<std::int32_t>(GetLe32(bytes.data()), 0, std::int32_t(N));
  const std::size_t present = std::min<std::size_t>(std::size_t(n), (bytes.size() - 4) / sizeof(Record));
  std::memcpy(table.data(), bytes.data() + 4, present * sizeof(Record));
  count = n;
}

}  // namespace

void SaveLibraryInfo(const TLibrarySignatureTables& tables, const std::filesystem::path& folder) {
  WriteFileAtomically(folder / kLibInfoFileName, FileImage(tables.LibImageCount, tables.LibImageInfos));
  WriteFileAtomically(folder / kLibInfoRotatedFileName,
                      FileImage(tables.LibDetailCount, tables.LibImageDetails));
}

void LoadLibraryInfo(TLibrarySignatureTables& tables, const std::filesystem::path& folder) {
  // Both files are read before either table changes, so a missing one leaves both.
  const std::string infos =
      ReadPrefix(folder / kLibInfoFileName, 4 + sizeof(LibImageInfo) * kLibImageCapacity);
  const std::string details =
      ReadPrefix(folder / kLibInfoRotatedFileName, 4 + sizeof(LibImageDetail) * kLibDetailCapacity);
  ApplyFileImage(infos, tables.LibImageCount, tables.LibImageInfos);
  ApplyFileImage(details, tables.LibDetailCount, tables.LibImageDetails);
}

void SaveLibraryInfo(const TAppState& state) {
  SaveLibraryInfo(state.Library, state.CurrentProject.Projectpath);
}

void LoadLibraryInfo(TAppState& state) {
  LoadLibraryInfo(state.Library, state.CurrentProject.Projectpath);
}

}  // namespace tessaro
