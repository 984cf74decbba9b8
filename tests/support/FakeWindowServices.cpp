#include "tests/support/FakeWindowServices.h"

#include "tests/support/FakePlatform.h"

namespace tesselbox::fake {
namespace {

// Panel point (x, y), top row first.
std::size_t PanelIndex(const Canvas& canvas, int x, int y) {
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(canvas.width) + static_cast<std::size_t>(x);
}

}  // namespace

void Canvas::FillWhite(int fillWidth, int fillHeight) {
    for (int y = 0; y < fillHeight; ++y)
        for (int x = 0; x < fillWidth; ++x) pixels[PanelIndex(*this, x, y)] = 0xFFFFFFFFu;
}

void Canvas::BlendSurface(const platform::SurfaceMemory& source, std::uint32_t sourceWidth,
                          std::uint32_t sourceHeight, std::uint32_t destinationWidth,
                          std::uint32_t destinationHeight) {
    for (std::uint32_t y = 0; y < destinationHeight; ++y) {
        for (std::uint32_t x = 0; x < destinationWidth; ++x) {
            const std::size_t sx = std::size_t{x} * sourceWidth / destinationWidth;
            const std::size_t sy = std::size_t{y} * sourceHeight / destinationHeight;
            const Pixel s = source.pixels[(sourceHeight - 1 - sy) * sourceWidth + sx];
            Pixel& d = pixels[std::size_t{y} * static_cast<std::size_t>(width) + x];
            const unsigned keep = 255u - AlphaOf(s);
            auto channel = [&](int shift) {
                return ((s >> shift) & 0xFFu) + (((d >> shift) & 0xFFu) * keep + 127u) / 255u;
            };
            d = 0xFF000000u | (channel(16) << 16) | (channel(8) << 8) | channel(0);
        }
    }
}

void Canvas::FrameBlack(int frameWidth, int frameHeight) {
    for (int x = 0; x < frameWidth; ++x) {
        pixels[PanelIndex(*this, x, 0)] = 0xFF000000u;
        pixels[PanelIndex(*this, x, frameHeight - 1)] = 0xFF000000u;
    }
    for (int y = 0; y < frameHeight; ++y) {
        pixels[PanelIndex(*this, 0, y)] = 0xFF000000u;
        pixels[PanelIndex(*this, frameWidth - 1, y)] = 0xFF000000u;
    }
}

std::vector<std::string> WindowServices::MessageTexts() const {
    std::vector<std::string> texts;
    texts.reserve(messages.size());
    for (const auto& [text, kind] : messages) texts.push_back(text);
    return texts;
}

platform::Answer WindowServices::ShowMessage(const std::string& text, platform::MessageKind kind) {
    messages.emplace_back(text, kind);
    if (kind == platform::MessageKind::Error) return platform::Answer::Ok;
    if (messageAnswers.empty()) return platform::Answer::No;
    const platform::Answer answer = messageAnswers.front();
    messageAnswers.pop_front();
    return answer;
}

std::optional<std::filesystem::path> WindowServices::ChooseFile(bool save, platform::FileDialogRecord& record,
                                                                std::span<const platform::FileFilter> filters,
                                                                const char* defaultExtension) {
    DialogCall call{save, {}, defaultExtension, record.filterIndex};
    for (const platform::FileFilter& filter : filters) call.filterTexts.emplace_back(filter.text);
    dialogs.push_back(call);
    if (dialogAnswers.empty()) return std::nullopt;
    const DialogAnswer answer = dialogAnswers.front();
    dialogAnswers.pop_front();
    if (answer.path) record.filterIndex = answer.filterShown;
    return answer.path;
}

void WindowServices::InvalidatePanel(int controlId) { invalidated.push_back(controlId); }

void WindowServices::RunBusy(const std::function<void()>& work) {
    ++busyRuns;
    work();
}

bool WindowServices::RunBlockDialog(platform::BlockDialogModel& model) {
    ++blockDialogRuns;
    if (blockDialogAnswers.empty()) return false;
    const BlockDialogAnswer answer = std::move(blockDialogAnswers.front());
    blockDialogAnswers.pop_front();
    return answer(model) && model.CanAccept();  // OK is disabled otherwise
}

void WindowServices::ShowMaterials(const platform::MaterialsList& list, const std::function<void()>& saveCsv) {
    materialsShown.push_back(list);
    if (materialsSaves.empty()) return;
    const bool save = materialsSaves.front();
    materialsSaves.pop_front();
    if (save) saveCsv();
}

}  // namespace tesselbox::fake
