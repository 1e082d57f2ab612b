#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/SerialQueue.h"
#include "platform/TimerSource.h"
#include "support/TestEnvironment.h"

using namespace std::chrono_literals;

namespace pendra {
namespace {

bool waitFor(const std::function<bool()>& pred, std::chrono::milliseconds timeout = 10s) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return pred();
        }
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

TEST(SerialQueueTest, RunsBlocksOneAtATimeInOrder) {
    SerialQueue queue("test.order");
    std::vector<int> seen;
    std::atomic<int> running{0};
    std::atomic<bool> overlapped{false};
    for (int i = 0; i < 200; ++i) {
        queue.async([&, i] {
            if (running.fetch_add(1) != 0) {
                overlapped = true;
            }
            seen.push_back(i);
            running.fetch_sub(1);
        });
    }
    queue.sync([] {});
    ASSERT_EQ(seen.size(), 200u);
    for (int i = 0; i < 200; ++i) {
        EXPECT_EQ(seen[size_t(i)], i);
    }
    EXPECT_FALSE(overlapped);
}

TEST(SerialQueueTest, SyncWaitsAndIsCurrentKnowsItsThread) {
    SerialQueue queue("test.sync");
    EXPECT_FALSE(queue.isCurrent());
    bool inside = false;
    queue.sync([&] { inside = queue.isCurrent(); });
    EXPECT_TRUE(inside);
    // sync from the queue itself runs inline instead of deadlocking.
    int nested = 0;
    queue.sync([&] { queue.sync([&] { nested = 1; }); });
    EXPECT_EQ(nested, 1);
}

TEST(SerialQueueTest, DestructionRunsWhatIsQueued) {
    std::atomic<int> ran{0};
    {
        SerialQueue queue("test.drain");
        queue.async([] { std::this_thread::sleep_for(20ms); });
        for (int i = 0; i < 10; ++i) {
            queue.async([&] { ran++; });
        }
    }
    EXPECT_EQ(ran.load(), 10);
}

TEST(MainQueueTest, BlocksFromAWorkerRunOnTheMainThread) {
    QThread* mainThread = QThread::currentThread();
    std::atomic<bool> done{false};
    QThread* ranOn = nullptr;
    std::thread worker([&] {
        mainQueueAsync([&] {
            ranOn = QThread::currentThread();
            done = true;
        });
    });
    worker.join();
    ASSERT_TRUE(test::waitUntil([&] { return done.load(); }));
    EXPECT_EQ(ranOn, mainThread);
}

// Collects what the handler was told, and where it ran.
struct Recorder {
    std::mutex mutex;
    std::vector<std::uint64_t> runs;
    std::atomic<int> concurrent{0};
    std::atomic<bool> overlapped{false};
    std::atomic<bool> offQueue{false};
    SerialQueue* queue = nullptr;

