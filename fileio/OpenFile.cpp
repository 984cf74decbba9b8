#include "fileio/OpenFile.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <system_error>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tesselbox {
namespace {

#ifndef _WIN32
// Empty for a regular file, else what it is instead.
std::string NotRegular(mode_t mode) {
    if (S_ISREG(mode)) return {};
    if (S_ISDIR(mode)) return "it is a folder, not a file";
    if (S_ISFIFO(mode)) return "it is a FIFO, not a regular file";
    if (S_ISSOCK(mode)) return "it is a socket, not a regular file";
    return "it is a device, not a regular file";
}
#endif

}  // namespace

std::FILE* OpenFile(const std::filesystem::path& path, const char* mode) {
#ifdef _WIN32
    std::wstring wideMode;
    for (const char* m = mode; *m; ++m) wideMode.push_back(static_cast<wchar_t>(*m));
    return _wfopen(path.c_str(), wideMode.c_str());
#else
    return std::fopen(path.c_str(), mode);
#endif
}

std::FILE* OpenFileToRead(const std::filesystem::path& path, std::string& why) {
#ifdef _WIN32
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (std::filesystem::is_directory(status)) {
        why = "it is a folder, not a file";
        return nullptr;
    }
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
        why = "it is not a regular file";
        return nullptr;
    }
    std::FILE* file = _wfopen(path.c_str(), L"rb");
    if (file == nullptr) why = std::strerror(errno);
    return file;
#else
    // The stat keeps devices from being opened at all; O_NONBLOCK and fstat close the race with a
    // FIFO put in the file's place meanwhile, whose open would otherwise wait for a writer.
    struct stat info {};
    if (stat(path.c_str(), &info) == 0) {
        why = NotRegular(info.st_mode);
        if (!why.empty()) return nullptr;
    }
    const int descriptor = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        why = std::strerror(errno);
        return nullptr;
    }
    if (fstat(descriptor, &info) != 0) {
        why = std::strerror(errno);
    } else {
        why = NotRegular(info.st_mode);
    }
    const int flags = fcntl(descriptor, F_GETFL);
    if (why.empty() && (flags < 0 || fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK) != 0)) {
        why = std::strerror(errno);
    }
    std::FILE* file = why.empty() ? fdopen(descriptor, "rb") : nullptr;
    if (file == nullptr) {
        if (why.empty()) why = std::strerror(errno);
        close(descriptor);
    }
    return file;
#endif
}

std::string DisplayPath(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace tesselbox
