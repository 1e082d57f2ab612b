#include <gtest/gtest.h>

#include <limits>

#include "worldclock/CityCatalogue.h"
#include "worldclock/ZoneTestSupport.h"

namespace pendra {
namespace {

using test::utc;

TEST(CatalogueTest, TwoPieceIdentifiersBecomeCityEntriesInTheSystemsOrder) {
    const std::tuple<const char*, char, const char*> cases[] = {
        {"Europe/London", '/', "London/Europe"},
        {"Some_Region/Far_Away_Town", '/', "Far Away Town/Some Region"},
        {"/Europe//London/", '/', "London/Europe"},  // empty pieces do not count
        {"Europe-London", '-', "London-Europe"},
        {"GMT", '/', nullptr},
        {"America/Argentina/Buenos_Aires", '/', nullptr},
        {"", '/', nullptr},
        {"//", '/', nullptr},
        {"Europe/London", '-', nullptr},
    };
    for (const auto& [id, separator, entry] : cases) {
        EXPECT_EQ(reverse(id, separator), entry ? std::optional<QString>(entry) : std::nullopt)
            << id;
    }
    EXPECT_EQ(cityCatalogue({"Europe/London", "GMT", "America/Argentina/Buenos_Aires",
                             "America/New_York", "Africa/Abidjan"}),
              (QStringList{"London/Europe", "New York/America", "Abidjan/Africa"}));
    EXPECT_EQ(cityName("New York/America"), QString("New York"));
    EXPECT_EQ(cityEntryTitle("New York/America"), QString("New York (America)"));

    const QStringList ids = knownTimeZoneIdentifiers();
    ASSERT_GT(ids.size(), 300);
    for (const QString& id : ids) {
        EXPECT_FALSE(id.startsWith("UTC+") || id.startsWith("UTC-")) << qPrintable(id);
    }
    // The system's order, not the order of city names.
    const QStringList entries = cityCatalogue(ids);
    EXPECT_LT(entries.indexOf("Abidjan/Africa"), entries.indexOf("New York/America"));
    EXPECT_LT(entries.indexOf("New York/America"), entries.indexOf("London/Europe"));
}

TEST(LookupTest, FindsCitiesBySecondPieceTheFirstWinsAGoneOneNamesEveryCandidate) {
    const QStringList system = knownTimeZoneIdentifiers();
    EXPECT_EQ(lookupCity("New York", system).identifier, QString("America/New_York"));
    // Case matters; the spelling is that of the identifier.
    EXPECT_FALSE(lookupCity("london", system).identifier);
    EXPECT_FALSE(lookupCity("New_York/America", system).identifier);

    const QStringList ids{"GMT", "Europe/London", "America/Argentina/Buenos_Aires",
                          "Elsewhere/Argentina", "Other/London"};
    EXPECT_EQ(lookupCity("Argentina", ids).identifier, QString("America/Argentina/Buenos_Aires"));
    EXPECT_EQ(lookupCity("London", ids).identifier, QString("Europe/London"));
    const CityLookup found = lookupCity("Lost City", ids);
    EXPECT_FALSE(found.identifier);
    EXPECT_EQ(found.failure, QString("Couldn't find city Lost_City in identifiers "
                                     "[\"London\", \"Argentina\", \"Argentina\", \"London\"]"));
}

TEST(OffsetTextTest, SignHoursAndMinutesToTheExtremes) {
    const std::pair<qint64, const char*> cases[] = {
        {0, "+00:00"},
        {5 * 3600 + 45 * 60, "+05:45"},
        {-(3 * 3600 + 30 * 60), "-03:30"},
        {-30 * 60, "-00:30"},
        {26 * 3600, "+26:00"},
        // 2^63 s = 2562047788015215 h 30 min 8 s; the most negative value has
        // no positive counterpart in qint64.
        {std::numeric_limits<qint64>::min(), "-2562047788015215:30"},
        {std::numeric_limits<qint64>::max(), "+2562047788015215:30"},
        {std::numeric_limits<qint64>::min() + 1, "-2562047788015215:30"},
    };
    for (const auto& [seconds, text] : cases) {
        EXPECT_EQ(offsetText(seconds), QString(text)) << seconds;
    }
}

TEST(OffsetTextTest, FromTheUsersZoneWithDaylightSavingOnEitherSide) {
    // The system zone data test covers the cities' side with the user on UTC.
    const QDateTime winter = utc(2024, 1, 15, 12, 0), summer = utc(2024, 7, 15, 12, 0);
    const QDateTime march = utc(2024, 3, 20, 12, 0);  // New York on summer time, London not
    const std::tuple<const char*, const char*, QDateTime, const char*> cases[] = {
        {"Europe/London", "Europe/London", summer, "+00:00"},
        {"Europe/London", "Asia/Kolkata", summer, "+04:30"},
        {"Europe/London", "America/St_Johns", summer, "-03:30"},
        {"Europe/London", "America/New_York", march, "-04:00"},
        {"Europe/London", "Australia/Adelaide", summer, "+08:30"},
        {"America/New_York", "America/New_York", march, "+00:00"},
        {"America/New_York", "Europe/London", winter, "+05:00"},
        {"America/New_York", "Europe/London", march, "+04:00"},
        {"America/New_York", "America/Los_Angeles", summer, "-03:00"},
    };
    for (const auto& [user, zone, when, text] : cases) {
        test::ScopedTimeZone tz(user);
        EXPECT_EQ(offsetText(QTimeZone(zone), when), QString(text)) << user << " " << zone;
    }
}

TEST(LocalTimeTextTest, TheCitysZoneAndTheLocalesTwelveHourForm) {
    const QTimeZone london("Europe/London");
    const QLocale c = QLocale::c();
    const QDateTime afternoon = utc(2024, 1, 15, 15, 7, 42);
    EXPECT_EQ(localTimeText(london, afternoon, true, c), QString("15:07"));
    EXPECT_EQ(localTimeText(london, afternoon, false, c), QString("3:07PM"));
    EXPECT_EQ(localTimeText(london, utc(2024, 1, 15, 0, 5), true, c), QString("00:05"));
    EXPECT_EQ(localTimeText(london, utc(2024, 1, 15, 0, 5), false, c), QString("12:05AM"));
    EXPECT_EQ(localTimeText(london, utc(2024, 1, 15, 12, 0), false, c), QString("12:00PM"));
    EXPECT_EQ(localTimeText(london, utc(2024, 7, 15, 15, 7), true, c), QString("16:07"));
    EXPECT_EQ(localTimeText(QTimeZone("Asia/Kolkata"), afternoon, true, c), QString("20:37"));
    EXPECT_EQ(localTimeText(london, afternoon, false, QLocale(QLocale::Japanese)),
              QString::fromUtf8("3:07午後"));
}

}  // namespace
}  // namespace pendra
