#include "convert/MapArt.h"

#include "blocks/BlockLists.h"
#include "blocks/MapColors.h"
#include "blocks/ModernBlocks.h"
#include "palette/BlockChoice.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tesselbox {
namespace {

constexpr std::uint32_t SUPPORTED = blocks::FALLS | blocks::NEEDS_SUPPORT;
constexpr std::uint8_t WATER = 12;
constexpr std::uint32_t TROUBLE = SUPPORTED | blocks::CREATIVE_ONLY | blocks::CHANGES;

// Where a version stands among the block lists' versions; past the end for one they lack.
std::size_t VersionIndex(std::string_view name) {
    const auto versions = blocks::BlockListVersions();
    return static_cast<std::size_t>(std::find(versions.begin(), versions.end(), name) - versions.begin());
}

std::string_view WithoutNamespace(std::string_view name) {
    constexpr std::string_view NAMESPACE = "minecraft:";
    return name.starts_with(NAMESPACE) ? name.substr(NAMESPACE.size()) : name;
}

void PutEntry(ColorTable& table, std::string_view block, std::string name, std::array<std::uint8_t, 3> rgb) {
    const auto i = static_cast<std::size_t>(table.count++);
    table.colors[i] = MakePixel(rgb[0], rgb[1], rgb[2]);
    table.blockIds[i] = 0;
    table.blockData[i] = 0;
    table.names[i] = std::move(name);
    table.lines[i] = 0;
    table.blockStates[i] = std::string(block);
}

}  // namespace

std::optional<MapMode> MapModeFromName(std::string_view name) {
    if (name == "flat") return MapMode::Flat;
    if (name == "staircase") return MapMode::Staircase;
    if (name == "valley") return MapMode::Valley;
    return std::nullopt;
}

std::string_view MapModeName(MapMode mode) {
    switch (mode) {
        case MapMode::Staircase: return "staircase";
        case MapMode::Valley: return "valley";
        case MapMode::Flat: break;
    }
    return "flat";
}

