// A small project on disk for the render tests: an install folder with a one-layer
// plain pattern, a project folder with its main image, a handful of pictures, and a
// progress display that records what a job tells it and answers its questions.
#pragma once

#include "support/temp_dir.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/app_state.h"
#include "core/job_progress.h"
#include "image/bitmap32.h"

namespace tessaro::render_testing {

namespace fs = std::filesystem;

class TJobRecorder : public IJobProgress {
 public:
  void SetStep(const std::string& text) override { Steps.push_back(text); }
  void SetDetail(const std::string& text) override {
    Details.push_back(text);
    if (OnDetail) OnDetail(text);
  }
  void Log(const std::string& line) override {
    Logs.push_back(line);
    if (OnLog) OnLog(line);
  }
  bool Ask(const std::string& text, const std::string& caption) override {
    Questions.push_back(caption + "|" + text);
    const auto it = Answers.find(text);
    return it != Answers.end() && it->second;
  }
  void Message(const std::string& text, const std::string& caption) override {
    Messages.push_back(caption + "|" + text);
  }
  void RefreshView() override { ++RefreshViews; }
  void SetScrollRanges(int width, int height) override { ScrollRanges = {width, height}; }
  void RefillCellPenList() override { ++PenRefills; }
  void ShowOverview() override { ++Overviews; }
  void OpenFolder(const std::string& folder) override { OpenedFolders.push_back(folder); }
  void BeginJob() override { ++BeginJobs; }
  void ShowDone() override { ++DoneShown; }
  void Pause(int milliseconds) override { Pauses.push_back(milliseconds); }

  bool Logged(const std::string& line) const;

  std::vector<std::string> Steps, Details, Logs, Questions, Messages, OpenedFolders;
  std::vector<int> Pauses;
  std::pair<int, int> ScrollRanges{-1, -1};
  int RefreshViews = 0, PenRefills = 0, Overviews = 0, BeginJobs = 0, DoneShown = 0;
  std::map<std::string, bool> Answers;  // question text -> answer; unlisted: No
  std::function<void(const std::string&)> OnLog, OnDetail;
};

struct TJobGeometry {
  int MosaicWidth = 64, MosaicHeight = 48;
  int CellWidth = 16, CellHeight = 16;
  int PageWidth = 0, PageHeight = 0;  // 0: the mosaic's size
};

// The pictures' colours, picture k is kPictureColours[k].
inline const std::vector<TColor32> kPictureColours = {0xFFC02020u, 0xFF20C020u, 0xFF2020C0u,
                                                      0xFF202020u, 0xFFC0C020u};

class TJobFixture {
 public:
  explicit TJobFixture(const TJobGeometry& geometry = {});

  // A fresh program state (install folder set, pattern file read, seed fixed) holding
  // the project: sizes, paths, picture list; "imglist.lst" and the project files saved.
  std::unique_ptr<TAppState> NewProjectState() const;
  // A fresh program state that opens the project from disk, as the Load button does.
  std::unique_ptr<TAppState> Reopen() const;

  // The job's preparation and then its steps up to the one that reaches stage (16,
  // 256 or 4096), as a job interrupted there would have left the folder.
  static void RunStepsUpTo(TAppState& state, std::int32_t stage);

  fs::path File(const std::string& name) const { return Folder / name; }
  bool Has(const std::string& name) const;
  std::vector<std::string> FolderFiles() const;  // sorted names
  std::int32_t StageOnDisk() const;              // StageFlags in "project.TS8"
  void Remove(const std::string& name) const;
  // Puts a folder where the project writes a file, so that write fails (the tests run
  // with rights that read-only modes do not stop).
  void Block(const std::string& name) const;

  testing_support::TempDir Temp;
  TJobGeometry Geometry;
  fs::path AppDir, Folder, MainImageFile;
  std::vector<std::string> Pictures;
};

std::string ReadBytes(const fs::path& file);
void WriteBytes(const fs::path& file, const std::string& bytes);
// Decodes a picture file; empty when it cannot.
TBitmap32 ReadPicture(const fs::path& file);

}  // namespace tessaro::render_testing