    TimerSource::Handler handler() {
        return [this](std::uint64_t n) {
            if (concurrent.fetch_add(1) != 0) {
                overlapped = true;
            }
            if (queue != nullptr && !queue->isCurrent()) {
                offQueue = true;
            }
            {
                std::lock_guard lock(mutex);
                runs.push_back(n);
            }
            concurrent.fetch_sub(1);
        };
    }
    std::uint64_t total() {
        std::lock_guard lock(mutex);
        std::uint64_t t = 0;
        for (auto n : runs) {
            t += n;
        }
        return t;
    }
    size_t count() {
        std::lock_guard lock(mutex);
        return runs.size();
    }
};

TEST(TimerSourceTest, StartsSuspendedAndFiresAtOnceOnResume) {
    SerialQueue queue("test.first");
    Recorder rec;
    rec.queue = &queue;
    TimerSource source(queue, 1h, rec.handler());
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(rec.count(), 0u);
    EXPECT_TRUE(source.isSuspended());
    source.resume();
    ASSERT_TRUE(waitFor([&] { return rec.count() == 1; }));
    EXPECT_EQ(rec.total(), 1u);
    EXPECT_FALSE(rec.offQueue);
    EXPECT_GE(source.elapsed().count(), 0);
    // A grid laid later fires later.
    TimerSource later(queue, 1h, rec.handler(), 1h);
    later.resume();
    EXPECT_LT(later.elapsed(), -59min);
    std::this_thread::sleep_for(30ms);
    queue.sync([] {});
    EXPECT_EQ(rec.count(), 1u);
}

TEST(TimerSourceTest, CountsEveryFiringOfTheGrid) {
    SerialQueue queue("test.grid");
    Recorder rec;
    rec.queue = &queue;
    const auto start = std::chrono::steady_clock::now();
    TimerSource source(queue, 10ms, rec.handler());
    source.resume();
    std::this_thread::sleep_for(300ms);
    source.cancel();
    const auto elapsed = std::chrono::steady_clock::now() - start;
    queue.sync([] {});
    // Firings at 0, 10, 20, ... ms of the grid up to the cancel: however late
    // the handler ran, the counts add up to the span.
    const auto expected = std::uint64_t(elapsed / 10ms) + 1;
    EXPECT_LE(rec.total(), expected) << "never more firings than grid points";
    EXPECT_GE(rec.total() * 2, expected);
    EXPECT_FALSE(rec.overlapped);
    EXPECT_FALSE(rec.offQueue);
}

TEST(TimerSourceTest, FiringsMissedWhileTheQueueIsBusyAreMergedNotLost) {
    SerialQueue queue("test.merge");
    Recorder rec;
    TimerSource source(queue, 10ms, rec.handler());
    source.resume();
    ASSERT_TRUE(waitFor([&] { return rec.count() >= 1; }));
    const auto before = rec.total();
    const size_t runsBefore = rec.count();
    queue.async([] { std::this_thread::sleep_for(150ms); });
    ASSERT_TRUE(waitFor([&] { return rec.count() > runsBefore; }));
    std::uint64_t biggest = 0;
    {
        std::lock_guard lock(rec.mutex);
        for (size_t i = runsBefore; i < rec.runs.size(); ++i) {
            biggest = std::max(biggest, rec.runs[i]);
        }
    }
    EXPECT_GE(biggest, 5u) << "a run after the busy spell should stand for several firings";
    EXPECT_GT(rec.total(), before);
}

TEST(TimerSourceTest, ASuspendedSpanCountsAsOneFiring) {
    SerialQueue queue("test.suspend");
    Recorder rec;
    TimerSource source(queue, 10ms, rec.handler());
    source.resume();
    ASSERT_TRUE(waitFor([&] { return rec.total() >= 3; }));
    source.suspend();
    queue.sync([] {});
    const auto atSuspend = rec.total();
    std::this_thread::sleep_for(400ms);
    queue.sync([] {});
    EXPECT_LE(rec.total(), atSuspend + 1) << "nothing runs while suspended";
    const auto beforeResume = rec.total();
    source.resume();
    ASSERT_TRUE(waitFor([&] { return rec.total() > beforeResume; }));
    {
        std::lock_guard lock(rec.mutex);
        // The run at resume stands for the whole suspended span as one.
        EXPECT_LE(rec.runs.back(), 20u);
    }
    source.cancel();
}

// Waking seldom changes when the handler runs, never what it counts: runs
// stand for many grid points, lowering the stride hands over the due ones at
// once, and a suspend hands over the span since the last wake.
TEST(TimerSourceTest, WakingSeldomKeepsTheCount) {
    SerialQueue queue("test.stride");
    Recorder rec;
    const auto start = std::chrono::steady_clock::now();
    TimerSource source(queue, 10ms, rec.handler());
    source.setWakeEvery(20);
    source.resume();
    std::this_thread::sleep_for(450ms);
    queue.sync([] {});
    EXPECT_LE(rec.count(), 4u) << "about one run per 200 ms, not one per 10 ms";
    {
        std::lock_guard lock(rec.mutex);
        ASSERT_GE(rec.runs.size(), 2u);
        EXPECT_GE(rec.runs[1], 15u);
    }
    const size_t runsBefore = rec.count();
    source.setWakeEvery(1);
    ASSERT_TRUE(waitFor([&] { return rec.count() > runsBefore; }, 100ms))
        << "lowering the stride should hand over the due firings at once";
    const auto shortly = std::uint64_t((std::chrono::steady_clock::now() - start) / 10ms) + 1;
    EXPECT_GE(rec.total() + 3, shortly);
    EXPECT_LE(rec.total(), shortly);

    source.setWakeEvery(100);
    std::this_thread::sleep_for(300ms);
    source.suspend();
    const auto atSuspend = std::uint64_t((std::chrono::steady_clock::now() - start) / 10ms) + 1;
    queue.sync([] {});
    EXPECT_GE(rec.total() + 3, atSuspend) << "the span since the last wake was dropped";
    EXPECT_LE(rec.total(), atSuspend);
    source.cancel();
}

TEST(TimerSourceTest, NothingRunsAfterCancelReturns) {
    SerialQueue queue("test.cancel");
    std::atomic<int> runs{0};
    std::atomic<bool> cancelled{false};
    std::atomic<bool> ranAfterCancel{false};
    TimerSource source(queue, 1ms, [&](std::uint64_t) {
        if (cancelled) {
            ranAfterCancel = true;
        }
        runs++;
    });
    source.resume();
    ASSERT_TRUE(waitFor([&] { return runs.load() >= 5; }));
    // Queue a run behind a busy block, then cancel before it can start.
    queue.async([] { std::this_thread::sleep_for(20ms); });
    std::this_thread::sleep_for(5ms);
    source.cancel();
    cancelled = true;
    queue.sync([] {});
    std::this_thread::sleep_for(30ms);
    queue.sync([] {});
    EXPECT_FALSE(ranAfterCancel);
    EXPECT_TRUE(source.isCancelled());
    source.resume();  // no effect once cancelled
    std::this_thread::sleep_for(20ms);
    queue.sync([] {});
    EXPECT_FALSE(ranAfterCancel);
}

TEST(TimerSourceTest, CancelFromTheHandlerStopsIt) {
    SerialQueue queue("test.selfcancel");
    std::atomic<int> runs{0};
    std::unique_ptr<TimerSource> source;
    source = std::make_unique<TimerSource>(queue, 5ms, [&](std::uint64_t) {
        if (++runs == 3) {
            source->cancel();
        }
    });
    source->resume();
    ASSERT_TRUE(waitFor([&] { return runs.load() >= 3; }));
    std::this_thread::sleep_for(40ms);
    queue.sync([] {});
    EXPECT_EQ(runs.load(), 3);
}

TEST(TimerSourceTest, DestructionIsSafeInEveryState) {
    SerialQueue queue("test.destroy");
    std::atomic<int> runs{0};
    auto handler = [&](std::uint64_t) { runs++; };
    { TimerSource neverStarted(queue, 10ms, handler); }
    {
        TimerSource suspended(queue, 10ms, handler);
        suspended.resume();
        suspended.suspend();
    }
    {
        TimerSource running(queue, 1ms, handler);
        running.resume();
        std::this_thread::sleep_for(10ms);
    }
    {
        TimerSource cancelledThenDropped(queue, 1ms, handler);
        cancelledThenDropped.resume();
        cancelledThenDropped.cancel();
    }
    {
        // Destroyed on another thread while a run is queued behind a busy block.
        auto source = std::make_unique<TimerSource>(queue, 1ms, handler);
        source->resume();
        queue.async([] { std::this_thread::sleep_for(20ms); });
        std::thread([s = std::move(source)]() mutable { s.reset(); }).join();
    }
    const int settled = runs.load();
    queue.sync([] {});
    std::this_thread::sleep_for(20ms);
    queue.sync([] {});
    EXPECT_LE(runs.load(), settled + 1);
}

}  // namespace
}  // namespace pendra
