// Everything the running program holds: one instance, owned by the window.
#pragma once

#include "convert/PictureImport.h"
#include "formats/BlockFile.h"
#include "palette/ColorTable.h"
#include "platform/WindowServices.h"

#include <filesystem>

namespace tesselbox {

struct AppState {
    explicit AppState(platform::WindowServices& windowServices) : services(windowServices) {}

    // The window's, handed to every command.
    platform::WindowServices& services;
    // Read at start-up from this file, relative to the current directory.
    std::filesystem::path colorTablePath = "Colors.txt";
    ColorTable colorTable;
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

}  // namespace tesselbox
