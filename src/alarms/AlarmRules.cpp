#include "alarms/AlarmRules.h"

#include <QCoreApplication>
#include <QStringList>
#include <algorithm>
#include <numeric>

#include "platform/Clock.h"

namespace pendra {

namespace {

// A non-negative decimal number of at most nine digits: the only form the
// program writes, and one that cannot overflow.
std::optional<int> smallNumber(QStringView text) {
    if (text.isEmpty() || text.size() > 9) {
        return std::nullopt;
    }
    int value = 0;
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
            return std::nullopt;
        }
        value = value * 10 + (c.unicode() - '0');
    }
    return value;
}

qint64 minutesOfDay(const QTime& t) {
    return t.hour() * 60 + t.minute();
}

}  // namespace

QString alarmIdentifier(int row, int weekdayIndex) {
    return QStringLiteral("alarm-%1-%2").arg(row).arg(weekdayIndex);
}

std::optional<int> alarmRowFromIdentifier(const QString& identifier) {
    const qsizetype dash = identifier.indexOf(QLatin1Char('-'));
    if (dash < 0 || QStringView(identifier).left(dash) != QLatin1String("alarm")) {
        return std::nullopt;
    }
    const qsizetype start = dash + 1;
    const qsizetype end = identifier.indexOf(QLatin1Char('-'), start);
    return smallNumber(QStringView(identifier).mid(start, end < 0 ? -1 : end - start));
}

std::optional<int> alarmSlotFromIdentifier(const QString& identifier) {
    if (!alarmRowFromIdentifier(identifier)) {
        return std::nullopt;
    }
    const qsizetype last = identifier.lastIndexOf(QLatin1Char('-'));
    if (last <= identifier.indexOf(QLatin1Char('-'))) {
        return std::nullopt;
    }
    const auto slot = smallNumber(QStringView(identifier).mid(last + 1));
    if (!slot || *slot > 6) {
        return std::nullopt;
    }
    return slot;
}

std::optional<int> rowFromRowText(const QString& text) {
    const qsizetype dash = text.indexOf(QLatin1Char('-'));
    return smallNumber(QStringView(text).left(dash < 0 ? text.size() : dash));
}

int calendarWeekday(const QDate& date) {
    return date.dayOfWeek() % 7 + 1;  // Qt: Monday 1 ... Sunday 7
}

int currentSlot(qsizetype listSize, const QDate& today) {
    return listSize > 1 ? calendarWeekday(today) - 1 : 0;
}

QDate oneOffTargetDay(const Alarm& alarm, const QDateTime& now) {
    const QDate today = now.date();
    return alarm.timeOfDay() > minutesOfDay(now.time()) ? today : today.addDays(1);
}

QDate repeatTargetDay(const Alarm& alarm, int weekdayIndex, const QDateTime& now) {
    const QDate today = now.date();
    const int wanted = weekdayIndex + 1;
    const int weekday = calendarWeekday(today);
    if (weekday == wanted && alarm.timeOfDay() > minutesOfDay(now.time())) {
        return today;
    }
    int ahead = (wanted - weekday + 7) % 7;
    if (ahead == 0) {
        ahead = 7;
    }
    return today.addDays(ahead);
}

QDateTime alarmDeliveryDate(const Alarm& alarm, const QDate& day) {
    return localDateTime(day, QTime(int(alarm.hour), int(alarm.minute)));
}

std::optional<QDateTime> missedRingTime(const Alarm& alarm, const QDateTime& since,
                                        const QDateTime& now) {
    if (!alarm.enabled) {
        return std::nullopt;
    }
    const QDateTime from = std::max(since, now.addSecs(-kMissedWindowSecs));
    // A day either side of the window: a daylight-saving change moves local
    // days against the 24 hours.
    for (QDate day = now.date().addDays(1); day >= from.date().addDays(-1); day = day.addDays(-1)) {
        if (alarm.isRepeating() && !alarm.repeatDays[size_t(calendarWeekday(day) - 1)]) {
            continue;
        }
        const QDateTime ring = alarmDeliveryDate(alarm, day);
        if (ring > from && ring <= now) {
            return ring;
        }
    }
    return std::nullopt;
}

