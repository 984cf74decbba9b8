// The conversion with a chosen match and dithering, over the same inputs as ConvertToBlocks and
// with the same outputs: the grid, NO_BLOCK where the pixel is not opaque enough, and the preview
// painted in the chosen entries' colors. The default choice is ConvertToBlocks itself.
#pragma once

#include "convert/ConversionChoice.h"
#include "convert/ConvertToBlocks.h"

namespace tesselbox {

// Where error diffusion keeps the error it carries; linear light is what the conversion uses.
enum class ErrorSpace { LinearLight, Lab };

// Preconditions and failure as for ConvertToBlocks: false (grid untouched) only when memory runs out.
bool ConvertWithChoice(const ColorTable& table, const SourceRows& source,
                       const ConversionChoice& choice, PixelSurface& preview, BlockGrid& grid,
                       ErrorSpace space = ErrorSpace::LinearLight);
bool ConvertWithChoice(const ColorTable& table, const PixelSurface& source,
                       const ConversionChoice& choice, PixelSurface& preview, BlockGrid& grid,
                       ErrorSpace space = ErrorSpace::LinearLight);

}  // namespace tesselbox
