// The road from a picture file to a converted picture, shared by the window and the command line:
// decode, then draw at the working size and convert. Nothing here asks the user anything.
#pragma once

#include "convert/ConvertToBlocks.h"
#include "convert/FitToPanel.h"
#include "convert/PixelSurface.h"
#include "palette/ColorTable.h"
#include "platform/Platform.h"

#include <filesystem>
#include <memory>
#include <string>

namespace tesselbox {

enum class ImportStatus { Ok, Unreadable, TooLarge };

struct PictureDisposer {
    void operator()(platform::Picture* picture) const { platform::DisposePicture(picture); }
};

struct LoadedPicture {
    std::unique_ptr<platform::Picture, PictureDisposer> picture;
    PictureSize size;
    ImportStatus status = ImportStatus::Unreadable;
    std::string message;  // English; empty when Ok
    bool inGrid = false;  // decoded into the grid given to LoadPictureInto
};

LoadedPicture LoadPicture(const std::filesystem::path& path);

// LoadPicture, but straight into `grid`'s memory where the platform can decode there (then
// inGrid), so that converting it at its own size needs no second picture-sized buffer. The
// picture must be let go before the grid; a grid that got no picture is left empty.
LoadedPicture LoadPictureInto(const std::filesystem::path& path, BlockGrid& grid);

struct ConvertedPicture {
    PictureSize working;  // the surfaces', the grid's and the schematic's size
    PictureSize display;  // the size the panels show it at
    PixelSurface source;
    PixelSurface preview;
    BlockGrid grid;
};

struct RenderOutcome {
    ImportStatus status = ImportStatus::Ok;
    std::string message;  // English; empty when Ok
};

// Draws the picture at the working size and converts it into out, which is left as it was on
// failure (a working size beyond the limits, no memory, a failed drawing).
RenderOutcome RenderPicture(const platform::Picture& picture, PictureSize working,
                            PictureSize display, const ColorTable& table, ConvertedPicture& out);

// The same in two steps, so that the decoded picture can be let go in between and the preview
// left out: a big picture then never needs more than two picture-sized buffers at once.
// Step one makes next's sizes and source surface, step two its grid and, if asked, its preview.
RenderOutcome DrawAtWorkingSize(const platform::Picture& picture, PictureSize working,
                                PictureSize display, ConvertedPicture& next);
RenderOutcome ConvertDrawn(const ColorTable& table, bool withPreview, ConvertedPicture& next);

// Both steps for a picture kept at its own size, as the command line wants it: converts the
// decoded pixels where they lie when the platform shows them, with no copy drawn and no source
// surface made; otherwise draws and converts as above. Fills next's sizes, grid and, if asked,
// preview; `picture` may be let go afterwards.
RenderOutcome ConvertAtOwnSize(const platform::Picture& picture, PictureSize size,
                               PictureSize display, const ColorTable& table, bool withPreview,
                               ConvertedPicture& next);

// The same for a picture that LoadPictureInto left in `grid`: lets the picture go and converts
// it where it lies, moving the grid into next.
RenderOutcome ConvertInGrid(LoadedPicture& loaded, BlockGrid& grid, const ColorTable& table,
                            bool withPreview, ConvertedPicture& next);

}  // namespace tesselbox
