#include "platform/Autostart.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include "platform/Log.h"

namespace pendra {

namespace {

const QString kEntryName = QStringLiteral("pendra.desktop");

// One argument of an Exec key: quoted when it holds anything beyond plain
// path characters, then escaped once more as a desktop-entry string value.
QString quoteArgument(const QString& arg) {
    bool plain = !arg.isEmpty();
    for (const QChar c : arg) {
        if (!(c.isLetterOrNumber() || QStringLiteral("/._+-").contains(c))) {
            plain = false;
        }
    }
    QString out;
    if (plain) {
        out = arg;
    } else {
        out = QStringLiteral("\"");
        for (const QChar c : arg) {
            if (QStringLiteral("\"`$\\").contains(c)) {
                out += QLatin1Char('\\');
            }
            out += c;
        }
        out += QLatin1Char('"');
    }
    out.replace(QLatin1Char('%'), QStringLiteral("%%"));
    out.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    return out;
}

bool hasValue(const QString& line, const QString& key, const QString& value) {
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    return eq > 0 && line.left(eq).trimmed() == key && line.mid(eq + 1).trimmed() == value;
}

}  // namespace

QString Autostart::entryPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart/") + kEntryName;
}

bool Autostart::isEnabled() {
    QFile file(entryPath());
    if (!QFileInfo(file).isFile() || !file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return false;
    }
    // Desktop environments switch an entry off in place rather than delete it.
    bool inMainGroup = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inMainGroup = line == QLatin1String("[Desktop Entry]");
        } else if (inMainGroup &&
                   (hasValue(line, QStringLiteral("Hidden"), QStringLiteral("true")) ||
                    hasValue(line, QStringLiteral("X-GNOME-Autostart-enabled"),
                             QStringLiteral("false")))) {
            return false;
        }
    }
    return true;
}

bool Autostart::setEnabled(bool enabled) {
    const QString path = entryPath();
    if (!enabled) {
        if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink()) {
            return true;
        }
        QFile file(path);
        if (!file.remove()) {
            printLine(QStringLiteral("Cannot remove the login item ") + path +
                      QStringLiteral(": ") + file.errorString());
            return false;
        }
        return true;
    }
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        printLine(QStringLiteral("Cannot create the folder of the login item ") + path);
        return false;
    }
    const QString text = QStringLiteral(
                             "[Desktop Entry]\n"
                             "Type=Application\n"
                             "Name=Pendra\n"
                             "Comment=World clock, alarms, timer and stopwatch in the system tray\n"
                             "Exec=%1\n"
                             "Icon=pendra\n"
                             "Terminal=false\n"
                             "StartupNotify=false\n"
                             "X-GNOME-Autostart-enabled=true\n")
                             .arg(execValue(QCoreApplication::applicationFilePath()));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 || !file.commit()) {
        printLine(QStringLiteral("Cannot write the login item ") + path + QStringLiteral(": ") +
                  file.errorString());
        return false;
    }
    return true;
}

QString Autostart::execValue(const QString& program) {
    const QString name = QFileInfo(program).fileName();
    const QString found = QStandardPaths::findExecutable(name);
    if (!found.isEmpty() &&
        QFileInfo(found).canonicalFilePath() == QFileInfo(program).canonicalFilePath()) {
        return quoteArgument(name);
    }
    return quoteArgument(QFileInfo(program).absoluteFilePath());
}

}  // namespace pendra
