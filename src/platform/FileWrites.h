#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

namespace pendra {

// The one queue that saves files off the main thread, in the order they were
// handed over, so that an fsync never stalls a frame.
void writeFileAsync(std::function<void()> write);
// Returns once everything handed over so far is on disk (quitting, tests).
void waitForFileWrites();

// The newest of a series of values to save, written on that queue. A value
// handed over while the last one still waits replaces it, so a burst of
// changes costs one write. A value equal to the last one written is skipped
// unless forced (the file may have gone); a failed write is retried by the
// next value, whatever it holds.
template <class T>
class LatestWrite {
public:
    // `write` runs on the file queue and reports whether it succeeded.
    explicit LatestWrite(std::function<bool(const T&)> write)
        : state_(std::make_shared<State>(std::move(write))) {}

    void post(T value, bool force = false) {
        std::lock_guard lock(state_->mutex);
        state_->next = std::move(value);
        state_->force = state_->force || force;
        if (!state_->queued) {
            state_->queued = true;
            writeFileAsync([state = state_] { state->run(); });
        }
    }

private:
    struct State {
        explicit State(std::function<bool(const T&)> w) : write(std::move(w)) {}

        void run() {
            std::optional<T> value;
            bool mustWrite = false;
            {
                std::lock_guard lock(mutex);
                value.swap(next);
                mustWrite = std::exchange(force, false);
                queued = false;
            }
            if (value && (mustWrite || value != written)) {
                if (write(*value)) {
                    written = std::move(value);
                } else {
                    written.reset();
                }
            }
        }

        std::function<bool(const T&)> write;
        std::mutex mutex;
        std::optional<T> next;
        bool force = false;
        bool queued = false;
        std::optional<T> written;  // touched on the file queue only
    };
    std::shared_ptr<State> state_;
};

}  // namespace pendra
