#include "fileio/OpenFile.h"

#include <string>

namespace tesselbox {

std::FILE* OpenFile(const std::filesystem::path& path, const char* mode) {
#ifdef _WIN32
    std::wstring wideMode;
    for (const char* m = mode; *m; ++m) wideMode.push_back(static_cast<wchar_t>(*m));
    return _wfopen(path.c_str(), wideMode.c_str());
#else
    return std::fopen(path.c_str(), mode);
#endif
}

std::string DisplayPath(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace tesselbox
