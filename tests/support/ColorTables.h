// Color tables written out in tests.
#pragma once

#include "palette/ColorTable.h"

#include <cstddef>
#include <initializer_list>
#include <span>

namespace tesselbox::testing {

// A table of these colors, opaque, in this order (block ids and data left zero).
inline ColorTable TableOf(std::span<const Pixel> colors) {
    ColorTable table;
    for (Pixel c : colors) table.colors[static_cast<std::size_t>(table.count++)] = c | 0xFF000000u;
    return table;
}
inline ColorTable TableOf(std::initializer_list<Pixel> colors) { return TableOf(std::span(colors.begin(), colors.size())); }

}  // namespace tesselbox::testing
