// The two 300 × 300 panels: white ground, the surface blended from the top-left corner at the
// display size, a one-pixel black frame drawn over it.
#pragma once

#include "convert/PixelSurface.h"
#include "platform/WindowServices.h"

#include <cstdint>

namespace tesselbox {

struct PanelView {
    const PixelSurface& surface;
    std::uint32_t displayWidth;
    std::uint32_t displayHeight;
};

void DrawPanel(platform::PanelCanvas& canvas, const PanelView& view);

}  // namespace tesselbox
