#include "common/TickDriver.h"

#include <QScreen>
#include <QWidget>

#include "platform/SerialQueue.h"
#include "platform/TimerSource.h"

namespace pendra {

using namespace std::chrono_literals;

namespace {

// A count drawn at the frame rate is read off the grid: the source's thread
// then sleeps for as long as a grid of these lasts.
constexpr std::uint64_t kNeverWake = std::uint64_t(1) << 32;

// One displayed frame of the widget's screen; 60 Hz when it cannot tell.
std::chrono::milliseconds frameInterval(const QWidget* widget) {
    const QScreen* screen = widget ? widget->screen() : nullptr;
    double hz = screen ? screen->refreshRate() : 0.0;
    if (!(hz >= 24.0 && hz <= 240.0)) {
        hz = 60.0;
    }
    return std::chrono::milliseconds(qint64(1000.0 / hz + 0.5));
}

}  // namespace

TickDriver::TickDriver(const QString& queueLabel, std::chrono::nanoseconds interval,
                       QObject* parent)
    : QObject(parent), queueLabel_(queueLabel), interval_(interval) {
    frameTimer_.setTimerType(Qt::PreciseTimer);
    connect(&frameTimer_, &QTimer::timeout, this, [this] {
        if (redraw_) {
            redraw_();
        }
    });
}

TickDriver::~TickDriver() {
    {
        std::lock_guard lock(mutex_);
        ++generation_;
        source_.reset();
    }
    // Runs still queued find a newer generation and do nothing.
    queue_.reset();
}

void TickDriver::drawWithFrames(QWidget* widget, std::chrono::milliseconds gap) {
    frameWidget_ = widget;
    frameGap_ = gap;
    everyFrame_ = true;
    updateFrames();
}

void TickDriver::start(std::chrono::nanoseconds firstAfter) {
    state_ = State::running;
    std::lock_guard lock(mutex_);
    ++generation_;
    handedOver_ = 0;
    source_.reset();
    if (!manual_) {
        if (!queue_) {
            queue_ = std::make_unique<SerialQueue>(queueLabel_);
        }
        const std::uint64_t generation = generation_;
        source_ = std::make_unique<TimerSource>(
            *queue_, interval_,
            [this, generation](std::uint64_t firings) { run(generation, firings); }, firstAfter);
        source_->setWakeEvery(everyFrame_ ? kNeverWake : 1);
        source_->resume();
    }
    updateFrames();
}

void TickDriver::pause() {
    if (state_ != State::running) {
        return;
    }
    state_ = State::paused;
    {
        std::lock_guard lock(mutex_);
        if (source_) {
            source_->suspend();
        }
    }
    updateFrames();
}

void TickDriver::resume() {
    if (state_ != State::paused) {
        return;
    }
    state_ = State::running;
    {
        std::lock_guard lock(mutex_);
        if (source_) {
            source_->resume();
        }
    }
    updateFrames();
}

void TickDriver::stop() {
    state_ = State::stopped;
    {
        std::lock_guard lock(mutex_);
        ++generation_;
        handedOver_ = 0;
        source_.reset();
    }
    updateFrames();
}

std::uint64_t TickDriver::count() const {
    std::lock_guard lock(mutex_);
    return source_ ? source_->count() : handedOver_;
}

std::chrono::nanoseconds TickDriver::elapsed() const {
    std::lock_guard lock(mutex_);
    return source_ ? source_->elapsed() : std::chrono::nanoseconds(0);
}

void TickDriver::tick(std::uint64_t firings) {
    if (state_ == State::running) {
        run(locked([this] { return generation_; }), firings);
    }
}

void TickDriver::run(std::uint64_t generation, std::uint64_t firings) {
    bool ended = false;
    {
        std::lock_guard lock(mutex_);
        if (generation != generation_) {
            return;
        }
        handedOver_ += firings;
        if (handler_ && !handler_(firings)) {
            ended = true;
            if (source_) {
                source_->cancel();
            }
        }
    }
    if (!everyFrame_) {
        requestRedraw();
    }
    if (ended && onEnd_) {
        onEnd_();
    }
}

void TickDriver::setShown(bool shown) {
    shown_ = shown;
    updateFrames();
    // Nothing was drawn while hidden: catch up at once.
    if (shown && redraw_) {
        redraw_();
    }
}

void TickDriver::requestRedraw() {
    if (!shown_ || redrawPending_.exchange(true)) {
        return;
    }
    QPointer<TickDriver> self(this);
    mainQueueAsync([self] {
        if (!self) {
            return;
        }
        // Cleared before the state is read, so a run after this posts again.
        self->redrawPending_ = false;
        if (self->redraw_) {
            self->redraw_();
        }
    });
}

void TickDriver::updateFrames() {
    if (everyFrame_ && shown_ && state_ == State::running) {
        const std::chrono::milliseconds frame = frameInterval(frameWidget_);
        frameTimer_.setInterval(frame * std::max<qint64>(1, (frameGap_ + frame - 1ms) / frame));
        if (!frameTimer_.isActive()) {
            frameTimer_.start();
        }
    } else {
        frameTimer_.stop();
    }
}

}  // namespace pendra
