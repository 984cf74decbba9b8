// Fitting a picture into the 300 × 300 panel, in double precision
// (400 × 164 fits to 300 × 122; integer arithmetic would give 123).
#pragma once

#include <cstdint>

namespace tesselbox {

struct PictureSize {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    friend bool operator==(const PictureSize&, const PictureSize&) = default;
};

PictureSize FitToPanel(PictureSize picture);
// True when a side exceeds the panel, so the user is asked whether to shrink.
bool NeedsShrinking(PictureSize picture);

}  // namespace tesselbox
