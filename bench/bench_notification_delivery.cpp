// How late the notification center delivers against the wall-clock date,
// idle and with both cores saturated by other processes.
#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <ctime>

#include "BenchSupport.h"
#include "platform/NotificationPresenter.h"
#include "platform/UserNotificationCenter.h"

namespace {

class Silent : public pendra::NotificationPresenter {
public:
    void setCallbacks(Callbacks) override {}
    void present(const pendra::UserNotificationPtr&) override {}
    void withdraw(const pendra::UserNotificationPtr&) override {}
    void withdrawAll() override {}
};

class Measuring : public pendra::UserNotificationCenterDelegate {
public:
    std::vector<double> latenessMs;
    int expected = 0;
    void userNotificationCenterDidDeliver(pendra::UserNotificationCenter&,
                                          const pendra::UserNotificationPtr& n) override {
        timespec ts{};
        clock_gettime(CLOCK_REALTIME, &ts);
        const double nowMs = double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
        latenessMs.push_back(nowMs - double(n->deliveryDate->toMSecsSinceEpoch()));
        if (int(latenessMs.size()) == expected) {
            QCoreApplication::quit();
        }
    }
    void userNotificationCenterDidActivate(pendra::UserNotificationCenter&,
                                           const pendra::UserNotificationPtr&) override {}
    void userNotificationCenterDidDismissAlert(pendra::UserNotificationCenter&,
                                               const pendra::UserNotificationPtr&) override {}
    bool userNotificationCenterShouldPresent(pendra::UserNotificationCenter&,
                                             const pendra::UserNotificationPtr&) override {
        return true;
    }
};

void measure(int count, const char* load) {
    pendra::UserNotificationCenter center(std::make_unique<Silent>());
    Measuring m;
    m.expected = count;
    center.setDelegate(&m);
    const QDateTime start = QDateTime::currentDateTime();
    for (int i = 0; i < count; ++i) {
        auto n = pendra::makeNotification();
        n->identifier = QString("alarm-%1-0").arg(i);
        // Odd offsets, so deliveries do not line up with any tick.
        n->deliveryDate = start.addMSecs(300 + i * 437);
        center.scheduleNotification(n);
    }
    QTimer::singleShot(count * 437 + 10000, [] { QCoreApplication::quit(); });
    QCoreApplication::exec();
    const auto s = bench::summarize(m.latenessMs);
    std::printf("%-6s %6zu %10.2f %10.2f %10.2f\n", load, s.n, s.median, s.p99, s.worst);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int count = bench::span(40, 20);
    std::printf("Delivery lateness against the wall-clock date (ms)\n\n");
    std::printf("%-6s %6s %10s %10s %10s\n", "load", "n", "median", "p99", "worst");
    measure(count, "idle");
    {
        bench::CpuLoad load;
        measure(count, "2 cpu");
    }
    return 0;
}
