// The main image as a page's background.
#include "core/app_state.h"
#include "engine/mosaic_drawing.h"
#include "engine/mosaic_drawing_internal.h"
#include "image/ooimgfunction2007.h"

namespace tessaro {

// MainImage keeps these settings and this alpha afterwards. Nothing that reads it
// later depends on its alpha: cell signatures ignore the alpha byte, and the cell
// blend gives its copy of the main image an alpha of its own.
void DrawMainImageBackground(TAppState& state, TBitmap32& target, const TRect& source,
                             int alpha) {
  TBitmap32& main = state.MainImage;
  main.DrawMode = dmBlend;
  main.CombineMode = cmBlend;
  main.StretchFilter = drawing_internal::ProjectFilter(state.CurrentProject);
  main.ResetAlpha(std::uint8_t(ClampByte(alpha)));
  main.DrawTo(target, target.BoundsRect(), source);
}

}  // namespace tessaro
