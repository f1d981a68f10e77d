// Creating a project: the folder's name and place, the main image copy, the picture
// list, the hand-over into the live project, refusals, and projects made within one
// second.
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/project_files.h"
#include "image/jpeg_codec.h"
#include "library/TsPhotoLib.h"
#include "library/library_fixtures.h"
#include "render/project_creation.h"
#include "support/temp_dir.h"

namespace tessaro {
namespace {

namespace fs = std::filesystem;
using libtest::FileListText;
using libtest::LibCfgText;
using libtest::ReadText;
using libtest::WriteText;
using Names = std::vector<std::string>;

std::tm Time(int year, int month, int day, int hour, int minute, int second) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  return t;
}
const std::tm kMarch7 = Time(2024, 3, 7, 14, 5, 9);

Names Tree(const fs::path& root) {
  Names names;
  for (const auto& e : fs::recursive_directory_iterator(root))
    names.push_back(fs::relative(e.path(), root).string());
  std::sort(names.begin(), names.end());
  return names;
}

Names Lines(const fs::path& file) {
  std::vector<std::string> lines;
  EXPECT_TRUE(ReadPictureList(file, lines)) << file;
  return lines;
}

// A scratch folder with a main image, two pictures of its own, a library whose file
// list names a picture that is there and one that is not, and the Mosaics folder.
class CreationFixture {
 public:
  CreationFixture() {
    fs::create_directories(Temp / "Mosaics");
    MainImage = Picture("Pics/Sunset.jpg");
    Own = {Picture("Own/a.jpg"), Picture("Own/b.jpg")};
    Library = Temp / "PhotoLibs" / "Flowers";
    Picture("PhotoLibs/Flowers/rose.jpg");
    WriteText(Library / kLibCfgFileName, LibCfgText(0, 2, 1, ""));
    WriteText(Library / kFileListFileName, FileListText({"rose.jpg", "gone.jpg"}));
    InitializeAppState(State, Temp / "app");
    Wizard.OrgMainimageFilename = MainImage;
    Wizard.MosaicWidth = 2000;
    Wizard.PageWidth = 500;
  }

  std::string Picture(const std::string& relative) const {
    TBitmap32 b(24, 16);
    b.Clear(0xFF336699u);
    fs::create_directories((Temp / relative).parent_path());
    SaveJpeg(b, Temp / relative, 90, false);
    return (Temp / relative).string();
  }

  TNewProjectRequest Request() const {
    TNewProjectRequest r;
    r.ProjectDirBox = (Temp / "Mosaics").string() + "/";
    r.Libraries = {Library};
    r.OwnPictures = Own;
    return r;
  }

  TNewProjectResult Create(const TNewProjectRequest& r, const std::tm& t = kMarch7) {
    return CreateProject(State, Wizard, r, t);
  }

  testing_support::TempDir Temp;
  std::string MainImage;
  std::vector<std::string> Own;
  fs::path Library;
  TAppState State;
  TtsProject07 Wizard;
};

TEST(ProjectTimestamp, NumbersWithoutLeadingZerosJoinedByDashes) {
  EXPECT_EQ(ProjectTimestamp(Time(2024, 3, 7, 14, 5, 9)), "2024-3-7-14-5-9");
  EXPECT_EQ(ProjectTimestamp(Time(2024, 12, 31, 23, 59, 59)), "2024-12-31-23-59-59");
  EXPECT_EQ(ProjectTimestamp(Time(2000, 1, 1, 0, 0, 0)), "2000-1-1-0-0-0");
  EXPECT_EQ(ProjectTimestamp(Time(1999, 10, 10, 10, 10, 10)), "1999-10-10-10-10-10");
}

TEST(CreateProject, NamesThePlacesAndCopiesTheMainImage) {
  struct Case {
    const char* mainImage;  // relative to the scratch folder
    const char* box;        // appended to the scratch folder
    const char* folder;     // expected, relative to the scratch folder
    const char* copy;
  };
  const std::vector<Case> cases = {
      {"Pics/Sunset.jpg", "/Mosaics/", "Mosaics/Sunset-2024-3-7-14-5-9", "mainimage.jpg"},
      {"Pics/Beach.JPG", "/Mosaics/", "Mosaics/Beach-2024-3-7-14-5-9", "mainimage.JPG"},
      {"Pics/my.photo.bmp", "/Mosaics/", "Mosaics/my.photo-2024-3-7-14-5-9", "mainimage.bmp"},
      // Only the folder part of the box counts.
      {"Pics/Sunset.jpg", "/Mosaics", "Sunset-2024-3-7-14-5-9", "mainimage.jpg"},
      {"Pics/Sunset.jpg", "/Mosaics/half-typed", "Mosaics/Sunset-2024-3-7-14-5-9", "mainimage.jpg"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.mainImage) + " in " + c.box);
    CreationFixture f;
    f.Wizard.OrgMainimageFilename = f.Picture(c.mainImage);
    TNewProjectRequest r = f.Request();
    r.ProjectDirBox = f.Temp.path().string() + c.box;

    const TNewProjectResult result = f.Create(r);
    ASSERT_TRUE(result.Created) << result.Error;
    const fs::path folder = f.Temp / c.folder;
    EXPECT_EQ(result.Folder, folder);
    const TtsProject07& p = f.State.CurrentProject;
    EXPECT_EQ(p.Projectpath, folder.string());
    EXPECT_EQ(p.Projectname, folder.filename().string());
    EXPECT_EQ(p.MainimageFilename, (folder / c.copy).string());
    EXPECT_EQ(p.OrgMainimageFilename, f.Wizard.OrgMainimageFilename);
    EXPECT_EQ(ReadText(folder / c.copy), ReadText(f.Wizard.OrgMainimageFilename));
    EXPECT_EQ(Tree(folder), (Names{"imglist.lst", c.copy, "project.TS8", "project.ini"}));
  }
}

