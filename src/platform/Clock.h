#pragma once

#include <QDateTime>
#include <functional>

namespace pendra {

// The one source of "now" for everything that reasons about wall-clock time.
// Tests replace it; the program never does.
class Clock {
public:
    static QDateTime now();  // local time
    static void setNowForTesting(
        std::function<QDateTime()> provider);  // empty restores the system clock
};

}  // namespace pendra
