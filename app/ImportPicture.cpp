// The choose-picture command. A picture that cannot be read or is
// too large is reported and leaves the current picture as it was, instead of silently replacing it.
#include "app/Commands.h"
#include "app/Texts.h"
#include "app/WindowLayout.h"

#include <cstdint>
#include <utility>

namespace tesselbox {
namespace {

// From this many pixels on, drawing and converting a picture take long enough to be seen.
constexpr std::uint64_t BUSY_PICTURE_PIXELS = std::uint64_t{1} << 22;

void Report(ImportStatus status) {
    platform::ShowMessage(status == ImportStatus::TooLarge ? texts::PICTURE_TOO_LARGE
                                                           : texts::READ_PICTURE_FAILED,
                          platform::MessageKind::Error);
}

}  // namespace

void ImportPicture(AppState& state) {
    const auto path =
        platform::ChooseOpenFile(state.fileDialog, texts::PICTURE_FILTERS, texts::PICTURE_EXTENSION);
    if (!path) return;

    const LoadedPicture loaded = LoadPicture(*path);
    if (loaded.status != ImportStatus::Ok) {
        Report(loaded.status);
        return;
    }
    const PictureSize display = FitToPanel(loaded.size);
    PictureSize working = loaded.size;
    if (NeedsShrinking(loaded.size) &&
        platform::ShowMessage(texts::ASK_SHRINK, platform::MessageKind::Question) ==
            platform::Answer::Yes) {
        working = display;
    }
    // Made aside: the panels may paint the current picture while a large one is made.
    ConvertedPicture next;
    RenderOutcome rendered;
    const auto render = [&] {
        rendered = RenderPicture(*loaded.picture, working, display, state.colorTable, next);
    };
    if (std::uint64_t{working.width} * working.height >= BUSY_PICTURE_PIXELS) {
        platform::RunBusy(render);
    } else {
        render();
    }
    if (rendered.status != ImportStatus::Ok) {
        Report(rendered.status);
        return;
    }
    state.picture = std::move(next);
    platform::InvalidatePanel(layout::IDC_SOURCE_PANEL);
    platform::InvalidatePanel(layout::IDC_PREVIEW_PANEL);
}

}  // namespace tesselbox
