#include "convert/FitToPanel.h"

#include "convert/Limits.h"

namespace tesselbox {

PictureSize FitToPanel(PictureSize picture) {
    const std::uint32_t w = picture.width;
    const std::uint32_t h = picture.height;
    if (!NeedsShrinking(picture)) return picture;
    const double panel = PANEL_SIZE;
    if (w > h) {
        const double ratio = static_cast<double>(h) / static_cast<double>(w);
        return {PANEL_SIZE, static_cast<std::uint32_t>(ratio * panel)};
    }
    const double ratio = static_cast<double>(w) / static_cast<double>(h);
    return {static_cast<std::uint32_t>(ratio * panel), PANEL_SIZE};
}

bool NeedsShrinking(PictureSize picture) {
    return picture.width > PANEL_SIZE || picture.height > PANEL_SIZE;
}

}  // namespace tesselbox
