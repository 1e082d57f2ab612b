#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <array>
#include <optional>

#include "alarms/Alarm.h"

namespace pendra {

// Identifiers of alarm notifications: "alarm-<row>-<weekday index>", the
// index 0 for a one-off alarm.
QString alarmIdentifier(int row, int weekdayIndex);
// The row of an identifier of kind "alarm"; nothing for another kind or a
// malformed row.
std::optional<int> alarmRowFromIdentifier(const QString& identifier);
// The weekday index (the last component) of an alarm identifier.
std::optional<int> alarmSlotFromIdentifier(const QString& identifier);
// The row of a lookup text "<row>-".
std::optional<int> rowFromRowText(const QString& text);

// 1 = Sunday ... 7 = Saturday.
int calendarWeekday(const QDate& date);
// The index of a row's notification that stands for `today` in a list of
// `listSize` elements (7 for repeating alarms, 1 for one-off ones).
int currentSlot(qsizetype listSize, const QDate& today);

// The day a one-off alarm rings next: today while its minute is ahead, else
// tomorrow (the current minute counts as passed).
QDate oneOffTargetDay(const Alarm& alarm, const QDateTime& now);
// The day the alarm's weekday `weekdayIndex` (0 = Sunday) rings next.
QDate repeatTargetDay(const Alarm& alarm, int weekdayIndex, const QDateTime& now);
// The alarm's time on `day`, in local time (the first valid time after a
// daylight-saving gap).
QDateTime alarmDeliveryDate(const Alarm& alarm, const QDate& day);

// How far back a launch looks for alarms that passed unseen.
inline constexpr qint64 kMissedWindowSecs = 24 * 3600;
// A ring delivered later than this after its time (the machine was asleep,
// the clock was set forwards) is reported as missed instead. Ten minutes is
// just past one default snooze: later than that, a ring is no longer the
// alarm the user set, and an alarm at 07:00 must not go off at 09:30.
inline constexpr qint64 kLateRingSecs = 10 * 60;

// When an enabled alarm last rang, or would have, after `since` and within
// kMissedWindowSecs of `now` (`now` included): a one-off alarm at its time on
// any day, a repeating one on its days. Nothing for a disabled alarm.
std::optional<QDateTime> missedRingTime(const Alarm& alarm, const QDateTime& since,
                                        const QDateTime& now);

// Where an alarm goes in a list sorted by time of day: before the first alarm
// whose time is strictly later, so that ties keep their arrival order.
int insertionIndex(const QList<Alarm>& alarms, const Alarm& alarm);
// The old indices in their new order after a stable sort by time of day.
QList<int> reorderedIndices(const QList<Alarm>& alarms);

// "07:05" or "7:05am"/"12:00pm".
QString alarmTimeText(qint64 hour, qint64 minute, bool do24HourTime);
// The repeat days as a row shows them: "Sun Tue", "Weekdays", "Weekends",
// "Every day"; nothing for a one-off alarm.
QString repeatDaysText(const std::array<bool, 7>& days);
// "Snooze: 9 mins".
QString snoozeText(qint64 snooze);
// "<m + 1>m left", m the whole minutes from now to the delivery, truncated.
QString minutesLeftText(const QDateTime& now, const QDateTime& delivery);
// The tray icon's tooltip: "Pendra - next alarm Mon 07:00", or "Pendra".
QString nextAlarmToolTip(const std::optional<QDateTime>& next, bool do24HourTime);
// Digits only, at most the first two.
QString filterSnoozeDigits(const QString& text);
// The committed snooze of the field's text: 9 for an empty field.
qint64 snoozeFromText(const QString& digits);

}  // namespace pendra
