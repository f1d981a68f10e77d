// The tile book of a tile mosaic: "TileIDandCount.txt" and the sample sheets
// "TileID_Count_Sample_" n ".bmp".
#include <cstdint>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "image/canvas.h"
#include "image/ooimgfunction2007.h"
#include "render/report_text.h"
#include "render/reports.h"

namespace tessaro {

using namespace report_text;

namespace {

std::string IdLine(int id, std::int32_t count) {
  return " ID " + std::to_string(id) + " Count: " + std::to_string(count);
}

constexpr int kSheetWidth = 600, kSheetHeight = 1000;
constexpr int kSlotsPerColumn = 10, kSlotsPerSheet = 30;
constexpr int kSlotWidth = 200, kSlotHeight = 100;
constexpr int kPreviewSize = 64, kPreviewX = 16, kPreviewY = 24;
constexpr int kSheetFontHeight = 10, kNameLineY = 12;

std::string SheetName(int sheetNo) {
  std::string name = "TileID_Count_Sample_";
  name += std::to_string(sheetNo);
  name += ".bmp";
  return name;
}

}  // namespace

void WriteTileCountReport(TAppState& state, int fileNameMode, const std::string& folder) {
  TReportLines lines;
  int id = 0;
  std::int64_t tiles = 0;
  for (const int k : UsedPictures(state)) {
    const std::int32_t c = UsageOf(state, k);
    lines.push_back(IdLine(id, c) + TileNamePart(state, fileNameMode, k));
    tiles += c;
    ++id;
  }
  lines.push_back("-----------");
  lines.push_back("Total Used Tiles: " + std::to_string(id));
  lines.push_back("Total Tile Count: " + std::to_string(tiles));
  SaveReportLines(TilePlanFolder(state, folder) / "TileIDandCount.txt", lines);
}

void WriteTileSamples(TAppState& state, int fileNameMode, const std::string& folder) {
  const std::filesystem::path target = TilePlanFolder(state, folder);
  TBitmap32 sheet(kSheetWidth, kSheetHeight);
  sheet.Clear(clWhite32);
  sheet.Canvas().Font.Height = kSheetFontHeight;
  int slot = 0, sheetNo = 0, id = 0;
  for (const int k : UsedPictures(state)) {
    const int x = (slot / kSlotsPerColumn) * kSlotWidth;
    const int y = (slot % kSlotsPerColumn) * kSlotHeight;
    sheet.Textout(x, y, IdLine(id, UsageOf(state, k)));
    sheet.Textout(x, y + kNameLineY, TileNamePart(state, fileNameMode, k));

    // A fresh bitmap per picture: a file that cannot be decoded leaves its preview
    // white instead of showing the picture before it.
    TBitmap32 picture;
    LoadPicture(picture, PictureFileOf(state, k));
    TBitmap32 preview;
    FitPreview(picture, preview, {0, 0, kPreviewSize, kPreviewSize});
    sheet.Draw(x + kPreviewX, y + kPreviewY, preview);

    ++slot;
    ++id;
    if (slot == kSlotsPerSheet) {
      SaveReportBitmap(target / SheetName(sheetNo), sheet);
      sheet.Clear(clWhite32);
      ++sheetNo;
      slot = 0;
    }
  }
  // The last, partly filled sheet goes wherever the full ones went: to the project
  // folder as well when the chosen folder does not exist, so no entry is lost.
  if (slot > 0) SaveReportBitmap(target / SheetName(sheetNo), sheet);
}

}  // namespace tessaro
