// Writes a small valid seed corpus for every fuzz target: make_seeds OUT_DIR gives
// OUT_DIR/<target>/ with a few files each, made by the program's own writers.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "core/app_state.h"
#include "core/inifile.h"
#include "core/project_files.h"
#include "image/bitmap32.h"
#include "image/bmp_codec.h"
#include "image/jpeg_codec.h"
#include "library/TsPhotoLib.h"
#include "library/library_signatures.h"

namespace fs = std::filesystem;
using namespace tessaro;

namespace {

void WriteText(const fs::path& file, const std::string& text) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << text;
}

TBitmap32 SmallPicture(int w, int h) {
  TBitmap32 b;
  b.SetSize(w, h);
  for (int y = 0; y < h; ++y) {
    TColor32* row = b.ScanLine(y);
    for (int x = 0; x < w; ++x) row[x] = 0xFF000000u | TColor32(x * 40) << 16 | TColor32(y * 40) << 8 | 0x80;
  }
  return b;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUT_DIR\n", argv[0]);
    return 2;
  }
  try {
    const fs::path out = argv[1];
    for (const char* t : {"fuzz_jpeg", "fuzz_bmp", "fuzz_project_ts8", "fuzz_project_lys",
                          "fuzz_libinfo", "fuzz_ini", "fuzz_filelist"})
      fs::create_directories(out / t);

    const TBitmap32 pic = SmallPicture(6, 5);
    SaveJpeg(pic, out / "fuzz_jpeg" / "baseline.jpg", 75, false);
    SaveJpeg(pic, out / "fuzz_jpeg" / "progressive.jpg", 50, true);
    SaveBmp32(pic, out / "fuzz_bmp" / "small32.bmp", 2835);

    // A saved project and its layers, with a few cells.
    const fs::path proj = out / "project";
    fs::create_directories(proj);
    auto state = std::make_unique<TAppState>();
    TtsProject07& p = state->CurrentProject;
    p.Projectpath = proj.string();
    p.Projectname = "seed";
    p.MainimageFilename = (proj / "mainimage.jpg").string();
    p.StageFlags = kStagePatternApplied;
    p.Layers[1].Cells.resize(3);
    p.Layers[1].CellCount = 3;
    p.Layers[2].Cells.resize(1);
    p.Layers[2].CellCount = 1;
    SaveProject(p);
    SaveLayers(p);
    fs::copy_file(proj / "project.TS8", out / "fuzz_project_ts8" / "project.TS8",
                  fs::copy_options::overwrite_existing);
    fs::copy_file(proj / "project.LYS", out / "fuzz_project_lys" / "project.LYS",
                  fs::copy_options::overwrite_existing);
    fs::copy_file(proj / "project.ini", out / "fuzz_ini" / "project.ini",
                  fs::copy_options::overwrite_existing);

    // Signature files of two pictures (LibInfo.cls) and one rotated (LibInfo_R.cls).
    TLibrarySignatureTables tables;
    tables.LibImageCount = 2;
    tables.LibDetailCount = 1;
    SaveLibraryInfo(tables, proj);
    fs::copy_file(proj / kLibInfoFileName, out / "fuzz_libinfo" / "LibInfo.cls",
                  fs::copy_options::overwrite_existing);
    fs::copy_file(proj / kLibInfoRotatedFileName, out / "fuzz_libinfo" / "LibInfo_R.cls",
                  fs::copy_options::overwrite_existing);

    WriteText(out / "fuzz_ini" / "pattern.ini",
              "; catalogue\r\n[brief]\r\nmaskcount=1\r\n[mask1,pat1]\r\nlayercount=$2\r\n"
              "[mask1,pat1,layer1]\r\nHorzFactor=0,5e1\r\nVertFactor=-1.25\r\nname = a b \r\n");

    TFileListGrid grid;
    grid.SetColCount(3);
    grid.SetRowCount(3);
    grid.SetCell(0, 0, "File Name");
    grid.SetCell(1, 0, "Size");
    grid.SetCell(0, 1, "beach, sunny.jpg");
    grid.SetCell(1, 1, "1024");
    grid.SetCell(0, 2, "sub/dir/a.bmp");
    SaveFileListGrid(grid, out / "fuzz_filelist" / "filelist.lst");
    WriteText(out / "fuzz_filelist" / "short.lst", "2,2\ncw,1,2\n1,1,x\n");

    fs::remove_all(proj);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "make_seeds: %s\n", e.what());
    return 1;
  }
  return 0;
}
