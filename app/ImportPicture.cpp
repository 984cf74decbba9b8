// The choose-picture command. A picture that cannot be read or is
// too large is reported and leaves the current picture as it was, instead of silently replacing it.
#include "app/Commands.h"
#include "app/MapArtPicture.h"
#include "app/Texts.h"
#include "app/WindowLayout.h"

#include <cstdint>
#include <utility>

namespace tesselbox {
namespace {

// From this many pixels on, drawing and converting a picture take long enough to be seen.
constexpr std::uint64_t BUSY_PICTURE_PIXELS = std::uint64_t{1} << 22;

void Report(platform::WindowServices& services, ImportStatus status) {
    services.ShowMessage(ImportFailureText(status), platform::MessageKind::Error);
}

}  // namespace

const char* ImportFailureText(ImportStatus status) {
    return status == ImportStatus::TooLarge      ? texts::PICTURE_TOO_LARGE
           : status == ImportStatus::OutOfMemory ? texts::OUT_OF_MEMORY
                                                 : texts::READ_PICTURE_FAILED;
}

void ImportPicture(AppState& state) {
    const auto path =
        state.services.ChooseOpenFile(state.fileDialog, texts::PICTURE_FILTERS, texts::PICTURE_EXTENSION);
    if (!path) return;

    LoadedPicture loaded = LoadPicture(*path);
    if (!loaded.outcome().ok()) {
        Report(state.services, loaded.outcome().status);
        return;
    }
    const bool shrink = NeedsShrinking(loaded.size()) &&
                        state.services.ShowMessage(texts::ASK_SHRINK, platform::MessageKind::Question) ==
                            platform::Answer::Yes;
    const PictureRequest request{WorkingSize(loaded.size(), shrink), true, true, state.choice};
    // Made aside: the panels may paint the current picture while a large one is made.
    ConvertedPicture next;
    ImportOutcome made;
    const auto make = [&] { made = MakeBlocks(std::move(loaded), TableInUse(state), request, next); };
    if (std::uint64_t{request.working.width} * request.working.height >= BUSY_PICTURE_PIXELS) {
        state.services.RunBusy(make);
    } else {
        make();
    }
    if (!made.ok()) {
        Report(state.services, made.status);
        return;
    }
    std::unique_ptr<MapPicture> map;
    if (!MakeMapPicture(state, *path, TableInUse(state), state.choice, state.map, map)) return;
    state.picture = std::move(next);
    state.picturePath = *path;
    state.mapPicture = std::move(map);
    state.services.InvalidatePanel(layout::IDC_SOURCE_PANEL);
    state.services.InvalidatePanel(layout::IDC_PREVIEW_PANEL);
}

}  // namespace tesselbox
