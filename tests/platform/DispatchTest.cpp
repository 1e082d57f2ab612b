#include <gtest/gtest.h>

#include <QThread>
#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <numeric>
#include <thread>
#include <vector>

#include "platform/FileWrites.h"
#include "platform/SerialQueue.h"
#include "platform/TimerSource.h"
#include "support/TestEnvironment.h"

using namespace std::chrono_literals;

namespace pendra {
namespace {

using test::waitUntil;

TEST(SerialQueueTest, RunsBlocksOneAtATimeInOrderAndSyncRunsOnIt) {
    SerialQueue queue("test.order");
    std::vector<int> seen;
    std::atomic<int> running{0}, overlaps{0};
    for (int i = 0; i < 200; ++i) {
        queue.async([&, i] {
            overlaps += running++;
            seen.push_back(i);
            running--;
        });
    }
    bool inside = false;
    queue.sync([&] { inside = queue.isCurrent(); });
    EXPECT_TRUE(inside);
    EXPECT_FALSE(queue.isCurrent());
    ASSERT_EQ(seen.size(), 200u);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_EQ(overlaps.load(), 0);
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

// Values handed over while the queue is busy cost one write, of the newest;
// one handed over during a write is written after it, not left waiting for a
// further change (or lost at quit).
TEST(LatestWriteTest, TheNewestIsWrittenAlsoWhenHandedOverDuringAWrite) {
    std::vector<int> written;
    LatestWrite<int> saver([&](const int& v) {
        written.push_back(v);
        if (v == 2) {
            saver.post(3);
        }
        return true;
    });
    std::promise<void> busy;
    writeFileAsync([f = busy.get_future().share()] { f.wait(); });
    saver.post(1);
    saver.post(2);
    busy.set_value();
    waitForFileWrites();
    waitForFileWrites();  // the third write queued behind the first wait
    EXPECT_EQ(written, (std::vector<int>{2, 3}));
}

TEST(MainQueueTest, BlocksFromAWorkerRunOnTheMainThread) {
    std::atomic<QThread*> ranOn{nullptr};
    std::thread([&] { mainQueueAsync([&] { ranOn = QThread::currentThread(); }); }).join();
    ASSERT_TRUE(waitUntil([&] { return ranOn.load() != nullptr; }));
    EXPECT_EQ(ranOn.load(), QThread::currentThread());
}

// Collects what the handler was told, and checks that it ran on its queue
// (which runs one block at a time).
struct Recorder {
    explicit Recorder(SerialQueue& q) : queue(q) {}
    SerialQueue& queue;
    std::mutex mutex;
    std::vector<std::uint64_t> runs;
    std::atomic<bool> offQueue{false};

    TimerSource::Handler handler() {
        return [this](std::uint64_t n) {
            std::lock_guard lock(mutex);
            offQueue = offQueue || !queue.isCurrent();
            runs.push_back(n);
        };
    }
    std::vector<std::uint64_t> snapshot() {
        std::lock_guard lock(mutex);
        return runs;
    }
    std::uint64_t total() {
        const auto r = snapshot();
        return std::accumulate(r.begin(), r.end(), std::uint64_t(0));
    }
    size_t count() { return snapshot().size(); }
};

// A source starts suspended and fires at once on resume unless its grid begins
// later. Waking seldom or a busy queue changes when the handler runs, never
// what it counts; a suspended span counts as one firing.
TEST(TimerSourceTest, WakingSeldomOrABusyQueueKeepsTheCountAndASuspendedSpanCountsAsOne) {
    SerialQueue queue("test.stride");
    Recorder rec(queue);
    TimerSource source(queue, 10ms, rec.handler());
    TimerSource later(queue, 1h, rec.handler(), 1h);
    later.resume();
    EXPECT_LT(later.elapsed(), -59min);
    std::this_thread::sleep_for(30ms);
    queue.sync([] {});
    EXPECT_EQ(rec.count(), 0u) << "suspended, or before its grid";
    source.setWakeEvery(20);
    source.resume();
    const auto resumedAt = source.elapsed() / 10ms;  // the run at resume covers up to here
    queue.sync([] {});
    EXPECT_GE(rec.count(), 1u) << "resume fires at once";
    std::this_thread::sleep_for(450ms);
    queue.sync([] {});
    const auto dueSinceResume = std::uint64_t(source.elapsed() / 10ms - resumedAt) + 1;
    EXPECT_GE(source.count(), dueSinceResume)
        << "count() must read what came due since the last wake";
    EXPECT_LE(rec.count(), 4u) << "about one run per 200 ms, not one per 10 ms";
    auto due = source.count();
    source.setWakeEvery(1);
    queue.sync([] {});
    EXPECT_GE(rec.total(), due) << "lowering the stride hands over what came due at once";
    EXPECT_LE(rec.total(), source.count());

    const size_t runsBefore = rec.count();
    queue.async([] { std::this_thread::sleep_for(150ms); });
    queue.sync([] {});
    const size_t runsAfter = rec.count();
    ASSERT_TRUE(waitUntil([&] { return rec.count() > runsAfter; }));
    const auto runs = rec.snapshot();
    EXPECT_GE(*std::max_element(runs.begin() + long(runsBefore), runs.end()), 5u)
        << "a run after the busy spell should stand for several firings";

    source.setWakeEvery(100);
    std::this_thread::sleep_for(300ms);
    due = source.count();
    source.suspend();
    queue.sync([] {});
    const auto atSuspend = rec.total();
    EXPECT_GE(atSuspend, due) << "the span since the last wake was dropped";
    std::this_thread::sleep_for(300ms);
    source.resume();
    ASSERT_TRUE(waitUntil([&] { return rec.total() > atSuspend; }));
    EXPECT_LE(rec.total(), atSuspend + 10) << "the run at resume stands for the span as one";
    EXPECT_FALSE(rec.offQueue);
}

// Destruction is safe in every state; nothing runs once cancel() or the
// destructor returns, also from another thread or from the handler.
TEST(TimerSourceTest, NothingRunsAfterCancelOrDestructionInAnyState) {
    SerialQueue queue("test.cancel");
    std::atomic<bool> stopped{false}, ranAfterStop{false};
    const auto handler = [&](std::uint64_t) { ranAfterStop = ranAfterStop || stopped; };
    { TimerSource neverStarted(queue, 10ms, handler); }
    {
        TimerSource suspended(queue, 10ms, handler);
        suspended.resume();
        suspended.suspend();
    }
    // Runs queued behind a busy block, stopped before they can start.
    TimerSource cancelled(queue, 1ms, handler);
    auto destroyed = std::make_unique<TimerSource>(queue, 1ms, handler);
    cancelled.resume();
    destroyed->resume();
    queue.async([] { std::this_thread::sleep_for(20ms); });
    std::this_thread::sleep_for(5ms);
    cancelled.cancel();
    std::thread([s = std::move(destroyed)]() mutable { s.reset(); }).join();
    stopped = true;
    cancelled.resume();  // no effect once cancelled
    queue.sync([] {});
    EXPECT_FALSE(ranAfterStop);

    std::atomic<int> selfRuns{0};
    std::unique_ptr<TimerSource> self;
    self = std::make_unique<TimerSource>(queue, 5ms, [&](std::uint64_t) {
        if (++selfRuns == 3) {
            self->cancel();
        }
    });
    self->resume();
    ASSERT_TRUE(waitUntil([&] { return selfRuns.load() >= 3; }));
    std::this_thread::sleep_for(40ms);
    queue.sync([] {});
    EXPECT_EQ(selfRuns.load(), 3);
}

}  // namespace
}  // namespace pendra
