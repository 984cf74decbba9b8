#include "tests/cli/CliTestSupport.h"

#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <QString>

#include <sstream>

namespace tesselbox::testing {

CliResult RunCli(const std::vector<std::string>& args, const cli::Environment& environment) {
    std::ostringstream out;
    std::ostringstream err;
    CliResult result;
    result.code = cli::run(args, out, err, environment);
    result.out = out.str();
    result.err = err.str();
    return result;
}

QImage MakeImage(int width, int height, const std::function<QRgb(int, int)>& pixel) {
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) image.setPixel(x, y, pixel(x, y));
    }
    return image;
}

void SavePicture(const QImage& image, const std::filesystem::path& path) {
    ASSERT_TRUE(image.save(QString::fromStdString(path.string()))) << path;
}

namespace {

std::uint32_t BigEndian(std::string_view bytes, std::size_t at, std::size_t size) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < size; ++i) value = (value << 8) | std::uint8_t(bytes[at + i]);
    return value;
}

}  // namespace

SchematicFields ReadSchematic(const std::filesystem::path& path) {
    const std::string bytes = ReadBytes(path);
    SchematicFields fields;
    if (bytes.size() < 124) {
        ADD_FAILURE() << path << " has " << bytes.size() << " bytes, fewer than any schematic";
        return {};
    }
    const std::uint32_t cells = BigEndian(bytes, 108, 4);  // the "Blocks" array length
    if (bytes.size() != 124 + 2 * std::uint64_t{cells} || bytes.substr(102, 6) != "Blocks" ||
        bytes.substr(115 + cells, 4) != "Data") {
        ADD_FAILURE() << path << " is not a schematic of " << cells << " cells";
        return {};
    }
    fields.length = BigEndian(bytes, 32, 2);
    fields.width = BigEndian(bytes, 42, 2);
    fields.blocks = bytes.substr(112, cells);
    fields.data = bytes.substr(123 + cells, cells);
    return fields;
}

CurrentFolder::CurrentFolder(const std::filesystem::path& folder)
    : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(folder);
}

CurrentFolder::~CurrentFolder() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
}

}  // namespace tesselbox::testing
