// The panels' drawing with GDI and AlphaBlend.
#include "win32/Panels.h"

#include "win32/Pictures.h"

namespace tesselbox::win32 {

void PanelPainter::FillWhite(int width, int height) {
    const RECT area{0, 0, width, height};
    FillRect(dc_, &area, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
}

void PanelPainter::BlendSurface(const platform::SurfaceMemory& source, std::uint32_t sourceWidth,
                                std::uint32_t sourceHeight, std::uint32_t destinationWidth,
                                std::uint32_t destinationHeight) {
    // The surfaces hold premultiplied colors with per-pixel alpha.
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    AlphaBlend(dc_, 0, 0, static_cast<int>(destinationWidth), static_cast<int>(destinationHeight), source.dc, 0,
               0, static_cast<int>(sourceWidth), static_cast<int>(sourceHeight), blend);
}

void PanelPainter::FrameBlack(int width, int height) {
    const RECT area{0, 0, width, height};
    FrameRect(dc_, &area, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
}

}  // namespace tesselbox::win32
