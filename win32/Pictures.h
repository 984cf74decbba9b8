// The picture services' surfaces on Windows, as the panels and the tests reach them.
#pragma once

#include "platform/PictureServices.h"

#include <windows.h>

namespace tesselbox::platform {

// A DIB section selected into its own memory DC: GDI+ draws into it, AlphaBlend reads from it,
// and the core reads and writes its pixels directly.
struct SurfaceMemory {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previousBitmap = nullptr;
};

}  // namespace tesselbox::platform
