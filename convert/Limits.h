// The largest picture Tesselbox works on, checked before anything of that size is allocated.
#pragma once

#include "palette/BlockGrid.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tesselbox {

inline constexpr std::uint32_t PANEL_SIZE = 300;
// 16384 × 16384: two surfaces and the grid at 4 bytes a pixel are 3 GiB; the window measures
// 3088 MiB at its peak for such a picture kept at full size.
inline constexpr std::uint64_t MAX_PICTURE_PIXELS = std::uint64_t{16384} * 16384;

// nullopt when a working size of width × height is allowed, else an English message that names
// the size and the limit it breaks.
std::optional<std::string> CheckWorkingSize(std::uint32_t width, std::uint32_t height);

}  // namespace tesselbox
