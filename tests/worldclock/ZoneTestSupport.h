#pragma once

#include <time.h>

#include <QByteArray>
#include <QDateTime>
#include <QTimeZone>

namespace pendra::test {

// Puts the process in time zone `tz` for the guard's lifetime.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* tz) : hadTz_(qEnvironmentVariableIsSet("TZ")) {
        old_ = qgetenv("TZ");
        qputenv("TZ", tz);
        ::tzset();
    }
    ~ScopedTimeZone() {
        if (hadTz_) {
            qputenv("TZ", old_);
        } else {
            qunsetenv("TZ");
        }
        ::tzset();
    }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    bool hadTz_;
    QByteArray old_;
};

// An instant written in UTC, e.g. utc(2024, 1, 15, 12, 0).
inline QDateTime utc(int y, int mo, int d, int h, int mi, int s = 0) {
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), QTimeZone::utc());
}

}  // namespace pendra::test
