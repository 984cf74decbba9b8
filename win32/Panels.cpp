// The panels' drawing on the DRAWITEMSTRUCT's device context.
#include "win32/Win32Platform.h"

namespace tesselbox::platform {

void FillPanelWhite(PanelCanvas& canvas, int width, int height) {
    const RECT area{0, 0, width, height};
    FillRect(canvas.dc, &area, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
}

void BlendSurface(PanelCanvas& canvas, const SurfaceMemory& source, std::uint32_t sourceWidth,
                  std::uint32_t sourceHeight, std::uint32_t destinationWidth,
                  std::uint32_t destinationHeight) {
    // The surfaces hold premultiplied colors with per-pixel alpha.
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    AlphaBlend(canvas.dc, 0, 0, static_cast<int>(destinationWidth),
               static_cast<int>(destinationHeight), source.dc, 0, 0, static_cast<int>(sourceWidth),
               static_cast<int>(sourceHeight), blend);
}

void FramePanelBlack(PanelCanvas& canvas, int width, int height) {
    const RECT area{0, 0, width, height};
    FrameRect(canvas.dc, &area, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
}

}  // namespace tesselbox::platform
