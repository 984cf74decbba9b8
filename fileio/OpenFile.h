// Opening files by path on every platform: on Windows through the wide API, so that a name outside
// the system code page still opens.
#pragma once

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

namespace tesselbox {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// mode as for fopen; returns null on failure with errno set.
std::FILE* OpenFile(const std::filesystem::path& path, const char* mode);

// Opens a file to read ("rb"), refusing anything but a regular file (a FIFO, a device, a socket,
// a folder) before opening it could block or read forever. Null on failure, with the English
// reason in why.
std::FILE* OpenFileToRead(const std::filesystem::path& path, std::string& why);

// The path as the user typed it, for messages (UTF-8 on Windows too).
std::string DisplayPath(const std::filesystem::path& path);

}  // namespace tesselbox
