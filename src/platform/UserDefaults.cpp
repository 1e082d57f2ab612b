#include "platform/UserDefaults.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSettings>

namespace pendra {

namespace {

QSettings settings() {
    return QSettings(QStringLiteral("Zentho"), QStringLiteral("Pendra"));
}

// QSettings' INI files keep no types: a value written as bool, integer or
// one-element list reads back as a string. Writes therefore tag their type in
// the text, and reads accept exactly the form their writer produces.
constexpr auto kArrayPrefix = "@json:";

// A value already stored is not written again: several are set each time the
// popover shows, and each write replaces the whole file.
void store(const QString& key, const QVariant& value) {
    QSettings s = settings();
    if (s.contains(key) && s.value(key) == value) {
        return;
    }
    s.setValue(key, value);
    s.sync();
}

}  // namespace

UserDefaults& UserDefaults::standard() {
    static UserDefaults defaults;
    return defaults;
}

bool UserDefaults::boolForKey(const QString& key) const {
    const QVariant v = settings().value(key);
    if (v.typeId() == QMetaType::Bool) {
        return v.toBool();
    }
    return v.typeId() == QMetaType::QString && v.toString() == QLatin1String("true");
}

qint64 UserDefaults::integerForKey(const QString& key) const {
    const QVariant v = settings().value(key);
    switch (v.typeId()) {
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::UInt:
            return v.toLongLong();
        case QMetaType::QString: {
            bool ok = false;
            const qint64 n = v.toString().trimmed().toLongLong(&ok);
            return ok ? n : 0;
        }
        default:
            return 0;
    }
}

std::optional<QString> UserDefaults::stringForKey(const QString& key) const {
    const QVariant v = settings().value(key);
    if (v.typeId() != QMetaType::QString) {
        return std::nullopt;
    }
    const QString s = v.toString();
    if (s.startsWith(QLatin1String(kArrayPrefix))) {
        return std::nullopt;
    }
    return s;
}

std::optional<QStringList> UserDefaults::stringArrayForKey(const QString& key) const {
    const QVariant v = settings().value(key);
    if (v.typeId() == QMetaType::QStringList) {
        return v.toStringList();
    }
    if (v.typeId() != QMetaType::QString) {
        return std::nullopt;
    }
    const QString s = v.toString();
    if (!s.startsWith(QLatin1String(kArrayPrefix))) {
        return std::nullopt;
    }
    QJsonParseError error{};
    const QJsonDocument doc =
        QJsonDocument::fromJson(s.mid(int(strlen(kArrayPrefix))).toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isArray()) {
        return std::nullopt;
    }
    QStringList out;
    for (const QJsonValue& item : doc.array()) {
        if (!item.isString()) {
            return std::nullopt;
        }
        out << item.toString();
    }
    return out;
}

bool UserDefaults::contains(const QString& key) const {
    return settings().contains(key);
}

void UserDefaults::setBool(const QString& key, bool value) {
    store(key, value ? QStringLiteral("true") : QStringLiteral("false"));
}

void UserDefaults::setInteger(const QString& key, qint64 value) {
    store(key, QString::number(value));
}

void UserDefaults::setString(const QString& key, const QString& value) {
    store(key, value);
}

void UserDefaults::setStringArray(const QString& key, const QStringList& value) {
    const QJsonArray array = QJsonArray::fromStringList(value);
    store(key, QString::fromLatin1(kArrayPrefix) +
                   QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact)));
}

void UserDefaults::remove(const QString& key) {
    QSettings s = settings();
    s.remove(key);
    s.sync();
}

void UserDefaults::setRawForTesting(const QString& key, const QVariant& value) {
    store(key, value);
}

}  // namespace pendra
