// The panels' drawing target on Windows: the hDC of the panel's DRAWITEMSTRUCT (or, in tests, a
// surface's memory DC).
#pragma once

#include "platform/WindowServices.h"

#include <windows.h>

namespace tesselbox::win32 {

class PanelPainter final : public platform::PanelCanvas {
public:
    explicit PanelPainter(HDC dc) : dc_(dc) {}  // origin at the panel's top-left corner

    void FillWhite(int width, int height) override;
    void BlendSurface(const platform::SurfaceMemory& source, std::uint32_t sourceWidth, std::uint32_t sourceHeight,
                      std::uint32_t destinationWidth, std::uint32_t destinationHeight) override;
    void FrameBlack(int width, int height) override;

private:
    HDC dc_;
};

}  // namespace tesselbox::win32
