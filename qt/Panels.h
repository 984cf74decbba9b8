// The panels' drawing target on Qt: a painter on the panel widget (or, in tests, on an image).
#pragma once

#include "platform/WindowServices.h"

#include <QPainter>

namespace tesselbox::qt {

class PanelPainter final : public platform::PanelCanvas {
public:
    explicit PanelPainter(QPainter& painter) : painter_(painter) {}  // origin at the panel's top-left, logical pixels

    void FillWhite(int width, int height) override;
    void BlendSurface(const platform::SurfaceMemory& source, std::uint32_t sourceWidth, std::uint32_t sourceHeight,
                      std::uint32_t destinationWidth, std::uint32_t destinationHeight) override;
    void FrameBlack(int width, int height) override;

private:
    QPainter& painter_;
};

}  // namespace tesselbox::qt
