#include "convert/PictureImport.h"

#include "convert/Limits.h"

#include <new>
#include <utility>

namespace tesselbox {

namespace {

LoadedPicture Loaded(platform::DecodedPicture decoded) {
    LoadedPicture loaded;
    loaded.picture.reset(decoded.picture);
    loaded.size = {decoded.width, decoded.height};
    loaded.message = std::move(decoded.message);
    switch (decoded.status) {
        case platform::DecodeStatus::Ok: loaded.status = ImportStatus::Ok; break;
        case platform::DecodeStatus::TooLarge: loaded.status = ImportStatus::TooLarge; break;
        case platform::DecodeStatus::Unreadable: loaded.status = ImportStatus::Unreadable; break;
    }
    if (loaded.status == ImportStatus::Ok && !loaded.picture) {
        loaded.status = ImportStatus::Unreadable;
        loaded.message = "the picture could not be decoded";
    }
    if (loaded.status != ImportStatus::Ok) loaded.picture.reset();
    return loaded;
}

}  // namespace

LoadedPicture LoadPicture(const std::filesystem::path& path) {
    return Loaded(platform::DecodePicture(path, MAX_PICTURE_PIXELS));
}

LoadedPicture LoadPictureInto(const std::filesystem::path& path, BlockGrid& grid) {
    grid = BlockGrid();
    const auto memoryFor = [&grid](std::uint32_t width, std::uint32_t height) -> Pixel* {
        if (CheckWorkingSize(width, height)) return nullptr;
        try {
            grid.resize(std::size_t{width} * height);
        } catch (const std::bad_alloc&) {
            return nullptr;  // decoded as usual, which may still find the memory
        }
        // Signed and unsigned 32-bit integers may alias: the grid's memory holds pixels first.
        return reinterpret_cast<Pixel*>(grid.data());
    };
    LoadedPicture loaded = Loaded(platform::DecodePictureInto(path, MAX_PICTURE_PIXELS, memoryFor));
    loaded.inGrid = loaded.picture && !grid.empty() &&
                    platform::PicturePixels(*loaded.picture).topRow ==
                        reinterpret_cast<const Pixel*>(grid.data());
    if (!loaded.inGrid) grid = BlockGrid();  // a picture decoded elsewhere keeps nothing there
    return loaded;
}

namespace {

RenderOutcome NoMemory(PictureSize working) {
    return {ImportStatus::TooLarge, "not enough memory for a picture of " +
                                        std::to_string(working.width) + " x " +
                                        std::to_string(working.height) + " pixels"};
}

}  // namespace

RenderOutcome DrawAtWorkingSize(const platform::Picture& picture, PictureSize working,
                                PictureSize display, ConvertedPicture& next) {
    if (auto refused = CheckWorkingSize(working.width, working.height)) {
        return {ImportStatus::TooLarge, *refused};
    }
    next.working = working;
    next.display = display;
    if (!next.source.Create(working.width, working.height)) return NoMemory(working);
    if (next.source.HasPixels() &&
        !platform::DrawPicture(picture, *next.source.memory(), working.width, working.height)) {
        return {ImportStatus::Unreadable, "the picture could not be drawn"};
    }
    return {};
}

RenderOutcome ConvertDrawn(const ColorTable& table, bool withPreview, ConvertedPicture& next) {
    const PictureSize working = next.working;
    if (withPreview && !next.preview.Create(working.width, working.height)) return NoMemory(working);
    if (!ConvertToBlocks(table, next.source, next.preview, next.grid)) return NoMemory(working);
    return {};
}

RenderOutcome ConvertInGrid(LoadedPicture& loaded, BlockGrid& grid, const ColorTable& table,
                            bool withPreview, ConvertedPicture& next) {
    const PictureSize size = loaded.size;
    const bool opaque = platform::PicturePixels(*loaded.picture).opaque;
    loaded.picture.reset();  // its pixels are the grid's memory, about to become blocks
    next.working = size;
    next.display = FitToPanel(size);
    if (withPreview && !next.preview.Create(size.width, size.height)) return NoMemory(size);
    if (!ConvertToBlocksInPlace(table, size.width, size.height, opaque, next.preview, grid)) {
        return NoMemory(size);
    }
    next.grid = std::move(grid);
    return {};
}

RenderOutcome ConvertAtOwnSize(const platform::Picture& picture, PictureSize size,
                               PictureSize display, const ColorTable& table, bool withPreview,
                               ConvertedPicture& next) {
    const platform::ShownPixels shown = platform::PicturePixels(picture);
    if (shown.topRow == nullptr || size.width == 0 || size.height == 0) {
        RenderOutcome outcome = DrawAtWorkingSize(picture, size, display, next);
        if (outcome.status == ImportStatus::Ok) outcome = ConvertDrawn(table, withPreview, next);
        return outcome;
    }
    if (auto refused = CheckWorkingSize(size.width, size.height)) {
        return {ImportStatus::TooLarge, *refused};
    }
    next.working = size;
    next.display = display;
    if (withPreview && !next.preview.Create(size.width, size.height)) return NoMemory(size);
    // The grid starts at the bottom row, which the decoded picture keeps last.
    const SourceRows rows{shown.topRow + std::size_t{size.height - 1} * size.width,
                          -std::ptrdiff_t{size.width}, size.width, size.height, shown.opaque};
    if (!ConvertToBlocks(table, rows, next.preview, next.grid)) return NoMemory(size);
    return {};
}

RenderOutcome RenderPicture(const platform::Picture& picture, PictureSize working,
                            PictureSize display, const ColorTable& table, ConvertedPicture& out) {
    ConvertedPicture next;
    RenderOutcome outcome = DrawAtWorkingSize(picture, working, display, next);
    if (outcome.status == ImportStatus::Ok) outcome = ConvertDrawn(table, true, next);
    if (outcome.status == ImportStatus::Ok) out = std::move(next);
    return outcome;
}

}  // namespace tesselbox
