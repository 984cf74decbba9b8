// Everything the running program holds: one instance, owned by the window.
#pragma once

#include "convert/MapArt.h"
#include "convert/PictureImport.h"
#include "formats/BlockFile.h"
#include "palette/ColorTable.h"
#include "platform/WindowServices.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

namespace tesselbox {

// What the blocks dialog chose when OK was last pressed, to open on it again.
struct BlockSelection {
    std::size_t table = 0;          // 0: the color table read at start-up, 1: the shipped modern table
    std::vector<bool> leftOut;      // by entry of that table: unchecked; empty: none
    std::uint32_t quickChoices = 0;  // bit k: the dialog's k-th quick choice is on
};

// 地图画 and 地图 from the preview panel's menu: no mode, block art.
struct MapChoice {
    std::optional<MapMode> mode;
    std::uint32_t mapsWide = 1, mapsTall = 1;
    friend bool operator==(const MapChoice&, const MapChoice&) = default;
};

// The current picture as map art, made from its file at the maps' size.
struct MapPicture {
    MapPalette palette;
    MapArt art;
    PixelSurface preview;  // the canvas as a map shows it
    PictureSize display;   // the size the preview panel shows it at
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
    // The file it came from, read again at the size map art needs.
    std::filesystem::path picturePath;
    // While a map mode is on and there is a picture: the map art the preview panel shows and
    // 生成 writes; null otherwise.
    std::unique_ptr<MapPicture> mapPicture;
    MapChoice map;
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
