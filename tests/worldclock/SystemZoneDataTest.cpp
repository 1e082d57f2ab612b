// Every city the catalogue offers, looked up as the panel looks it up, must
// find the zone it came from and show the offset the operating system's own
// zone data gives at the same instant: `TZ=<id> date -d @<t> +%z`.
#include <gtest/gtest.h>

#include <QProcess>

#include "worldclock/CityCatalogue.h"
#include "worldclock/ZoneTestSupport.h"

namespace pendra {
namespace {

// "<id> +hh:mm" lines as `date` prints them for each zone at `epoch`, in one shell.
QStringList systemOffsets(const QStringList& ids, qint64 epoch) {
    QProcess shell;
    shell.start("/bin/sh", {"-c",
                            "while read -r id; do z=$(TZ=\"$id\" date -d @\"$1\" +%z); "
                            "printf '%s %s:%s\\n' \"$id\" \"${z%??}\" \"${z#???}\"; done",
                            "sh", QString::number(epoch)});
    shell.write((ids.join('\n') + '\n').toUtf8());
    shell.closeWriteChannel();
    shell.waitForFinished(300000);
    return QString::fromUtf8(shell.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

TEST(SystemZoneDataTest, EveryCatalogueCityFindsItsZoneAndMatchesTheSystemOffset) {
    test::ScopedTimeZone tz("UTC");
    const QStringList ids = knownTimeZoneIdentifiers();
    QStringList found;
    for (const QString& id : ids) {
        if (const auto entry = reverse(id, '/')) {
            EXPECT_EQ(lookupCity(cityName(*entry), ids).identifier, id) << qPrintable(*entry);
            found << id;
        }
    }
    ASSERT_GT(found.size(), 300);
    // One instant in each half of the year, so zones on summer time either
    // side of the equator are caught on both sides of their change.
    for (const QDateTime& when : {test::utc(2024, 1, 15, 12, 0), test::utc(2024, 7, 15, 12, 0)}) {
        QStringList shown;
        for (const QString& id : found) {
            shown << id + ' ' + offsetText(QTimeZone(id.toUtf8()), when);
        }
        EXPECT_EQ(shown, systemOffsets(found, when.toSecsSinceEpoch()))
            << "at " << qPrintable(when.toString(Qt::ISODate));
    }
}

}  // namespace
}  // namespace pendra
