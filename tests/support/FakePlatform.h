// A scripted platform for tests: pictures come from memory, dialogs and message boxes answer what
// the test queued, and panels paint into a plain 300 × 300 pixel buffer.
#pragma once

#include "platform/WindowServices.h"

#include <cstdint>
#include <deque>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tesselbox::platform {

struct PanelCanvas {
    int width = 300;
    int height = 300;
    std::vector<Pixel> pixels = std::vector<Pixel>(300 * 300, 0);  // top row first, opaque
    Pixel At(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)]; }
};

}  // namespace tesselbox::platform

namespace tesselbox::fake {

struct FakePicture {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<Pixel> pixels;  // top row first, premultiplied
    bool opaque = false;         // alpha bytes to be read as 255, as a decoded JPEG's
};

struct DialogAnswer {
    std::optional<std::filesystem::path> path;  // nullopt: cancelled
    std::uint32_t filterShown = 1;              // written back into the record when a path is chosen
};

struct DialogCall {
    bool save = false;
    std::vector<std::string> filterTexts;
    std::string defaultExtension;
    std::uint32_t filterIndexAtStart = 0;
};

struct Script {
    std::map<std::filesystem::path, FakePicture> pictures;
    std::deque<DialogAnswer> dialogAnswers;
    std::deque<platform::Answer> messageAnswers;  // for questions; errors answer Ok

    std::vector<DialogCall> dialogs;
    std::vector<std::pair<std::string, platform::MessageKind>> messages;
    std::vector<int> invalidated;
    int servicesRunning = 0;
    int liveSurfaces = 0;
    int mostSurfaces = 0;     // the most alive at once
    int failingSurfaces = 0;  // this many next CreateSurfaceMemory calls fail, as without memory
    int livePictures = 0;
    bool failDrawing = false;
    int busyRuns = 0;  // RunBusy calls
    bool hidePixels = false;      // PicturePixels gives null, as on Windows
    bool decodeInPlace = false;   // DecodePicture decodes into the caller's memory, given any
    std::uint64_t lastDecodeLimit = 0;
};

// The one script the fake platform reads; Reset before each test.
Script& CurrentScript();
void Reset();

// A solid picture of one color.
FakePicture SolidPicture(std::uint32_t width, std::uint32_t height, Pixel color);

}  // namespace tesselbox::fake
