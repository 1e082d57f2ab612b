#include "platform/Clock.h"

#include <mutex>

namespace pendra {

namespace {
std::mutex& providerMutex() {
    static std::mutex m;
    return m;
}
std::function<QDateTime()>& provider() {
    static std::function<QDateTime()> p;
    return p;
}
}  // namespace

QDateTime Clock::now() {
    std::function<QDateTime()> p;
    {
        std::lock_guard lock(providerMutex());
        p = provider();
    }
    return p ? p() : QDateTime::currentDateTime();
}

void Clock::setNowForTesting(std::function<QDateTime()> p) {
    std::lock_guard lock(providerMutex());
    provider() = std::move(p);
}

QDateTime localDateTime(const QDate& date, const QTime& time) {
    const QDateTime exact(date, time);
    if (exact.isValid() && exact.time() == time) {
        return exact;
    }
    // In a gap Qt moves the time on by the gap's length; the user's alarm
    // should ring when the gap ends instead, so find the first wall minute
    // that exists.
    QTime t(time.hour(), time.minute());
    for (int i = 0; i < 24 * 60; ++i) {
        t = t.addSecs(60);
        if (t == QTime(0, 0)) {
            break;
        }
        const QDateTime candidate(date, t);
        if (candidate.isValid() && candidate.time() == t) {
            return candidate;
        }
    }
    return exact;
}

}  // namespace pendra
