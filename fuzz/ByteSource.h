// What the fuzz targets share: numbers taken from the input's bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tesselbox::fuzzing {

// Numbers from the input's bytes, front to back; zeros once it is used up.
class ByteSource {
public:
    ByteSource(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    // A number in [low, high], from as few bytes as the range needs.
    std::int64_t InRange(std::int64_t low, std::int64_t high) {
        const auto span = static_cast<std::uint64_t>(high - low);
        std::uint64_t value = 0;
        for (std::uint64_t covered = 0; covered < span; covered = covered << 8 | 0xFF) {
            value = value << 8 | (at_ < size_ ? data_[at_++] : 0);
        }
        return low + static_cast<std::int64_t>(span == 0 ? 0 : value % (span + 1));
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

struct GridSize {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

// Either a small grid, or one long side, up to past the NBT limit, with no cells at all (the grid
// is then never read).
inline GridSize SomeGridSize(ByteSource& input) {
    switch (input.InRange(0, 2)) {
        case 0: {
            const auto width = static_cast<std::uint32_t>(input.InRange(0, 40));
            return {width, static_cast<std::uint32_t>(input.InRange(0, 40))};
        }
        case 1: return {static_cast<std::uint32_t>(input.InRange(0, 70000)), 0};
        default: return {0, static_cast<std::uint32_t>(input.InRange(0, 70000))};
    }
}

}  // namespace tesselbox::fuzzing
