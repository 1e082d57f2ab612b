#include "alarms/AlarmStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QRegularExpression>
#include <QSaveFile>

#include "platform/Log.h"

namespace pendra {

AlarmStore::AlarmStore(QString folder) : folder_(std::move(folder)) {}

QString AlarmStore::filePath() const {
    return folder_ + QStringLiteral("alarms.json");
}

void AlarmStore::createAlarmsFile() {
    if (!QFileInfo::exists(folder_) && !QDir().mkpath(folder_)) {
        printLine(QStringLiteral("Couldn't create directory"));
    }
    if (!QFileInfo::exists(filePath())) {
        QSaveFile file(filePath());
        if (file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
            file.write("[]");
            file.commit();
        }
    }
}

void AlarmStore::removeLeftoverTemporaries() const {
    // A write killed between linking its temporary copy and renaming it over
    // the file leaves "alarms.json.XXXXXX" behind; only one instance runs, so
    // none of them is in use.
    static const QRegularExpression leftover(QStringLiteral("^alarms\\.json\\.[A-Za-z0-9]{6}$"));
    const QDir dir(folder_);
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden)) {
        if (leftover.match(name).hasMatch()) {
            QFile::remove(dir.filePath(name));
        }
    }
}

void AlarmStore::getAlarmsFromJSON(QList<Alarm>& alarms) {
    const QString path = filePath();
    removeLeftoverTemporaries();
    if (!QFileInfo::exists(path)) {
        createAlarmsFile();
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        printLine(file.errorString());
        // Nothing was read: the next write must not silently replace it.
        mustKeepAside_ = QFileInfo::exists(path);
        return;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        printLine(file.errorString());
        mustKeepAside_ = true;
        return;
    }
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError) {
        printLine(error.errorString());
        mustKeepAside_ = true;
        return;
    }
    if (!doc.isArray()) {
        printLine(QStringLiteral("json is invalid"));
        mustKeepAside_ = true;
        return;
    }
    const QJsonArray array = doc.array();
    for (qsizetype i = 0; i < array.size(); ++i) {
        const QJsonValue element = array.at(i);
        const std::optional<Alarm> alarm =
            element.isObject() ? Alarm::fromJson(element.toObject()) : std::nullopt;
        if (!alarm) {
            printLine(QStringLiteral("Skipped element %1 of the alarms file: not a valid alarm: ")
                          .arg(i) +
                      QString::fromUtf8(QJsonDocument(QJsonArray{element})
                                            .toJson(QJsonDocument::Compact)
                                            .chopped(1)
                                            .mid(1)
                                            .left(200)));
            mustKeepAside_ = true;
            continue;
        }
        alarms.append(*alarm);
    }
}

void AlarmStore::keepAside() {
    const QString path = filePath();
    if (!QFileInfo::exists(path)) {
        mustKeepAside_ = false;
        return;
    }
    // Never overwrite an earlier kept file: each may hold alarms.
    QString target = path + QStringLiteral(".unreadable");
    for (int n = 2; QFileInfo::exists(target); ++n) {
        target = path + QStringLiteral(".unreadable-") + QString::number(n);
    }
    if (QFile::copy(path, target)) {
        keptAside_ = target;
        mustKeepAside_ = false;
        printLine(QStringLiteral("Kept the alarms file that could not be read whole as ") + target);
    } else {
        printLine(
            QStringLiteral("Could not keep the alarms file that could not be read whole as ") +
            target);
    }
}

bool AlarmStore::writeJSONFromAlarms(const QList<Alarm>& alarms) {
    QJsonArray array;
    for (const Alarm& a : alarms) {
        array.append(a.encode());
    }
    const QByteArray bytes = QJsonDocument(array).toJson(QJsonDocument::Compact);
    if (mustKeepAside_) {
        keepAside();
        if (mustKeepAside_) {
            // Replacing it now would lose what the user may still recover.
            printLine(QStringLiteral("Failed to write JSON data: the unreadable file was kept"));
            return false;
        }
    }
    QSaveFile file(filePath());
    // The folder is not created here: a write into a folder the user removed
    // fails and says so, and the alarms stay in memory for the next one.
    // Unbuffered: Qt 6.4's QSaveFile loses an error of its buffered final
    // write (a full disk) and commits an empty file as a success.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        printLine(QStringLiteral("Failed to write JSON data: ") + file.errorString());
        return false;
    }
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        printLine(QStringLiteral("Failed to write JSON data: ") + file.errorString());
        return false;
    }
    return true;
}

}  // namespace pendra
