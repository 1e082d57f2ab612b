// How late "Timer done" reaches the notification presenter after a countdown
// of N seconds, for N = 5 and 60, idle and with both cores saturated by other
// processes. Several panels count down at once, each on its own queue, so one
// span of wall time gives several samples.
#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "BenchSupport.h"
#include "platform/NotificationPresenter.h"
#include "platform/UserNotificationCenter.h"
#include "timer/TimerViewController.h"

namespace {

// The figures; standard output itself carries the panels' trace lines, which
// are sent to /dev/null.
FILE* out = stdout;

// Notes the moment of each presentation on the main thread, as the desktop
// would see it.
class StampingPresenter : public pendra::NotificationPresenter {
public:
    void setCallbacks(Callbacks) override {}
    void present(const pendra::UserNotificationPtr&) override {
        if (presentedNs < 0) {
            presentedNs = bench::monoNowNs();
        }
    }
    void withdraw(const pendra::UserNotificationPtr&) override {}
    void withdrawAll() override {}
    std::int64_t presentedNs = -1;
};

struct Countdown {
    StampingPresenter* presenter = nullptr;
    std::unique_ptr<pendra::UserNotificationCenter> center;
    std::unique_ptr<pendra::TimerViewController> panel;
};

void runUntil(const std::function<bool()>& done, int timeoutMs) {
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done()) {
            loop.quit();
        }
    });
    poll.start(2);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
}

void measure(int seconds, int samples, const char* load) {
    std::vector<Countdown> runs(samples);
    for (Countdown& c : runs) {
        auto p = std::make_unique<StampingPresenter>();
        c.presenter = p.get();
        c.center = std::make_unique<pendra::UserNotificationCenter>(std::move(p));
        c.panel = std::make_unique<pendra::TimerViewController>(*c.center);
        c.panel->viewDidLoad();
        c.panel->viewDidAppear();
        c.panel->hourTextField()->setText(QStringLiteral("00"));
        c.panel->minuteTextField()->setText(QString::number(seconds / 60));
        c.panel->secondTextField()->setText(QString::number(seconds % 60));
        c.panel->controlTextDidEndEditing();
    }
    // Started a little apart, as a user would, so they do not fire in step.
    std::vector<std::int64_t> started;
    for (Countdown& c : runs) {
        started.push_back(bench::monoNowNs());
        c.panel->startPauseResumeBtnPressed();
        runUntil([] { return false; }, 37);
    }
    runUntil(
        [&] {
            for (const Countdown& c : runs) {
                if (c.presenter->presentedNs < 0) {
                    return false;
                }
            }
            return true;
        },
        (seconds + 30) * 1000);
    std::vector<double> lateMs;
    int missing = 0;
    for (size_t i = 0; i < runs.size(); ++i) {
        if (runs[i].presenter->presentedNs < 0) {
            ++missing;
            continue;
        }
        lateMs.push_back(double(runs[i].presenter->presentedNs - started[i]) / 1e6 -
                         seconds * 1000.0);
    }
    const bench::Summary s = bench::summarize(lateMs);
    std::fprintf(out, "%4d s  %-6s %3zu %12.1f %12.1f %12.1f %8d\n", seconds, load, s.n, s.median,
                 s.worst, lateMs.empty() ? 0.0 : *std::min_element(lateMs.begin(), lateMs.end()),
                 missing);
    std::fflush(out);
}

}  // namespace

int main(int argc, char** argv) {
    // The panels store what is typed: keep it out of the user's settings.
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
    qputenv("XDG_DATA_HOME", home.path().toUtf8());
    QApplication app(argc, argv);
    out = fdopen(dup(STDOUT_FILENO), "w");
    const int devNull = open("/dev/null", O_WRONLY);
    dup2(devNull, STDOUT_FILENO);
    close(devNull);
    const int samples = 6;
    const int longSpan = bench::span(60, 10);
    std::fprintf(out, "\"Timer done\" lateness after the countdown, ms (%d countdowns at once)\n",
                 samples);
    std::fprintf(out, "%6s  %-6s %3s %12s %12s %12s %8s\n", "span", "load", "n", "median", "worst",
                 "best", "missing");
    for (const bool loaded : {false, true}) {
        std::unique_ptr<bench::CpuLoad> load;
        if (loaded) {
            load = std::make_unique<bench::CpuLoad>();
        }
        for (const int span : {5, longSpan}) {
            measure(span, samples, loaded ? "loaded" : "idle");
        }
    }
    return 0;
}
