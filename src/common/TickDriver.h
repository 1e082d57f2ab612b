#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

class QWidget;

namespace pendra {

class SerialQueue;
class TimerSource;

// What the timer and the stopwatch count with: a strict grid of firings on a
// serial queue of its own, the state that queue shares with the main thread
// behind one lock, and redraws brought back to the main thread. A panel keeps
// that state in plain members and touches it only in its handler or inside
// locked(); it holds no thread of its own.
class TickDriver : public QObject {
public:
    // Runs on the queue under the lock, once per run of merged firings.
    // Returning false ends the count: no further firing.
    using Handler = std::function<bool(std::uint64_t firings)>;

    TickDriver(const QString& queueLabel, std::chrono::nanoseconds interval,
               QObject* parent = nullptr);
    ~TickDriver() override;

    void setHandler(Handler handler) { handler_ = std::move(handler); }
    // On the queue, outside the lock, after the handler has ended the count.
    void setOnEnd(std::function<void()> onEnd) { onEnd_ = std::move(onEnd); }
    // On the main thread after runs, coalesced, never while hidden.
    void setRedraw(std::function<void()> redraw) { redraw_ = std::move(redraw); }
    // Redraw in step with the frames of `widget`'s screen while shown and
    // running, whole frames at least `gap` apart, instead of after runs: the
    // source then wakes nobody and count() reads the grid. For a count nobody
    // needs to hear about between frames.
    void drawWithFrames(QWidget* widget, std::chrono::milliseconds gap);

    // A fresh grid counting from zero, its first firing `firstAfter` from now.
    void start(std::chrono::nanoseconds firstAfter = std::chrono::nanoseconds(0));
    void pause();  // the span paused counts as one firing at resume()
    void resume();
    void stop();  // no further firing, also none already queued

    // Firings of this grid so far, those not handed to the handler included.
    std::uint64_t count() const;
    // Where "now" is on the grid, from its first point (negative before it).
    std::chrono::nanoseconds elapsed() const;

    void setShown(bool shown);
    void requestRedraw();  // from any thread

    template <class F>
    auto locked(F&& f) const {
        std::lock_guard lock(mutex_);
        return f();
    }

    // Tests: no source is made; tick() is one run of `firings` merged firings.
    void setManualForTesting(bool manual) { manual_ = manual; }
    bool isManualForTesting() const { return manual_; }
    void tick(std::uint64_t firings);

private:
    enum class State { stopped, running, paused };
    void run(std::uint64_t generation, std::uint64_t firings);
    void updateFrames();

    const QString queueLabel_;
    const std::chrono::nanoseconds interval_;
    Handler handler_;
    std::function<void()> onEnd_;
    std::function<void()> redraw_;
    State state_ = State::stopped;  // main thread only
    bool manual_ = false;

    mutable std::mutex mutex_;
    std::uint64_t generation_ = 0;  // runs of an earlier grid are dropped
    std::uint64_t handedOver_ = 0;
    std::unique_ptr<SerialQueue> queue_;
    std::unique_ptr<TimerSource> source_;

    std::atomic<bool> shown_{true};
    std::atomic<bool> redrawPending_{false};
    QPointer<QWidget> frameWidget_;
    std::chrono::milliseconds frameGap_{0};
    bool everyFrame_ = false;  // set before the queue's thread exists
    QTimer frameTimer_;
};

}  // namespace pendra
