// Fuzzes picture import from raw bytes: the real Qt decoder, fitting into the panel, and the
// conversion road at the shrunk and at the full size, where the road that reads the decoded pixels
// in place must give the grid that the drawn copy gives. Any bytes must end in a picture or in a
// status.
#include "convert/FitToPanel.h"
#include "convert/Limits.h"
#include "convert/PictureImport.h"
#include "qt/Pictures.h"

#include <QBuffer>
#include <QByteArray>
#include <QtGlobal>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

namespace {

using namespace tesselbox;

// Smaller than MAX_PICTURE_PIXELS so that each input stays fast; the rules are the same.
constexpr std::uint64_t FUZZ_MAX_PIXELS = std::uint64_t{4096} * 4096;
// Drawing at the full size as well (the user declined shrinking) only up to this many pixels.
constexpr std::uint64_t FULL_SIZE_PIXELS = std::uint64_t{512} * 512;

std::unique_ptr<ColorTable> g_table;

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "picture import check failed: %s\n", what);
    std::abort();
}

void CheckRendered(const ImportOutcome& outcome, PictureSize working, const ConvertedPicture& out) {
    if (CheckWorkingSize(working.width, working.height)) {
        if (outcome.status != ImportStatus::TooLarge) Fail("a size beyond the limits was drawn");
        return;
    }
    if (outcome.status != ImportStatus::Ok) Fail("drawing a decoded picture failed");
    if (!(out.working == working)) Fail("working size");
    const std::uint64_t pixels = std::uint64_t{working.width} * working.height;
    if (out.grid.size() != pixels || out.source.pixelCount() != pixels ||
        out.preview.pixelCount() != pixels || out.source.HasPixels() != (pixels > 0)) {
        Fail("surface or grid size");
    }
    for (std::size_t i = 0; i < pixels; ++i) {
        const std::int32_t block = out.grid[i];
        const bool opaque = AlphaOf(out.source.bits()[i]) >= ALPHA_THRESHOLD;
        if (block == NO_BLOCK) {
            if (opaque || out.preview.bits()[i] != 0) Fail("transparent pixel");
        } else if (!opaque || block < 0 || block >= g_table->count ||
                   out.preview.bits()[i] != g_table->colors[static_cast<std::size_t>(block)]) {
            Fail("converted pixel");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    // Broken input is the point here: the decoders' complaints would only slow the fuzzer down.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    g_table = std::make_unique<ColorTable>();
    const auto colors = std::filesystem::path(TESSELBOX_SOURCE_DIR) / "Colors.txt";
    if (!LoadColorTableFile(colors, *g_table).ok()) Fail("cannot load the repository's Colors.txt");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data),
                                               static_cast<qsizetype>(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    platform::DecodedPicture decoded = platform::DecodePictureFrom(buffer, FUZZ_MAX_PIXELS);
    struct Disposer {
        void operator()(platform::Picture* p) const { platform::DisposePicture(p); }
    };
    const std::unique_ptr<platform::Picture, Disposer> picture(decoded.picture);
    const PictureSize decodedSize{decoded.width, decoded.height};

    switch (decoded.status) {
        case platform::DecodeStatus::Unreadable:
            if (picture || decoded.message.empty()) Fail("unreadable, yet a picture or no message");
            return 0;
        case platform::DecodeStatus::TooLarge:
            if (picture || decoded.message.empty()) Fail("too large, yet a picture or no message");
            if (decoded.width != 0 &&
                std::uint64_t{decoded.width} * decoded.height <= FUZZ_MAX_PIXELS) {
                Fail("refused a size within the limit");
            }
            return 0;
        case platform::DecodeStatus::Ok: break;
    }
    if (!picture || decodedSize.width == 0 || decodedSize.height == 0 || !decoded.message.empty())
        Fail("decoded, yet no picture");
    if (std::uint64_t{decodedSize.width} * decodedSize.height > FUZZ_MAX_PIXELS) Fail("decoded beyond the limit");

    const PictureSize display = FitToPanel(decodedSize);
    if (display.width > PANEL_SIZE || display.height > PANEL_SIZE) Fail("display beyond the panel");
    if (display.width > decodedSize.width || display.height > decodedSize.height) Fail("display grew");
    if (NeedsShrinking(decodedSize) == (display == decodedSize)) Fail("fitting changed a fitting picture");

    // The road starts from a file, as the window's and the command line's do.
    struct TemporaryFile {
        std::filesystem::path path = std::filesystem::temp_directory_path() /
                                     ("tesselbox-fuzz-" + std::to_string(::getpid()));
        ~TemporaryFile() { std::filesystem::remove(path); }
    };
    static const TemporaryFile temporary;
    const std::filesystem::path& file = temporary.path;
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    const auto road = [&](PictureSize working, bool keepSource, ConvertedPicture& out) {
        LoadedPicture loaded = LoadPicture(file);
        if (!loaded.outcome().ok() || !(loaded.size() == decodedSize)) {
            std::fprintf(stderr, "from a file: %s, %u x %u; from memory: %u x %u\n",
                         loaded.outcome().message.c_str(), loaded.size().width, loaded.size().height,
                         decodedSize.width, decodedSize.height);
            Fail("decoded differently from a file");
        }
        return MakeBlocks(std::move(loaded), *g_table, {working, keepSource, true}, out);
    };
    ConvertedPicture shrunk;
    CheckRendered(road(display, true, shrunk), display, shrunk);
    if (std::uint64_t{decodedSize.width} * decodedSize.height <= FULL_SIZE_PIXELS) {
        ConvertedPicture full;
        CheckRendered(road(decodedSize, true, full), decodedSize, full);
        ConvertedPicture inPlace;
        if (road(decodedSize, false, inPlace).ok() != !full.grid.empty()) Fail("the in-place road refused");
        if (inPlace.grid != full.grid) Fail("the in-place road gave another grid than the drawn copy");
        if (inPlace.preview.pixelCount() != full.preview.pixelCount() ||
            (full.preview.HasPixels() &&
             std::memcmp(inPlace.preview.bits(), full.preview.bits(), full.grid.size() * sizeof(Pixel)) != 0))
            Fail("the in-place road gave another preview");
    }
    return 0;
}
