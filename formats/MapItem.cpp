#include "formats/MapItem.h"

#include "fileio/ReplaceFile.h"
#include "formats/NbtWriter.h"

namespace tesselbox {
namespace {

// Java 1.16 (DataVersion 2566) names the dimension ("minecraft:overworld"); before, a number.
constexpr std::int32_t NAMED_DIMENSIONS_SINCE = 2566;

void Emit(NbtWriter& nbt, const MapItem& map, const GameVersion& version) {
    nbt.BeginCompound("");
    nbt.BeginCompound("data");
    nbt.Byte("scale", 0);
    if (version.dataVersion >= NAMED_DIMENSIONS_SINCE) {
        nbt.String("dimension", "minecraft:overworld");
    } else {
        nbt.Int("dimension", 0);
    }
    nbt.Int("xCenter", map.xCenter);
    nbt.Int("zCenter", map.zCenter);
    // Locked: the game never redraws it from the world, so it shows these colors wherever it is.
    nbt.Byte("locked", 1);
    nbt.Byte("trackingPosition", 0);
    nbt.Byte("unlimitedTracking", 0);
    nbt.BeginList("banners", NbtTag::Compound, 0);
    nbt.BeginList("frames", NbtTag::Compound, 0);
    nbt.BeginByteArray("colors", static_cast<std::int32_t>(map.colors.size()));
    nbt.PutBytes(map.colors.data(), map.colors.size());
    nbt.EndCompound();
    nbt.Int("DataVersion", version.dataVersion);
    nbt.EndCompound();
}

}  // namespace

bool WriteMapItemNbt(ByteSink& sink, const MapItem& map, const GameVersion& version) {
    NbtWriter nbt(sink, ByteOrder::Big);
    Emit(nbt, map, version);
    return nbt.good();
}

std::string WriteMapItemFile(const std::filesystem::path& path, const MapItem& map, const GameVersion& version) {
    const WriteOutcome written = ReplaceFile(path, [&](std::FILE* stream) {
        const std::unique_ptr<ByteSink> sink = MakeGzipSink(stream);
        return WriteMapItemNbt(*sink, map, version) && sink->Finish();
    });
    return written.message;
}

}  // namespace tesselbox
