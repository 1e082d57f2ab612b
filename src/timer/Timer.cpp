#include "timer/Timer.h"

#include <algorithm>

namespace pendra {

Timer::Timer(qint64 hours, qint64 minutes, qint64 seconds, QString ringtone)
    : hours(hours),
      minutes(minutes),
      seconds(seconds),
      hoursLeft(hours),
      minutesLeft(minutes),
      secondsLeft(seconds),
      ringtone(std::move(ringtone)) {}

bool Timer::countDown(std::uint64_t firings) {
    // Every firing the tick stands for counts: a late or merged tick, or a
    // machine that slept, does not make the countdown fall behind.
    const qint64 step = firings > 1'000'000'000ULL ? 1'000'000'000LL : qint64(firings);
    const qint64 timeLeft = std::max<qint64>(0, secondsToCount() - step);
    hoursLeft = timeLeft / 3600;
    minutesLeft = timeLeft / 60 - hoursLeft * 60;
    secondsLeft = timeLeft - hoursLeft * 3600 - minutesLeft * 60;
    return timeLeft > 0;
}

QString Timer::description() const {
    const char* s = currentState == state::on    ? "on"
                    : currentState == state::off ? "off"
                                                 : "paused";
    return QStringLiteral(
               "Timer(hours: %1, minutes: %2, seconds: %3, hoursLeft: %4, "
               "minutesLeft: %5, secondsLeft: %6, ringtone: \"%7\", currentState: %8)")
        .arg(hours)
        .arg(minutes)
        .arg(seconds)
        .arg(hoursLeft)
        .arg(minutesLeft)
        .arg(secondsLeft)
        .arg(ringtone, QString::fromLatin1(s));
}

QString filterTimerDigits(const QString& text, int maximum) {
    QString digits;
    for (QChar c : text) {
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            digits.append(c);
        }
    }
    digits.truncate(2);
    if (timerFieldValue(digits) > maximum) {
        digits = QString::number(maximum);
    }
    return digits;
}

qint64 timerFieldValue(const QString& text) {
    bool ok = false;
    const qint64 v = text.toLongLong(&ok);
    return ok ? v : 0;
}

QString twoDigits(qint64 value) {
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

}  // namespace pendra
