// A small NBT reader for tests and fuzz targets: reads what the writers put out into a tree, and
// reports the first defect instead of throwing. Written from the format's description, not from
// our writer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tesselbox::testing {

struct NbtNode {
    std::uint8_t type = 0;
    std::string name;
    std::int64_t number = 0;            // Byte, Short, Int, Long
    std::string text;                   // String
    std::vector<std::int64_t> values;   // Byte, Int and Long arrays (bytes as unsigned 0..255)
    std::uint8_t elementType = 0;       // List
    std::vector<NbtNode> children;      // List elements (unnamed) or Compound members

    // The member of a compound with that name, or nullptr.
    const NbtNode* Find(std::string_view member) const {
        for (const NbtNode& child : children) {
            if (child.name == member) return &child;
        }
        return nullptr;
    }
};

class NbtReader {
public:
    explicit NbtReader(std::string_view bytes) : bytes_(bytes) {}

    // Reads one named tag; error() says what was wrong when it is not empty.
    NbtNode Named() {
        NbtNode node;
        node.type = static_cast<std::uint8_t>(Unsigned(1));
        if (node.type != 0 && error_.empty()) {
            node.name = Text();
            Payload(node, 0);
        }
        return node;
    }
    std::size_t at() const { return at_; }
    const std::string& error() const { return error_; }

private:
    void Fail(const char* what) {
        if (error_.empty()) error_ = what;
        at_ = bytes_.size();
    }
    std::uint64_t Unsigned(int size) {  // big-endian
        if (bytes_.size() - at_ < static_cast<std::size_t>(size)) {
            Fail("the bytes end inside a tag");
            return 0;
        }
        std::uint64_t value = 0;
        for (int i = 0; i < size; ++i) value = value << 8 | static_cast<std::uint8_t>(bytes_[at_++]);
        return value;
    }
    std::int64_t Signed(int size) {
        const std::uint64_t value = Unsigned(size);
        const int unused = 64 - 8 * size;
        return static_cast<std::int64_t>(value << unused) >> unused;
    }
    std::string Text() {
        const std::size_t length = Unsigned(2);
        if (bytes_.size() - at_ < length) {
            Fail("the bytes end inside a string");
            return {};
        }
        std::string text(bytes_.substr(at_, length));
        at_ += length;
        return text;
    }
    void Array(NbtNode& node, int elementSize) {
        const std::int64_t length = Signed(4);
        if (length < 0 || static_cast<std::uint64_t>(length) * static_cast<unsigned>(elementSize) > bytes_.size() - at_) {
            Fail("an array's length");
            return;
        }
        node.values.reserve(static_cast<std::size_t>(length));
        for (std::int64_t i = 0; i < length; ++i) {
            node.values.push_back(elementSize == 1 ? static_cast<std::int64_t>(Unsigned(1)) : Signed(elementSize));
        }
    }
    void Payload(NbtNode& node, int depth) {
        if (depth > 16) return Fail("nesting too deep");
        switch (node.type) {
            case 1: node.number = Signed(1); break;
            case 2: node.number = Signed(2); break;
            case 3: node.number = Signed(4); break;
            case 4: node.number = Signed(8); break;
            case 7: Array(node, 1); break;
            case 8: node.text = Text(); break;
            case 9: {
                node.elementType = static_cast<std::uint8_t>(Unsigned(1));
                const std::int64_t count = Signed(4);
                if (count < 0) return Fail("a negative list length");
                for (std::int64_t i = 0; i < count && error_.empty(); ++i) {
                    NbtNode element;
                    element.type = node.elementType;
                    Payload(element, depth + 1);
                    node.children.push_back(std::move(element));
                }
                break;
            }
            case 10:
                while (error_.empty()) {
                    NbtNode member;
                    member.type = static_cast<std::uint8_t>(Unsigned(1));
                    if (member.type == 0 || !error_.empty()) break;
                    member.name = Text();
                    Payload(member, depth + 1);
                    node.children.push_back(std::move(member));
                }
                break;
            case 11: Array(node, 4); break;
            case 12: Array(node, 8); break;
            default: Fail("an unknown tag type");
        }
    }

    std::string_view bytes_;
    std::size_t at_ = 0;
    std::string error_;
};

// Reads a whole buffer that must hold exactly one named tag.
inline NbtNode ReadNbt(std::string_view bytes, std::string& error) {
    NbtReader reader(bytes);
    NbtNode root = reader.Named();
    error = reader.error();
    if (error.empty() && reader.at() != bytes.size()) error = "bytes after the root tag";
    return root;
}

}  // namespace tesselbox::testing
