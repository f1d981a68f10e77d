// The render job: the steps each StageFlags value runs, the files each step leaves,
// the log, the questions, failures that end the job, and the page drawing.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "core/project_files.h"
#include "library/library_signatures.h"
#include "render/ootsrender.h"
#include "render/render_job_internal.h"
#include "support_job_fixture.h"

namespace tessaro {
namespace {

using render_testing::ReadBytes;
using render_testing::ReadPicture;
using render_testing::TJobFixture;
using render_testing::TJobGeometry;
using render_testing::TJobRecorder;
using Names = std::vector<std::string>;

const Names kStatisticsFiles = {"FileUsageCounter.txt", "FinalDiff.txt", "PositionTable.txt",
                                "stat.bmp"};
constexpr const char* kOpenQuestion = "Mosaic Created, Open the output directory?";
constexpr const char* kMissingQuestion = "output.bmp is missing, render again?";

bool HasAll(const TJobFixture& f, const Names& names) {
  return std::all_of(names.begin(), names.end(), [&](const std::string& n) { return f.Has(n); });
}
bool HasNone(const TJobFixture& f, const Names& names) {
  return std::none_of(names.begin(), names.end(), [&](const std::string& n) { return f.Has(n); });
}
void RemoveStatistics(const TJobFixture& f) {
  for (const std::string& n : kStatisticsFiles) f.Remove(n);
}

// The log holds these lines in this order (other lines may come between).
::testing::AssertionResult InOrder(const Names& log, const Names& lines) {
  auto at = log.begin();
  for (const std::string& line : lines) {
    at = std::find(at, log.end(), line);
    if (at == log.end()) return ::testing::AssertionFailure() << "missing or out of order: " << line;
    ++at;
  }
  return ::testing::AssertionSuccess();
}

// Records StageFlags in memory and on disk at every log line, each change once.
struct TStageTrail {
  std::vector<int> Memory, Disk;
  void Attach(TJobRecorder& rec, const TAppState& state, const TJobFixture& f) {
    rec.OnLog = [this, &state, &f](const std::string&) {
      const int m = state.CurrentProject.StageFlags, d = f.StageOnDisk();
      if (Memory.empty() || Memory.back() != m) Memory.push_back(m);
      if (Disk.empty() || Disk.back() != d) Disk.push_back(d);
    };
  }
};

// ---- A new project ------------------------------------------------------------------

TEST(RenderJobNewProject, RunsEveryStepSavingAfterEachAndEndsWithOnePage) {
  TJobFixture f;
  auto state = f.NewProjectState();
  TJobRecorder rec;
  TStageTrail trail;
  trail.Attach(rec, *state, f);
  // What is on disk when each step logs that it saved.
  std::vector<Names> atSaved;
  auto stageLog = rec.OnLog;
  rec.OnLog = [&](const std::string& line) {
    stageLog(line);
    if (line == "=========== Saved ============") atSaved.push_back(f.FolderFiles());
  };

  const TRenderJobResult result = RunRenderJob(*state, rec);
  ASSERT_TRUE(result.Finished) << result.FailedStep << ": " << result.Error;
  EXPECT_TRUE(result.FailedStep.empty());

  EXPECT_EQ(trail.Memory, (std::vector<int>{0, 16, 256, 4096, 65536}));
  EXPECT_EQ(trail.Disk, (std::vector<int>{0, 16, 256, 4096, 65536}));
  const Names base = {"imglist.lst", "mainimage.jpg", "project.TS8", "project.ini"};
  ASSERT_EQ(atSaved.size(), 3u);
  Names afterLibrary = base;
  afterLibrary.insert(afterLibrary.begin(), {"LibInfo.cls", "LibInfo_R.cls"});
  std::sort(afterLibrary.begin(), afterLibrary.end());
  EXPECT_EQ(atSaved[0], afterLibrary);
  Names withCells = afterLibrary;
  withCells.push_back("project.LYS");
  std::sort(withCells.begin(), withCells.end());
  EXPECT_EQ(atSaved[1], withCells);  // the library stage had set 16, so the cells are saved
  EXPECT_EQ(atSaved[2], withCells);

  Names finalFiles = withCells;
  finalFiles.push_back("output.bmp");
  finalFiles.insert(finalFiles.end(), kStatisticsFiles.begin(), kStatisticsFiles.end());
  std::sort(finalFiles.begin(), finalFiles.end());
  EXPECT_EQ(f.FolderFiles(), finalFiles);

  EXPECT_EQ(ReadBytes(f.File("LibInfo.cls")).size(), 4u + 5u * 356u);
  EXPECT_EQ(ReadBytes(f.File("project.LYS")).size(), 28u + 12u * 576u);  // 4 x 3 cells
  const TBitmap32 page = ReadPicture(f.File("output.bmp"));
  EXPECT_EQ(page.Width(), 64);
  EXPECT_EQ(page.Height(), 48);
  for (const TMosaicCell& cell : state->CurrentProject.Layers[1].Cells) {
    EXPECT_EQ(cell.Assigned, 1);
    EXPECT_GE(cell.PictureIndex, 0);
  }
}

TEST(RenderJobNewProject, LogStepsAndMonitorRequestsComeInTheJobsOrder) {
  TJobFixture f;
  auto state = f.NewProjectState();
  TJobRecorder rec;
  ASSERT_TRUE(RunRenderJob(*state, rec).Finished);

  ASSERT_GE(rec.Logs.size(), 6u);
  EXPECT_EQ(Names(rec.Logs.begin(), rec.Logs.begin() + 6),
            (Names{"Processing Project: Test-2024-3-7-14-5-9", "Init render.............Done",
                   "Init MainImage.............Done", "Step1 -- Init Canvas.............Done",
                   "Step2 -- Background............Done", "Step3 -- Rendering Mosaic "}));
  const std::string lastPage = f.File("output.bmp").string();
  EXPECT_TRUE(InOrder(rec.Logs,
                      {"Initalize image lib.............Start", "Initalize image lib.............Done",
                       "============ Saving  image lib ============", "=========== Saved ============",
                       "apply pattern", "apply pattern..............DONE",
                       "============ Saving Applied Pattern ============",
                       "=========== Saved ============", "===========12 created ============",
                       "============rendering pattern ============",
                       "============Pattern Rendered============",
                       "============ Saving Rendered Pattern ============",
                       "=========== Saved ============", "Draw Mosaics", "Clearning Main Mosaic Canvas",
                       "drawing tiles", "Draw Mosaics.......................Done",
                       "PhotoMosaic Saved to " + lastPage, "Statistics",
                       "Final Step: Generate the Construction plan", "All Job Done"}));
  EXPECT_EQ(rec.Logs.back(), "All Job Done");
  EXPECT_TRUE(InOrder(rec.Steps, {"image Lib", "Pattern", "Rendering", "Draw Mosaic"}));

  EXPECT_EQ(rec.PenRefills, 1);
  EXPECT_EQ(rec.BeginJobs, 1);
  EXPECT_EQ(rec.DoneShown, 1);
  EXPECT_EQ(rec.Pauses, (std::vector<int>{100, 1000}));
  EXPECT_EQ(rec.ScrollRanges, std::make_pair(64, 48));
  EXPECT_EQ(rec.Questions, Names{std::string("Done|") + kOpenQuestion});
  EXPECT_EQ(rec.Overviews, 1);
  EXPECT_GE(rec.RefreshViews, 1);
  EXPECT_TRUE(rec.OpenedFolders.empty());  // the question was answered No
}

TEST(RenderJobNewProject, OpensTheFolderOnlyOnYes) {
  for (bool yes : {true, false}) {
    SCOPED_TRACE(yes);
    TJobFixture f;
    auto state = f.NewProjectState();
    TJobRecorder rec;
    rec.Answers[kOpenQuestion] = yes;
    ASSERT_TRUE(RunRenderJob(*state, rec).Finished);
    EXPECT_EQ(rec.OpenedFolders, yes ? Names{f.Folder.string()} : Names{});
    EXPECT_EQ(rec.Overviews, 1);
  }
}

TEST(RenderJobNewProject, AutomaticRepeatLimitFollowsCellsPerPicture) {
  for (int automatic : {1, 0}) {
    SCOPED_TRACE(automatic);
    TJobFixture f;
    auto state = f.NewProjectState();
    TtsProject07& p = state->CurrentProject;
    p.AutoRepeatLimit = std::uint8_t(automatic);
    p.LimitRepeat = 0;
    p.MaxRepeatTimes = 400;
    TJobRecorder rec;
    ASSERT_TRUE(RunRenderJob(*state, rec).Finished);
    EXPECT_EQ(p.LimitRepeat, automatic ? 1 : 0);
    EXPECT_EQ(p.MaxRepeatTimes, automatic ? 4 * 12 / 5 : 400);
  }
}

TEST(RenderJobNewProject, TilePreviewSkipsLibraryAndAssignment) {
  TJobFixture f;
  auto state = f.NewProjectState();
  state->CurrentProject.TilePreviewOnly = 1;
  state->RenderCellImgList.clear();  // a preview needs no pictures
  TJobRecorder rec;
  TStageTrail trail;
  trail.Attach(rec, *state, f);
  bool cellsFileAtPatternSave = true;
  auto stageLog = rec.OnLog;
  rec.OnLog = [&](const std::string& line) {
    stageLog(line);
    if (line == "=========== Saved ============") cellsFileAtPatternSave = f.Has("project.LYS");
  };

  const TRenderJobResult result = RunRenderJob(*state, rec);
  ASSERT_TRUE(result.Finished) << result.FailedStep << ": " << result.Error;
  EXPECT_EQ(trail.Memory, (std::vector<int>{0, 256, 65536}));
  EXPECT_EQ(trail.Disk, (std::vector<int>{0, 256, 65536}));
  EXPECT_FALSE(cellsFileAtPatternSave);  // saved at 0: no cell file yet
  EXPECT_TRUE(rec.Logged("Initalize image lib.............No operation"));
  EXPECT_TRUE(rec.Logged("Rendering pattern.............No operation"));
  EXPECT_FALSE(rec.Logged("Statistics"));
  EXPECT_TRUE(HasNone(f, {"LibInfo.cls", "LibInfo_R.cls"}));
  EXPECT_TRUE(HasNone(f, kStatisticsFiles));
  EXPECT_TRUE(HasAll(f, {"output.bmp", "project.LYS"}));
  for (const TMosaicCell& cell : state->CurrentProject.Layers[1].Cells) {
    EXPECT_EQ(cell.Assigned, 1);
    EXPECT_EQ(cell.PictureIndex, -1);
  }
}

// ---- Reopened projects ----------------------------------------------------------------

struct ResumeCase {
  const char* name;
  int savedAt;
  Names mustLog;
  Names mustNotLog;
  bool statistics;
};

TEST(RenderJobResume, RunsOnlyTheStepsTheSavedStageLacks) {
  const std::vector<ResumeCase> cases = {
      {"library ready", 16, {"apply pattern", "============rendering pattern ============", "Draw Mosaics"},
       {"Initalize image lib.............Start"}, true},
      {"pattern applied", 256, {"============rendering pattern ============", "Draw Mosaics"},
       {"Initalize image lib.............Start", "apply pattern"}, true},
      {"cells assigned", 4096, {"Draw Mosaics", "Statistics"},
       {"Initalize image lib.............Start", "apply pattern",
        "============rendering pattern ============"},
       true},
      {"drawn", 65536, {"Project Loaded"},
       {"Initalize image lib.............Start", "apply pattern",
        "============rendering pattern ============", "Draw Mosaics", "Statistics"},
       false},
  };
  for (const ResumeCase& c : cases) {
    SCOPED_TRACE(c.name);
    TJobFixture f;
    {
      auto first = f.NewProjectState();
      if (c.savedAt == kStageDrawn) {
        TJobRecorder quiet;
        ASSERT_TRUE(RunRenderJob(*first, quiet).Finished);
      } else {
        TJobFixture::RunStepsUpTo(*first, c.savedAt);
      }
    }
    RemoveStatistics(f);
    const std::string page = ReadBytes(f.File("output.bmp"));

    auto state = f.Reopen();
    ASSERT_EQ(state->CurrentProject.StageFlags, c.savedAt);
    TJobRecorder rec;
    const TRenderJobResult result = RunRenderJob(*state, rec);
    ASSERT_TRUE(result.Finished) << result.FailedStep << ": " << result.Error;
    for (const std::string& line : c.mustLog) EXPECT_TRUE(rec.Logged(line)) << line;
    for (const std::string& line : c.mustNotLog) EXPECT_FALSE(rec.Logged(line)) << line;
    EXPECT_EQ(HasAll(f, kStatisticsFiles), c.statistics);
    EXPECT_TRUE(c.statistics || HasNone(f, kStatisticsFiles));
    EXPECT_EQ(state->CurrentProject.StageFlags, kStageDrawn);
    EXPECT_EQ(f.StageOnDisk(), kStageDrawn);
    EXPECT_EQ(state->Library.LibImageCount, 5);
    EXPECT_EQ(state->CurrentProject.Layers[1].CellCount, 12);
    EXPECT_EQ(state->CurrentProject.Layers[1].Cells[0].Assigned, 1);
    if (c.savedAt == kStageDrawn) {
      EXPECT_EQ(ReadBytes(f.File("output.bmp")), page);  // shown, not redrawn
      const TBitmap32 shown = ReadPicture(f.File("output.bmp"));
      ASSERT_EQ(state->OutputBitmap.Width(), shown.Width());
      EXPECT_TRUE(std::equal(shown.Bits(), shown.Bits() + shown.Width() * shown.Height(),
                             state->OutputBitmap.Bits()));
      EXPECT_EQ(rec.Questions, Names{std::string("Done|") + kOpenQuestion});
    } else {
      EXPECT_TRUE(f.Has("output.bmp"));
    }
  }
}

TEST(RenderJobResume, MissingOrBrokenOutputPageAsksAndRedrawsOnYes) {
  struct Case {
    const char* name;
    bool broken;  // a file that is there but no picture
    bool yes;
  };
  for (const Case& c : {Case{"missing, yes", false, true}, Case{"missing, no", false, false},
                        Case{"broken, yes", true, true}}) {
    SCOPED_TRACE(c.name);
    TJobFixture f;
    {
      auto first = f.NewProjectState();
      first->CurrentProject.CanvasColor = 0x00FF0000;  // blue, as 0x00BBGGRR
      SaveProject(first->CurrentProject);
      TJobRecorder quiet;
      ASSERT_TRUE(RunRenderJob(*first, quiet).Finished);
    }
    RemoveStatistics(f);
    if (c.broken)
      render_testing::WriteBytes(f.File("output.bmp"), "BM not a bitmap");
    else
      f.Remove("output.bmp");

    auto state = f.Reopen();
    TJobRecorder rec;
    rec.Answers[kMissingQuestion] = c.yes;
    ASSERT_TRUE(RunRenderJob(*state, rec).Finished);
    ASSERT_FALSE(rec.Questions.empty());
    EXPECT_EQ(rec.Questions.front(), std::string("error|") + kMissingQuestion);
    EXPECT_TRUE(rec.Logged("Project Loaded"));
    EXPECT_EQ(rec.Logged("Draw Mosaics"), c.yes);
    EXPECT_TRUE(HasNone(f, kStatisticsFiles));
    if (c.yes) {
      EXPECT_EQ(ReadPicture(f.File("output.bmp")).Width(), 64);
    } else {
      EXPECT_FALSE(f.Has("output.bmp"));
      // The canvas as InitCanvas left it: the canvas colour, converted.
      EXPECT_EQ(state->OutputBitmap.Pixel(10, 10), 0xFF0000FFu);
    }
  }
}

TEST(RenderJobResume, RedrawRequestDrawsFromTheCellsInMemory) {
  TJobFixture f;
  auto state = f.NewProjectState();
  TJobRecorder first;
  ASSERT_TRUE(RunRenderJob(*state, first).Finished);
  f.Remove("output.bmp");
  f.Remove("project.LYS");  // the redraw must not need the cell file
  RemoveStatistics(f);

  state->CurrentProject.StageFlags = kStageRedrawRequested;
  TJobRecorder rec;
  const TRenderJobResult result = RunRenderJob(*state, rec);
  ASSERT_TRUE(result.Finished) << result.FailedStep << ": " << result.Error;
  EXPECT_FALSE(rec.Logged("Initalize image lib.............Start"));
  EXPECT_TRUE(rec.Logged("Draw Mosaics"));
  EXPECT_TRUE(HasAll(f, {"output.bmp", "project.LYS"}));
  EXPECT_TRUE(HasAll(f, kStatisticsFiles));
  EXPECT_EQ(state->CurrentProject.StageFlags, kStageDrawn);
  EXPECT_EQ(f.StageOnDisk(), kStageDrawn);
}

TEST(RenderJobResume, LoadedFinishedProjectShowsItsPageAndSaysSo) {
  for (bool withPage : {true, false}) {
    SCOPED_TRACE(withPage);
    TJobFixture f;
    {
      auto first = f.NewProjectState();
      TJobRecorder quiet;
      ASSERT_TRUE(RunRenderJob(*first, quiet).Finished);
      first->CurrentProject.StageFlags = kStageLoadedFinished;
      SaveProject(first->CurrentProject);
    }
    RemoveStatistics(f);
    if (!withPage) f.Remove("output.bmp");
    auto state = f.Reopen();
    TJobRecorder rec;
    const TRenderJobResult result = RunRenderJob(*state, rec);
    ASSERT_TRUE(result.Finished) << result.FailedStep << ": " << result.Error;
    EXPECT_EQ(rec.Logged("Draw Mosaics"), !withPage);
    EXPECT_TRUE(InOrder(rec.Logs, {"Project Loaded", "All Job Done", "All Job Done"}));
    EXPECT_EQ(rec.Messages, Names{"Done|Mosaic Loaded"});
    EXPECT_EQ(rec.DoneShown, 2);
    EXPECT_TRUE(f.Has("output.bmp"));
    EXPECT_TRUE(HasAll(f, kStatisticsFiles));
    EXPECT_EQ(rec.Questions.back(), std::string("Done|") + kOpenQuestion);
  }
}

TEST(RenderJobResume, UnknownStageDoesNothingAndLeavesTheReportsAlone) {
  TJobFixture f;
  auto state = f.NewProjectState();
  state->CurrentProject.StageFlags = 7;
  const Names before = f.FolderFiles();
  TJobRecorder rec;
  ASSERT_TRUE(RunRenderJob(*state, rec).Finished);
  EXPECT_EQ(f.FolderFiles(), before);
  EXPECT_FALSE(rec.Logged("Statistics"));
  EXPECT_EQ(rec.Logs.back(), "All Job Done");
  EXPECT_EQ(state->CurrentProject.StageFlags, 7);
}

// ---- Failing steps --------------------------------------------------------------------

struct FailureCase {
  const char* name;
  int savedAt;                                       // stage the project is at (0: new)
  std::function<void(TJobFixture&, TAppState&)> damage;  // after opening
  const char* step;
  int stageAfter;   // in memory and on disk
  Names present;    // files the earlier steps left that must still be there
  Names absent;     // files no later step may have written
};

TEST(RenderJobFailure, EndsAtTheFailingStepAndKeepsWhatEarlierStepsSaved) {
  const Names later = {"output.bmp", "PositionTable.txt", "stat.bmp"};
  const std::vector<FailureCase> cases = {
      {"main image missing", 0, [](TJobFixture& f, TAppState&) { f.Remove("mainimage.jpg"); },
       kStepInitCanvas, 0, {"project.TS8"}, {"LibInfo.cls", "project.LYS"}},
      {"main image undecodable", 0,
       [](TJobFixture& f, TAppState& s) {
         s.MainImage = TBitmap32(8, 8);  // an earlier project's picture must not stand in
         render_testing::WriteBytes(f.File("mainimage.jpg"), "\xFF\xD8 not really \xFF\xD9");
       },
       kStepInitCanvas, 0, {"project.TS8"}, {"LibInfo.cls"}},
      {"page of no pixels", 0, [](TJobFixture&, TAppState& s) { s.CurrentProject.PageWidth = 0; },
       kStepInitCanvas, 0, {}, {"LibInfo.cls"}},
      {"page too large", 0,
       [](TJobFixture&, TAppState& s) {
         s.CurrentProject.PageWidth = 1 << 15;
         s.CurrentProject.PageHeight = 1 << 15;
       },
       kStepInitCanvas, 0, {}, {"LibInfo.cls"}},
      {"pattern without cells", 0,
       [](TJobFixture&, TAppState& s) { s.CurrentProject.PatternIndex = 9; }, kStepLoadPattern, 0,
       {}, {"LibInfo.cls"}},
      {"no pictures listed", 0, [](TJobFixture&, TAppState& s) { s.RenderCellImgList.clear(); },
       kStepImageLib, 0, {}, {"LibInfo.cls", "project.LYS"}},
      {"no picture decodes", 0,
       [](TJobFixture& f, TAppState& s) {
         s.RenderCellImgList = {f.File("nothing.jpg").string(), f.File("imglist.lst").string()};
       },
       kStepImageLib, 0, {}, {"LibInfo.cls", "project.LYS"}},
      {"project file cannot be replaced", 0,
       [](TJobFixture& f, TAppState&) { f.Block("project.TS8"); }, kStepImageLib, 0,
       {"LibInfo.cls", "LibInfo_R.cls"}, {"project.LYS"}},
      {"cell file cannot be written", 0,
       [](TJobFixture& f, TAppState&) { f.Block("project.LYS"); }, kStepPattern, 16,
       {"LibInfo.cls", "LibInfo_R.cls"}, {}},
      {"page cannot be written", 0, [](TJobFixture& f, TAppState&) { f.Block("output.bmp"); },
       kStepDrawMosaic, 4096, {"LibInfo.cls", "project.LYS"}, {"output.bmp.part"}},
      {"library file missing", 16, [](TJobFixture& f, TAppState&) { f.Remove("LibInfo.cls"); },
       kStepLoadImageLib, 16, {"LibInfo_R.cls"}, {"project.LYS"}},
      {"cell file missing", 4096, [](TJobFixture& f, TAppState&) { f.Remove("project.LYS"); },
       kStepLoadLayers, 4096, {"LibInfo.cls"}, {}},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.name);
    TJobFixture f;
    std::unique_ptr<TAppState> state;
    if (c.savedAt == 0) {
      state = f.NewProjectState();
    } else {
      TJobFixture::RunStepsUpTo(*f.NewProjectState(), c.savedAt);
      state = f.Reopen();
    }
    c.damage(f, *state);
    const std::string libInfo = f.Has("LibInfo.cls") ? ReadBytes(f.File("LibInfo.cls")) : "";

    TJobRecorder rec;
    const TRenderJobResult result = RunRenderJob(*state, rec);
    EXPECT_FALSE(result.Finished);
    EXPECT_EQ(result.FailedStep, c.step);
    EXPECT_FALSE(result.Error.empty());
    ASSERT_FALSE(rec.Logs.empty());
    EXPECT_EQ(rec.Logs.back(), "Step failed: " + std::string(c.step) + ": " + result.Error);
    EXPECT_EQ(state->CurrentProject.StageFlags, c.stageAfter);
    if (f.Has("project.TS8") && !std::filesystem::is_directory(f.File("project.TS8"))) {
      EXPECT_EQ(f.StageOnDisk(), c.stageAfter);
    }
    for (const std::string& n : c.present) EXPECT_TRUE(f.Has(n)) << n;
    for (const std::string& n : c.absent) EXPECT_FALSE(f.Has(n)) << n;
    for (const std::string& n : later) {
      if (n != "output.bmp" || std::string(c.name) != "page cannot be written") {
        EXPECT_FALSE(f.Has(n)) << n;
      }
    }
    if (c.savedAt > 0 && !libInfo.empty()) {
      EXPECT_EQ(ReadBytes(f.File("LibInfo.cls")), libInfo);
    }
    // The job ends there: no statistics, no closing question, but "Done" to close with.
    EXPECT_FALSE(rec.Logged("Statistics"));
    EXPECT_FALSE(rec.Logged("All Job Done"));
    EXPECT_TRUE(rec.Questions.empty());
    EXPECT_EQ(rec.Overviews, 0);
    EXPECT_EQ(rec.DoneShown, 1);
  }
}

TEST(RenderJobFailure, MainImageErrorNamesTheFile) {
  TJobFixture f;
  auto state = f.NewProjectState();
  f.Remove("mainimage.jpg");
  TJobRecorder rec;
  const TRenderJobResult result = RunRenderJob(*state, rec);
  EXPECT_NE(result.Error.find(f.MainImageFile.string()), std::string::npos) << result.Error;
  EXPECT_EQ(rec.Logs.size(), 2u);  // "Processing Project: ..." and the failure
}

// ---- The canvas ----------------------------------------------------------------------

TEST(InitCanvas, PreparesMainImageAndCanvasAsTheProjectSays) {
  struct Case {
    const char* name;
    std::uint8_t stretch, mono, background;
  };
  for (const Case& c : {Case{"plain", 0, 0, 0}, Case{"stretched", 1, 0, 0}, Case{"grey", 0, 1, 0},
                        Case{"main image background", 0, 0, 1}}) {
    SCOPED_TRACE(c.name);
    TJobFixture f(TJobGeometry{100, 80, 20, 20, 50, 40});
    auto state = f.NewProjectState();
    TtsProject07& p = state->CurrentProject;
    p.StretchMainImage = c.stretch;
    p.MonochromeMainImage = c.mono;
    p.MainImageAsBackground = c.background;
    p.CanvasColor = 0x0000FF;  // red, as 0x00BBGGRR
    TJobRecorder rec;
    InitCanvas(*state, rec);

    const TBitmap32& main = state->MainImage;
    EXPECT_EQ(main.Width(), c.stretch ? 100 : 64);
    EXPECT_EQ(main.Height(), c.stretch ? 80 : 48);
    EXPECT_EQ(main.DrawMode, dmBlend);
    EXPECT_EQ(main.CombineMode, cmBlend);
    EXPECT_EQ(main.StretchFilter, sfSpline);
    EXPECT_EQ(main.MasterAlpha, 255);
    const TColor32 m = main.Pixel(main.Width() - 1, main.Height() / 2);
    EXPECT_EQ(RedOf(m) == GreenOf(m) && GreenOf(m) == BlueOf(m), c.mono != 0) << std::hex << m;

    ASSERT_EQ(state->OutputBitmap.Width(), 50);
    ASSERT_EQ(state->OutputBitmap.Height(), 40);
    const TColor32 corner = state->OutputBitmap.Pixel(49, 39);
    if (c.background)
      EXPECT_NE(corner, 0xFFFF0000u);
    else
      EXPECT_EQ(corner, 0xFFFF0000u);
    EXPECT_EQ(rec.ScrollRanges, std::make_pair(50, 40));
    EXPECT_EQ(rec.Logs, (Names{"Init render.............Done", "Init MainImage.............Done",
                               "Step1 -- Init Canvas.............Done",
                               "Step2 -- Background............Done"}));
  }
}

// ---- Pages ----------------------------------------------------------------------------

TEST(PageGrid, CountsPartPagesAndNamesThem) {
  struct Case {
    int mw, mh, pw, ph, columns, rows;
  };
  for (const Case& c : {Case{1024, 1024, 1024, 1024, 1, 1}, Case{2500, 1000, 1000, 1000, 3, 1},
                        Case{2000, 1500, 1000, 1000, 2, 2}, Case{999, 1, 1000, 1000, 1, 1},
                        Case{1000, 1000, 0, 1000, 0, 0}, Case{1000, 1000, 1000, -5, 0, 0},
                        Case{0, 1000, 1000, 1000, 0, 1},
                        Case{2147483647, 1, 1, 1, 2147483647, 1}}) {
    SCOPED_TRACE(std::to_string(c.mw) + "/" + std::to_string(c.pw));
    const TPageGrid g = PageGridOf(c.mw, c.mh, c.pw, c.ph);
    EXPECT_EQ(g.Columns, c.columns);
    EXPECT_EQ(g.Rows, c.rows);
  }
  const TPageGrid one{1, 1}, many{3, 2};
  EXPECT_EQ(PageFileName(one, 0, 0), "output.bmp");
  EXPECT_EQ(PageFileName(many, 0, 0), "output_x0y0.bmp");
  EXPECT_EQ(PageFileName(many, 2, 1), "output_x2y1.bmp");
  EXPECT_EQ(PageFileName(many, 12, 10), "output_x12y10.bmp");
  // A page outside a one-page mosaic must not take the mosaic's own file.
  EXPECT_EQ(PageFileName(one, 1, 0), "output_x1y0.bmp");
}

TEST(PageGrid, LastPageRectangleStopsAtTheMosaicEdge) {
  TtsProject07 p;
  p.MosaicWidth = 2500;
  p.MosaicHeight = 1500;
  p.PageWidth = 1000;
  p.PageHeight = 1000;
  EXPECT_EQ(render_detail::PageRectOf(p, 0, 0), MakeRect(0, 0, 1000, 1000));
  EXPECT_EQ(render_detail::PageRectOf(p, 2, 0), MakeRect(2000, 0, 2500, 1000));
  EXPECT_EQ(render_detail::PageRectOf(p, 2, 1), MakeRect(2000, 1000, 2500, 1500));
  EXPECT_TRUE(render_detail::PageRectOf(p, 5, 0).IsEmpty());
  const TRect far = render_detail::PageRectOf(p, 2147483647, 0);  // no overflow
  EXPECT_TRUE(far.IsEmpty());
}

TEST(DrawAllPages, ThreeColumnsWithAPartLastPageOfFullPageSize) {
  // 250 wide in pages of 100: the third page covers 50 mosaic pixels.
  TJobFixture f(TJobGeometry{250, 40, 10, 10, 100, 40});
  auto state = f.NewProjectState();
  TJobRecorder rec;
  const TRenderJobResult result = RunRenderJob(*state, rec);
  ASSERT_TRUE(result.Finished) << result.FailedStep << ": " << result.Error;
  EXPECT_FALSE(f.Has("output.bmp"));
  for (const char* name : {"output_x0y0.bmp", "output_x1y0.bmp", "output_x2y0.bmp"}) {
    const TBitmap32 page = ReadPicture(f.File(name));
    EXPECT_EQ(page.Width(), 100) << name;
    EXPECT_EQ(page.Height(), 40) << name;
  }
  const TBitmap32 last = ReadPicture(f.File("output_x2y0.bmp"));
  const TColor32 canvas = CanvasToColor32(state->CurrentProject.CanvasColor);
  EXPECT_NE(last.Pixel(25, 20), canvas);  // a cell of mosaic column 22
  EXPECT_EQ(last.Pixel(75, 20), canvas);  // beyond the mosaic
  EXPECT_TRUE(rec.Logged("PhotoMosaic Saved to " + f.File("output_x2y0.bmp").string()));
}

TEST(DrawAllPages, DrawsColumnByColumn) {
  TJobFixture f(TJobGeometry{64, 48, 16, 16, 32, 24});
  auto state = f.NewProjectState();
  TJobRecorder rec;
  // Which page files exist each time a page is reported saved.
  std::vector<Names> seen;
  rec.OnDetail = [&](const std::string& text) {
    if (text.rfind("Saved ", 0) != 0) return;
    Names pages;
    for (const std::string& n : f.FolderFiles())
      if (n.rfind("output", 0) == 0) pages.push_back(n);
    seen.push_back(pages);
  };
  ASSERT_TRUE(RunRenderJob(*state, rec).Finished);
  const Names order = {"output_x0y0.bmp", "output_x0y1.bmp", "output_x1y0.bmp", "output_x1y1.bmp"};
  ASSERT_EQ(seen.size(), 4u);
  for (std::size_t k = 0; k < 4; ++k) {
    Names expected(order.begin(), order.begin() + std::ptrdiff_t(k) + 1);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(seen[k], expected) << k;
  }
  EXPECT_TRUE(rec.Logged("PhotoMosaic Saved to " + f.File("output_x1y1.bmp").string()));
}

TEST(DrawOnePage, WritesOnlyItsPageAndChangesNoStage) {
  struct Case {
    const char* name;
    TJobGeometry geometry;
    int col, row;
    const char* file;
    bool outside;
  };
  const std::vector<Case> cases = {
      {"inner page", {64, 48, 16, 16, 32, 24}, 1, 0, "output_x1y0.bmp", false},
      {"page beyond the grid", {64, 48, 16, 16, 32, 24}, 3, 3, "output_x3y3.bmp", true},
      {"single page", {64, 48, 16, 16, 0, 0}, 0, 0, "output.bmp", false},
      {"beside a single page", {64, 48, 16, 16, 0, 0}, 1, 0, "output_x1y0.bmp", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TJobFixture f(c.geometry);
    auto state = f.NewProjectState();
    {
      TJobRecorder quiet;
      ASSERT_TRUE(RunRenderJob(*state, quiet).Finished);
    }
    Names before;
    for (const std::string& n : f.FolderFiles())
      if (n.rfind("output", 0) != 0 || n == "output.bmp") before.push_back(n);
    const bool keepsMosaic = f.Has("output.bmp") && std::string(c.file) != "output.bmp";
    const std::string mosaic = keepsMosaic ? ReadBytes(f.File("output.bmp")) : "";
    for (const std::string& n : f.FolderFiles())
      if (n.rfind("output_", 0) == 0) f.Remove(n);
    const std::string settings = ReadBytes(f.File("project.TS8"));
    const std::string cells = ReadBytes(f.File("project.LYS"));
    state->CurrentProject.BorderColor = 0x00FF00;  // green, as 0x00BBGGRR

    TJobRecorder rec;
    DrawOnePage(*state, rec, c.col, c.row);

    Names after = before;
    if (std::string(c.file) != "output.bmp") after.push_back(c.file);
    std::sort(after.begin(), after.end());
    EXPECT_EQ(f.FolderFiles(), after);
    if (keepsMosaic) {
      EXPECT_EQ(ReadBytes(f.File("output.bmp")), mosaic);
    }
    EXPECT_EQ(ReadBytes(f.File("project.TS8")), settings);
    EXPECT_EQ(ReadBytes(f.File("project.LYS")), cells);
    EXPECT_EQ(state->CurrentProject.StageFlags, kStageDrawn);
    EXPECT_EQ(rec.Logs, (Names{"Draw Mosaics", "Clearning Main Mosaic Canvas", "drawing tiles",
                               "Draw Mosaics.......................Done",
                               "PhotoMosaic Saved to " + f.File(c.file).string()}));
    EXPECT_EQ(rec.Pauses, std::vector<int>{100});
    EXPECT_EQ(rec.RefreshViews, 1);
    const TBitmap32 page = ReadPicture(f.File(c.file));
    ASSERT_EQ(page.Width(), state->CurrentProject.PageWidth);
    const bool allBorder = std::all_of(page.Bits(), page.Bits() + page.Width() * page.Height(),
                                       [](TColor32 px) { return (px & 0xFFFFFFu) == 0x00FF00u; });
    EXPECT_EQ(allBorder, c.outside);
  }
}

TEST(DrawOnePage, UnusablePageSizeIsRefusedBeforeAnythingIsWritten) {
  TJobFixture f;
  auto state = f.NewProjectState();
  state->CurrentProject.PageHeight = -1;
  const Names before = f.FolderFiles();
  TJobRecorder rec;
  EXPECT_THROW(DrawOnePage(*state, rec, 0, 0), TRenderError);
  EXPECT_EQ(f.FolderFiles(), before);
}

}  // namespace
}  // namespace tessaro