TEST(CreateProject, HandsTheWorkingProjectOverAndSavesIt) {
  for (bool autoRepeat : {true, false}) {
    SCOPED_TRACE(autoRepeat);
    CreationFixture f;
    f.State.CurrentProject.StageFlags = kStageDrawn;  // the project open before
    f.Wizard.StageFlags = kStageCellsAssigned;        // left from an earlier use
    TNewProjectRequest r = f.Request();
    r.AutoRepeatLimit = autoRepeat;
    r.SafeModeRendering = autoRepeat;
    r.FastModeRendering = !autoRepeat;

    const TNewProjectResult result = f.Create(r);
    ASSERT_TRUE(result.Created) << result.Error;
    const TtsProject07& p = f.State.CurrentProject;
    EXPECT_EQ(p.StageFlags, kStageNew);
    EXPECT_EQ(p.AutoRepeatLimit, autoRepeat ? 1 : 0);
    EXPECT_EQ(p.MosaicWidth, 2000);
    EXPECT_EQ(p.PageWidth, 500);
    EXPECT_EQ(f.State.Library.SafeModeRendering, autoRepeat ? 1 : 0);
    EXPECT_EQ(f.State.Library.FastModeRendering, autoRepeat ? 0 : 1);

    // The saved project opens as it was made.
    TAppState reopened;
    InitializeAppState(reopened, f.Temp / "app");
    LoadProject(reopened, result.Folder / kProjectSettingsFileName);
    EXPECT_EQ(reopened.CurrentProject.Projectpath, p.Projectpath);
    EXPECT_EQ(reopened.CurrentProject.Projectname, p.Projectname);
    EXPECT_EQ(reopened.CurrentProject.MainimageFilename, p.MainimageFilename);
    EXPECT_EQ(reopened.CurrentProject.StageFlags, kStageNew);
    EXPECT_EQ(reopened.CurrentProject.MosaicWidth, 2000);
    EXPECT_EQ(reopened.RenderCellImgList, f.State.RenderCellImgList);
  }
}

TEST(CreateProject, ListsLibraryPicturesThenOwnOnes) {
  struct Case {
    bool acceptedOnly;
    bool listsMissing;
  };
  for (const Case& c : {Case{false, true}, Case{true, false}}) {
    SCOPED_TRACE(c.acceptedOnly);
    CreationFixture f;
    f.State.RenderCellImgList = {"left over"};
    TNewProjectRequest r = f.Request();
    r.AcceptedTypesOnly = c.acceptedOnly;
    const TNewProjectResult result = f.Create(r);
    ASSERT_TRUE(result.Created) << result.Error;

    Names expected = {(f.Library / "rose.jpg").string()};
    if (c.listsMissing) expected.push_back((f.Library / "gone.jpg").string());
    expected.insert(expected.end(), f.Own.begin(), f.Own.end());
    EXPECT_EQ(Lines(result.Folder / "imglist.lst"), expected);
    EXPECT_EQ(f.State.RenderCellImgList, expected);
    EXPECT_EQ(result.PictureCount, int(expected.size()));
    EXPECT_EQ(result.PicturesLeftOut, 0);
  }
}

