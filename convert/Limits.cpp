#include "convert/Limits.h"

namespace tesselbox {

std::optional<std::string> CheckWorkingSize(std::uint32_t width, std::uint32_t height) {
    const std::string size = std::to_string(width) + " x " + std::to_string(height);
    if (width > MAX_PICTURE_SIDE || height > MAX_PICTURE_SIDE) {
        return "the picture is " + size + " pixels; a side may be at most " +
               std::to_string(MAX_PICTURE_SIDE);
    }
    if (std::uint64_t{width} * height > MAX_PICTURE_PIXELS) {
        return "the picture is " + size + " pixels; at most " +
               std::to_string(MAX_PICTURE_PIXELS) + " pixels (16384 x 16384) are allowed";
    }
    return std::nullopt;
}

}  // namespace tesselbox
