// The picture half of the Qt platform (Qt6::Gui only, no display needed), with what the
// command-line tool and the fuzzers use beyond the seam.
#pragma once

#include "platform/PictureServices.h"

#include <QImage>

#include <cstdint>

class QIODevice;

namespace tesselbox::platform {

// Decodes from any device (a file, bytes in memory) with the same rules as DecodePicture, and
// with memoryFor as DecodePicture.
DecodedPicture DecodePictureFrom(QIODevice& device, std::uint64_t maxPixels,
                                 const PictureMemory& memoryFor = {}, const SizeCheck& checkSize = {});

// Installs the process's Qt message handler (once): the decoders' messages go with the picture
// being decoded, and what Qt says that no user can act on is dropped. The window calls it before
// its QApplication, which already speaks while it starts.
void RouteQtMessages();

// A surface's pixels as a top-row-first image (a copy), e.g. to save the preview as PNG.
QImage SurfaceToImage(const SurfaceMemory& memory);

// The surface's own image over its memory: row 0 is the picture's bottom row.
const QImage& SurfaceImage(const SurfaceMemory& memory);

}  // namespace tesselbox::platform
