#include "platform/DateFormatSource.h"

#include <QLocale>

#include "platform/DesktopSettings.h"

namespace pendra {

namespace {

std::optional<QString> gnomeClockFormat() {
    const std::optional<QString> format = desktopInterfaceString("clock-format");
    if (format == QStringLiteral("12h")) {
        return QStringLiteral("h:mm a");
    }
    if (format == QStringLiteral("24h")) {
        return QStringLiteral("HH:mm");
    }
    return std::nullopt;
}

}  // namespace

QString unicodePatternFromQtFormat(const QString& qtFormat) {
    QString out;
    bool quoted = false;
    for (qsizetype i = 0; i < qtFormat.size(); ++i) {
        const QChar c = qtFormat.at(i);
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
            out += c;
            continue;
        }
        if (!quoted && (c == QLatin1Char('A') || c == QLatin1Char('a'))) {
            if (i + 1 < qtFormat.size() && (qtFormat.at(i + 1) == QLatin1Char('P') ||
                                            qtFormat.at(i + 1) == QLatin1Char('p'))) {
                ++i;
            }
            out += QLatin1Char('a');
            continue;
        }
        out += c;
    }
    return out;
}

std::optional<QString> systemClockDateFormat() {
    if (auto gnome = gnomeClockFormat()) {
        return gnome;
    }
    const QLocale locale = QLocale::system();
    if (locale.language() == QLocale::C) {
        return std::nullopt;
    }
    const QString format = locale.timeFormat(QLocale::ShortFormat);
    if (format.isEmpty()) {
        return std::nullopt;
    }
    return unicodePatternFromQtFormat(format);
}

}  // namespace pendra
