#include "convert/PictureImport.h"

#include "convert/Dither.h"
#include "convert/Limits.h"

#include <new>
#include <utility>

namespace tesselbox {

namespace {

ImportOutcome NoMemory(PictureSize working) {
    return {ImportStatus::OutOfMemory, "not enough memory for a picture of " +
                                        std::to_string(working.width) + " x " +
                                        std::to_string(working.height) + " pixels"};
}

ImportStatus StatusOf(platform::DecodeStatus status) {
    switch (status) {
        case platform::DecodeStatus::Ok: return ImportStatus::Ok;
        case platform::DecodeStatus::TooLarge: return ImportStatus::TooLarge;
        case platform::DecodeStatus::Unreadable: break;
    }
    return ImportStatus::Unreadable;
}

}  // namespace

PictureSize WorkingSize(PictureSize picture, bool shrinkToPanel) {
    return shrinkToPanel ? FitToPanel(picture) : picture;
}

// The roads a loaded picture can take to the grid; LoadedPicture's friend.
struct PictureRoad {
    static void Load(const std::filesystem::path& path, const platform::SizeCheck& checkSize,
                     LoadedPicture& loaded) {
        BlockGrid& memory = loaded.memory_;
        const auto memoryFor = [&memory](std::uint32_t width, std::uint32_t height) -> Pixel* {
            if (CheckWorkingSize(width, height)) return nullptr;
            try {
                ResizeZeroed(memory, std::size_t{width} * height);
            } catch (const std::bad_alloc&) {
                return nullptr;  // decoded as usual, which may still find the memory
            }
            // Zero: a damaged picture's unwritten pixels read the same on every decode. Signed and
            // unsigned 32-bit integers may alias: the grid's memory holds pixels first.
            return reinterpret_cast<Pixel*>(memory.data());
        };
        platform::DecodedPicture decoded = platform::DecodePicture(path, MAX_PICTURE_PIXELS, memoryFor, checkSize);
        loaded.picture_.reset(decoded.picture);
        loaded.size_ = {decoded.width, decoded.height};
        loaded.notes_ = std::move(decoded.notes);
        loaded.outcome_ = {StatusOf(decoded.status), std::move(decoded.message)};
        if (loaded.outcome_.ok() && !loaded.picture_) {
            loaded.outcome_ = {ImportStatus::Unreadable, "the picture could not be decoded"};
        }
        if (!loaded.outcome_.ok()) loaded.picture_.reset();
        if (!InMemory(loaded)) memory = BlockGrid();  // a picture decoded elsewhere keeps nothing there
    }

    static ImportOutcome Make(LoadedPicture& picture, const ColorTable& table,
                              const PictureRequest& request, ConvertedPicture& next) {
        const PictureSize working = request.working;
        next.working = working;
        next.display = FitToPanel(picture.size_);
        if (working == picture.size_ && !request.keepSource && working.width > 0 &&
            working.height > 0) {
            if (InMemory(picture)) return ConvertInMemory(picture, table, request, next);
            const platform::ShownPixels shown = platform::PicturePixels(*picture.picture_);
            if (shown.topRow != nullptr) {
                ImportOutcome outcome = ConvertWhereShown(shown, table, request, next);
                LetGo(picture);
                return outcome;
            }
        }
        if (!next.source.Create(working.width, working.height)) return NoMemory(working);
        if (next.source.HasPixels() && !platform::DrawPicture(*picture.picture_, *next.source.memory(),
                                                              working.width, working.height)) {
            return {ImportStatus::Unreadable, "the picture could not be drawn"};
        }
        LetGo(picture);  // drawn: its memory is better spent on the grid
        if (request.makePreview && !next.preview.Create(working.width, working.height)) {
            return NoMemory(working);
        }
        if (!ConvertWithChoice(table, next.source, request.choice, next.preview, next.grid)) {
            return NoMemory(working);
        }
        if (!request.keepSource) next.source.Release();
        return {};
    }

private:
    static bool InMemory(const LoadedPicture& loaded) {
        return loaded.picture_ && !loaded.memory_.empty() &&
               platform::PicturePixels(*loaded.picture_).topRow ==
                   reinterpret_cast<const Pixel*>(loaded.memory_.data());
    }

