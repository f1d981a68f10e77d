// Picture information: labels, previews and the optional colour data.
#include <gtest/gtest.h>

#include "image/ooimgfunction2007.h"
#include "library/TsPhotoLib.h"
#include "library_fixtures.h"

namespace tessaro {
namespace {

using libtest::ScratchDir;

TEST(PictureInfo, AspectIsFormattedWithFourDecimalsRoundedHalfUp) {
  struct Case {
    int w, h;
    const char* text;
  };
  for (const Case c : {Case{4, 3, "1.3333"}, Case{3, 2, "1.5000"}, Case{2, 3, "0.6667"},
                       Case{1, 32, "0.0313"}, Case{1, 1, "1.0000"}, Case{65500, 1, "65500.0000"},
                       Case{0, 5, ""}, Case{5, 0, ""}})
    EXPECT_EQ(FormatAspect(c.w, c.h), c.text) << c.w << "x" << c.h;
}

TEST(PictureInfo, LabelsPreviewAndSignatureOfAPicture) {
  ScratchDir dir;
  const auto file = dir / "pics" / "warm.bmp";
  libtest::WriteBmp(file, libtest::Solid(8, 6, Color32(200, 100, 50)));
  TPictureInfoOptions options;
  options.PreviewFrame = MakeRect(0, 0, 100, 100);
  const TPictureInfo info = ShowPictureInfo(file, options);
  EXPECT_EQ(info.FileName, "warm.bmp");
  EXPECT_EQ(info.SizeText, "8x6 pixels");
  EXPECT_EQ(info.AspectText, "1.3333");
  EXPECT_EQ(info.Signature.Average, (SignatureColor{124, 200, 100, 50}));
  EXPECT_EQ(info.Preview.Width(), 100);
  EXPECT_EQ(info.Preview.Height(), 75);
  EXPECT_EQ(info.Preview.Pixel(50, 40) & 0xFFFFFFu, Color32(200, 100, 50) & 0xFFFFFFu);
  EXPECT_TRUE(info.Histogram.Empty());  // colour data only on request
  EXPECT_TRUE(info.Grid64.Empty());
}

TEST(PictureInfo, ColourDataDrawsTheHistogramAndTheFourSignatureLevels) {
  ScratchDir dir;
  const auto file = dir / "half.bmp";
  TBitmap32 half = libtest::Solid(16, 16, clBlack32);
  half.FillRectS(MakeRect(8, 0, 16, 16), clWhite32);
  libtest::WriteBmp(file, half);
  TPictureInfoOptions options;
  options.ColorData = true;
  const TPictureInfo info = ShowPictureInfo(file, options);
  EXPECT_EQ(info.Histogram.Width(), 128);
  EXPECT_EQ(info.Histogram.Height(), 48);
  for (const TBitmap32* b : {&info.Average, &info.Grid4, &info.Grid16, &info.Grid64}) {
    EXPECT_EQ(b->Width(), 64);
    EXPECT_EQ(b->Height(), 64);
  }
  EXPECT_EQ(info.Grid4.Pixel(0, 0) & 0xFFFFFFu, 0u);           // left half black
  EXPECT_EQ(info.Grid4.Pixel(63, 63) & 0xFFFFFFu, 0xFFFFFFu);  // right half white
  EXPECT_EQ(info.Average.Pixel(0, 0), info.Average.Pixel(63, 63));
}

TEST(PictureInfo, GreyOptionGreysBeforeTheSignature) {
  ScratchDir dir;
  const auto file = dir / "red.bmp";
  libtest::WriteBmp(file, libtest::Solid(4, 4, Color32(255, 0, 0)));
  TPictureInfoOptions options;
  options.Grey = true;
  const TPictureInfo info = ShowPictureInfo(file, options);
  EXPECT_EQ(info.Signature.Average, (SignatureColor{76, 76, 76, 76}));
}

TEST(PictureInfo, AnUndecodableFileGivesTheEmptyPicture) {
  ScratchDir dir;
  libtest::WriteText(dir / "fake.jpg", "not a picture");
  TPictureInfoOptions options;
  options.PreviewFrame = MakeRect(0, 0, 50, 50);
  const TPictureInfo info = ShowPictureInfo(dir / "fake.jpg", options);
  EXPECT_EQ(info.SizeText, "0x0 pixels");
  EXPECT_EQ(info.AspectText, "");
  EXPECT_TRUE(info.Preview.Empty());
  EXPECT_EQ(info.Signature, ImageSignature{});
}

TEST(PictureInfo, LibraryRowsResolveWithTheCurrentLibraryAndMissingFilesShowNothing) {
  ScratchDir dir;
  libtest::WriteBmp(dir / "lib" / "a.bmp", libtest::Solid(3, 2, clWhite32));
  TPhotoLibState libs;
  libs.CurrentLibCfg.PathType = 1;
  libs.CurrentLibCfg.Path = (dir / "lib").string();
  TFileListGrid grid;
  grid.SetColCount(3);
  grid.SetRowCount(4);
  grid.SetCell(0, 1, "a.bmp");
  grid.SetCell(0, 2, "gone.bmp");
  const auto shown = ShowLibraryPictureInfo(libs, grid, 1, TPictureInfoOptions{});
  ASSERT_TRUE(shown.has_value());
  EXPECT_EQ(shown->SizeText, "3x2 pixels");
  EXPECT_EQ(shown->AspectText, "1.5000");
  EXPECT_FALSE(ShowLibraryPictureInfo(libs, grid, 2, TPictureInfoOptions{}).has_value());
  libs.CurrentLibCfg.PathType = 3;
  EXPECT_FALSE(ShowLibraryPictureInfo(libs, grid, 1, TPictureInfoOptions{}).has_value());
}

}  // namespace
}  // namespace tessaro
