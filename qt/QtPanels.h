// The panels' drawing target on Qt: a painter on the panel widget (or, in tests, on an image).
#pragma once

#include "platform/WindowServices.h"

#include <QPainter>

namespace tesselbox::platform {

struct PanelCanvas {
    QPainter& painter;  // origin at the panel's top-left corner, in logical pixels
};

}  // namespace tesselbox::platform
