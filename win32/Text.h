// UTF-8 (the core's texts) to UTF-16 (the W entry points).
#pragma once

#include <string>
#include <string_view>

namespace tesselbox::win32 {

std::wstring Widen(std::string_view utf8);

}  // namespace tesselbox::win32
