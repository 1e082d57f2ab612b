// The stopwatch panel as the user sees it: the displayed total after a run
// against CLOCK_MONOTONIC, idle and with both cores saturated by other
// processes, and the process's CPU while it runs with the panel shown and
// hidden, with the repaints of the label per second.
#include <time.h>

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QLabel>
#include <QRegularExpression>
#include <QTimer>
#include <cstdio>

#include "BenchSupport.h"
#include "platform/SerialQueue.h"
#include "platform/TimerSource.h"
#include "stopwatch/StopwatchViewController.h"

namespace {

class PaintCounter : public QObject {
public:
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++count;
        }
        return false;
    }
};

std::int64_t cpuNowNs() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return std::int64_t(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

// A local loop: QCoreApplication::quit() would close the panel's window too.
void runFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// Hundredths shown by the label ("mm:ss.hh", minutes of any width), or -1.
qint64 shownHundredths(const QLabel* label) {
    static const QRegularExpression form(QStringLiteral("^(\\d+):(\\d\\d)\\.(\\d\\d)$"));
    const auto m = form.match(label->text());
    if (!m.hasMatch()) {
        return -1;
    }
    return m.captured(1).toLongLong() * 6000 + m.captured(2).toLongLong() * 100 +
           m.captured(3).toLongLong();
}

void drift(pendra::StopwatchViewController& panel, int seconds, const char* load) {
    panel.startStopBtnPressed();
    const std::int64_t start = bench::monoNowNs();
    runFor(seconds * 1000);
    panel.startStopBtnPressed();  // Stop
    const std::int64_t stop = bench::monoNowNs();
    QCoreApplication::processEvents();
    const qint64 shown = shownHundredths(panel.timeLbl());
    const double elapsedMs = double(stop - start) / 1e6;
    // The first firing comes at once when started, so a run of T shows
    // floor(T / 10 ms) + 1 hundredths.
    std::printf("%-6s %10.2f %12lld %12lld %+10.1f\n", load, elapsedMs / 1000.0,
                static_cast<long long>(shown), static_cast<long long>(panel.currentTime()),
                double(shown) * 10.0 - elapsedMs);
    panel.lapBtnPressed();  // Reset
}

void cpu(pendra::StopwatchViewController& panel, int seconds, bool shown) {
    PaintCounter paints;
    panel.timeLbl()->installEventFilter(&paints);
    if (shown) {
        panel.show();
    } else {
        panel.hide();
    }
    runFor(300);
    panel.startStopBtnPressed();
    runFor(300);
    paints.count = 0;
    const std::int64_t cpu0 = cpuNowNs();
    const std::int64_t wall0 = bench::monoNowNs();
    runFor(seconds * 1000);
    const double cpuNs = double(cpuNowNs() - cpu0);
    const double wallNs = double(bench::monoNowNs() - wall0);
    std::printf("%-8s %10.2f %14.1f\n", shown ? "shown" : "hidden", 100.0 * cpuNs / wallNs,
                double(paints.count) * 1e9 / wallNs);
    panel.startStopBtnPressed();
    panel.lapBtnPressed();
    panel.timeLbl()->removeEventFilter(&paints);
}

// What the process spends with the stopwatch stopped, and with a bare 10 ms
// TimerSource whose handler does nothing: the floor under the hidden figure.
void baselines(int seconds) {
    auto measureCpu = [seconds](const char* what) {
        const std::int64_t cpu0 = cpuNowNs();
        const std::int64_t wall0 = bench::monoNowNs();
        runFor(seconds * 1000);
        const double pct = 100.0 * double(cpuNowNs() - cpu0) / double(bench::monoNowNs() - wall0);
        std::printf("%-8s %10.2f %14s\n", what, pct, "-");
    };
    measureCpu("stopped");
    pendra::SerialQueue queue(QStringLiteral("bench.bare"));
    pendra::TimerSource source(queue, std::chrono::milliseconds(10), [](std::uint64_t) {});
    source.resume();
    measureCpu("bare 10ms");
    source.cancel();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    pendra::StopwatchViewController panel;
    panel.setFixedSize(pendra::kPanelWidth, pendra::kPanelHeight);
    panel.viewDidLoad();
    panel.show();
    runFor(200);

    const int seconds = bench::span(60, 5);
    std::printf(
        "Displayed total after %d s of running against CLOCK_MONOTONIC between\n"
        "Start and Stop (error = shown - elapsed, ms; one hundredth either way\n"
        "is the resolution)\n\n",
        seconds);
    std::printf("%-6s %10s %12s %12s %10s\n", "load", "elapsed s", "shown 1/100", "count 1/100",
                "error ms");
    drift(panel, seconds, "idle");
    {
        bench::CpuLoad load;
        drift(panel, seconds, "2 cpu");
    }

    const int cpuSeconds = bench::span(20, 3);
    std::printf("\nProcess CPU while running, %d s each, platform %s (%% of one core)\n\n",
                cpuSeconds, qPrintable(QGuiApplication::platformName()));
    std::printf("%-8s %10s %14s\n", "panel", "cpu %", "label paints/s");
    cpu(panel, cpuSeconds, true);
    cpu(panel, cpuSeconds, false);
    baselines(cpuSeconds);
    std::printf("\nNo GNOME Clocks baseline in this run: it is not installed here.\n");
    return 0;
}
