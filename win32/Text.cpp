// UTF-8 (the core's texts) to UTF-16 (the W entry points).
#include "win32/Text.h"

#include <windows.h>

namespace tesselbox::win32 {

std::wstring Widen(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int length = static_cast<int>(utf8.size());
    const int needed = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(needed), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, wide.data(), needed);
    return wide;
}

}  // namespace tesselbox::win32
