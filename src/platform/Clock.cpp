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

}  // namespace pendra
