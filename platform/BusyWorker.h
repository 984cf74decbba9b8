// The second thread that busy work runs on, started the same way by every window.
#pragma once

#include <exception>
#include <functional>
#include <system_error>
#include <thread>

namespace tesselbox::platform {

// Runs work, keeps what it throws in failure, then calls done, on a thread of its own; not
// joinable when no thread is to be had (nothing has run: the caller does the work itself). work
// and failure must outlive the thread.
template <typename Done>
std::thread StartBusyWorker(const std::function<void()>& work, std::exception_ptr& failure, Done done) {
    try {
        return std::thread([&work, &failure, done] {
            try {
                work();
            } catch (...) {
                failure = std::current_exception();
            }
            done();
        });
    } catch (const std::system_error&) {
        return {};
    }
}

}  // namespace tesselbox::platform