    static void LetGo(LoadedPicture& picture) {
        picture.picture_.reset();  // first: it may keep its pixels in memory_
        picture.memory_ = BlockGrid();
    }

    // The picture's pixels lie in our memory, which becomes the grid where they lie: one buffer of
    // the picture's size instead of two.
    static ImportOutcome ConvertInMemory(LoadedPicture& picture, const ColorTable& table,
                                         const PictureRequest& request, ConvertedPicture& next) {
        const PictureSize size = picture.size_;
        const bool opaque = platform::PicturePixels(*picture.picture_).opaque;
        BlockGrid grid = std::move(picture.memory_);
        picture.picture_.reset();
        if (request.makePreview && !next.preview.Create(size.width, size.height)) return NoMemory(size);
        if (request.choice == ConversionChoice{}) {
            if (!ConvertToBlocksInPlace(table, size.width, size.height, opaque, next.preview, grid)) {
                return NoMemory(size);
            }
            next.grid = std::move(grid);
            return {};
        }
        // Dithering reads pixels after it has chosen blocks for rows that come later in the grid,
        // and the perceptual index is faster without the row pairs: the pixels stay, the grid is new.
        const SourceRows rows{reinterpret_cast<const Pixel*>(grid.data()) +
                                  std::size_t{size.height - 1} * size.width,
                              -std::ptrdiff_t{size.width}, size.width, size.height, opaque};
        if (!ConvertWithChoice(table, rows, request.choice, next.preview, next.grid)) {
            return NoMemory(size);
        }
        return {};
    }

    // The decoded pixels are read where the platform keeps them, with no copy drawn.
    static ImportOutcome ConvertWhereShown(const platform::ShownPixels& shown, const ColorTable& table,
                                           const PictureRequest& request, ConvertedPicture& next) {
        const PictureSize size = next.working;
        if (request.makePreview && !next.preview.Create(size.width, size.height)) return NoMemory(size);
        // The grid starts at the bottom row, which the decoded picture keeps last.
        const SourceRows rows{shown.topRow + std::size_t{size.height - 1} * size.width,
                              -std::ptrdiff_t{size.width}, size.width, size.height, shown.opaque};
        if (!ConvertWithChoice(table, rows, request.choice, next.preview, next.grid)) {
            return NoMemory(size);
        }
        return {};
    }
};

LoadedPicture LoadPicture(const std::filesystem::path& path, const platform::SizeCheck& checkSize) {
    LoadedPicture loaded;
    PictureRoad::Load(path, checkSize, loaded);
    return loaded;
}

ImportOutcome MakeBlocks(LoadedPicture&& picture, const ColorTable& table,
                         const PictureRequest& request, ConvertedPicture& out) {
    if (!picture.outcome().ok()) return picture.outcome();
    if (auto refused = CheckWorkingSize(request.working.width, request.working.height)) {
        return {ImportStatus::TooLarge, *refused};
    }
    ConvertedPicture next;
    ImportOutcome outcome = PictureRoad::Make(picture, table, request, next);
    if (outcome.ok()) out = std::move(next);
    return outcome;
}

ImportOutcome ConvertAgain(const ColorTable& table, const ConversionChoice& choice,
                           ConvertedPicture& picture) {
    if (!picture.source.HasPixels()) return {ImportStatus::Unreadable, "no picture kept to convert"};
    const PictureSize size = picture.working;
    picture.preview.Release();
    picture.grid = BlockGrid();
    if (!picture.preview.Create(size.width, size.height) ||
        !ConvertWithChoice(table, picture.source, choice, picture.preview, picture.grid)) {
        picture.preview.Release();
        picture.grid = BlockGrid();
        return NoMemory(size);
    }
    return {};
}

ImportOutcome MakeMapArt(LoadedPicture&& picture, const MapPalette& palette, const MapArtRequest& request,
                         const ConversionChoice& choice, MapArt& out) {
    const PictureRequest fitted{FitToMaps(picture.size(), request), false, false, choice};
    ConvertedPicture converted;
    ImportOutcome made = MakeBlocks(std::move(picture), palette.table, fitted, converted);
    if (made.ok()) BuildMapArt(converted.grid, converted.working.width, converted.working.height, palette, request, out);
    return made;
}

}  // namespace tesselbox