TEST(CreateProject, RefusesWithoutWritingAnything) {
  struct Case {
    const char* name;
    void (*change)(CreationFixture&, TNewProjectRequest&);
    const char* errorPart;
  };
  const std::vector<Case> cases = {
      {"main image missing",
       [](CreationFixture& f, TNewProjectRequest&) {
         f.Wizard.OrgMainimageFilename = (f.Temp / "Pics/none.jpg").string();
       },
       "does not exist"},
      {"no main image chosen",
       [](CreationFixture& f, TNewProjectRequest&) { f.Wizard.OrgMainimageFilename.clear(); },
       "No main image"},
      {"main image is a folder",
       [](CreationFixture& f, TNewProjectRequest&) {
         f.Wizard.OrgMainimageFilename = (f.Temp / "Pics").string();
       },
       "does not exist"},
      {"main image is no picture",
       [](CreationFixture& f, TNewProjectRequest&) {
         WriteText(f.Temp / "Pics/notes.jpg", "just text");
         f.Wizard.OrgMainimageFilename = (f.Temp / "Pics/notes.jpg").string();
       },
       "not a JPEG or BMP"},
      {"no pictures",
       [](CreationFixture&, TNewProjectRequest& r) {
         r.Libraries.clear();
         r.OwnPictures.clear();
       },
       "You have not load any images for cells"},
      {"only unlisted pictures",
       [](CreationFixture& f, TNewProjectRequest& r) {
         r.OwnPictures = {(f.Temp / "Own/none.jpg").string()};
         r.Libraries.clear();
         r.AcceptedTypesOnly = true;
       },
       "You have not load any images for cells"},
      {"corrupt file list",
       [](CreationFixture& f, TNewProjectRequest&) {
         WriteText(f.Library / kFileListFileName, "garbage\r\n");
       },
       "corrupt"},
      {"box without a folder",
       [](CreationFixture&, TNewProjectRequest& r) { r.ProjectDirBox = "Mosaics"; }, "names no folder"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CreationFixture f;
    f.State.CurrentProject.Projectpath = "/earlier/project";
    f.State.RenderCellImgList = {"earlier picture"};
    TNewProjectRequest r = f.Request();
    c.change(f, r);
    const Names before = Tree(f.Temp.path());

    const TNewProjectResult result = f.Create(r);
    EXPECT_FALSE(result.Created);
    EXPECT_NE(result.Error.find(c.errorPart), std::string::npos) << result.Error;
    EXPECT_EQ(Tree(f.Temp.path()), before);
    EXPECT_EQ(f.State.CurrentProject.Projectpath, "/earlier/project");
    EXPECT_EQ(f.State.RenderCellImgList, Names{"earlier picture"});
  }
}

TEST(CreateProject, TilePreviewNeedsNoPictures) {
  CreationFixture f;
  f.Wizard.TilePreviewOnly = 1;
  TNewProjectRequest r = f.Request();
  r.Libraries.clear();
  r.OwnPictures.clear();
  const TNewProjectResult result = f.Create(r);
  ASSERT_TRUE(result.Created) << result.Error;
  EXPECT_EQ(result.PictureCount, 0);
  EXPECT_TRUE(Lines(result.Folder / "imglist.lst").empty());
  EXPECT_EQ(f.State.CurrentProject.TilePreviewOnly, 1);
}

TEST(CreateProject, ProjectsWithinOneSecondGetFoldersOfTheirOwn) {
  CreationFixture f;
  const TNewProjectResult first = f.Create(f.Request());
  ASSERT_TRUE(first.Created) << first.Error;
  const std::string firstIni = ReadText(first.Folder / "project.ini");
  const std::string firstList = ReadText(first.Folder / "imglist.lst");

  TNewProjectRequest other = f.Request();
  other.OwnPictures = {f.Own[1]};
  other.Libraries.clear();
  const TNewProjectResult second = f.Create(other);
  const TNewProjectResult third = f.Create(other);
  ASSERT_TRUE(second.Created) << second.Error;
  ASSERT_TRUE(third.Created) << third.Error;

  const fs::path mosaics = f.Temp / "Mosaics";
  EXPECT_EQ(first.Folder, mosaics / "Sunset-2024-3-7-14-5-9");
  EXPECT_EQ(second.Folder, mosaics / "Sunset-2024-3-7-14-5-9_2");
  EXPECT_EQ(third.Folder, mosaics / "Sunset-2024-3-7-14-5-9_3");
  EXPECT_EQ(f.State.CurrentProject.Projectname, "Sunset-2024-3-7-14-5-9_3");
  EXPECT_EQ(f.State.CurrentProject.MainimageFilename, (third.Folder / "mainimage.jpg").string());
  // The earlier project is untouched.
  EXPECT_EQ(ReadText(first.Folder / "project.ini"), firstIni);
  EXPECT_EQ(ReadText(first.Folder / "imglist.lst"), firstList);
  EXPECT_EQ(Lines(second.Folder / "imglist.lst"), Names{f.Own[1]});

  // A later second is a name of its own again.
  const TNewProjectResult later = f.Create(other, Time(2024, 3, 7, 14, 5, 10));
  ASSERT_TRUE(later.Created);
  EXPECT_EQ(later.Folder, mosaics / "Sunset-2024-3-7-14-5-10");
}

TEST(CreateProject, MissingParentFolderRaisesAndLeavesNothing) {
  CreationFixture f;
  TNewProjectRequest r = f.Request();
  r.ProjectDirBox = (f.Temp / "nowhere" / "deeper").string() + "/";
  const Names before = Tree(f.Temp.path());
  EXPECT_THROW(f.Create(r), fs::filesystem_error);
  EXPECT_EQ(Tree(f.Temp.path()), before);
}

}  // namespace
}  // namespace tessaro
