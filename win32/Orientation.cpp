#include "win32/Orientation.h"

#include "fileio/OpenFile.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace tesselbox::win32 {
namespace {

constexpr std::size_t HEAD_BYTES = 128 * 1024;  // far beyond any APP1 segment's 64 KiB limit
constexpr std::uint16_t ORIENTATION_TAG = 0x0112;
constexpr std::uint16_t SHORT_TYPE = 3;

class Reader {
public:
    Reader(std::span<const std::byte> bytes, bool bigEndian) : bytes_(bytes), big_(bigEndian) {}
    bool Has(std::size_t offset, std::size_t count) const {
        return offset <= bytes_.size() && count <= bytes_.size() - offset;
    }
    std::uint32_t U16(std::size_t at) const {
        const auto a = std::to_integer<std::uint32_t>(bytes_[at]);
        const auto b = std::to_integer<std::uint32_t>(bytes_[at + 1]);
        return big_ ? (a << 8 | b) : (b << 8 | a);
    }
    std::uint32_t U32(std::size_t at) const {
        return big_ ? (U16(at) << 16 | U16(at + 2)) : (U16(at + 2) << 16 | U16(at));
    }

private:
    std::span<const std::byte> bytes_;
    bool big_;
};

// tiff: the TIFF structure inside the EXIF block, offsets counted from its start.
int OrientationInTiff(std::span<const std::byte> tiff) {
    if (tiff.size() < 8) return 1;
    const bool big = tiff[0] == std::byte{'M'} && tiff[1] == std::byte{'M'};
    if (!big && !(tiff[0] == std::byte{'I'} && tiff[1] == std::byte{'I'})) return 1;
    const Reader read(tiff, big);
    if (read.U16(2) != 42) return 1;
    const std::size_t directory = read.U32(4);
    if (!read.Has(directory, 2)) return 1;
    const std::size_t entries = read.U16(directory);
    for (std::size_t i = 0; i < entries; ++i) {
        const std::size_t entry = directory + 2 + i * 12;
        if (!read.Has(entry, 12)) return 1;
        if (read.U16(entry) != ORIENTATION_TAG) continue;
        if (read.U16(entry + 2) != SHORT_TYPE || read.U32(entry + 4) != 1) return 1;
        const std::uint32_t value = read.U16(entry + 8);  // a SHORT sits at the value's start
        return value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
    }
    return 1;
}

}  // namespace

int JpegOrientation(std::span<const std::byte> head) {
    const Reader read(head, true);  // JPEG segment lengths are big-endian
    if (!read.Has(0, 2) || read.U16(0) != 0xFFD8) return 1;
    std::size_t at = 2;
    while (read.Has(at, 4) && head[at] == std::byte{0xFF}) {
        const std::uint32_t marker = read.U16(at);
        if (marker == 0xFFDA || marker == 0xFFD9) break;  // picture data or its end: no more tags
        const std::size_t length = read.U16(at + 2);  // counts itself, not the marker
        if (length < 2 || !read.Has(at + 2, length)) break;
        const std::span<const std::byte> data = head.subspan(at + 4, length - 2);
        if (marker == 0xFFE1 && data.size() >= 6 && std::memcmp(data.data(), "Exif\0\0", 6) == 0) {
            return OrientationInTiff(data.subspan(6));
        }
        at += 2 + length;
    }
    return 1;
}

int JpegOrientation(const std::filesystem::path& path) {
    FileHandle file(OpenFile(path, "rb"));
    if (!file) return 1;
    std::vector<std::byte> head(HEAD_BYTES);
    head.resize(std::fread(head.data(), 1, head.size(), file.get()));
    return JpegOrientation(head);
}

}  // namespace tesselbox::win32
