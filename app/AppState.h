// Everything the running program holds: one instance, owned by the window.
#pragma once

#include "convert/PictureImport.h"
#include "formats/BlockFile.h"
#include "palette/ColorTable.h"
#include "platform/WindowServices.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

namespace tesselbox {

// What the blocks dialog chose when OK was last pressed, to open on it again.
struct BlockSelection {
    std::size_t table = 0;          // 0: the color table read at start-up, 1: the shipped modern table
    std::vector<bool> leftOut;      // by entry of that table: unchecked; empty: none
    std::uint32_t quickChoices = 0;  // bit k: the dialog's k-th quick choice is on
};

struct AppState {
    explicit AppState(platform::WindowServices& windowServices) : services(windowServices) {}

    // The window's, handed to every command.
    platform::WindowServices& services;
    // Read at start-up from this file, relative to the current directory.
    std::filesystem::path colorTablePath = "Colors.txt";
    ColorTable colorTable;
    // The blocks the dialog chose, which the blocks are then made with; null: all of colorTable.
    std::unique_ptr<ColorTable> chosenTable;
    BlockSelection blocks;
    // The current picture: working size (ImageWidth × ImageHeight), display size, SourceSurface,
    // PreviewSurface and the BlockGrid. All empty until the first import.
    ConvertedPicture picture;
    // How blocks are picked, from the preview panel's menu; the default each time the program starts.
    ConversionChoice choice;
    // Whether the next file written lies flat or stands as a wall, from the same menu.
    Orientation orientation = Orientation::Floor;
    platform::FileDialogRecord fileDialog;
    bool pictureServicesStarted = false;
};

// The table the current blocks index and the next picture is made with.
inline const ColorTable& TableInUse(const AppState& state) {
    return state.chosenTable ? *state.chosenTable : state.colorTable;
}

}  // namespace tesselbox
