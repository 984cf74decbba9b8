#include "app/ConversionMenu.h"

#include "app/BlockDialog.h"
#include "app/MaterialList.h"
#include "app/Texts.h"
#include "app/WindowLayout.h"

#include <cstdint>
#include <iterator>

namespace tesselbox {
namespace {

enum class Group { Match, Dither, Orientation, Dialog };

struct Entry {
    int id;
    const char* text;
    Group group;
    MatchMode match;
    DitherMode dither;
    Orientation orientation;
};

constexpr Entry ENTRIES[] = {
    {layout::IDM_MATCH_RGB, texts::MATCH_RGB, Group::Match, MatchMode::Rgb, DitherMode::None, Orientation::Floor},
    {layout::IDM_MATCH_PERCEPTUAL, texts::MATCH_PERCEPTUAL, Group::Match, MatchMode::Perceptual,
     DitherMode::None, Orientation::Floor},
    {layout::IDM_DITHER_NONE, texts::DITHER_NONE, Group::Dither, MatchMode::Rgb, DitherMode::None, Orientation::Floor},
    {layout::IDM_DITHER_FLOYD_STEINBERG, texts::DITHER_FLOYD_STEINBERG, Group::Dither, MatchMode::Rgb,
     DitherMode::FloydSteinberg, Orientation::Floor},
    {layout::IDM_DITHER_ORDERED, texts::DITHER_ORDERED, Group::Dither, MatchMode::Rgb, DitherMode::Ordered,
     Orientation::Floor},
    {layout::IDM_ORIENTATION_FLOOR, texts::ORIENTATION_FLOOR, Group::Orientation, MatchMode::Rgb, DitherMode::None,
     Orientation::Floor},
    {layout::IDM_ORIENTATION_WALL, texts::ORIENTATION_WALL, Group::Orientation, MatchMode::Rgb, DitherMode::None,
     Orientation::Wall},
    {layout::IDM_BLOCKS, texts::MENU_BLOCKS, Group::Dialog, MatchMode::Rgb, DitherMode::None, Orientation::Floor},
    {layout::IDM_MATERIALS, texts::MENU_MATERIALS, Group::Dialog, MatchMode::Rgb, DitherMode::None, Orientation::Floor},
};

// From this many pixels on, converting again takes long enough to be seen.
constexpr std::uint64_t BUSY_PIXELS = std::uint64_t{1} << 20;

}  // namespace

std::vector<ConversionMenuItem> ConversionMenu(const AppState& state) {
    std::vector<ConversionMenuItem> items;
    for (std::size_t i = 0; i < std::size(ENTRIES); ++i) {
        const Entry& e = ENTRIES[i];
        const bool checkable = e.group != Group::Dialog;
        const bool checked = e.group == Group::Match    ? state.choice.match == e.match
                             : e.group == Group::Dither ? state.choice.dither == e.dither
                                                        : checkable && state.orientation == e.orientation;
        items.push_back({e.id, e.text, checkable, checked, i > 0 && e.group != ENTRIES[i - 1].group});
    }
    return items;
}

void ChooseConversion(AppState& state, int itemId) {
    const Entry* entry = nullptr;
    for (const Entry& e : ENTRIES) {
        if (e.id == itemId) entry = &e;
    }
    if (entry == nullptr) return;
    if (entry->group == Group::Orientation) {  // nothing to convert: the next file stands so
        state.orientation = entry->orientation;
        return;
    }
    if (entry->id == layout::IDM_BLOCKS) return RunBlockDialog(state);
    if (entry->id == layout::IDM_MATERIALS) return ShowMaterialList(state);
    ConversionChoice choice = state.choice;
    if (entry->group == Group::Match) {
        choice.match = entry->match;
    } else {
        choice.dither = entry->dither;
    }
    if (choice == state.choice) return;
    if (!state.picture.source.HasPixels() || ConvertCurrentAgain(state, TableInUse(state), choice)) {
        state.choice = choice;  // without a picture yet, the next one is converted so
    }
}

bool ConvertCurrentAgain(AppState& state, const ColorTable& table, const ConversionChoice& choice) {
    // Converted aside: the panels may paint the current picture meanwhile.
    ConvertedPicture& picture = state.picture;
    ImportOutcome made;
    const auto convert = [&] {
        made = ConvertAgain(table, choice, picture);
        // The old blocks went first; without memory for the new ones, the old ones come back.
        if (!made.ok() && !ConvertAgain(TableInUse(state), state.choice, picture).ok()) {
            picture = ConvertedPicture{};  // not even those: no picture, as before the first
        }
    };
    if (picture.source.pixelCount() >= BUSY_PIXELS) {
        state.services.RunBusy(convert);
    } else {
        convert();
    }
    if (!made.ok()) {
        state.services.ShowMessage(texts::OUT_OF_MEMORY, platform::MessageKind::Error);
        if (!picture.source.HasPixels()) {
            state.services.InvalidatePanel(layout::IDC_SOURCE_PANEL);
            state.services.InvalidatePanel(layout::IDC_PREVIEW_PANEL);
        }
        return false;
    }
    state.services.InvalidatePanel(layout::IDC_PREVIEW_PANEL);
    return true;
}

}  // namespace tesselbox
