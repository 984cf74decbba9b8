// The one road from a picture file to blocks, for the window and the command line alike: load a
// picture, then make what the caller wants of it at a working size. Which memory the pixels pass
// through is chosen here, not by the callers. Nothing here asks the user anything.
#pragma once

#include "convert/ConversionChoice.h"
#include "convert/ConvertToBlocks.h"
#include "convert/FitToPanel.h"
#include "convert/MapArt.h"
#include "convert/PixelSurface.h"
#include "palette/BlockGrid.h"
#include "palette/ColorTable.h"
#include "platform/PictureServices.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace tesselbox {

enum class ImportStatus { Ok, Unreadable, TooLarge, OutOfMemory };

struct ImportOutcome {
    ImportStatus status = ImportStatus::Ok;
    std::string message;  // English, names the size and the limit where one was broken; empty when Ok
    bool ok() const { return status == ImportStatus::Ok; }
};

// A decoded picture, and the memory it was decoded into where the platform could decode into
// memory of ours: that memory becomes the grid when the picture is converted at its own size.
class LoadedPicture {
public:
    const ImportOutcome& outcome() const { return outcome_; }
    PictureSize size() const { return size_; }
    // What the decoder remarked (English), such as a damaged color profile it ignored.
    const std::vector<std::string>& notes() const { return notes_; }

private:
    struct Disposer {
        void operator()(platform::Picture* picture) const { platform::DisposePicture(picture); }
    };
    friend LoadedPicture LoadPicture(const std::filesystem::path& path,
                                     const platform::SizeCheck& checkSize);
    friend struct PictureRoad;

    ImportOutcome outcome_{ImportStatus::Unreadable, "no picture"};
    PictureSize size_;
    std::vector<std::string> notes_;
    BlockGrid memory_;  // declared before picture_, which may keep its pixels here: goes after it
    std::unique_ptr<platform::Picture, Disposer> picture_;
};

// checkSize, if any, sees the picture's size before it is decoded (see platform::SizeCheck), so
// a caller that knows its working size can refuse it, or wait for its memory, before the decode.
LoadedPicture LoadPicture(const std::filesystem::path& path, const platform::SizeCheck& checkSize = {});

// The working size of a picture: its own, or, when the user agrees to shrink it, its size fitted
// into the panel.
PictureSize WorkingSize(PictureSize picture, bool shrinkToPanel);

struct PictureRequest {
    PictureSize working;      // the surfaces', the grid's and the written file's size
    bool keepSource = true;   // the picture as drawn at the working size (the window's left panel)
    bool makePreview = true;  // the blocks' colors (the right panel, the command line's PNG)
    ConversionChoice choice = {};  // how each block is picked; every output sees the same blocks
};

struct ConvertedPicture {
    PictureSize working;
    PictureSize display;  // the size the panels show it at: the picture's own, fitted to the panel
    PixelSurface source;  // empty unless kept
    PixelSurface preview;
    BlockGrid grid;
};

// Makes what was asked for into out, which is left as it was on failure (a working size beyond
// the limits, no memory, a picture that could not be drawn). Takes the picture: its memory may
// become the grid, and it is let go as soon as it has been read, so that a big picture never needs
// more than two picture-sized buffers at once.
ImportOutcome MakeBlocks(LoadedPicture&& picture, const ColorTable& table,
                         const PictureRequest& request, ConvertedPicture& out);

// Converts the source that picture kept again with another choice, replacing its grid and preview.
// Those go first, so that converting again needs no more memory than the import did; on failure
// (no memory) the grid and preview are empty, for the caller to convert again with the choice it
// had. A picture that kept no source is left as it was.
ImportOutcome ConvertAgain(const ColorTable& table, const ConversionChoice& choice,
                           ConvertedPicture& picture);

// The road from a loaded picture: fitted to the maps, matched against palette.table with the
// choice, then built. out.refusal, as for BuildMapArt, is no failure of the import.
ImportOutcome MakeMapArt(LoadedPicture&& picture, const MapPalette& palette, const MapArtRequest& request,
                         const ConversionChoice& choice, MapArt& out);

}  // namespace tesselbox
