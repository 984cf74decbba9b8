// Window services for tests, one object per test: message boxes and file dialogs answer what the
// test queued, the blocks dialog runs what the test scripted, every call is recorded, and panels
// paint into a plain 300 × 300 pixel buffer.
#pragma once

#include "platform/WindowServices.h"

#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tesselbox::fake {

class Canvas final : public platform::PanelCanvas {
public:
    int width = 300;
    int height = 300;
    std::vector<Pixel> pixels = std::vector<Pixel>(300 * 300, 0);  // top row first, opaque
    Pixel At(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)]; }

    void FillWhite(int fillWidth, int fillHeight) override;
    void BlendSurface(const platform::SurfaceMemory& source, std::uint32_t sourceWidth, std::uint32_t sourceHeight,
                      std::uint32_t destinationWidth, std::uint32_t destinationHeight) override;
    void FrameBlack(int frameWidth, int frameHeight) override;
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

// What the user does in one blocks dialog; the result is OK (true) or Cancel.
using BlockDialogAnswer = std::function<bool(platform::BlockDialogModel&)>;

class WindowServices final : public platform::WindowServices {
public:
    // Queued by the test, taken in order; none left: the dialog is cancelled, a question says No.
    std::deque<DialogAnswer> dialogAnswers;
    std::deque<platform::Answer> messageAnswers;  // for questions; errors answer Ok
    std::deque<BlockDialogAnswer> blockDialogAnswers;
    std::deque<bool> materialsSaves;  // whether the save button is pressed in the list shown

    // Recorded.
    std::vector<DialogCall> dialogs;
    std::vector<std::pair<std::string, platform::MessageKind>> messages;
    std::vector<int> invalidated;
    int busyRuns = 0;
    int blockDialogRuns = 0;
    std::vector<platform::MaterialsList> materialsShown;

    std::vector<std::string> MessageTexts() const;

    platform::Answer ShowMessage(const std::string& text, platform::MessageKind kind) override;
    void InvalidatePanel(int controlId) override;
    void RunBusy(const std::function<void()>& work) override;
    bool RunBlockDialog(platform::BlockDialogModel& model) override;
    void ShowMaterials(const platform::MaterialsList& list, const std::function<void()>& saveCsv) override;

private:
    std::optional<std::filesystem::path> ChooseFile(bool save, platform::FileDialogRecord& record,
                                                    std::span<const platform::FileFilter> filters,
                                                    const char* defaultExtension) override;
};

}  // namespace tesselbox::fake
