#include "convert/PictureImport.h"

#include "convert/Limits.h"

namespace tesselbox {

LoadedPicture LoadPicture(const std::filesystem::path& path) {
    platform::DecodedPicture decoded = platform::DecodePicture(path, MAX_PICTURE_PIXELS);
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

RenderOutcome RenderPicture(const platform::Picture& picture, PictureSize working,
                            PictureSize display, const ColorTable& table, ConvertedPicture& out) {
    if (auto refused = CheckWorkingSize(working.width, working.height)) {
        return {ImportStatus::TooLarge, *refused};
    }
    const std::string noMemory = "not enough memory for a picture of " +
                                 std::to_string(working.width) + " x " +
                                 std::to_string(working.height) + " pixels";
    ConvertedPicture next;
    next.working = working;
    next.display = display;
    if (!next.source.Create(working.width, working.height)) return {ImportStatus::TooLarge, noMemory};
    if (next.source.HasPixels() &&
        !platform::DrawPicture(picture, *next.source.memory(), working.width, working.height)) {
        return {ImportStatus::Unreadable, "the picture could not be drawn"};
    }
    if (!next.preview.Create(working.width, working.height)) return {ImportStatus::TooLarge, noMemory};
    if (!ConvertToBlocks(table, next.source, next.preview, next.grid)) {
        return {ImportStatus::TooLarge, noMemory};
    }
    out = std::move(next);
    return {};
}

}  // namespace tesselbox
