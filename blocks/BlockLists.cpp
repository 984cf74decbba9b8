#include "blocks/BlockLists.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <optional>

namespace tesselbox::blocks {
namespace {

struct BlockDefinition {
    std::string_view name;  // without "minecraft:"
    std::uint16_t propertySet;
    std::uint32_t versions;  // bit i: BLOCK_LIST_VERSIONS[i] has it
};

#include "blocks/BlockLists.inc"

constexpr std::string_view NAMESPACE = "minecraft:";

int VersionBit(std::string_view version) {
    const auto* found = std::find(std::begin(BLOCK_LIST_VERSIONS), std::end(BLOCK_LIST_VERSIONS), version);
    return found == std::end(BLOCK_LIST_VERSIONS) ? -1 : static_cast<int>(found - std::begin(BLOCK_LIST_VERSIONS));
}

// The definition of name in the version, or nullptr.
const BlockDefinition* Find(std::string_view version, std::string_view name) {
    const int bit = VersionBit(version);
    if (bit < 0) return nullptr;
    if (name.starts_with(NAMESPACE)) name.remove_prefix(NAMESPACE.size());
    const auto* at = std::lower_bound(std::begin(BLOCK_DEFINITIONS), std::end(BLOCK_DEFINITIONS), name,
                                      [](const BlockDefinition& d, std::string_view n) { return d.name < n; });
    for (; at != std::end(BLOCK_DEFINITIONS) && at->name == name; ++at) {
        if ((at->versions >> bit) & 1u) return at;
    }
    return nullptr;
}

// The values one key of a property set takes ("x|y|z"), or nothing when the set lacks the key.
std::optional<std::string_view> ValuesOf(std::string_view set, std::string_view key) {
    while (!set.empty()) {
        const std::size_t space = std::min(set.find(' '), set.size());
        const std::string_view pair = set.substr(0, space);
        const std::size_t equals = pair.find('=');
        if (pair.substr(0, equals) == key) return pair.substr(equals + 1);
        set.remove_prefix(std::min(space + 1, set.size()));
    }
    return std::nullopt;
}

bool HasValue(std::string_view values, std::string_view value) {
    while (!values.empty()) {
        const std::size_t bar = std::min(values.find('|'), values.size());
        if (values.substr(0, bar) == value) return true;
        values.remove_prefix(std::min(bar + 1, values.size()));
    }
    return false;
}

std::string Spelled(std::string_view text, char from, std::string_view to) {
    std::string out;
    for (char c : text) {
        if (c == from) out += to;
        else out += c;
    }
    return out;
}

}  // namespace

std::span<const std::string_view> BlockListVersions() { return BLOCK_LIST_VERSIONS; }

bool VersionHasBlock(std::string_view version, std::string_view name) { return Find(version, name) != nullptr; }

std::string CheckBlockState(std::string_view version, std::string_view name,
                            const std::vector<std::pair<std::string, std::string>>& properties) {
    const std::string shown = name.starts_with(NAMESPACE) ? std::string(name) : std::string(NAMESPACE) + std::string(name);
    if (!name.starts_with(NAMESPACE) && name.find(':') != std::string_view::npos) {
        return shown.substr(NAMESPACE.size()) + " is not a Minecraft block: names start with minecraft:";
    }
    const BlockDefinition* block = Find(version, name);
    if (block == nullptr) {
        if (VersionBit(version) < 0) return "no block list for Minecraft " + std::string(version);
        return shown + " is no block in Minecraft " + std::string(version);
    }
    const std::string_view set = PROPERTY_SETS[block->propertySet];
    for (std::size_t i = 0; i < properties.size(); ++i) {
        const auto& [key, value] = properties[i];
        for (std::size_t j = 0; j < i; ++j) {
            if (properties[j].first == key) return shown + " names the property " + (key + " twice");
        }
        const auto values = ValuesOf(set, key);
        if (!values) {
            if (set.empty()) return shown + " has no properties in Minecraft " + std::string(version);
            std::string keys;
            for (std::string_view rest = set; !rest.empty();) {
                const std::size_t space = std::min(rest.find(' '), rest.size());
                if (!keys.empty()) keys += ", ";
                keys += rest.substr(0, std::min(rest.find('='), space));
                rest.remove_prefix(std::min(space + 1, rest.size()));
            }
            std::string message = shown + " has no property ";
            message.append(key).append(" in Minecraft ").append(version).append("; it has ").append(keys);
            return message;
        }
        if (!HasValue(*values, value)) {
            std::string message = shown + ": ";
            message.append(key).append(" is one of ").append(Spelled(*values, '|', ", "));
            message.append(", not \"").append(value).append("\"");
            return message;
        }
    }
    return {};
}

}  // namespace tesselbox::blocks
