// What the command-line tests share: running the tool in-process, writing exact pictures, and
// reading a schematic's fields at their fixed offsets.
#pragma once

#include "cli/Cli.h"

#include <QImage>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tesselbox::testing {

struct CliResult {
    int code = -1;
    std::string out;
    std::string err;
};

CliResult RunCli(const std::vector<std::string>& args, const cli::Environment& environment = {});

// A picture of exact, not premultiplied, pixels: pixel(x, y) with y from the top.
QImage MakeImage(int width, int height, const std::function<QRgb(int, int)>& pixel);
// Saves in the format the suffix names; fails the test if Qt cannot.
void SavePicture(const QImage& image, const std::filesystem::path& path);

struct SchematicFields {
    std::uint32_t width = 0;  // the 16-bit fields as written
    std::uint32_t length = 0;
    std::string blocks;  // one byte per cell, top picture row first
    std::string data;
};
// Fails the test (and returns empty fields) when the file is not a schematic of consistent size.
SchematicFields ReadSchematic(const std::filesystem::path& path);

// Runs the test body in another current folder and goes back afterwards.
class CurrentFolder {
public:
    explicit CurrentFolder(const std::filesystem::path& folder);
    ~CurrentFolder();
    CurrentFolder(const CurrentFolder&) = delete;
    CurrentFolder& operator=(const CurrentFolder&) = delete;

private:
    std::filesystem::path previous_;
};

}  // namespace tesselbox::testing
