// Block names for Bedrock Edition: the versions Tesselbox writes .mcstructure files for, and the
// Bedrock block state of each Java one (palette/BedrockBlockStates.inc, generated from
// minecraft-data, MIT, by scripts/generate/bedrock-tables).
#pragma once

#include "palette/BlockStates.h"
#include "palette/ColorTable.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tesselbox {

struct BedrockVersion {
    std::string_view name;          // "1.21.100"
    std::string_view javaVersion;   // the Java version whose names the table's keys use
    std::int32_t blockVersion = 0;  // the `version` a block palette entry of this version carries
};

// Oldest first; the last one is the default.
std::span<const BedrockVersion> SupportedBedrockVersions();
const BedrockVersion& NewestBedrockVersion();
const BedrockVersion* FindBedrockVersion(std::string_view name);  // nullptr when not supported
std::string SupportedBedrockVersionList();                        // "1.19.1, 1.20.71, ..."

// A Bedrock state's property: its NBT type decides how the value is written.
struct BedrockProperty {
    enum class Type : std::uint8_t { String, Byte, Int };
    std::string key;
    Type type = Type::String;
    std::string value;  // the text for a string, the number for a byte or an int
    bool operator==(const BedrockProperty&) const = default;
};

struct BedrockState {
    std::string name;  // "minecraft:wool"
    std::vector<BedrockProperty> properties;
    // `minecraft:wool[color="white"]`: strings quoted, bytes with a b, ints bare; keys sorted.
    std::string ToString() const;
    bool operator==(const BedrockState&) const = default;
};

// Parses ToString's spelling; false when it is not one.
bool ParseBedrockState(std::string_view text, BedrockState& out);

// The Bedrock state a Java state has in a version (properties in any order); false when none.
bool BedrockStateFor(const BlockState& java, const BedrockVersion& version, BedrockState& out);

// Every color table entry's Bedrock state, indexed like the table.
struct TableBedrockStates {
    std::vector<BedrockState> states;
    std::string message;  // English; names the entry, its line, id:data and Java name when one has none
    bool ok() const { return message.empty(); }
};
TableBedrockStates ResolveTableBedrockStates(const ColorTable& table, const BedrockVersion& version);

}  // namespace tesselbox
