#include "tests/support/TempFolder.h"

#include <fstream>
#include <iterator>
#include <random>
#include <system_error>

namespace tesselbox::testing {

namespace {

std::filesystem::path UniqueTemporaryPath() {
    std::random_device seed;
    return std::filesystem::temp_directory_path() /
           ("tesselbox-test-" + std::to_string(seed()) + "-" + std::to_string(seed()));
}

}  // namespace

TempFolder::TempFolder() : path_(UniqueTemporaryPath()) {
    std::filesystem::create_directories(path_);
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
}

std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace tesselbox::testing
