#pragma once

#include <QChar>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <QTimeZone>
#include <optional>

namespace pendra {

// The IANA identifiers the platform knows, in its order, without the
// "UTC+hh:mm" offsets Qt invents: those are no places.
QStringList knownTimeZoneIdentifiers();

// One identifier turned into its city entry: Europe/London -> London/Europe,
// every "_" a space. Nothing unless it has exactly two non-empty pieces.
std::optional<QString> reverse(const QString& identifier, QChar separator);

// The city entries of all two-piece identifiers, in the identifiers' order.
QStringList cityCatalogue(const QStringList& identifiers);

// The name a city entry stores: the text before its first "/".
QString cityName(const QString& entry);
// How the picker shows an entry: London/Europe -> London (Europe).
QString cityEntryTitle(const QString& entry);

// The identifier whose second piece is the city's name spelled with "_" for
// spaces; the first such identifier wins.
struct CityLookup {
    std::optional<QString> identifier;
    QString failure;  // the line to print when nothing matched
};
CityLookup lookupCity(const QString& city, const QStringList& identifiers);

// The signed hours and minutes of `diffSeconds`: +05:30, -03:30, +00:00.
QString offsetText(qint64 diffSeconds);

// The offset of `zone` from the user's own zone at `now`, both with the
// daylight-saving time then in force.
QString offsetText(const QTimeZone& zone, const QDateTime& now);

// The wall time in `zone` at `now`: "HH:mm", or the hour without leading zero,
// minutes and the locale's AM/PM symbol with no space (3:07PM).
QString localTimeText(const QTimeZone& zone, const QDateTime& now, bool do24HourTime,
                      const QLocale& locale = QLocale());

}  // namespace pendra
