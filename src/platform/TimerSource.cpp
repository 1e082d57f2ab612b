#include "platform/TimerSource.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <thread>

#include "platform/SerialQueue.h"

namespace pendra {

namespace {

std::int64_t bootNowNs() {
    timespec ts{};
    clock_gettime(CLOCK_BOOTTIME, &ts);
    return std::int64_t(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

itimerspec absolute(std::int64_t ns) {
    itimerspec timerSpec{};
    timerSpec.it_value.tv_sec = ns / 1'000'000'000;
    timerSpec.it_value.tv_nsec = ns % 1'000'000'000;
    return timerSpec;
}

}  // namespace

// The grid is watched by a thread of its own that sleeps in poll() on a
// timerfd (CLOCK_BOOTTIME, absolute deadlines), so a suspended or cancelled
// source wakes nobody. The handler runs on the serial queue; at most one run
// is queued at a time, and firings that come due meanwhile are added to it.
struct TimerSource::Impl : std::enable_shared_from_this<TimerSource::Impl> {
    SerialQueue* queue = nullptr;
    Handler handler;
    std::int64_t origin = 0;
    std::int64_t interval = 0;

    std::mutex mutex;
    std::int64_t nextIndex = 0;  // first grid point not yet counted
    std::int64_t wakeEvery = 1;
    bool drain = false;         // hand over what came due before a suspend
    std::uint64_t pending = 0;  // firings counted, not yet handed to the handler
    std::uint64_t taken = 0;    // every firing ever counted into pending
    bool suspended = true;
    bool cancelled = false;
    bool runQueued = false;

    int timerFd = -1;
    int wakeFd = -1;
    std::thread waiter;

    // Firings due by now that are not counted yet; advances the grid past them.
    std::int64_t takeDueLocked(std::int64_t now) {
        if (now < origin + nextIndex * interval) {
            return 0;
        }
        const std::int64_t due = (now - origin) / interval + 1 - nextIndex;
        nextIndex += due;
        return due;
    }

    void addLocked(std::uint64_t firings) {
        pending += firings;
        taken += firings;
    }

    void armLocked() {
        const itimerspec timerSpec =
            (suspended || cancelled) ? itimerspec{}
                                     : absolute(origin + (nextIndex + wakeEvery - 1) * interval);
        timerfd_settime(timerFd, TFD_TIMER_ABSTIME, &timerSpec, nullptr);
    }

    void queueRunLocked() {
        if (runQueued || pending == 0 || (suspended && !drain) || cancelled) {
            return;
        }
        runQueued = true;
        queue->async([self = shared_from_this()] { self->run(); });
    }

    void run() {
        std::uint64_t firings = 0;
        {
            std::lock_guard lock(mutex);
            runQueued = false;
            if (cancelled || (suspended && !drain)) {
                return;
            }
            drain = false;
            firings = pending;
            pending = 0;
        }
        if (firings > 0 && handler) {
            handler(firings);
        }
    }

    void watch() {
        sched_param param{};
        param.sched_priority = 1;
        // Best effort: an unprivileged process keeps the default policy.
        pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
        pthread_setname_np(pthread_self(), "pendra-timer");
        pollfd fds[2] = {{timerFd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
        for (;;) {
            const int n = poll(fds, 2, -1);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (fds[1].revents & POLLIN) {
                std::uint64_t v = 0;
                [[maybe_unused]] ssize_t r = read(wakeFd, &v, sizeof v);
            }
            if (fds[0].revents & POLLIN) {
                std::uint64_t expirations = 0;
                [[maybe_unused]] ssize_t r = read(timerFd, &expirations, sizeof expirations);
            }
            std::lock_guard lock(mutex);
            if (cancelled) {
                return;
            }
            if (!suspended) {
                addLocked(std::uint64_t(takeDueLocked(bootNowNs())));
                armLocked();
                queueRunLocked();
            }
        }
    }

    void wake() {
        const std::uint64_t one = 1;
        [[maybe_unused]] ssize_t r = write(wakeFd, &one, sizeof one);
    }
};

TimerSource::TimerSource(SerialQueue& queue, std::chrono::nanoseconds interval, Handler handler,
                         std::chrono::nanoseconds firstAfter)
    : d(std::make_shared<Impl>()) {
    d->queue = &queue;
    d->handler = std::move(handler);
    d->interval = std::max<std::int64_t>(1, interval.count());
    d->origin = bootNowNs() + std::max<std::int64_t>(0, firstAfter.count());
    d->timerFd = timerfd_create(CLOCK_BOOTTIME, TFD_CLOEXEC | TFD_NONBLOCK);
    d->wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    d->waiter = std::thread([impl = d] { impl->watch(); });
}

TimerSource::~TimerSource() {
    cancel();
    if (d->waiter.joinable()) {
        if (d->waiter.get_id() == std::this_thread::get_id()) {
            d->waiter.detach();
        } else {
            d->waiter.join();
        }
    }
    close(d->timerFd);
    close(d->wakeFd);
}

void TimerSource::resume() {
    std::lock_guard lock(d->mutex);
    if (!d->suspended || d->cancelled) {
        return;
    }
    d->suspended = false;
    // However many grid points passed while suspended, they make one firing;
    // the first resume of a new source fires at once this way.
    if (d->takeDueLocked(bootNowNs()) > 0) {
        d->addLocked(1);
    }
    d->armLocked();
    d->queueRunLocked();
}

void TimerSource::suspend() {
    std::lock_guard lock(d->mutex);
    if (d->suspended || d->cancelled) {
        return;
    }
    d->suspended = true;
    if (d->wakeEvery > 1) {
        // Between wakes the count lags; a pause must not drop that span.
        d->addLocked(std::uint64_t(d->takeDueLocked(bootNowNs())));
        d->drain = true;
        d->queueRunLocked();
    }
    d->armLocked();
}

void TimerSource::setWakeEvery(std::uint64_t firings) {
    std::lock_guard lock(d->mutex);
    const auto every = std::int64_t(std::max<std::uint64_t>(1, firings));
    if (every == d->wakeEvery || d->cancelled) {
        return;
    }
    const bool sooner = every < d->wakeEvery;
    d->wakeEvery = every;
    if (d->suspended) {
        return;
    }
    if (sooner) {
        d->addLocked(std::uint64_t(d->takeDueLocked(bootNowNs())));
        d->queueRunLocked();
    }
    d->armLocked();
}

void TimerSource::cancel() {
    {
        std::lock_guard lock(d->mutex);
        if (d->cancelled) {
            return;
        }
        d->cancelled = true;
        d->pending = 0;
        d->armLocked();
    }
    d->wake();
}

bool TimerSource::isSuspended() const {
    std::lock_guard lock(d->mutex);
    return d->suspended;
}

std::chrono::nanoseconds TimerSource::elapsed() const {
    return std::chrono::nanoseconds(bootNowNs() - d->origin);
}

std::uint64_t TimerSource::count() const {
    std::lock_guard lock(d->mutex);
    if (d->suspended || d->cancelled) {
        return d->taken;
    }
    const std::int64_t now = bootNowNs();
    const std::int64_t next = d->origin + d->nextIndex * d->interval;
    return d->taken +
           (now < next ? 0 : std::uint64_t((now - d->origin) / d->interval + 1 - d->nextIndex));
}

bool TimerSource::isCancelled() const {
    std::lock_guard lock(d->mutex);
    return d->cancelled;
}

}  // namespace pendra
