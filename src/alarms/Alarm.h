#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <array>
#include <optional>

namespace pendra {

// One alarm: when it rings, with which sound, how long a snooze lasts, its
// name, the weekdays it repeats on (index 0 Sunday ... 6 Saturday) and whether
// it is switched on. A plain value.
struct Alarm {
    qint64 hour = 0;
    qint64 minute = 0;
    QString ringtone;
    qint64 snooze = 9;
    bool isSnoozed = false;
    QString label;
    std::array<bool, 7> repeatDays{};
    bool enabled = true;

    // Memberwise; never snoozed.
    Alarm(qint64 hour, qint64 minute, QString ringtone, qint64 snooze, QString label,
          std::array<bool, 7> repeatDays, bool enabled);

    // The defaults of a new alarm: the next full hour, "Radar" when the
    // catalogue has it, else its first name, else "None".
    explicit Alarm(const QStringList& ringtones);

    // One object of the alarms file. Nothing when it is not a valid alarm
    // object (a member missing, of another type, a fraction, out of range,
    // repeatDays not seven booleans). "isSnoozed" is never read back.
    static std::optional<Alarm> fromDictionary(const QVariantMap& object);
    static std::optional<Alarm> fromJson(const QJsonObject& object);

    QJsonObject encode() const;

    bool isRepeating() const;
    qint64 timeOfDay() const { return hour * 60 + minute; }

    friend bool operator==(const Alarm&, const Alarm&) = default;
};

}  // namespace pendra
