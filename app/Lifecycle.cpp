// Start-up, shutdown and the routing of button commands and panel paints.
#include "app/Commands.h"
#include "app/MapArtPicture.h"
#include "app/Texts.h"
#include "app/WindowLayout.h"
#include "app/PreviewPanels.h"

#include <filesystem>
#include <system_error>

namespace tesselbox {

bool OnCreate(AppState& state) {
    state.colorTable = ColorTable{};
    if (!LoadColorTableFile(state.colorTablePath, state.colorTable).ok()) {
        state.services.ShowMessage(texts::COLORS_FAILED, platform::MessageKind::Error);
        return false;
    }
    // Kept absolute: a file dialog may change the current folder (Windows' do), and the save
    // command must still know which file the table is.
    std::error_code ignored;
    const std::filesystem::path absolute = std::filesystem::absolute(state.colorTablePath, ignored);
    if (!absolute.empty()) state.colorTablePath = absolute;
    platform::StartPictureServices();
    state.pictureServicesStarted = true;
    InitFileDialog(state.fileDialog);
    return true;
}

void OnDestroy(AppState& state) {
    state.mapPicture.reset();
    state.picture = ConvertedPicture{};
    if (state.pictureServicesStarted) {
        platform::StopPictureServices();
        state.pictureServicesStarted = false;
    }
}

void InitFileDialog(platform::FileDialogRecord& record) {
    record = platform::FileDialogRecord{};
    record.prepared = true;
}

void DispatchCommand(AppState& state, std::uint32_t notificationCode, int controlId) {
    if (notificationCode != 0) return;
    if (controlId == layout::IDC_CHOOSE_PICTURE) ImportPicture(state);
    if (controlId == layout::IDC_GENERATE) state.mapPicture ? WriteMapArt(state) : WriteSchematic(state);
}

void DispatchDrawItem(const AppState& state, int controlId, platform::PanelCanvas& canvas) {
    if (controlId == layout::IDC_SOURCE_PANEL) DrawSourcePanel(state, canvas);
    if (controlId == layout::IDC_PREVIEW_PANEL) DrawPreviewPanel(state, canvas);
}

void DrawSourcePanel(const AppState& state, platform::PanelCanvas& canvas) {
    const ConvertedPicture& p = state.picture;
    DrawPanel(canvas, {p.source, p.display.width, p.display.height});
}

void DrawPreviewPanel(const AppState& state, platform::PanelCanvas& canvas) {
    if (const MapPicture* map = state.mapPicture.get()) {
        return DrawPanel(canvas, {map->preview, map->display.width, map->display.height});
    }
    const ConvertedPicture& p = state.picture;
    DrawPanel(canvas, {p.preview, p.display.width, p.display.height});
}

}  // namespace tesselbox
