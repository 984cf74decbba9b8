#include "app/ConversionMenu.h"

#include "app/BlockDialog.h"
#include "app/MapArtPicture.h"
#include "app/MaterialList.h"
#include "app/Texts.h"
#include "app/WindowLayout.h"

#include <cstdint>
#include <iterator>
#include <optional>

namespace tesselbox {
namespace {

enum class Group { Match, Dither, Orientation, MapMode, MapSize, Dialog };

struct Entry {
    int id;
    const char* text;
    Group group;
    MatchMode match;
    DitherMode dither;
    Orientation orientation;
};

struct MapEntry {
    int id;
    const char* text;
    Group group;
    std::optional<MapMode> mode;  // of a MapMode entry
    std::uint32_t mapsWide, mapsTall;  // of a MapSize entry
};

constexpr MapEntry MAP_ENTRIES[] = {
    {layout::IDM_MAP_NONE, texts::MAP_NONE, Group::MapMode, std::nullopt, 0, 0},
    {layout::IDM_MAP_FLAT, texts::MAP_FLAT, Group::MapMode, MapMode::Flat, 0, 0},
    {layout::IDM_MAP_STAIRCASE, texts::MAP_STAIRCASE, Group::MapMode, MapMode::Staircase, 0, 0},
    {layout::IDM_MAP_VALLEY, texts::MAP_VALLEY, Group::MapMode, MapMode::Valley, 0, 0},
    {layout::IDM_MAPS_1X1, texts::MAPS_1X1, Group::MapSize, std::nullopt, 1, 1},
    {layout::IDM_MAPS_1X2, texts::MAPS_1X2, Group::MapSize, std::nullopt, 1, 2},
    {layout::IDM_MAPS_2X1, texts::MAPS_2X1, Group::MapSize, std::nullopt, 2, 1},
    {layout::IDM_MAPS_2X2, texts::MAPS_2X2, Group::MapSize, std::nullopt, 2, 2},
    {layout::IDM_MAPS_3X3, texts::MAPS_3X3, Group::MapSize, std::nullopt, 3, 3},
    {layout::IDM_MAPS_4X4, texts::MAPS_4X4, Group::MapSize, std::nullopt, 4, 4},
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
        if (e.group == Group::Dialog && ENTRIES[i - 1].group != Group::Dialog) {  // the map groups go before the dialogs
            for (std::size_t k = 0; k < std::size(MAP_ENTRIES); ++k) {
                const MapEntry& m = MAP_ENTRIES[k];
                const bool checked = m.group == Group::MapMode ? state.map.mode == m.mode
                                                               : state.map.mapsWide == m.mapsWide && state.map.mapsTall == m.mapsTall;
                items.push_back({m.id, m.text, true, checked, k == 0 || m.group != MAP_ENTRIES[k - 1].group});
            }
        }
        const bool checkable = e.group != Group::Dialog;
        const bool checked = e.group == Group::Match    ? state.choice.match == e.match
                             : e.group == Group::Dither ? state.choice.dither == e.dither
                                                        : checkable && state.orientation == e.orientation;
        items.push_back({e.id, e.text, checkable, checked, i > 0 && e.group != ENTRIES[i - 1].group});
    }
    return items;
}

void ChooseConversion(AppState& state, int itemId) {
    for (const MapEntry& m : MAP_ENTRIES) {
        if (m.id != itemId) continue;
        MapChoice map = state.map;
        if (m.group == Group::MapMode) {
            map.mode = m.mode;
        } else {
            map.mapsWide = m.mapsWide;
            map.mapsTall = m.mapsTall;
        }
        if (map != state.map) ChooseMap(state, map);
        return;
    }
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
    // Map art first: a picture file that can no longer be read leaves the blocks as they were.
    std::unique_ptr<MapPicture> map;
    if (!MakeMapPicture(state, state.picturePath, TableInUse(state), choice, state.map, map)) return;
    if (!state.picture.source.HasPixels() || ConvertCurrentAgain(state, TableInUse(state), choice)) {
        state.choice = choice;  // without a picture yet, the next one is converted so
        if (map) {
            state.mapPicture = std::move(map);
            state.services.InvalidatePanel(layout::IDC_PREVIEW_PANEL);
        }
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
            state.picturePath.clear();
            state.mapPicture.reset();
            state.services.InvalidatePanel(layout::IDC_SOURCE_PANEL);
            state.services.InvalidatePanel(layout::IDC_PREVIEW_PANEL);
        }
        return false;
    }
    state.services.InvalidatePanel(layout::IDC_PREVIEW_PANEL);
    return true;
}

}  // namespace tesselbox
