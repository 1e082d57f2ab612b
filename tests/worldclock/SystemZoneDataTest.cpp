// Every city the catalogue offers, looked up as the panel looks it up, must
// show the offset the operating system's own zone data gives at the same
// instant: `TZ=<id> date -d @<t> +%z`, for all zones in one shell.
#include <gtest/gtest.h>

#include <QMap>
#include <QProcess>
#include <QSet>

#include "worldclock/CityCatalogue.h"
#include "worldclock/ZoneTestSupport.h"

namespace pendra {
namespace {

// identifier -> "+hh:mm" as `date` prints it for that zone at `epoch`.
QMap<QString, QString> systemOffsets(const QStringList& ids, qint64 epoch) {
    QProcess shell;
    shell.start("/bin/sh", {"-c",
                            "while read -r id; do "
                            "printf '%s %s\\n' \"$id\" \"$(TZ=\"$id\" date -d @\"$1\" +%z)\"; "
                            "done",
                            "sh", QString::number(epoch)});
    if (!shell.waitForStarted(30000)) {
        return {};
    }
    shell.write((ids.join('\n') + '\n').toUtf8());
    shell.closeWriteChannel();
    shell.waitForFinished(300000);
    QMap<QString, QString> offsets;
    for (const QString& line : QString::fromUtf8(shell.readAllStandardOutput()).split('\n')) {
        const QStringList parts = line.split(' ');
        if (parts.size() == 2 && parts[1].size() == 5) {
            offsets.insert(parts[0], parts[1].left(3) + ':' + parts[1].mid(3));
        }
    }
    return offsets;
}

TEST(SystemZoneDataTest, EveryCatalogueCityMatchesTheSystemOffset) {
    test::ScopedTimeZone tz("UTC");
    const QStringList ids = knownTimeZoneIdentifiers();
    const QStringList entries = cityCatalogue(ids);
    ASSERT_GT(entries.size(), 300);

    QStringList looked;  // identifier each entry's city name resolves to
    for (const QString& entry : entries) {
        const CityLookup found = lookupCity(cityName(entry), ids);
        ASSERT_TRUE(found.identifier) << qPrintable(entry);
        looked << *found.identifier;
    }

    // One instant in each half of the year, so zones on summer time either
    // side of the equator are caught on both sides of their change.
    for (const QDateTime& when : {test::utc(2024, 1, 15, 12, 0), test::utc(2024, 7, 15, 12, 0)}) {
        const QMap<QString, QString> expected = systemOffsets(looked, when.toSecsSinceEpoch());
        ASSERT_EQ(expected.size(), QSet<QString>(looked.begin(), looked.end()).size())
            << "date gave no offset for some zones";
        int differing = 0;
        for (int i = 0; i < entries.size(); ++i) {
            const QString shown = offsetText(QTimeZone(looked[i].toUtf8()), when);
            if (shown != expected.value(looked[i])) {
                ++differing;
                ADD_FAILURE() << qPrintable(entries[i]) << " at "
                              << qPrintable(when.toString(Qt::ISODate)) << ": shown "
                              << qPrintable(shown) << ", system "
                              << qPrintable(expected.value(looked[i]));
            }
        }
        EXPECT_EQ(differing, 0);
    }
}

}  // namespace
}  // namespace pendra
