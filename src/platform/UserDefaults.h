#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>

namespace pendra {

// The user defaults: QSettings of organisation "Zentho", application "Pendra"
// (~/.config/Zentho/Pendra.conf). Typed reads never fail: a missing or
// ill-typed value reads as false, 0 or nothing, as the panels expect.
class UserDefaults {
public:
    static UserDefaults& standard();

    bool boolForKey(const QString& key) const;
    qint64 integerForKey(const QString& key) const;
    std::optional<QString> stringForKey(const QString& key) const;
    std::optional<QStringList> stringArrayForKey(const QString& key) const;
    bool contains(const QString& key) const;

    void setBool(const QString& key, bool value);
    void setInteger(const QString& key, qint64 value);
    void setString(const QString& key, const QString& value);
    void setStringArray(const QString& key, const QStringList& value);
    void remove(const QString& key);

    // Raw access for tests that plant ill-typed values.
    void setRawForTesting(const QString& key, const QVariant& value);

private:
    UserDefaults() = default;
};

}  // namespace pendra
