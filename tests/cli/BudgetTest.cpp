// What a batch's workers share: the memory the machine has free, and a budget that never lets the
// holders together exceed it, except a single need larger than all of it, which runs alone.
#include "cli/CoreBudget.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace tesselbox::cli {
namespace {

namespace fs = std::filesystem;
using testing::TempFolder;
using testing::WriteBytes;

TEST(Budget, AvailableMemoryIsTheLeastOfTheSystemAndTheControlGroup) {
    const std::string meminfo = "MemTotal:       16000000 kB\nMemFree:  100 kB\nMemAvailable:    8000000 kB\n";
    struct Case {
        const char* name;
        const char* meminfo;      // nullptr: no such file
        const char* v2Limit;      // memory.max, nullptr: none
        const char* v2Used;
        const char* v1Limit;      // memory/memory.limit_in_bytes
        const char* v1Used;
        std::uint64_t expected;
    };
    const Case cases[] = {
        {"system only", meminfo.c_str(), nullptr, nullptr, nullptr, nullptr, 8000000ull * 1024},
        {"v2 limit below", meminfo.c_str(), "4294967296\n", "1073741824\n", nullptr, nullptr, 3221225472ull},
        {"v2 without a limit", meminfo.c_str(), "max\n", "1073741824\n", nullptr, nullptr, 8000000ull * 1024},
        {"v1 limit below", meminfo.c_str(), nullptr, nullptr, "2147483648\n", "1073741824\n", 1073741824ull},
        {"v1 without a limit", meminfo.c_str(), nullptr, nullptr, "9223372036854771712\n", "5\n", 8000000ull * 1024},
        {"limit used up", meminfo.c_str(), "100\n", "200\n", nullptr, nullptr, 0},
        {"no meminfo", nullptr, "4096\n", "1024\n", nullptr, nullptr, 3072},
        {"nothing to read", nullptr, nullptr, nullptr, nullptr, nullptr, 0},
        {"no MemAvailable line", "MemTotal: 5 kB\n", nullptr, nullptr, nullptr, nullptr, 0},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        fs::create_directory(folder / "memory");
        const auto put = [&](const fs::path& file, const char* text) {
            if (text != nullptr) WriteBytes(folder.path() / file, text);
        };
        put("meminfo", c.meminfo);
        put("memory.max", c.v2Limit);
        put("memory.current", c.v2Used);
        put("memory/memory.limit_in_bytes", c.v1Limit);
        put("memory/memory.usage_in_bytes", c.v1Used);
        EXPECT_EQ(AvailableMemory(folder / "meminfo", folder.path()), c.expected) << c.name;
    }
}

// Four workers take 60 of 100 units over and over: never two at once. One need above the whole
// budget still gets it, alone.
TEST(Budget, HoldersNeverExceedTheBudget) {
    MemoryBudget budget(100);
    std::atomic<int> inside{0};
    std::atomic<int> most{0};
    {
        std::vector<std::jthread> workers;
        workers.reserve(4);
        for (int w = 0; w < 4; ++w) {
            workers.emplace_back([&, w] {
                for (int i = 0; i < 300; ++i) {
                    const MemoryBudget::Grant grant(budget, w == 0 && i % 50 == 0 ? 1000 : 60);
                    const int now = ++inside;
                    for (int seen = most.load(); now > seen && !most.compare_exchange_weak(seen, now);) {
                    }
                    std::this_thread::yield();
                    --inside;
                }
            });
        }
    }
    EXPECT_EQ(most.load(), 1);
    const MemoryBudget::Grant all(budget, 100);  // everything was given back
}

}  // namespace
}  // namespace tesselbox::cli