std::optional<std::string> MakeMapPalette(const MapPaletteRequest& request, MapPalette& out) {
    const GameVersion& version = request.version != nullptr ? *request.version : NewestGameVersion();
    const std::size_t wanted = VersionIndex(version.name);
    const auto bases = blocks::MapBaseColors();
    const auto inVersion = [&](const blocks::MapColorBlock& block) {
        // Water is shaded by its depth, not its height: this art does not use it.
        return block.base != 0 && block.base != WATER && block.base < bases.size() && VersionIndex(block.firstVersion) <= wanted &&
               VersionIndex(bases[block.base].firstVersion) <= wanted;
    };

    const blocks::MapColorBlock* support = blocks::FindMapColorBlock(request.supportBlock);
    if (support == nullptr || support->base == 0) {
        return "the support block " + request.supportBlock +
               " is no block a map draws; it stands north of the art, where the map must see it (e.g. " +
               std::string(DEFAULT_SUPPORT_BLOCK) + ")";
    }
    if ((support->flags & SUPPORTED) != 0) {
        return "the support block " + request.supportBlock + " itself falls or needs a block under it";
    }
    if (!inVersion(*support)) {
        return "the support block " + request.supportBlock + " is not in Minecraft " + std::string(version.name);
    }

    // The blocks the choice leaves, as a table, so that the words choose as they do for block art.
    auto candidates = std::make_unique<ColorTable>();
    std::vector<bool> offeredBase(bases.size(), false);
    for (const blocks::MapColorBlock& block : blocks::MapColorBlocks()) {
        if (!inVersion(block)) continue;
        if (!request.offered.empty() &&
            std::find(request.offered.begin(), request.offered.end(), WithoutNamespace(block.name)) ==
                request.offered.end()) {
            continue;
        }
        if (candidates->count >= MAX_COLORS) break;
        offeredBase[block.base] = true;
        PutEntry(*candidates, block.name, std::string(bases[block.base].name), blocks::MapShadeColor(block.base, SHADE_LEVEL));
    }
    ChooseBlocks(*candidates, request.only, request.exclude);

    // Per base color its default block where the choice kept it, else the first kept that stays put.
    std::vector<const blocks::MapColorBlock*> chosen(bases.size(), nullptr);
    const auto rank = [](const blocks::MapColorBlock& block) { return block.isDefault ? 0 : (block.flags & TROUBLE) != 0 ? 2 : 1; };
    for (std::size_t i = 0; i < static_cast<std::size_t>(candidates->count); ++i) {
        const blocks::MapColorBlock* block = blocks::FindMapColorBlock(candidates->blockStates[i]);
        if (block == nullptr) continue;
        const blocks::MapColorBlock*& best = chosen[block->base];
        if (best == nullptr || rank(*block) < rank(*best)) best = block;
    }

    auto palette = std::make_unique<MapPalette>();
    const std::array<std::uint8_t, 3> shades = {SHADE_LEVEL, SHADE_LOWER, SHADE_HIGHER};  // ties to level
    const std::size_t shadeCount = request.mode == MapMode::Flat ? 1 : 3;
    std::string dropped;
    std::size_t droppedCount = 0;
    for (std::size_t base = 1; base < bases.size(); ++base) {
        const blocks::MapColorBlock* block = chosen[base];
        if (block == nullptr) {
            if (offeredBase[base]) {
                dropped += (droppedCount++ == 0 ? "" : ", ") + std::string(bases[base].name);
            }
            continue;
        }
        for (std::size_t s = 0; s < shadeCount; ++s) {
            PutEntry(palette->table, block->Placed(), std::string(bases[base].name),
                     blocks::MapShadeColor(static_cast<std::uint8_t>(base), shades[s]));
            palette->base.push_back(static_cast<std::uint8_t>(base));
            palette->shade.push_back(shades[s]);
            palette->needsSupport.push_back((block->flags & SUPPORTED) != 0);
        }
    }
    if (palette->table.count == 0) {
        return std::string("the block choice leaves no block with a map color in Minecraft ") + std::string(version.name);
    }
    if (droppedCount > 0) {
        palette->notes.push_back(std::to_string(droppedCount) + " map color" + (droppedCount == 1 ? "" : "s") +
                                 " left without a block by the choice, so not used: " + dropped);
    }
    palette->fileTable = palette->table;
    palette->supportEntry = palette->fileTable.count;
    PutEntry(palette->fileTable, support->Placed(), "support", blocks::MapShadeColor(support->base, SHADE_LEVEL));
    out = std::move(*palette);
    return std::nullopt;
}

std::vector<std::int32_t> ColumnHeights(std::span<const std::int8_t> shades, MapMode mode) {
    const std::size_t n = shades.size();
    std::vector<std::int32_t> heights(n, -1);
    std::size_t start = 1;
    while (start < n) {
        if (shades[start] < 0) {
            ++start;
            continue;
        }
        // A run of art cells [start, end), its reference block at start - 1.
        std::size_t end = start;
        while (end < n && shades[end] >= 0) ++end;
        const std::size_t ref = start - 1;
        // step[k]: how cell k stands against cell k - 1.
        const auto step = [&](std::size_t k) { return static_cast<std::int32_t>(shades[k]) - SHADE_LEVEL; };
        if (mode == MapMode::Valley) {
            // Each level run as low as the rises before it and the falls after it allow.
            std::vector<std::int32_t> fromNorth(end - ref, 0), fromSouth(end - ref, 0);
            for (std::size_t k = ref + 1; k < end; ++k) {
                const std::int32_t before = fromNorth[k - 1 - ref];
                fromNorth[k - ref] = step(k) > 0 ? before + 1 : step(k) == 0 ? before : 0;
            }
            for (std::size_t k = end - 1; k > ref; --k) {
                const std::int32_t after = fromSouth[k - ref];
                fromSouth[k - 1 - ref] = step(k) < 0 ? after + 1 : step(k) == 0 ? after : 0;
            }
            for (std::size_t k = ref; k < end; ++k) heights[k] = std::max(fromNorth[k - ref], fromSouth[k - ref]);
        } else {
            std::int32_t y = 0, lowest = 0;
            heights[ref] = 0;
            for (std::size_t k = ref + 1; k < end; ++k) {
                y += mode == MapMode::Flat ? 0 : step(k);
                heights[k] = y;
                lowest = std::min(lowest, y);
            }
            for (std::size_t k = ref; k < end; ++k) heights[k] -= lowest;
        }
        start = end;
    }
    return heights;
}

