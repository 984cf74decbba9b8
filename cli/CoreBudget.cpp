#include "cli/CoreBudget.h"

#include <fstream>
#include <optional>
#include <utility>
#include <string>

namespace tesselbox::cli {
namespace {

std::optional<std::uint64_t> NumberIn(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::uint64_t value = 0;
    if (in >> value) return value;
    return std::nullopt;  // also "max": no limit
}

}  // namespace

std::uint64_t AvailableMemory(const std::filesystem::path& meminfo, const std::filesystem::path& cgroup) {
    std::optional<std::uint64_t> available;
    std::ifstream in(meminfo);
    for (std::string key; in >> key;) {
        std::uint64_t kilobytes = 0;
        if (key == "MemAvailable:" && in >> kilobytes) {
            available = kilobytes * 1024;
            break;
        }
        in.ignore(1 << 12, '\n');
    }
    // cgroup v2, then v1; "max" and v1's huge number for no limit change nothing.
    for (const auto& [limitFile, usedFile] :
         {std::pair{"memory.max", "memory.current"},
          std::pair{"memory/memory.limit_in_bytes", "memory/memory.usage_in_bytes"}}) {
        const auto limit = NumberIn(cgroup / limitFile);
        const auto used = NumberIn(cgroup / usedFile);
        if (!limit || !used) continue;
        const std::uint64_t left = *limit > *used ? *limit - *used : 0;
        available = available ? std::min(*available, left) : left;
        break;
    }
    return available.value_or(0);
}

}  // namespace tesselbox::cli
