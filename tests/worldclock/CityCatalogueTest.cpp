#include <gtest/gtest.h>

#include <limits>

#include "worldclock/CityCatalogue.h"
#include "worldclock/ZoneTestSupport.h"

namespace pendra {
namespace {

using test::utc;

TEST(ReverseTest, TwoPieceIdentifiersBecomeCityEntries) {
    EXPECT_EQ(reverse("Europe/London", '/'), QString("London/Europe"));
    EXPECT_EQ(reverse("America/New_York", '/'), QString("New York/America"));
    EXPECT_EQ(reverse("America/Port_of_Spain", '/'), QString("Port of Spain/America"));
    EXPECT_EQ(reverse("Some_Region/Far_Away_Town", '/'), QString("Far Away Town/Some Region"));
    // Empty pieces do not count.
    EXPECT_EQ(reverse("/Europe//London/", '/'), QString("London/Europe"));
    EXPECT_EQ(reverse("Europe-London", '-'), QString("London-Europe"));
}

TEST(ReverseTest, OtherPieceCountsFail) {
    EXPECT_FALSE(reverse("GMT", '/'));
    EXPECT_FALSE(reverse("America/Argentina/Buenos_Aires", '/'));
    EXPECT_FALSE(reverse("", '/'));
    EXPECT_FALSE(reverse("//", '/'));
    EXPECT_FALSE(reverse("Europe/London", '-'));
}

TEST(CatalogueTest, KeepsTheIdentifiersOrderAndSkipsOtherShapes) {
    const QStringList ids{"Europe/London", "GMT", "America/Argentina/Buenos_Aires",
                          "America/New_York", "Africa/Abidjan"};
    EXPECT_EQ(cityCatalogue(ids),
              (QStringList{"London/Europe", "New York/America", "Abidjan/Africa"}));
    EXPECT_EQ(cityName("New York/America"), QString("New York"));
    EXPECT_EQ(cityEntryTitle("New York/America"), QString("New York (America)"));
}

TEST(CatalogueTest, SystemIdentifiersHaveNoSyntheticOffsets) {
    const QStringList ids = knownTimeZoneIdentifiers();
    ASSERT_GT(ids.size(), 300);
    EXPECT_TRUE(ids.contains("Europe/London"));
    EXPECT_TRUE(ids.contains("America/New_York"));
    for (const QString& id : ids) {
        EXPECT_FALSE(id.startsWith("UTC+") || id.startsWith("UTC-")) << qPrintable(id);
    }
    // The catalogue follows the system's order, not the order of city names.
    const QStringList entries = cityCatalogue(ids);
    const QStringList sorted = [&] {
        QStringList s = entries;
        s.sort();
        return s;
    }();
    EXPECT_NE(entries, sorted);
    EXPECT_LT(entries.indexOf("Abidjan/Africa"), entries.indexOf("New York/America"));
    EXPECT_LT(entries.indexOf("New York/America"), entries.indexOf("London/Europe"));
}

TEST(CatalogueTest, EveryCatalogueCityFindsTheZoneItCameFrom) {
    const QStringList ids = knownTimeZoneIdentifiers();
    int checked = 0;
    for (const QString& id : ids) {
        const auto entry = reverse(id, '/');
        if (!entry) {
            continue;
        }
        const CityLookup found = lookupCity(cityName(*entry), ids);
        ASSERT_TRUE(found.identifier) << qPrintable(*entry);
        EXPECT_EQ(*found.identifier, id);
        EXPECT_TRUE(QTimeZone(id.toUtf8()).isValid()) << qPrintable(id);
        ++checked;
    }
    EXPECT_GT(checked, 300);
}

TEST(LookupTest, FindsCitiesBySecondPiece) {
    const QStringList ids = knownTimeZoneIdentifiers();
    EXPECT_EQ(lookupCity("New York", ids).identifier, QString("America/New_York"));
    EXPECT_EQ(lookupCity("London", ids).identifier, QString("Europe/London"));
    // Case matters; the spelling is that of the identifier.
    EXPECT_FALSE(lookupCity("london", ids).identifier);
    EXPECT_FALSE(lookupCity("New_York/America", ids).identifier);
}

TEST(LookupTest, AnEarlierIdentifierWithTheSameSecondPieceWins) {
    const QStringList ids{"Europe/London", "America/Argentina/Buenos_Aires", "Elsewhere/Argentina",
                          "Other/London"};
    EXPECT_EQ(lookupCity("Argentina", ids).identifier, QString("America/Argentina/Buenos_Aires"));
    EXPECT_EQ(lookupCity("London", ids).identifier, QString("Europe/London"));
}

TEST(LookupTest, AGoneNameReportsEveryCandidate) {
    const QStringList ids{"GMT", "Europe/London", "America/Argentina/Buenos_Aires",
                          "America/New_York"};
    const CityLookup found = lookupCity("Lost City", ids);
    EXPECT_FALSE(found.identifier);
    EXPECT_EQ(found.failure, QString("Couldn't find city Lost_City in identifiers "
                                     "[\"London\", \"Argentina\", \"New_York\"]"));
    const CityLookup inSystem = lookupCity("Atlantis", knownTimeZoneIdentifiers());
    EXPECT_FALSE(inSystem.identifier);
    EXPECT_TRUE(inSystem.failure.startsWith("Couldn't find city Atlantis in identifiers [\""));
    EXPECT_TRUE(inSystem.failure.contains("\"New_York\", "));
    EXPECT_TRUE(inSystem.failure.endsWith("\"]"));
}

TEST(OffsetTextTest, SignHoursAndMinutes) {
    EXPECT_EQ(offsetText(0), QString("+00:00"));
    EXPECT_EQ(offsetText(5 * 3600 + 30 * 60), QString("+05:30"));
    EXPECT_EQ(offsetText(-(3 * 3600 + 30 * 60)), QString("-03:30"));
    EXPECT_EQ(offsetText(5 * 3600 + 45 * 60), QString("+05:45"));
    EXPECT_EQ(offsetText(-6 * 3600), QString("-06:00"));
    EXPECT_EQ(offsetText(-30 * 60), QString("-00:30"));
    EXPECT_EQ(offsetText(14 * 3600), QString("+14:00"));
    EXPECT_EQ(offsetText(26 * 3600), QString("+26:00"));
}

TEST(OffsetTextTest, TheExtremesOfTheRangeKeepTheirSignAndMagnitude) {
    // 2^63 s = 2562047788015215 h 30 min 8 s; the most negative value has no
    // positive counterpart in qint64.
    EXPECT_EQ(offsetText(std::numeric_limits<qint64>::min()), QString("-2562047788015215:30"));
    EXPECT_EQ(offsetText(std::numeric_limits<qint64>::max()), QString("+2562047788015215:30"));
    EXPECT_EQ(offsetText(std::numeric_limits<qint64>::min() + 1), QString("-2562047788015215:30"));
}

QString offsetAt(const char* zone, const QDateTime& when) {
    return offsetText(QTimeZone(zone), when);
}

TEST(OffsetTextTest, FromTheUsersZoneWithDaylightSavingOnEitherSide) {
    test::ScopedTimeZone tz("Europe/London");
    const QDateTime winter = utc(2024, 1, 15, 12, 0);
    const QDateTime summer = utc(2024, 7, 15, 12, 0);
    const QDateTime march = utc(2024, 3, 20, 12, 0);  // New York on summer time, London not

    EXPECT_EQ(offsetAt("Europe/London", winter), QString("+00:00"));
    EXPECT_EQ(offsetAt("Europe/London", summer), QString("+00:00"));
    EXPECT_EQ(offsetAt("Asia/Kolkata", winter), QString("+05:30"));
    EXPECT_EQ(offsetAt("Asia/Kolkata", summer), QString("+04:30"));
    EXPECT_EQ(offsetAt("Asia/Kathmandu", winter), QString("+05:45"));
    EXPECT_EQ(offsetAt("America/St_Johns", winter), QString("-03:30"));
    EXPECT_EQ(offsetAt("America/St_Johns", summer), QString("-03:30"));
    EXPECT_EQ(offsetAt("America/New_York", winter), QString("-05:00"));
    EXPECT_EQ(offsetAt("America/New_York", march), QString("-04:00"));
    EXPECT_EQ(offsetAt("Australia/Sydney", winter), QString("+11:00"));
    EXPECT_EQ(offsetAt("Australia/Sydney", summer), QString("+09:00"));
    EXPECT_EQ(offsetAt("Australia/Adelaide", summer), QString("+08:30"));
}

TEST(OffsetTextTest, TheUsersOwnDaylightSavingCounts) {
    test::ScopedTimeZone tz("America/New_York");
    EXPECT_EQ(offsetAt("America/New_York", utc(2024, 3, 20, 12, 0)), QString("+00:00"));
    EXPECT_EQ(offsetAt("Europe/London", utc(2024, 1, 15, 12, 0)), QString("+05:00"));
    EXPECT_EQ(offsetAt("Europe/London", utc(2024, 3, 20, 12, 0)), QString("+04:00"));
    EXPECT_EQ(offsetAt("Asia/Kolkata", utc(2024, 7, 15, 12, 0)), QString("+09:30"));
    EXPECT_EQ(offsetAt("America/Los_Angeles", utc(2024, 7, 15, 12, 0)), QString("-03:00"));
}

TEST(LocalTimeTextTest, TwentyFourAndTwelveHourForms) {
    const QTimeZone london("Europe/London");
    const QLocale c = QLocale::c();
    const QDateTime afternoon = utc(2024, 1, 15, 15, 7, 42);
    EXPECT_EQ(localTimeText(london, afternoon, true, c), QString("15:07"));
    EXPECT_EQ(localTimeText(london, afternoon, false, c), QString("3:07PM"));
    const QDateTime pastMidnight = utc(2024, 1, 15, 0, 5);
    EXPECT_EQ(localTimeText(london, pastMidnight, true, c), QString("00:05"));
    EXPECT_EQ(localTimeText(london, pastMidnight, false, c), QString("12:05AM"));
    const QDateTime noon = utc(2024, 1, 15, 12, 0);
    EXPECT_EQ(localTimeText(london, noon, false, c), QString("12:00PM"));
    EXPECT_EQ(localTimeText(london, utc(2024, 1, 15, 9, 3), false, c), QString("9:03AM"));
    // The city's own zone and summer time decide the hour.
    EXPECT_EQ(localTimeText(london, utc(2024, 7, 15, 15, 7), true, c), QString("16:07"));
    EXPECT_EQ(localTimeText(QTimeZone("Asia/Kolkata"), afternoon, true, c), QString("20:37"));
    EXPECT_EQ(localTimeText(QTimeZone("America/New_York"), afternoon, false, c),
              QString("10:07AM"));
}

TEST(LocalTimeTextTest, TwelveHourFormUsesTheLocalesSymbols) {
    const QTimeZone london("Europe/London");
    const QDateTime afternoon = utc(2024, 1, 15, 15, 7);
    EXPECT_EQ(localTimeText(london, afternoon, false, QLocale(QLocale::Japanese)),
              QString::fromUtf8("3:07午後"));
    EXPECT_EQ(localTimeText(london, afternoon, true, QLocale(QLocale::Japanese)), QString("15:07"));
}

}  // namespace
}  // namespace pendra
