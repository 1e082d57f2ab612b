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

QString Paths::dataDir() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Pendra/";
}

void Paths::setShareDirForTesting(const QString& dir) {
    shareOverride() = dir;
}

}  // namespace pendra