int insertionIndex(const QList<Alarm>& alarms, const Alarm& alarm) {
    // The list may still be in file order, not sorted: walk it from the start.
    for (qsizetype i = 0; i < alarms.size(); ++i) {
        if (alarms[i].timeOfDay() > alarm.timeOfDay()) {
            return int(i);
        }
    }
    return int(alarms.size());
}

QList<int> reorderedIndices(const QList<Alarm>& alarms) {
    QList<int> order(alarms.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return alarms[a].timeOfDay() < alarms[b].timeOfDay(); });
    return order;
}

QString alarmTimeText(qint64 hour, qint64 minute, bool do24HourTime) {
    const QString mm = QStringLiteral("%1").arg(minute, 2, 10, QLatin1Char('0'));
    if (do24HourTime) {
        return QStringLiteral("%1:").arg(hour, 2, 10, QLatin1Char('0')) + mm;
    }
    const qint64 h12 = hour % 12 == 0 ? 12 : hour % 12;
    return QString::number(h12) + QLatin1Char(':') + mm +
           (hour < 12 ? QStringLiteral("am") : QStringLiteral("pm"));
}

QString repeatDaysText(const std::array<bool, 7>& days) {
    static const char* const kDays[7] = {
        QT_TRANSLATE_NOOP("AlarmRules", "Sun"), QT_TRANSLATE_NOOP("AlarmRules", "Mon"),
        QT_TRANSLATE_NOOP("AlarmRules", "Tue"), QT_TRANSLATE_NOOP("AlarmRules", "Wed"),
        QT_TRANSLATE_NOOP("AlarmRules", "Thu"), QT_TRANSLATE_NOOP("AlarmRules", "Fri"),
        QT_TRANSLATE_NOOP("AlarmRules", "Sat")};
    constexpr std::array<bool, 7> kWeekdays = {false, true, true, true, true, true, false};
    constexpr std::array<bool, 7> kWeekends = {true, false, false, false, false, false, true};
    if (days == std::array<bool, 7>{true, true, true, true, true, true, true}) {
        return QCoreApplication::translate("AlarmRules", "Every day");
    }
    if (days == kWeekdays) {
        return QCoreApplication::translate("AlarmRules", "Weekdays");
    }
    if (days == kWeekends) {
        return QCoreApplication::translate("AlarmRules", "Weekends");
    }
    QStringList names;
    for (size_t i = 0; i < days.size(); ++i) {
        if (days[i]) {
            names << QCoreApplication::translate("AlarmRules", kDays[i]);
        }
    }
    return names.join(QLatin1Char(' '));
}

QString snoozeText(qint64 snooze) {
    return QCoreApplication::translate("AlarmRules", "Snooze: %1 mins").arg(snooze);
}

QString minutesLeftText(const QDateTime& now, const QDateTime& delivery) {
    const qint64 minutes = now.secsTo(delivery) / 60;  // truncates toward zero
    return QCoreApplication::translate("AlarmRules", "%1m left").arg(minutes + 1);
}

QString nextAlarmToolTip(const std::optional<QDateTime>& next, bool do24HourTime) {
    if (!next || !next->isValid()) {
        return QStringLiteral("Pendra");
    }
    static const char* const kDays[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    return QCoreApplication::translate("AlarmRules", "Pendra - next alarm %1 %2")
        .arg(QCoreApplication::translate("AlarmRules", kDays[next->date().dayOfWeek() % 7]),
             alarmTimeText(next->time().hour(), next->time().minute(), do24HourTime));
}

QString filterSnoozeDigits(const QString& text) {
    QString digits;
    for (QChar c : text) {
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            digits.append(c);
            if (digits.size() == 2) {
                break;
            }
        }
    }
    return digits;
}

qint64 snoozeFromText(const QString& digits) {
    const QString filtered = filterSnoozeDigits(digits);
    // "0" would snooze for no time at all: the alarm rings again at once.
    return filtered.isEmpty() ? 9 : std::max<qint64>(filtered.toLongLong(), 1);
}

}  // namespace pendra
