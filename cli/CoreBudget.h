// Shares the processors among the pictures of a batch: a worker holds a grant while it computes.
// A big conversion runs on two threads of its own, so it asks for two.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <mutex>

namespace tesselbox::cli {

class CoreBudget {
public:
    explicit CoreBudget(unsigned cores) : free_(std::max(1u, cores)), total_(free_) {}

    // Holds count cores (at most all of them) until it goes out of scope. A worker must hold at
    // most one grant at a time, or two workers could wait for each other.
    class Grant {
    public:
        Grant(CoreBudget& budget, unsigned count)
            : budget_(budget), count_(std::min(count, budget.total_)) {
            budget_.Take(count_);
        }
        ~Grant() { budget_.Give(count_); }
        Grant(const Grant&) = delete;
        Grant& operator=(const Grant&) = delete;

    private:
        CoreBudget& budget_;
        unsigned count_;
    };

private:
    void Take(unsigned count) {
        std::unique_lock lock(mutex_);
        freed_.wait(lock, [&] { return free_ >= count; });
        free_ -= count;
    }
    void Give(unsigned count) {
        {
            std::lock_guard lock(mutex_);
            free_ += count;
        }
        freed_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable freed_;
    unsigned free_;
    unsigned total_;
};

}  // namespace tesselbox::cli
