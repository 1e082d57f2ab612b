#include "alarms/Alarm.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonValue>
#include <algorithm>
#include <cmath>

#include "platform/Clock.h"

namespace pendra {

namespace {

// JSON numbers are doubles; an integer member must hold an exact integer
// that fits the field.
std::optional<qint64> integerMember(const QJsonObject& o, const char* key) {
    const QJsonValue v = o.value(QLatin1String(key));
    if (!v.isDouble()) {
        return std::nullopt;
    }
    const double d = v.toDouble();
    if (!std::isfinite(d) || std::trunc(d) != d || std::fabs(d) > 9.0e15) {
        return std::nullopt;
    }
    return static_cast<qint64>(d);
}

std::optional<QString> stringMember(const QJsonObject& o, const char* key) {
    const QJsonValue v = o.value(QLatin1String(key));
    if (!v.isString()) {
        return std::nullopt;
    }
    return v.toString();
}

}  // namespace

Alarm::Alarm(qint64 hour, qint64 minute, QString ringtone, qint64 snooze, QString label,
             std::array<bool, 7> repeatDays, bool enabled)
    : hour(hour),
      minute(minute),
      ringtone(std::move(ringtone)),
      snooze(snooze),
      isSnoozed(false),
      label(std::move(label)),
      repeatDays(repeatDays),
      enabled(enabled) {}

Alarm::Alarm(const QStringList& ringtones)
    : hour((Clock::now().time().hour() + 1) % 24),
      minute(0),
      ringtone(ringtones.contains(QStringLiteral("Radar"))
                   ? QStringLiteral("Radar")
                   : (ringtones.isEmpty() ? QStringLiteral("None") : ringtones.first())),
      snooze(9),
      isSnoozed(false),
      label(QCoreApplication::translate("pendra::AlarmViewController", "Alarm")),
      enabled(true) {}

std::optional<Alarm> Alarm::fromDictionary(const QVariantMap& object) {
    return fromJson(QJsonObject::fromVariantMap(object));
}

std::optional<Alarm> Alarm::fromJson(const QJsonObject& o) {
    const auto hour = integerMember(o, "hour");
    const auto minute = integerMember(o, "minute");
    const auto snooze = integerMember(o, "snooze");
    const auto ringtone = stringMember(o, "ringtone");
    const auto label = stringMember(o, "label");
    const QJsonValue enabled = o.value(QLatin1String("enabled"));
    const QJsonValue days = o.value(QLatin1String("repeatDays"));
    if (!hour || !minute || !snooze || !ringtone || !label || !enabled.isBool() ||
        !days.isArray()) {
        return std::nullopt;
    }
    // Out of range, the time would name no minute of any day and the alarm
    // would never ring: the element is as unusable as a missing one.
    if (*hour < 0 || *hour > 23 || *minute < 0 || *minute > 59) {
        return std::nullopt;
    }
    const QJsonArray array = days.toArray();
    if (array.size() != 7) {
        return std::nullopt;
    }
    std::array<bool, 7> repeat{};
    for (int i = 0; i < 7; ++i) {
        if (!array.at(i).isBool()) {
            return std::nullopt;
        }
        repeat[size_t(i)] = array.at(i).toBool();
    }
    return Alarm(*hour, *minute, *ringtone, *snooze, *label, repeat, enabled.toBool());
}

QJsonObject Alarm::encode() const {
    QJsonArray days;
    for (bool d : repeatDays) {
        days.append(d);
    }
    QJsonObject o;
    o.insert(QStringLiteral("hour"), hour);
    o.insert(QStringLiteral("minute"), minute);
    o.insert(QStringLiteral("ringtone"), ringtone);
    o.insert(QStringLiteral("snooze"), snooze);
    o.insert(QStringLiteral("isSnoozed"), isSnoozed);
    o.insert(QStringLiteral("label"), label);
    o.insert(QStringLiteral("repeatDays"), days);
    o.insert(QStringLiteral("enabled"), enabled);
    return o;
}

bool Alarm::isRepeating() const {
    return std::any_of(repeatDays.begin(), repeatDays.end(), [](bool d) { return d; });
}

}  // namespace pendra
