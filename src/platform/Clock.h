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

// The local date and time of `time` on `date`. A wall time that does not exist
// that day (skipped by a daylight-saving change) gives the first one after the
// gap: 02:30 on a night the clocks go from 02:00 to 03:00 gives 03:00.
QDateTime localDateTime(const QDate& date, const QTime& time);

}  // namespace pendra
