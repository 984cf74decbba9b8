#include "app/ConversionMenu.h"

#include "app/Texts.h"
#include "app/WindowLayout.h"

#include <cstdint>
#include <iterator>

namespace tesselbox {
namespace {

struct Entry {
    int id;
    const char* text;
    bool isMatch;  // else a dithering
    MatchMode match;
    DitherMode dither;
};

constexpr Entry ENTRIES[] = {
    {layout::IDM_MATCH_RGB, texts::MATCH_RGB, true, MatchMode::Rgb, DitherMode::None},
    {layout::IDM_MATCH_PERCEPTUAL, texts::MATCH_PERCEPTUAL, true, MatchMode::Perceptual,
     DitherMode::None},
    {layout::IDM_DITHER_NONE, texts::DITHER_NONE, false, MatchMode::Rgb, DitherMode::None},
    {layout::IDM_DITHER_FLOYD_STEINBERG, texts::DITHER_FLOYD_STEINBERG, false, MatchMode::Rgb,
     DitherMode::FloydSteinberg},
    {layout::IDM_DITHER_ORDERED, texts::DITHER_ORDERED, false, MatchMode::Rgb, DitherMode::Ordered},
};

// From this many pixels on, converting again takes long enough to be seen.
constexpr std::uint64_t BUSY_PIXELS = std::uint64_t{1} << 20;

}  // namespace

std::vector<ConversionMenuItem> ConversionMenu(const AppState& state) {
    std::vector<ConversionMenuItem> items;
    for (std::size_t i = 0; i < std::size(ENTRIES); ++i) {
        const Entry& e = ENTRIES[i];
        const bool checked = e.isMatch ? state.choice.match == e.match
                                       : state.choice.dither == e.dither;
        items.push_back({e.id, e.text, checked, i > 0 && e.isMatch != ENTRIES[i - 1].isMatch});
    }
    return items;
}

void ChooseConversion(AppState& state, int itemId) {
    const Entry* entry = nullptr;
    for (const Entry& e : ENTRIES) {
        if (e.id == itemId) entry = &e;
    }
    if (entry == nullptr) return;
    ConversionChoice choice = state.choice;
    if (entry->isMatch) {
        choice.match = entry->match;
    } else {
        choice.dither = entry->dither;
    }
    if (choice == state.choice) return;
    if (!state.picture.source.HasPixels()) {  // no picture yet: the next one is converted so
        state.choice = choice;
        return;
    }
    // Converted aside: the panels may paint the current picture meanwhile.
    ConvertedPicture& picture = state.picture;
    ImportOutcome made;
    const auto convert = [&] {
        made = ConvertAgain(state.colorTable, choice, picture);
        // The old blocks went first; without memory for the new ones, the old ones come back.
        if (!made.ok() && !ConvertAgain(state.colorTable, state.choice, picture).ok()) {
            picture = ConvertedPicture{};  // not even those: no picture, as before the first
        }
    };
    if (picture.source.pixelCount() >= BUSY_PIXELS) {
        platform::RunBusy(convert);
    } else {
        convert();
    }
    if (!made.ok()) {
        platform::ShowMessage(texts::OUT_OF_MEMORY, platform::MessageKind::Error);
        if (!picture.source.HasPixels()) {
            platform::InvalidatePanel(layout::IDC_SOURCE_PANEL);
            platform::InvalidatePanel(layout::IDC_PREVIEW_PANEL);
        }
        return;
    }
    state.choice = choice;
    platform::InvalidatePanel(layout::IDC_PREVIEW_PANEL);
}

}  // namespace tesselbox
