// The generate command. Every write is checked and an existing file is replaced only by a complete
// new one; a failed write is reported instead of being taken for success.
#include "app/Commands.h"
#include "app/Texts.h"
#include "formats/SchematicWriter.h"

namespace tesselbox {

void WriteSchematic(AppState& state) {
    const auto path = platform::ChooseSaveFile(state.fileDialog, texts::SCHEMATIC_FILTERS,
                                               texts::SCHEMATIC_EXTENSION);
    if (!path) return;
    const ConvertedPicture& p = state.picture;
    const SchematicSource source{p.working.width, p.working.height, p.grid.data(),
                                 &state.colorTable};
    const SchematicOutcome outcome = WriteSchematicFile(*path, source);
    const char* text = nullptr;
    switch (outcome.status) {
        case SchematicStatus::Ok: return;
        case SchematicStatus::OpenFailed: text = texts::OPEN_FILE_FAILED; break;
        case SchematicStatus::WriteFailed: text = texts::WRITE_FILE_FAILED; break;
        case SchematicStatus::TooLarge: text = texts::PICTURE_TOO_LARGE; break;
    }
    platform::ShowMessage(text, platform::MessageKind::Error);
}

}  // namespace tesselbox
