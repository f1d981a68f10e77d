// Cell signatures over the main image, the main image's preparation and the layer
// mask weights.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <system_error>

#include "core/app_state.h"
#include "engine/layers.h"
#include "image/ooimgfunction2007.h"
#include "image/stretch.h"

namespace tessaro {

namespace {

// srcRect of src drawn into dstRect of dst as TBitmap32::DrawTo does for an opaque
// source: the same clipping, the same-size shortcut and the same resampler with src's
// StretchFilter. Unlike DrawTo it does not depend on src's DrawMode, so the shared main
// image is only read and several threads may draw from it at once.
void DrawOpaque(const TBitmap32& src, TBitmap32& dst, const TRect& dstRect, const TRect& srcRectIn) {
  if (src.Empty() || dst.Empty() || dstRect.IsEmpty()) return;
  const TRect srcRect = IntersectRect(srcRectIn, src.BoundsRect());
  if (srcRect.IsEmpty()) return;
  const TRect target = IntersectRect(dstRect, dst.BoundsRect());
  if (target.IsEmpty()) return;
  const std::size_t rowBytes = std::size_t(target.Width()) * sizeof(TColor32);
  if (srcRect.Width() == dstRect.Width() && srcRect.Height() == dstRect.Height()) {
    for (int ty = target.Top; ty < target.Bottom; ++ty)
      std::memcpy(dst.ScanLine(ty) + target.Left,
                  src.ScanLine(srcRect.Top + ty - dstRect.Top) + srcRect.Left +
                      (target.Left - dstRect.Left),
                  rowBytes);
    return;
  }
  const TRect visible{target.Left - dstRect.Left, target.Top - dstRect.Top,
                      target.Right - dstRect.Left, target.Bottom - dstRect.Top};
  TBitmap32 resampled;
  StretchResample(src, srcRect, dstRect.Width(), dstRect.Height(), visible, src.StretchFilter,
                  resampled);
  for (int ty = target.Top; ty < target.Bottom; ++ty)
    std::memcpy(dst.ScanLine(ty) + target.Left, resampled.ScanLine(ty - target.Top), rowBytes);
}

// A length or coordinate relative to the cell's origin on a scratch reduced by
// num / den (1 / 1 for every cell the layers build).
int ScaleEdge(std::int64_t v, std::int64_t num, std::int64_t den) { return int(v * num / den); }

bool IsFile(const std::filesystem::path& p) {
  std::error_code ec;
  return std::filesystem::is_regular_file(p, ec);
}

}  // namespace

ImageSignature ComputeCellSignature(const TBitmap32& mainImage, int mosaicWidth,
                                    int mosaicHeight, const TRect& r) {
  const std::int64_t w = std::max<std::int64_t>(0, std::int64_t(r.Right) - r.Left);
  const std::int64_t h = std::max<std::int64_t>(0, std::int64_t(r.Bottom) - r.Top);
  // Layers never build cells beyond kMaxCellEdge; a larger rectangle from elsewhere
  // is drawn into a scratch reduced to that edge, so it cannot allocate without bound.
  const std::int64_t longest = std::max(w, h);
  const std::int64_t num = longest > kMaxCellEdge ? kMaxCellEdge : 1;
  const std::int64_t den = longest > kMaxCellEdge ? longest : 1;

  // A reduced edge keeps at least one pixel, so a long thin rectangle keeps its colour.
  auto scaled = [&](std::int64_t v) { return v > 0 ? std::max(1, ScaleEdge(v, num, den)) : 0; };
  TBitmap32 scratch(scaled(w), scaled(h));
  scratch.Clear(clBlack32);
  if (mosaicWidth > 0 && mosaicHeight > 0 && !mainImage.Empty() && !scratch.Empty()) {
    const TRect k{std::clamp(r.Left, 0, mosaicWidth), std::clamp(r.Top, 0, mosaicHeight),
                  std::clamp(r.Right, 0, mosaicWidth), std::clamp(r.Bottom, 0, mosaicHeight)};
    const std::int64_t mw = mainImage.Width(), mh = mainImage.Height();
    const TRect source{int(mw * k.Left / mosaicWidth), int(mh * k.Top / mosaicHeight),
                       int(mw * k.Right / mosaicWidth), int(mh * k.Bottom / mosaicHeight)};
    const int left = ScaleEdge(std::int64_t(k.Left) - r.Left, num, den);
    const int top = ScaleEdge(std::int64_t(k.Top) - r.Top, num, den);
    const TRect dest{left, top, left + scaled(std::int64_t(k.Right) - k.Left),
                     top + scaled(std::int64_t(k.Bottom) - k.Top)};
    DrawOpaque(mainImage, scratch, dest, source);
  }
  return ComputeSignature(scratch);
}

ImageSignature ComputeCellSignature(const TAppState& state, const TRect& r) {
  return ComputeCellSignature(state.MainImage, state.CurrentProject.MosaicWidth,
                              state.CurrentProject.MosaicHeight, r);
}

TImageSize PreparedMainImageSize(int width, int height, std::int64_t cells) {
  const TImageSize same{width, height};
  const std::int64_t pixels = std::int64_t(width) * height;
  if (width <= 0 || height <= 0 || pixels >= 16 * cells) return same;
  double f = double(16 * cells) / double(pixels);
  // Both axes grow by f, so the area by f squared; a tiny picture under many cells
  // would otherwise ask for an image of any size.
  if (double(pixels) * f * f > double(kMaxPreparedPixels))
    f = std::sqrt(double(kMaxPreparedPixels) / double(pixels));
  if (!(f > 1.0)) return same;
  return {int(width * f), int(height * f)};
}

void PrepareMainImage(TAppState& state) {
  TBitmap32& main = state.MainImage;
  const std::int64_t cells = CountPatternCells(state.CurrentProject, state.CurrentProject.Pattern);
  const TImageSize size = PreparedMainImageSize(main.Width(), main.Height(), cells);
  if (size.Width != main.Width() || size.Height != main.Height())
    ResampleBitmap(main, main, size.Width, size.Height);
  main.DrawMode = dmBlend;
  main.CombineMode = cmBlend;
  main.StretchFilter = sfSpline;
  main.MasterAlpha = 255;
}

void ComputeLayerMaskSignatures(TAppState& state) {
  const TTSPattern& pattern = state.CurrentProject.Pattern;
  for (int n = 1; n <= kMaxPatternLayers; ++n) {
    const TLayerPattern& lp = pattern.Layers[std::size_t(n)];
    if (!lp.Enabled) continue;
    TBitmap32 mask;
    if (lp.HasMask == 1 && IsFile(lp.MaskImage)) LoadPicture(mask, lp.MaskImage);
    auto& weights = state.LayerMaskWeights[std::size_t(n)];
    if (mask.Empty())
      weights.fill(1.0f);
    else
      GreySignatureVector(mask, weights);
  }
}

}  // namespace tessaro