PictureSize MapArtCanvas(const MapArtRequest& request) {
    return {request.mapsWide * MAP_ART_SIDE, request.mapsTall * MAP_ART_SIDE};
}

PictureSize FitToMaps(PictureSize picture, const MapArtRequest& request) {
    const PictureSize canvas = MapArtCanvas(request);
    if (picture.width == 0 || picture.height == 0) return {0, 0};
    const auto scaled = [](std::uint32_t side, std::uint32_t to, std::uint32_t from) {
        const double exact = static_cast<double>(side) * to / from;
        return std::max<std::uint32_t>(1, static_cast<std::uint32_t>(std::lround(exact)));
    };
    if (std::uint64_t{picture.width} * canvas.height >= std::uint64_t{picture.height} * canvas.width) {
        return {canvas.width, std::min(canvas.height, scaled(picture.height, canvas.width, picture.width))};
    }
    return {std::min(canvas.width, scaled(picture.width, canvas.height, picture.height)), canvas.height};
}

void BuildMapArt(const BlockGrid& grid, std::uint32_t width, std::uint32_t height, const MapPalette& palette,
                 const MapArtRequest& request, MapArt& out) {
    const PictureSize canvas = MapArtCanvas(request);
    const std::uint32_t left = (canvas.width - std::min(width, canvas.width)) / 2;
    const std::uint32_t top = (canvas.height - std::min(height, canvas.height)) / 2;
    // The grid's entry at a canvas point (y from the north), NO_BLOCK outside the picture.
    const auto entryAt = [&](std::uint32_t x, std::uint32_t y) -> std::int32_t {
        if (x < left || y < top || x - left >= width || y - top >= height) return NO_BLOCK;
        return grid[std::size_t{height - 1 - (y - top)} * width + (x - left)];
    };
    constexpr std::uint32_t SIDE = MAP_ART_SIDE, LENGTH = MAP_ART_SIDE + 1;  // with the reference row
    MapArt art;
    art.mapsWide = request.mapsWide;
    art.mapsTall = request.mapsTall;
    double heightSum = 0;
    std::uint64_t columnsWithArt = 0;
    std::vector<std::int8_t> shades(LENGTH);
    std::vector<std::int32_t> entries(LENGTH);
    std::vector<std::int32_t> heights(std::size_t{SIDE} * LENGTH);  // [z * SIDE + x]
    for (std::uint32_t row = 0; row < request.mapsTall; ++row) {
        for (std::uint32_t column = 0; column < request.mapsWide; ++column) {
            MapPiece piece;
            piece.row = row;
            piece.column = column;
            bool lowSupport = false;
            std::int32_t highest = 0;
            for (std::uint32_t x = 0; x < SIDE; ++x) {
                shades[0] = -1;
                entries[0] = NO_BLOCK;
                for (std::uint32_t z = 1; z < LENGTH; ++z) {
                    entries[z] = entryAt(column * SIDE + x, row * SIDE + z - 1);
                    shades[z] = entries[z] == NO_BLOCK ? std::int8_t{-1}
                                                       : static_cast<std::int8_t>(palette.shade[static_cast<std::size_t>(entries[z])]);
                }
                const std::vector<std::int32_t> columnHeights = ColumnHeights(shades, request.mode);
                for (std::uint32_t z = 0; z < LENGTH; ++z) {
                    const std::int32_t y = columnHeights[z];
                    heights[std::size_t{z} * SIDE + x] = y;
                    highest = std::max(highest, y);
                    if (y == 0 && entries[z] != NO_BLOCK && palette.needsSupport[static_cast<std::size_t>(entries[z])]) lowSupport = true;
                }
            }
            // A support block under the lowest art lifts the whole piece by one.
            const std::int32_t lift = lowSupport ? 1 : 0;
            piece.layers = static_cast<std::uint32_t>(highest + 1 + lift);
            piece.top.assign(std::size_t{SIDE} * LENGTH, NO_BLOCK);
            piece.heights.assign(std::size_t{SIDE} * LENGTH, -1);
            piece.art.assign(std::size_t{SIDE} * SIDE, NO_BLOCK);
            double pieceSum = 0;
            std::uint32_t pieceColumns = 0;
            for (std::uint32_t x = 0; x < SIDE; ++x) {
                std::int32_t columnTop = -1;
                bool hasArt = false;
                for (std::uint32_t z = 0; z < LENGTH; ++z) {
                    const std::int32_t h = heights[std::size_t{z} * SIDE + x];
                    if (h < 0) continue;
                    const std::int32_t y = h + lift;
                    const std::int32_t entry = z == 0 ? NO_BLOCK : entryAt(column * SIDE + x, row * SIDE + z - 1);
                    piece.top[std::size_t{LENGTH - 1 - z} * SIDE + x] = entry == NO_BLOCK ? palette.supportEntry : entry;
                    piece.heights[std::size_t{z} * SIDE + x] = static_cast<std::int16_t>(y);
                    columnTop = std::max(columnTop, y);
                    if (entry == NO_BLOCK) {
                        ++piece.supportBlocks;
                        continue;
                    }
                    hasArt = true;
                    const auto e = static_cast<std::size_t>(entry);
                    piece.art[std::size_t{SIDE - z} * SIDE + x] = entry;
                    piece.colors[std::size_t{z - 1} * SIDE + x] = static_cast<std::uint8_t>(palette.base[e] * 4 + palette.shade[e]);
                    if (palette.needsSupport[e]) ++piece.supportBlocks;
                }
                if (hasArt) {
                    pieceSum += columnTop + 1;
                    ++pieceColumns;
                }
            }
            piece.meanColumnHeight = pieceColumns > 0 ? pieceSum / pieceColumns : 0;
            heightSum += pieceSum;
            columnsWithArt += pieceColumns;
            art.height = std::max(art.height, piece.layers);
            art.pieces.push_back(std::move(piece));
        }
    }
    art.meanColumnHeight = columnsWithArt > 0 ? heightSum / static_cast<double>(columnsWithArt) : 0;

    const GameVersion& version = request.version != nullptr ? *request.version : NewestGameVersion();
    const std::uint32_t buildHeight = BuildHeight(version);
    const bool user = request.maxHeight != 0 && request.maxHeight < buildHeight;
    const std::uint32_t limit = user ? request.maxHeight : buildHeight;
    if (art.height > limit) {
        const auto tallest = std::max_element(art.pieces.begin(), art.pieces.end(), [](const MapPiece& a, const MapPiece& b) {
            return a.layers < b.layers;
        });
        art.refusal = std::string(MapModeName(request.mode)) + " map art needs " + std::to_string(art.height) +
                      " blocks of height (map " + std::to_string(tallest->row + 1) + "-" +
                      std::to_string(tallest->column + 1) + "), above " +
                      (user ? "the limit of " + std::to_string(limit) + (limit == 1 ? " block" : " blocks")
                            : "the build height of " + std::to_string(limit) + " blocks in Minecraft " + std::string(version.name)) +
                      (request.mode == MapMode::Staircase ? ": valley staircasing needs less, a flat map one layer"
                       : request.mode == MapMode::Valley  ? ": a flat map needs one layer"
                                                          : ": blocks that fall or need support stand one higher");
    }
    out = std::move(art);
}

bool PaintMapPreview(const MapArt& art, const MapPalette& palette, PixelSurface& preview) {
    if (!preview.Create(art.mapsWide * MAP_ART_SIDE, art.mapsTall * MAP_ART_SIDE)) return false;
    if (!preview.HasPixels()) return true;
    for (const MapPiece& piece : art.pieces) {
        for (std::uint32_t z = 0; z < MAP_ART_SIDE; ++z) {
            for (std::uint32_t x = 0; x < MAP_ART_SIDE; ++x) {
                const std::int32_t entry = piece.art[std::size_t{MAP_ART_SIDE - 1 - z} * MAP_ART_SIDE + x];
                if (entry == NO_BLOCK) continue;
                preview.At(piece.column * MAP_ART_SIDE + x, piece.row * MAP_ART_SIDE + z) =
                    palette.table.colors[static_cast<std::size_t>(entry)] | 0xFF000000u;
            }
        }
    }
    return true;
}

}  // namespace tesselbox
