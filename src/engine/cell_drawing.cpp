// One cell: its picture prepared step by step and drawn into its rectangle (DrawCell)
// or into a rectangle of the caller's (DrawCellAt), and the tile preview's flat patch.
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>

#include "core/app_state.h"
#include "engine/cell_compare.h"
#include "engine/mosaic_drawing.h"
#include "engine/mosaic_drawing_internal.h"
#include "image/halftone.h"
#include "image/ooimgfunction2007.h"
#include "image/stretch.h"

namespace tessaro {
namespace drawing_internal {

namespace {

std::atomic<std::uint64_t> gPictureLoads{0};

// Beyond this a moved coordinate is not drawn: edges stay far inside 32 bits.
constexpr std::int64_t kMaxDrawCoordinate = std::int64_t(1) << 30;

bool IsRegularFile(const std::string& file) {
  std::error_code ec;
  return std::filesystem::is_regular_file(std::filesystem::path(file), ec);
}

// The shift that removes a cell's colour correction. Corrections come from files, so
// they are limited to what a channel can move: a shift beyond 255 clamps every value
// to the same end anyway, and no negation or table entry can overflow.
int RemovalShift(std::int32_t enhance) {
  return int(-std::clamp<std::int64_t>(enhance, -255, 255));
}

std::int32_t FinishedDifference(const ImageSignature& picture, const ImageSignature& cell) {
  return RmsDifference(EnhancedCompare(picture, cell, 0, false, false, false).Difference);
}

// The main image under place, resampled to the picture's size as ResampleBitmap does
// it (spline for an enlargement by two or more, halftone otherwise), given alpha
// `alpha` and drawn blended with the spline filter onto the picture's part that shows
// inside the mosaic. The main image is only read: its part is resampled in place
// rather than copied out, which gives the same pixels (both resamplers treat the
// source rectangle's border as the picture's edge). False when nothing was drawn.
bool BlendMainImage(const TAppState& state, const TRect& place, std::uint8_t alpha,
                    TBitmap32& picture) {
  const TtsProject07& p = state.CurrentProject;
  const TBitmap32& main = state.MainImage;
  const std::int64_t mosaicW = p.MosaicWidth, mosaicH = p.MosaicHeight;
  if (picture.Empty() || main.Empty() || mosaicW <= 0 || mosaicH <= 0) return false;
  const std::int64_t w = std::int64_t(place.Right) - place.Left;
  const std::int64_t h = std::int64_t(place.Bottom) - place.Top;
  if (w <= 0 || h <= 0) return false;

  const std::int64_t kl = std::clamp<std::int64_t>(place.Left, 0, mosaicW);
  const std::int64_t kt = std::clamp<std::int64_t>(place.Top, 0, mosaicH);
  const std::int64_t kr = std::clamp<std::int64_t>(place.Right, 0, mosaicW);
  const std::int64_t kb = std::clamp<std::int64_t>(place.Bottom, 0, mosaicH);
  if (kr <= kl || kb <= kt) return false;  // the cell lies wholly outside the mosaic

  const std::int64_t pw = picture.Width(), ph = picture.Height();
  const TRect onPicture{int(pw * (kl - place.Left) / w), int(ph * (kt - place.Top) / h),
                        int(pw * (kr - place.Left) / w), int(ph * (kb - place.Top) / h)};
  const std::int64_t mw = main.Width(), mh = main.Height();
  const TRect source{int(mw * kl / mosaicW), int(mh * kt / mosaicH), int(mw * kr / mosaicW),
                     int(mh * kb / mosaicH)};
  if (source.IsEmpty() || onPicture.IsEmpty()) return false;

  TBitmap32 part;
  if (ResampleUsesSpline(source.Width(), source.Height(), int(pw), int(ph))) {
    StretchResample(main, source, int(pw), int(ph), TRect{0, 0, int(pw), int(ph)}, sfSpline, part);
  } else {
    part.SetSize(int(pw), int(ph));
    HalftoneStretch(part, part.BoundsRect(), main, source);
  }
  part.ResetAlpha(alpha);
  part.DrawMode = dmBlend;
  part.CombineMode = cmBlend;
  part.MasterAlpha = 255;
  part.StretchFilter = sfSpline;
  part.DrawTo(picture, onPicture);
  return true;
}

}  // namespace

// A mask that would not decode draws the cells uncut, as it weighs them (a mask of
// nothing would otherwise make every cell of the layer vanish).
bool HasShape(const TTSLayer& layer) { return layer.Pattern.HasMask != 0 && !layer.MaskBitmap.Empty(); }

TCellShape::TCellShape(const TBitmap32& mask, int width, int height, TCanvasColor gapColour,
                       int gap)
    : width_(std::max(width, 0)), height_(std::max(height, 0)), gapPixel_(CanvasToColor32(gapColour)) {
  // Inside pixels keep the picture's colour and gap pixels take the gap colour: a
  // pixel is gap when it shows the gap colour over two probes of different colours.
  TBitmap32 black(width_, height_), white(width_, height_);
  black.Clear(0);
  white.Clear(0x00FFFFFFu);
  ApplyCellMask(black, black, mask, gapColour, gap);
  ApplyCellMask(white, white, mask, gapColour, gap);
  width_ = black.Width();  // a size with no pixels is 0 x 0
  height_ = black.Height();
  kind_.resize(std::size_t(width_) * std::size_t(height_));
  const TColor32* b = black.Bits();
  const TColor32* w = white.Bits();
  for (std::size_t i = 0; i < kind_.size(); ++i)
    kind_[i] = AlphaOf(b[i]) == 0 ? kTransparent
               : (b[i] == gapPixel_ && w[i] == gapPixel_) ? kGap
                                                          : kInside;
}

void TCellShape::Apply(TBitmap32& picture) const {
  picture.DrawMode = dmBlend;
  if (picture.Width() != width_ || picture.Height() != height_) return;
  const std::uint8_t* kind = kind_.data();
  for (int y = 0; y < height_; ++y, kind += width_) {
    TColor32* row = picture.ScanLine(y);
    for (int x = 0; x < width_; ++x) {
      const std::uint8_t k = kind[x];
      row[x] = k == kGap ? gapPixel_ : k == kInside ? (row[x] | 0xFF000000u) : (row[x] & 0x00FFFFFFu);
    }
  }
}

TStretchFilter ProjectFilter(const TtsProject07& project) {
  return project.StretchFilter <= sfMitchell ? TStretchFilter(project.StretchFilter) : sfSpline;
}

std::uint64_t PictureLoadCount() { return gPictureLoads.load(std::memory_order_relaxed); }

TTSLayer* LayerOf(TAppState& state, int layerNo) {
  if (layerNo < 1 || layerNo > kLayerCount) return nullptr;
  return &state.CurrentProject.Layers[std::size_t(layerNo)];
}

const std::string* CellPictureFile(const TAppState& state, std::int32_t pictureIndex) {
  if (pictureIndex < 0 || std::size_t(pictureIndex) >= state.RenderCellImgList.size())
    return nullptr;
  const std::string& file = state.RenderCellImgList[std::size_t(pictureIndex)];
  // A FIFO or device named in the list would block the decoder; it is no picture.
  return IsRegularFile(file) ? &file : nullptr;
}

bool LoadCellPicture(const TtsProject07& project, const std::string& file, TBitmap32& out) {
  TBitmap32 picture;
  gPictureLoads.fetch_add(1, std::memory_order_relaxed);
  LoadPicture(picture, std::filesystem::path(file));
  if (picture.Empty()) return false;
  if (project.CropCell) CropToAspect(picture, picture, project.CellWidth, project.CellHeight);
  if (project.MonochromeCell) GreyBitmap(picture, picture, 1);
  out = std::move(picture);
  return true;
}

void StoreMeasures(const TCellMeasures& m, TMosaicCell& cell) {
  cell.DrawnDifference = m.DrawnDifference;
  cell.MeanDeviation = m.MeanDeviation;
  cell.MaxDeviation = m.MaxDeviation;
  cell.BlendAlpha = m.BlendAlpha;
  cell.FinalDifference = m.FinalDifference;
}

void PrepareCellPicture(const TAppState& state, const TTSLayer& layer, const TMosaicCell& cell,
                        const TRect& place, const TCellSteps& steps, TBitmap32& picture,
                        TCellMeasures& out, const TCellShape* shape) {
  const TtsProject07& p = state.CurrentProject;

  if (steps.AlwaysCorrect || cell.EnhanceR != 0 || cell.EnhanceG != 0 || cell.EnhanceB != 0)
    ShiftChannels(picture, picture, RemovalShift(cell.EnhanceR), RemovalShift(cell.EnhanceG),
                  RemovalShift(cell.EnhanceB));
  if (steps.AlwaysCorrect || cell.FlipHorz != 0 || cell.FlipVert != 0)
    CopyFlipped(picture, picture, cell.FlipHorz != 0, cell.FlipVert != 0);

  // The drawing measures in colour whatever MonochromeCell says: a grey picture is
  // compared as the grey it is.
  const ImageSignature prepared = ComputeSignature(picture);
  const TColorDeviation deviation = ColorDeviation(prepared.Average, cell.Signature.Average, false);
  out.MeanDeviation = deviation.Mean;
  out.MaxDeviation = deviation.Largest;
  out.BlendAlpha = p.AlphaCurve[std::size_t(deviation.Mean)];  // Mean is 0..255
  out.DrawnDifference = FinishedDifference(prepared, cell.Signature);
  out.FinalDifference = out.DrawnDifference;  // unchanged unless the blend draws

  if ((steps.AlwaysBlend || out.BlendAlpha > 0) &&
      BlendMainImage(state, place, std::uint8_t(ClampByte(out.BlendAlpha)), picture))
    out.FinalDifference = FinishedDifference(ComputeSignature(picture), cell.Signature);

  picture.DrawMode = dmBlend;
  picture.CombineMode = cmBlend;
  picture.StretchFilter = ProjectFilter(p);
  picture.ResetAlpha(std::uint8_t(ClampByte(p.AlphaBlendPen)));

  if (steps.Rotate && cell.RotationAngle != 0)
    RotateBitmap(picture, picture, cell.RotationAngle, CanvasToColor32(p.BorderColor));
  if (!HasShape(layer)) return;
  if (shape && shape->Width() == picture.Width() && shape->Height() == picture.Height())
    shape->Apply(picture);
  else
    ApplyCellMask(picture, picture, layer.MaskBitmap, p.BorderColor, p.BorderSize);
}

bool MoveRect(const TRect& r, const TRect& origin, TRect& out) {
  const std::int64_t l = std::int64_t(r.Left) - origin.Left, t = std::int64_t(r.Top) - origin.Top;
  const std::int64_t rr = std::int64_t(r.Right) - origin.Left;
  const std::int64_t b = std::int64_t(r.Bottom) - origin.Top;
  for (std::int64_t v : {l, t, rr, b})
    if (v < -kMaxDrawCoordinate || v > kMaxDrawCoordinate) return false;
  out = TRect{int(l), int(t), int(rr), int(b)};
  return true;
}

// Mirrors TBitmap32::DrawTo(dst, dest): the same early returns, the same clipping,
// the same-size copy and otherwise the same resampling of the visible part.
void PlacePicture(TBitmap32&& picture, int targetWidth, int targetHeight, const TRect& dest,
                  TPlacement& out) {
  out.Visible = false;
  out.Pixels.SetSize(0, 0);
  if (picture.Empty() || targetWidth <= 0 || targetHeight <= 0 || dest.IsEmpty()) return;
  if (picture.DrawMode == dmBlend && picture.MasterAlpha == 0) return;
  const TRect clipped = IntersectRect(dest, TRect{0, 0, targetWidth, targetHeight});
  if (clipped.IsEmpty()) return;
  if (picture.Width() == dest.Width() && picture.Height() == dest.Height()) {
    out.X = dest.Left;
    out.Y = dest.Top;
    out.Pixels = std::move(picture);
  } else {
    const TRect visible{clipped.Left - dest.Left, clipped.Top - dest.Top, clipped.Right - dest.Left,
                        clipped.Bottom - dest.Top};
    StretchResample(picture, picture.BoundsRect(), dest.Width(), dest.Height(), visible,
                    picture.StretchFilter, out.Pixels);
    out.Pixels.DrawMode = picture.DrawMode;
    out.Pixels.CombineMode = picture.CombineMode;
    out.Pixels.MasterAlpha = picture.MasterAlpha;
    out.Pixels.OuterColor = picture.OuterColor;
    out.Pixels.StretchFilter = picture.StretchFilter;
    out.X = clipped.Left;
    out.Y = clipped.Top;
  }
  out.Visible = true;
}

void DrawPlacement(const TPlacement& placement, TBitmap32& target) {
  if (placement.Visible) placement.Pixels.DrawTo(target, placement.X, placement.Y);
}

}  // namespace drawing_internal

using namespace drawing_internal;

namespace {

// A flat patch of the cell's average colour, cut to the layer's shape.
void DrawTilePreview(TAppState& state, const TTSLayer& layer, const TMosaicCell& cell,
                     TBitmap32& target, const TRect& origin) {
  const TtsProject07& p = state.CurrentProject;
  TBitmap32& patch = state.PictureBitmap;
  patch.SetSize(128, 128);  // keeps the buffer when it has that size already
  const SignatureColor& average = cell.Signature.Average;
  patch.Clear(Color32(average.R, average.G, average.B));
  if (HasShape(layer)) ApplyCellMask(patch, patch, layer.MaskBitmap, p.BorderColor, p.BorderSize);
  TRect dest;
  if (MoveRect(cell.Bounds, origin, dest)) patch.DrawTo(target, dest);
}

}  // namespace

void DrawCell(TAppState& state, int layerNo, int index, TBitmap32& target,
              const TBitmap32* preloaded, bool usePreloaded, const TRect& origin) {
  TTSLayer* layer = LayerOf(state, layerNo);
  if (!layer || index < 0 || std::size_t(index) >= layer->Cells.size()) return;
  TMosaicCell& cell = layer->Cells[std::size_t(index)];
  const TtsProject07& p = state.CurrentProject;
  if (p.TilePreviewOnly != 0) {
    DrawTilePreview(state, *layer, cell, target, origin);
    return;
  }
  if (!cell.Assigned) return;
  const std::string* file = CellPictureFile(state, cell.PictureIndex);
  if (!file) return;

  TBitmap32& picture = state.PictureBitmap;
  if (usePreloaded && preloaded) {
    picture.Assign(*preloaded);
  } else {
    TBitmap32 loaded;
    if (!LoadCellPicture(p, *file, loaded)) return;
    picture = std::move(loaded);
  }
  TCellMeasures measures;
  PrepareCellPicture(state, *layer, cell, cell.Bounds, TCellSteps{}, picture, measures);
  StoreMeasures(measures, cell);
  TRect dest;
  if (MoveRect(cell.Bounds, origin, dest)) picture.DrawTo(target, dest);
}

// Unlike DrawCell's contract this checks that the file exists: a picture removed from
// the library since the mosaic was made draws nothing instead of the last picture
// decoded, and its cell keeps its measures.
void DrawCellAt(TAppState& state, int layerNo, int index, TBitmap32& target, const TRect& dest,
                const TRect& origin) {
  TTSLayer* layer = LayerOf(state, layerNo);
  if (!layer || index < 0 || std::size_t(index) >= layer->Cells.size()) return;
  TMosaicCell& cell = layer->Cells[std::size_t(index)];
  if (!cell.Assigned) return;
  const std::string* file = CellPictureFile(state, cell.PictureIndex);
  if (!file) return;

  TBitmap32 loaded;
  if (!LoadCellPicture(state.CurrentProject, *file, loaded)) return;
  TBitmap32& picture = state.PictureBitmap;
  picture = std::move(loaded);
  TCellMeasures measures;
  const TCellSteps steps{.AlwaysCorrect = true, .AlwaysBlend = true, .Rotate = false};
  PrepareCellPicture(state, *layer, cell, dest, steps, picture, measures);
  StoreMeasures(measures, cell);
  TRect moved;
  if (MoveRect(dest, origin, moved)) picture.DrawTo(target, moved);
}

}  // namespace tessaro
