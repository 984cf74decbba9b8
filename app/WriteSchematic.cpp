// The generate command. Every write is checked and an existing file is replaced only by a complete
// new one; a failed write is reported instead of being taken for success. A name typed with
// .schem, .litematic, .nbt or .mcstructure gets that format for the newest game version; any other
// the .schematic.
#include "app/Commands.h"
#include "app/Texts.h"
#include "formats/BlockFile.h"

#include <filesystem>
#include <system_error>

namespace tesselbox {

void WriteSchematic(AppState& state) {
    // The open dialog's last filter number would pick another format's filter, and with it the
    // extension a plain name gets: the save dialog always starts on the .schematic.
    state.fileDialog.filterIndex = 1;
    const auto path = state.services.ChooseSaveFile(state.fileDialog, texts::SCHEMATIC_FILTERS,
                                               texts::SCHEMATIC_EXTENSION);
    if (!path) return;
    std::error_code ignored;
    if (std::filesystem::equivalent(*path, state.colorTablePath, ignored)) {
        state.services.ShowMessage(texts::OVERWRITE_COLOR_TABLE, platform::MessageKind::Error);
        return;
    }
    const ConvertedPicture& p = state.picture;
    const BlockFileSource source{p.working.width, p.working.height, p.grid.data(), &TableInUse(state)};
    BlockFileOptions options;
    options.format = FormatFromExtension(*path);
    options.orientation = state.orientation;
    const std::u8string stem = path->stem().u8string();  // Litematica shows it; UTF-8 on every system
    options.name.assign(stem.begin(), stem.end());
    const BlockFileOutcome outcome = WriteBlockFile(*path, source, options);
    const char* text = nullptr;
    switch (outcome.status) {
        case BlockFileStatus::Ok: return;
        case BlockFileStatus::OpenFailed: text = texts::OPEN_FILE_FAILED; break;
        case BlockFileStatus::WriteFailed: text = texts::WRITE_FILE_FAILED; break;
        case BlockFileStatus::TooLarge:
        case BlockFileStatus::BadOption: text = texts::PICTURE_TOO_LARGE; break;
        case BlockFileStatus::Empty: text = texts::EMPTY_MODERN_FILE; break;
        case BlockFileStatus::NoBlockName: text = texts::NO_MODERN_BLOCK_NAME; break;
        case BlockFileStatus::NoNumericId: text = texts::NO_NUMERIC_BLOCK_ID; break;
        case BlockFileStatus::UnknownBlock: text = texts::UNKNOWN_BLOCK_NAME; break;
    }
    state.services.ShowMessage(text, platform::MessageKind::Error);
}

}  // namespace tesselbox
