#include "app/PreviewPanels.h"

#include "convert/Limits.h"

namespace tesselbox {

void DrawPanel(platform::PanelCanvas& canvas, const PanelView& view) {
    constexpr int side = static_cast<int>(PANEL_SIZE);
    canvas.FillWhite(side, side);
    const PixelSurface& surface = view.surface;
    if (surface.HasPixels() && view.displayWidth > 0 && view.displayHeight > 0) {
        canvas.BlendSurface(*surface.memory(), surface.width(), surface.height(),
                               view.displayWidth, view.displayHeight);
    }
    canvas.FrameBlack(side, side);
}

}  // namespace tesselbox
