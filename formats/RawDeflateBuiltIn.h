// The piece compressors behind PieceDeflaters(); see formats/RawDeflate.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tesselbox {

bool DeflatePieceWithZlib(const std::uint8_t* data, std::size_t size, bool last, std::vector<std::uint8_t>& out);
bool DeflatePieceWithIsal(const std::uint8_t* data, std::size_t size, bool last, std::vector<std::uint8_t>& out);

}  // namespace tesselbox
