#include "worldclock/CityCatalogue.h"

#include <QRegularExpression>

namespace pendra {

QStringList knownTimeZoneIdentifiers() {
    static const QRegularExpression synthetic(QStringLiteral("^UTC[+-]\\d\\d:\\d\\d$"));
    QStringList ids;
    for (const QByteArray& id : QTimeZone::availableTimeZoneIds()) {
        const QString name = QString::fromUtf8(id);
        if (!synthetic.match(name).hasMatch()) {
            ids << name;
        }
    }
    return ids;
}

std::optional<QString> reverse(const QString& identifier, QChar separator) {
    const QStringList pieces = identifier.split(separator, Qt::SkipEmptyParts);
    if (pieces.size() != 2) {
        return std::nullopt;
    }
    QString entry = pieces[1] + separator + pieces[0];
    entry.replace(QLatin1Char('_'), QLatin1Char(' '));
    return entry;
}

QStringList cityCatalogue(const QStringList& identifiers) {
    QStringList entries;
    for (const QString& id : identifiers) {
        if (auto entry = reverse(id, QLatin1Char('/'))) {
            entries << *entry;
        }
    }
    return entries;
}

QString cityName(const QString& entry) {
    return entry.section(QLatin1Char('/'), 0, 0);
}

QString cityEntryTitle(const QString& entry) {
    const qsizetype slash = entry.indexOf(QLatin1Char('/'));
    return slash < 0
               ? entry
               : entry.left(slash) + QStringLiteral(" (") + entry.mid(slash + 1) + QLatin1Char(')');
}

CityLookup lookupCity(const QString& city, const QStringList& identifiers) {
    QString spelled = city;
    spelled.replace(QLatin1Char(' '), QLatin1Char('_'));
    QStringList candidates;
    for (const QString& id : identifiers) {
        const QStringList pieces = id.split(QLatin1Char('/'), Qt::SkipEmptyParts);
        if (pieces.size() < 2) {
            continue;
        }
        if (pieces[1] == spelled) {
            return {id, {}};
        }
        candidates << QLatin1Char('"') + pieces[1] + QLatin1Char('"');
    }
    return {std::nullopt, QStringLiteral("Couldn't find city ") + spelled +
                              QStringLiteral(" in identifiers [") +
                              candidates.join(QStringLiteral(", ")) + QLatin1Char(']')};
}

QString offsetText(qint64 diffSeconds) {
    // Negated in unsigned arithmetic: the most negative qint64 has no positive twin.
    const quint64 magnitude = diffSeconds < 0 ? 0 - quint64(diffSeconds) : quint64(diffSeconds);
    return QStringLiteral("%1%2:%3")
        .arg(diffSeconds < 0 ? QLatin1Char('-') : QLatin1Char('+'))
        .arg(magnitude / 3600, 2, 10, QLatin1Char('0'))
        .arg(magnitude % 3600 / 60, 2, 10, QLatin1Char('0'));
}

QString offsetText(const QTimeZone& zone, const QDateTime& now) {
    const qint64 ms = now.toMSecsSinceEpoch();
    const qint64 local = QDateTime::fromMSecsSinceEpoch(ms, Qt::LocalTime).offsetFromUtc();
    const qint64 remote = zone.offsetFromUtc(QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC));
    return offsetText(remote - local);
}

QString localTimeText(const QTimeZone& zone, const QDateTime& now, bool do24HourTime,
                      const QLocale& locale) {
    const QTime time = now.toTimeZone(zone).time();
    if (do24HourTime) {
        return time.toString(QStringLiteral("HH:mm"));
    }
    const int hour = time.hour() % 12 == 0 ? 12 : time.hour() % 12;
    return QStringLiteral("%1:%2%3")
        .arg(hour)
        .arg(time.minute(), 2, 10, QLatin1Char('0'))
        .arg(time.hour() < 12 ? locale.amText() : locale.pmText());
}

}  // namespace pendra
