// The timer source's grid error next to a plain QTimer (Qt::PreciseTimer),
// all four timers running at once in one process, idle and with both cores
// saturated by other processes.
#include <QCoreApplication>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <mutex>

#include "BenchSupport.h"
#include "platform/SerialQueue.h"
#include "platform/TimerSource.h"

namespace {

struct Probe {
    Probe(const char* n, std::int64_t i) : name(n), intervalNs(i) {}
    const char* name;
    std::int64_t intervalNs;
    std::int64_t origin = 0;
    std::mutex mutex;
    std::vector<double> latenessMs;
    std::uint64_t counted = 0;

    // A run that stands for `firings` firings: the last of them was due at
    // origin + (counted - 1) * interval.
    void record(std::uint64_t firings, std::int64_t now) {
        std::lock_guard lock(mutex);
        counted += firings;
        const std::int64_t due = origin + std::int64_t(counted - 1) * intervalNs;
        latenessMs.push_back(double(now - due) / 1e6);
    }
};

void report(Probe& p, std::int64_t end, const char* load) {
    std::lock_guard lock(p.mutex);
    const auto s = bench::summarize(p.latenessMs);
    const double expected = double((end - p.origin) / p.intervalNs + 1);
    std::printf("%-22s %-6s %8.3f %8.3f %9.3f %8zu %+10.0f\n", p.name, load, s.median, s.p99,
                s.worst, s.n, double(p.counted) - expected);
}

void measure(int seconds, const char* load) {
    pendra::SerialQueue fastQueue("bench.fast");
    pendra::SerialQueue slowQueue("bench.slow");
    Probe fast{"TimerSource 10 ms", 10'000'000};
    Probe slow{"TimerSource 1 s", 1'000'000'000};
    Probe qfast{"QTimer 10 ms", 10'000'000};
    Probe qslow{"QTimer 1 s", 1'000'000'000};

    fast.origin = bench::bootNowNs();
    pendra::TimerSource fastSource(fastQueue, std::chrono::milliseconds(10),
                                   [&](std::uint64_t n) { fast.record(n, bench::bootNowNs()); });
    slow.origin = bench::bootNowNs();
    pendra::TimerSource slowSource(slowQueue, std::chrono::seconds(1),
                                   [&](std::uint64_t n) { slow.record(n, bench::bootNowNs()); });
    QTimer qf, qs;
    qf.setTimerType(Qt::PreciseTimer);
    qs.setTimerType(Qt::PreciseTimer);
    qf.setInterval(10);
    qs.setInterval(1000);
    // A QTimer's first timeout is one interval after start; count from there.
    QObject::connect(&qf, &QTimer::timeout, [&] { qfast.record(1, bench::bootNowNs()); });
    QObject::connect(&qs, &QTimer::timeout, [&] { qslow.record(1, bench::bootNowNs()); });
    fastSource.resume();
    slowSource.resume();
    qfast.origin = bench::bootNowNs() + qfast.intervalNs;
    qf.start();
    qslow.origin = bench::bootNowNs() + qslow.intervalNs;
    qs.start();
    QTimer::singleShot(seconds * 1000 + 5, [] { QCoreApplication::quit(); });
    QCoreApplication::exec();
    fastSource.cancel();
    slowSource.cancel();
    qf.stop();
    qs.stop();
    fastQueue.sync([] {});
    slowQueue.sync([] {});
    const std::int64_t end = bench::bootNowNs();
    report(fast, end, load);
    report(slow, end, load);
    report(qfast, end, load);
    report(qslow, end, load);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int seconds = bench::span(60, 10);
    std::printf(
        "Grid error over %d s: lateness of each handler run against the grid time of\n"
        "the last firing it counts (ms), and counted firings minus grid points\n\n",
        seconds);
    std::printf("%-22s %-6s %8s %8s %9s %8s %10s\n", "timer", "load", "median", "p99", "worst",
                "runs", "count err");
    measure(seconds, "idle");
    {
        bench::CpuLoad load;
        measure(seconds, "2 cpu");
    }
    return 0;
}
