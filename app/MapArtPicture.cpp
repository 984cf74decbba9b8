#include "app/MapArtPicture.h"

#include "app/Commands.h"
#include "app/Texts.h"
#include "app/WindowLayout.h"
#include "convert/Limits.h"
#include "formats/MapFiles.h"
#include "palette/BlockChoice.h"

#include <algorithm>
#include <new>
#include <system_error>

namespace tesselbox {
namespace {

namespace fs = std::filesystem;

// 128 × 128 and 256 × 128 look blurred when stretched to the panel: whole multiples while they fit.
PictureSize PanelSizeOf(PictureSize canvas) {
    const std::uint32_t times = PANEL_SIZE / std::max({canvas.width, canvas.height, std::uint32_t{1}});
    if (times == 0) return FitToPanel(canvas);
    return {canvas.width * times, canvas.height * times};
}

}  // namespace

bool MakeMapPicture(AppState& state, const fs::path& path, const ColorTable& table, const ConversionChoice& choice,
                    const MapChoice& map, std::unique_ptr<MapPicture>& out) {
    if (!map.mode) {
        out.reset();
        return true;
    }
    auto made = std::make_unique<MapPicture>();
    MapPaletteRequest request;
    request.mode = *map.mode;
    for (std::size_t i = 0; i < static_cast<std::size_t>(table.count); ++i) request.offered.push_back(BlockNameOf(table, i));
    if (MakeMapPalette(request, made->palette)) {  // the default support block always stands: no map color
        state.services.ShowMessage(texts::NO_MAP_COLOR, platform::MessageKind::Error);
        return false;
    }
    if (path.empty()) {
        out.reset();
        return true;
    }
    const MapArtRequest artRequest{*map.mode, map.mapsWide, map.mapsTall, 0, nullptr};
    ImportOutcome outcome;
    // Read and drawn aside on the busy thread: the panels go on painting the current picture.
    state.services.RunBusy([&] {
        try {
            outcome = MakeMapArt(LoadPicture(path), made->palette, artRequest, choice, made->art);
            if (outcome.ok() && !PaintMapPreview(made->art, made->palette, made->preview)) {
                outcome = {ImportStatus::OutOfMemory, "no memory for the map preview"};
            }
        } catch (const std::bad_alloc&) {
            outcome = {ImportStatus::OutOfMemory, "no memory for the map art"};
        }
    });
    if (!outcome.ok()) {
        state.services.ShowMessage(ImportFailureText(outcome.status), platform::MessageKind::Error);
        return false;
    }
    made->display = PanelSizeOf(MapArtCanvas(artRequest));
    out = std::move(made);
    return true;
}

void ChooseMap(AppState& state, const MapChoice& map) {
    std::unique_ptr<MapPicture> made;
    if (!MakeMapPicture(state, state.picturePath, TableInUse(state), state.choice, map, made)) return;
    const bool shown = state.mapPicture || made;
    state.map = map;
    state.mapPicture = std::move(made);
    if (shown) state.services.InvalidatePanel(layout::IDC_PREVIEW_PANEL);
}

void WriteMapArt(AppState& state) {
    const MapPicture& map = *state.mapPicture;
    state.fileDialog.filterIndex = 1;
    const auto path = state.services.ChooseSaveFile(state.fileDialog, texts::MAP_FILTERS, texts::MAP_EXTENSION);
    if (!path) return;
    const BlockFileFormat format = FormatFromExtension(*path);
    std::error_code ignored;
    for (const fs::path& file : MapFileNames(*path, map.art, format, false)) {
        if (fs::equivalent(file, state.colorTablePath, ignored)) {
            state.services.ShowMessage(texts::OVERWRITE_COLOR_TABLE, platform::MessageKind::Error);
            return;
        }
    }
    const char* refusal = format == BlockFileFormat::Schematic ? texts::MAP_NOT_SCHEMATIC
                          : !map.art.refusal.empty()           ? texts::MAP_TOO_TALL
                                                               : nullptr;
    if (refusal != nullptr) {
        state.services.ShowMessage(refusal, platform::MessageKind::Error);
        return;
    }
    // Map art lies flat, where a map sees it, whatever 方向 says.
    BlockFileOptions options;
    options.format = format;
    const ColorTable& blocks = map.palette.fileTable;
    const std::vector<std::string> blockNames(blocks.blockStates.begin(), blocks.blockStates.begin() + blocks.count);
    const MapFilesReport written = WriteMapFiles(*path, map.art, map.palette, options, false, blockNames);
    if (written.ok()) return;
    const bool unnamed = written.status == BlockFileStatus::UnknownBlock || written.status == BlockFileStatus::NoBlockName;
    state.services.ShowMessage(written.status == BlockFileStatus::OpenFailed ? texts::OPEN_FILE_FAILED
                               : unnamed                                     ? texts::UNKNOWN_BLOCK_NAME
                                                                             : texts::WRITE_FILE_FAILED,
                               platform::MessageKind::Error);
}

}  // namespace tesselbox
