#include "palette/BedrockBlockStates.h"

#include <algorithm>
#include <array>

namespace tesselbox {
namespace {

constexpr std::array BEDROCK_VERSIONS = {
#define BEDROCK_VERSION(name, java, blockVersion) BedrockVersion{name, java, blockVersion},
#include "palette/BedrockBlockStates.inc"
#undef BEDROCK_VERSION
};

struct Mapping {
    int version;  // index into BEDROCK_VERSIONS
    const char* java;  // plain pointers: thousands of string_views are too long a constant expression
    const char* bedrock;
};
// Sorted by version, then by the Java state as the generator spelled it (keys sorted).
constexpr Mapping MAPPINGS[] = {
#include "palette/BedrockBlockStates.inc"
};

struct Defaults {
    int version;
    const char* name;        // "minecraft:oak_log"
    const char* properties;  // "axis=y": every property of the block's default state, keys sorted
};
// Sorted by version, then by name; only blocks with properties whose default state has a mapping.
constexpr Defaults DEFAULTS[] = {
#define BEDROCK_DEFAULTS(version, name, properties) Defaults{version, name, properties},
#include "palette/BedrockBlockStates.inc"
#undef BEDROCK_DEFAULTS
};

// "name[a=1,b=2]" with its properties sorted by key, as the table spells Java states.
std::string SortedJava(const BlockState& java) {
    std::vector<std::pair<std::string, std::string>> properties = java.properties;
    std::sort(properties.begin(), properties.end());
    return BlockState{java.name, std::move(properties)}.ToString();
}

}  // namespace

std::span<const BedrockVersion> SupportedBedrockVersions() { return BEDROCK_VERSIONS; }

const BedrockVersion& NewestBedrockVersion() { return BEDROCK_VERSIONS.back(); }

const BedrockVersion* FindBedrockVersion(std::string_view name) {
    for (const BedrockVersion& version : BEDROCK_VERSIONS) {
        if (version.name == name) return &version;
    }
    return nullptr;
}

std::string SupportedBedrockVersionList() {
    std::string list;
    for (const BedrockVersion& version : BEDROCK_VERSIONS) {
        if (!list.empty()) list += ", ";
        list += version.name;
    }
    return list;
}

std::string BedrockState::ToString() const {
    std::string text = name;
    char separator = '[';
    for (const BedrockProperty& property : properties) {
        text += separator;
        text += property.key;
        text += '=';
        switch (property.type) {
            case BedrockProperty::Type::String: text += '"' + property.value + '"'; break;
            case BedrockProperty::Type::Byte: text += property.value + 'b'; break;
            case BedrockProperty::Type::Int: text += property.value; break;
        }
        separator = ',';
    }
    return separator == ',' ? text + ']' : text;
}

bool ParseBedrockState(std::string_view text, BedrockState& out) {
    out = {};
    const std::size_t open = text.find('[');
    out.name = std::string(text.substr(0, open));
    if (out.name.empty()) return false;
    if (open == std::string_view::npos) return true;
    if (text.back() != ']') return false;
    std::string_view rest = text.substr(open + 1, text.size() - open - 2);
    while (!rest.empty()) {
        const std::size_t equals = rest.find('=');
        if (equals == std::string_view::npos || equals == 0) return false;
        BedrockProperty property;
        property.key = std::string(rest.substr(0, equals));
        rest.remove_prefix(equals + 1);
        std::size_t end = 0;
        if (!rest.empty() && rest[0] == '"') {
            end = rest.find('"', 1);
            if (end == std::string_view::npos) return false;
            property.value = std::string(rest.substr(1, end - 1));
            ++end;
        } else {
            end = std::min(rest.find(','), rest.size());
            std::string_view number = rest.substr(0, end);
            property.type = BedrockProperty::Type::Int;
            if (!number.empty() && number.back() == 'b') {
                property.type = BedrockProperty::Type::Byte;
                number.remove_suffix(1);
            }
            if (number.empty() || number.find_first_not_of("-0123456789") != std::string_view::npos) return false;
            property.value = std::string(number);
        }
        out.properties.push_back(std::move(property));
        rest.remove_prefix(end);
        if (!rest.empty()) {
            if (rest[0] != ',') return false;
            rest.remove_prefix(1);
        }
    }
    return true;
}

namespace {

bool FindMapping(int index, const std::string& key, BedrockState& out) {
    const auto* end = std::end(MAPPINGS);
    const auto* found = std::lower_bound(std::begin(MAPPINGS), end, std::pair{index, std::string_view(key)},
                                         [](const Mapping& m, const auto& wanted) {
                                             return std::pair{m.version, std::string_view(m.java)} < wanted;
                                         });
    if (found == end || found->version != index || std::string_view(found->java) != key) return false;
    return ParseBedrockState(found->bedrock, out);
}

// The state with the properties it leaves out taken from its block's default; false when the
// version has no defaults for that name.
bool WithDefaults(const BlockState& java, int index, BlockState& out) {
    const auto* end = std::end(DEFAULTS);
    const auto* found = std::lower_bound(std::begin(DEFAULTS), end, std::pair{index, std::string_view(java.name)},
                                         [](const Defaults& d, const auto& wanted) {
                                             return std::pair{d.version, std::string_view(d.name)} < wanted;
                                         });
    if (found == end || found->version != index || std::string_view(found->name) != java.name) return false;
    out = java;
    std::string_view rest = found->properties;
    while (!rest.empty()) {
        const std::size_t comma = std::min(rest.find(','), rest.size());
        const std::string_view property = rest.substr(0, comma);
        rest.remove_prefix(std::min(comma + 1, rest.size()));
        const std::size_t equals = property.find('=');
        std::string key(property.substr(0, equals));
        const bool given = std::any_of(java.properties.begin(), java.properties.end(),
                                       [&key](const auto& p) { return p.first == key; });
        if (!given) out.properties.emplace_back(std::move(key), std::string(property.substr(equals + 1)));
    }
    return out.properties.size() > java.properties.size();
}

}  // namespace

bool BedrockStateFor(const BlockState& java, const BedrockVersion& version, BedrockState& out) {
    const int index = static_cast<int>(&version - BEDROCK_VERSIONS.data());
    if (FindMapping(index, SortedJava(java), out)) return true;
    BlockState completed;
    return WithDefaults(java, index, completed) && FindMapping(index, SortedJava(completed), out);
}

TableBedrockStates ResolveTableBedrockStates(const ColorTable& table, const BedrockVersion& version) {
    TableBedrockStates result;
    const GameVersion* java = FindGameVersion(version.javaVersion);
    result.states.resize(static_cast<std::size_t>(std::max(table.count, 0)));
    for (std::size_t i = 0; i < result.states.size(); ++i) {
        BlockState javaState;
        const bool byName = !table.blockStates[i].empty();
        if (byName) javaState = ParseBlockState(table.blockStates[i]);
        const bool named =
            byName || (java != nullptr && BlockStateFor(table.blockIds[i], table.blockData[i], *java, javaState));
        if (named && BedrockStateFor(javaState, version, result.states[i])) continue;
        std::string& message = result.message;
        message = TableEntryPlace(table, i);
        if (byName) {
            message += ": " + table.blockStates[i];
        } else {
            message += ": block " + std::to_string(table.blockIds[i]) + ":" + std::to_string(table.blockData[i]);
            if (named) message += " (" + javaState.ToString() + ")";
        }
        message += " has no block in Bedrock ";
        message += version.name;
        message += "; a Java format can hold it";
        result.states.clear();
        return result;
    }
    return result;
}

}  // namespace tesselbox
