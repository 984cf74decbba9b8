// The preview panel's right-click menu: how blocks are matched and whether they are dithered,
// whether the art lies flat or stands as a wall, whether it is map art and on how many maps, and
// the blocks and material list dialogs. A match or dithering choice converts the current picture
// again from the source it keeps, asking nothing; map art is made again from the picture's file.
// The next picture is converted the same way. The orientation applies to the next file written.
// Nothing of it outlives the program.
#pragma once

#include "app/AppState.h"

#include <vector>

namespace tesselbox {

struct ConversionMenuItem {
    int id;            // a command identifier, never 0
    const char* text;  // UTF-8
    bool checkable;    // false for an item that opens a dialog
    bool checked;
    bool startsGroup;  // a separator goes before it
};

std::vector<ConversionMenuItem> ConversionMenu(const AppState& state);
// The item the user picked; an unknown identifier (0: the menu was dismissed) does nothing.
void ChooseConversion(AppState& state, int itemId);

// Makes the current picture's blocks again from the source it keeps, with that table and choice,
// showing itself busy where that takes a while. Without memory for them it says so, keeps the
// blocks it had and returns false.
bool ConvertCurrentAgain(AppState& state, const ColorTable& table, const ConversionChoice& choice);

}  // namespace tesselbox
