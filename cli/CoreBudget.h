// Shares what a batch's pictures compete for among its workers: the processors (a worker holds a
// grant while it computes; a big conversion runs on two threads of its own, so it asks for two)
// and the memory (a worker holds what its picture needs from before the decode to the written file).
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>

namespace tesselbox::cli {

template <typename Unit>
class Budget {
public:
    explicit Budget(Unit total) : free_(std::max(Unit{1}, total)), total_(free_) {}

    // Holds count units (at most all of them: a need larger than the budget runs alone) until
    // it goes out of scope. A worker takes memory before cores and at most one grant of each,
    // or two workers could wait for each other.
    class Grant {
    public:
        Grant(Budget& budget, Unit count) : budget_(budget), count_(std::min(count, budget.total_)) {
            budget_.Take(count_);
        }
        ~Grant() { budget_.Give(count_); }
        Grant(const Grant&) = delete;
        Grant& operator=(const Grant&) = delete;

    private:
        Budget& budget_;
        Unit count_;
    };

    Unit total() const { return total_; }

private:
    void Take(Unit count) {
        std::unique_lock lock(mutex_);
        freed_.wait(lock, [&] { return free_ >= count; });
        free_ -= count;
    }
    void Give(Unit count) {
        {
            std::lock_guard lock(mutex_);
            free_ += count;
        }
        freed_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable freed_;
    Unit free_;
    Unit total_;
};

using CoreBudget = Budget<unsigned>;
using MemoryBudget = Budget<std::uint64_t>;  // bytes

// The memory this process may still take, in bytes: the system's MemAvailable, or less where
// the process's control group (cgroup v2 or v1) allows less; 0 when neither can be read. The files are
// parameters so that tests can hand in their own.
std::uint64_t AvailableMemory(const std::filesystem::path& meminfo = "/proc/meminfo",
                              const std::filesystem::path& cgroup = "/sys/fs/cgroup");

}  // namespace tesselbox::cli
