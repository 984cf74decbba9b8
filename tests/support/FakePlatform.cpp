#include "tests/support/FakePlatform.h"

#include <algorithm>

namespace tesselbox::platform {

struct SurfaceMemory {
    std::uint32_t width;
    std::uint32_t height;
    std::vector<Pixel> pixels;  // bottom row first
};

struct Picture {
    fake::FakePicture data;
    const Pixel* inCallersMemory = nullptr;  // where DecodePicture put the pixels
};

SurfaceMemory* CreateSurfaceMemory(std::uint32_t width, std::uint32_t height, Pixel** bits) {
    *bits = nullptr;
    if (width == 0 || height == 0) return nullptr;
    fake::Script& script = fake::CurrentScript();
    if (script.failingSurfaces > 0) {
        --script.failingSurfaces;
        return nullptr;
    }
    auto* memory = new SurfaceMemory{width, height, std::vector<Pixel>(std::size_t{width} * height, 0)};
    *bits = memory->pixels.data();
    script.mostSurfaces = std::max(script.mostSurfaces, ++script.liveSurfaces);
    return memory;
}

void ReleaseSurfaceMemory(SurfaceMemory* memory) {
    if (memory == nullptr) return;
    --fake::CurrentScript().liveSurfaces;
    delete memory;
}

namespace {

DecodedPicture Decode(const std::filesystem::path& path, std::uint64_t maxPixels) {
    fake::Script& script = fake::CurrentScript();
    script.lastDecodeLimit = maxPixels;
    const auto found = script.pictures.find(path);
    if (found == script.pictures.end()) {
        return {nullptr, 0, 0, DecodeStatus::Unreadable, "not a picture", {}};
    }
    const fake::FakePicture& picture = found->second;
    if (std::uint64_t{picture.width} * picture.height > maxPixels) {
        return {nullptr, picture.width, picture.height, DecodeStatus::TooLarge, "too large", {}};
    }
    ++script.livePictures;
    return {new Picture{picture}, picture.width, picture.height, DecodeStatus::Ok, {}, {}};
}

}  // namespace

void DisposePicture(Picture* picture) {
    if (picture == nullptr) return;
    --fake::CurrentScript().livePictures;
    delete picture;
}

// Nearest-neighbour scaling: enough to tell the working size from the picture's size.
bool DrawPicture(const Picture& picture, SurfaceMemory& target, std::uint32_t width,
                 std::uint32_t height) {
    if (fake::CurrentScript().failDrawing) return false;
    const fake::FakePicture& from = picture.data;
    // The source column of each target column, worked out once: the largest tests draw 2^28 pixels.
    std::vector<std::size_t> columns(width);
    for (std::uint32_t x = 0; x < width; ++x) {
        columns[x] = static_cast<std::size_t>(x) * from.width / width;
    }
    for (std::uint32_t y = 0; y < height; ++y) {
        const std::size_t sy = std::size_t{y} * from.height / height;
        const Pixel* source = from.pixels.data() + sy * from.width;
        Pixel* row = target.pixels.data() + std::size_t{height - 1 - y} * width;
        for (std::uint32_t x = 0; x < width; ++x) {
            row[x] = from.opaque ? source[columns[x]] | 0xFF000000u : source[columns[x]];
        }
    }
    return true;
}

ShownPixels PicturePixels(const Picture& picture) {
    if (fake::CurrentScript().hidePixels) return {};
    if (picture.inCallersMemory != nullptr) return {picture.inCallersMemory, picture.data.opaque};
    return {picture.data.pixels.data(), picture.data.opaque};
}

DecodedPicture DecodePicture(const std::filesystem::path& path, std::uint64_t maxPixels,
                             const PictureMemory& memoryFor, const SizeCheck& checkSize) {
    DecodedPicture decoded = Decode(path, maxPixels);
    if (decoded.status == DecodeStatus::Ok && checkSize) {
        if (auto refused = checkSize(decoded.width, decoded.height)) {
            DisposePicture(decoded.picture);
            return {nullptr, decoded.width, decoded.height, DecodeStatus::TooLarge, std::move(*refused), {}};
        }
    }
    if (decoded.status != DecodeStatus::Ok || !memoryFor || !fake::CurrentScript().decodeInPlace) {
        return decoded;
    }
    Picture& picture = *decoded.picture;
    if (Pixel* memory = memoryFor(decoded.width, decoded.height)) {
        std::copy(picture.data.pixels.begin(), picture.data.pixels.end(), memory);
        picture.inCallersMemory = memory;
    }
    return decoded;
}

void StartPictureServices() { ++fake::CurrentScript().servicesRunning; }
void StopPictureServices() { --fake::CurrentScript().servicesRunning; }

Answer ShowMessage(const std::string& text, MessageKind kind) {
    fake::Script& script = fake::CurrentScript();
    script.messages.emplace_back(text, kind);
    if (kind == MessageKind::Error || script.messageAnswers.empty()) {
        return kind == MessageKind::Error ? Answer::Ok : Answer::No;
    }
    const Answer answer = script.messageAnswers.front();
    script.messageAnswers.pop_front();
    return answer;
}

namespace {

std::optional<std::filesystem::path> Choose(bool save, FileDialogRecord& record,
                                            std::span<const FileFilter> filters,
                                            const char* defaultExtension) {
    fake::Script& script = fake::CurrentScript();
    fake::DialogCall call{save, {}, defaultExtension, record.filterIndex};
    for (const FileFilter& filter : filters) call.filterTexts.emplace_back(filter.text);
    script.dialogs.push_back(call);
    if (script.dialogAnswers.empty()) return std::nullopt;
    const fake::DialogAnswer answer = script.dialogAnswers.front();
    script.dialogAnswers.pop_front();
    if (answer.path) record.filterIndex = answer.filterShown;
    return answer.path;
}

}  // namespace

std::optional<std::filesystem::path> ChooseOpenFile(FileDialogRecord& record,
                                                     std::span<const FileFilter> filters,
                                                     const char* defaultExtension) {
    return Choose(false, record, filters, defaultExtension);
}

std::optional<std::filesystem::path> ChooseSaveFile(FileDialogRecord& record,
                                                     std::span<const FileFilter> filters,
                                                     const char* defaultExtension) {
    return Choose(true, record, filters, defaultExtension);
}

namespace {

// Panel point (x, y), top row first.
std::size_t PanelIndex(const PanelCanvas& canvas, int x, int y) {
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(canvas.width) +
           static_cast<std::size_t>(x);
}

}  // namespace

void FillPanelWhite(PanelCanvas& canvas, int width, int height) {
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) canvas.pixels[PanelIndex(canvas, x, y)] = 0xFFFFFFFFu;
}

