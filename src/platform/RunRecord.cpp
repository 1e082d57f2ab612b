#include "platform/RunRecord.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "platform/Log.h"

namespace pendra {

RunRecord::RunRecord(QString file) : file_(std::move(file)) {}

std::optional<QDateTime> RunRecord::lastRun() const {
    QFile f(file_);
    if (!f.exists()) {
        return std::nullopt;
    }
    if (!f.open(QIODevice::ReadOnly)) {
        printLine(QStringLiteral("Ignored the run record ") + file_ + QStringLiteral(": ") +
                  f.errorString());
        return std::nullopt;
    }
    const QDateTime when =
        QDateTime::fromString(QString::fromUtf8(f.read(64)).trimmed(), Qt::ISODateWithMs);
    if (!when.isValid()) {
        printLine(QStringLiteral("Ignored the run record ") + file_ +
                  QStringLiteral(": not a date"));
        return std::nullopt;
    }
    return when.toLocalTime();
}

void RunRecord::touch(const QDateTime& now) {
    QDir().mkpath(QFileInfo(file_).absolutePath());
    QSaveFile f(file_);
    const QByteArray line = now.toUTC().toString(Qt::ISODateWithMs).toUtf8() + '\n';
    // Unbuffered: Qt 6.4's QSaveFile loses an error of a buffered final write
    // (a full disk) and commits an empty file as a success.
    if (!f.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || f.write(line) != line.size() ||
        !f.commit()) {
        printLine(QStringLiteral("Could not record the run in ") + file_ + QStringLiteral(": ") +
                  f.errorString());
    }
}

}  // namespace pendra
