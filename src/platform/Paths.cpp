#include "platform/Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

namespace pendra {

namespace {
QString& shareOverride() {
    static QString dir;
    return dir;
}
QString& audioModuleOverride() {
    static QString file;
    return file;
}
}  // namespace

QString Paths::shareDir() {
    if (!shareOverride().isEmpty()) {
        return shareOverride();
    }
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + "/../share/pendra");
}

QString Paths::ringtonesDir() {
    return shareDir() + "/ringtones/";
}

QString Paths::audioModule() {
    if (!audioModuleOverride().isEmpty()) {
        return audioModuleOverride();
    }
    return QDir::cleanPath(QCoreApplication::applicationDirPath() +
                           "/../lib/pendra/pendra-audio.so");
}

QString Paths::dataDir() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Pendra/";
}

QString Paths::userRingtonesDir() {
    return dataDir() + "ringtones/";
}

QString Paths::runRecordFile() {
    return dataDir() + "last-run";
}

void Paths::setShareDirForTesting(const QString& dir) {
    shareOverride() = dir;
}

void Paths::setAudioModuleForTesting(const QString& file) {
    audioModuleOverride() = file;
}

}  // namespace pendra
