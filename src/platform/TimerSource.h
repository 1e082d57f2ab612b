#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

namespace pendra {

class SerialQueue;

// A strict periodic timer on a serial queue. The grid is laid at creation on
// CLOCK_BOOTTIME (time asleep counts): firing k is due at creation + firstAfter
// + k * interval, the first one at once unless firstAfter says otherwise. The
// source starts suspended; resume() starts it.
//
// The handler runs only on its queue, never twice at once, and is told how many
// firings the run stands for: firings missed while the source ran are merged
// into one run; the firings missed while it was suspended count as one.
// cancel() stops every further firing, also one already queued. Destruction is
// safe in every state (suspended, running, cancelled, never started).
//
// setWakeEvery(n) keeps the grid and the count but wakes only at every n-th
// grid point, for a user nobody is watching; lowering it hands over what has
// come due at once, and suspend() hands over what came due before it.
class TimerSource {
public:
    using Handler = std::function<void(std::uint64_t firings)>;

    TimerSource(SerialQueue& queue, std::chrono::nanoseconds interval, Handler handler,
                std::chrono::nanoseconds firstAfter = std::chrono::nanoseconds(0));
    ~TimerSource();
    TimerSource(const TimerSource&) = delete;
    TimerSource& operator=(const TimerSource&) = delete;

    void resume();                             // no effect when running or cancelled
    void suspend();                            // no effect when suspended or cancelled
    void cancel();                             // from any thread, also from the handler
    void setWakeEvery(std::uint64_t firings);  // 1 (the default) wakes at every one
    bool isSuspended() const;
    bool isCancelled() const;
    // Time since the grid's first point on the source's clock, negative before
    // it: where on the grid "now" is, whatever has been handed over.
    std::chrono::nanoseconds elapsed() const;
    // Firings so far: those handed over, on their way or due by now. What the
    // handler's runs add up to once they catch up, read without waking it.
    std::uint64_t count() const;

private:
    struct Impl;
    std::shared_ptr<Impl> d;
};

}  // namespace pendra
