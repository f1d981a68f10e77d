// Picture information for the panels' preview: the picture, its labels and previews.
#include <cstdio>
#include <system_error>

#include "image/ooimgfunction2007.h"
#include "library/TsPhotoLib.h"
#include "library/library_internal.h"

namespace tessaro {

std::string FormatAspect(int width, int height) {
  if (width <= 0 || height <= 0) return std::string();
  // Ten-thousandths rounded half up, exactly: a ratio such as 1 / 32 = 0.03125 must not
  // depend on how the double happens to print.
  const std::int64_t units = (std::int64_t(width) * 20000 + height) / (2 * std::int64_t(height));
  char text[32];
  std::snprintf(text, sizeof text, "%lld.%04lld", static_cast<long long>(units / 10000),
                static_cast<long long>(units % 10000));
  return text;
}

TPictureInfo ShowPictureInfo(const std::filesystem::path& file, const TPictureInfoOptions& options) {
  TPictureInfo info;
  info.FileName = file.filename().string();

  TBitmap32 picture;
  if (libinternal::IsRegularFile(file)) LoadPicture(picture, file);  // a FIFO would block
  if (options.Grey) GreyBitmap(picture, picture, 1);
  ComputeSignature(picture, info.Signature);
  FitPreview(picture, info.Preview, options.PreviewFrame);

  if (options.ColorData) {
    DrawHistogram(picture, info.Histogram, 0, THistogramSource::Bitmap);
    DrawSignaturePreview(info.Average, info.Signature, 1, false);
    DrawSignaturePreview(info.Grid4, info.Signature, 4, false);
    DrawSignaturePreview(info.Grid16, info.Signature, 16, false);
    DrawSignaturePreview(info.Grid64, info.Signature, 64, false);
  }

  info.Width = picture.Width();
  info.Height = picture.Height();
  info.SizeText = std::to_string(info.Width) + "x" + std::to_string(info.Height) + " pixels";
  if (!picture.Empty()) info.AspectText = FormatAspect(info.Width, info.Height);
  return info;
}

std::optional<TPictureInfo> ShowLibraryPictureInfo(const TPhotoLibState& libs,
                                                   const TFileListGrid& grid, int row,
                                                   const TPictureInfoOptions& options) {
  const std::string path = ResolvePicturePath(libs.CurrentLibCfg, grid.Cell(0, row));
  std::error_code ec;
  if (path.empty() || !std::filesystem::exists(path, ec)) return std::nullopt;
  return ShowPictureInfo(path, options);
}

}  // namespace tessaro