void BlendSurface(PanelCanvas& canvas, const SurfaceMemory& source, std::uint32_t sourceWidth,
                  std::uint32_t sourceHeight, std::uint32_t destinationWidth,
                  std::uint32_t destinationHeight) {
    for (std::uint32_t y = 0; y < destinationHeight; ++y) {
        for (std::uint32_t x = 0; x < destinationWidth; ++x) {
            const std::size_t sx = std::size_t{x} * sourceWidth / destinationWidth;
            const std::size_t sy = std::size_t{y} * sourceHeight / destinationHeight;
            const Pixel s = source.pixels[(sourceHeight - 1 - sy) * sourceWidth + sx];
            Pixel& d = canvas.pixels[std::size_t{y} * static_cast<std::size_t>(canvas.width) + x];
            const unsigned keep = 255u - AlphaOf(s);
            auto channel = [&](int shift) {
                return ((s >> shift) & 0xFFu) + (((d >> shift) & 0xFFu) * keep + 127u) / 255u;
            };
            d = 0xFF000000u | (channel(16) << 16) | (channel(8) << 8) | channel(0);
        }
    }
}

void FramePanelBlack(PanelCanvas& canvas, int width, int height) {
    for (int x = 0; x < width; ++x) {
        canvas.pixels[static_cast<std::size_t>(x)] = 0xFF000000u;
        canvas.pixels[PanelIndex(canvas, x, height - 1)] = 0xFF000000u;
    }
    for (int y = 0; y < height; ++y) {
        canvas.pixels[PanelIndex(canvas, 0, y)] = 0xFF000000u;
        canvas.pixels[PanelIndex(canvas, width - 1, y)] = 0xFF000000u;
    }
}

void InvalidatePanel(int controlId) { fake::CurrentScript().invalidated.push_back(controlId); }

void RunBusy(const std::function<void()>& work) {
    ++fake::CurrentScript().busyRuns;
    work();
}

}  // namespace tesselbox::platform

namespace tesselbox::fake {

Script& CurrentScript() {
    static Script script;
    return script;
}

void Reset() { CurrentScript() = Script{}; }

FakePicture SolidPicture(std::uint32_t width, std::uint32_t height, Pixel color) {
    return {width, height, std::vector<Pixel>(std::size_t{width} * height, color)};
}

}  // namespace tesselbox::fake
