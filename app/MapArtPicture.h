// 地图画 in the window: the current picture made into map art from its file, shown as a map draws
// it, and written with its guide. The picture is read again at the maps' size rather than scaled
// from the kept one, so the window's files are the ones the command line makes of that picture.
#pragma once

#include "app/AppState.h"

#include <filesystem>
#include <memory>

namespace tesselbox {

// Makes the map art of the picture file with that table (the blocks it offers), choice and maps,
// showing itself busy meanwhile. out is null when map.mode is off or path is empty, after the
// table has been checked for map colors. On failure says why and returns false; out is untouched.
bool MakeMapPicture(AppState& state, const std::filesystem::path& path, const ColorTable& table,
                    const ConversionChoice& choice, const MapChoice& map, std::unique_ptr<MapPicture>& out);

// A 地图画 or 地图 pick: makes the current picture's map art again, or with no mode goes back to the
// blocks; a choice that cannot be made is reported and changes nothing.
void ChooseMap(AppState& state, const MapChoice& map);

// 生成 while map art is shown.
void WriteMapArt(AppState& state);

}  // namespace tesselbox
