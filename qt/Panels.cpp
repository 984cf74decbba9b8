// Panel painting on Qt. The surface is bottom-up, so it is drawn through a vertical flip rather
// than mirrored into a copy, which for a picture kept at full size would be large.
#include "qt/Panels.h"

#include "qt/Pictures.h"

#include <QPaintDevice>

namespace tesselbox::qt {

void PanelPainter::FillWhite(int width, int height) {
    painter_.fillRect(QRect(0, 0, width, height), Qt::white);
}

void PanelPainter::BlendSurface(const platform::SurfaceMemory& source, std::uint32_t sourceWidth,
                                std::uint32_t sourceHeight, std::uint32_t destinationWidth,
                                std::uint32_t destinationHeight) {
    QPainter& painter = painter_;
    const qreal ratio = painter.device()->devicePixelRatio();
    // In device pixels, so that at 1:1 on a high-DPI screen each picture pixel becomes a whole
    // square of device pixels instead of being resampled.
    const int width = qRound(destinationWidth * ratio);
    const int height = qRound(destinationHeight * ratio);
    // Enlarged by a whole multiple (map art's maps), each pixel stays a sharp square, as on Windows.
    const bool wholeMultiple = sourceWidth > 0 && sourceHeight > 0 && destinationWidth % sourceWidth == 0 &&
                               destinationHeight % sourceHeight == 0 &&
                               destinationWidth / sourceWidth == destinationHeight / sourceHeight;
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, !wholeMultiple);
    painter.scale(1 / ratio, 1 / ratio);
    painter.translate(0, height);
    painter.scale(1, -1);
    // The surface is premultiplied, so source-over here is the panels' per-pixel-alpha blend.
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.drawImage(QRect(0, 0, width, height), platform::SurfaceImage(source),
                      QRect(0, 0, int(sourceWidth), int(sourceHeight)));
    painter.restore();
}

void PanelPainter::FrameBlack(int width, int height) {
    QPainter& painter = painter_;
    painter.fillRect(QRect(0, 0, width, 1), Qt::black);
    painter.fillRect(QRect(0, height - 1, width, 1), Qt::black);
    painter.fillRect(QRect(0, 0, 1, height), Qt::black);
    painter.fillRect(QRect(width - 1, 0, 1, height), Qt::black);
}

}  // namespace tesselbox::qt
