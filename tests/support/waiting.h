// Waiting for another thread, process or client on a machine that may be
// busy: a condition polled until it holds, within a bound so generous that
// only a fault reaches it. Never a count of blocks, ticks or sleeps.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace testing_support {

inline constexpr std::chrono::seconds kPatience{60};

// The end of a wait that began when it was made.
class Deadline {
public:
    explicit Deadline(std::chrono::steady_clock::duration bound = kPatience)
        : end(std::chrono::steady_clock::now() + bound) {}
    bool passed() const { return std::chrono::steady_clock::now() >= end; }

private:
    std::chrono::steady_clock::time_point end;
};

// Calls `step` (when given) and asks `done` until it answers true, pausing a
// little between turns; false when it did not within kPatience.
inline bool waitUntil(const std::function<bool()>& done, const std::function<void()>& step = {}) {
    const Deadline deadline;
    for (;;) {
        if (step) step();
        if (done()) return true;
        if (deadline.passed()) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

} // namespace testing_support
