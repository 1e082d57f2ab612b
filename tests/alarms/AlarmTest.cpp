#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>

#include "alarms/Alarm.h"
#include "platform/Clock.h"

namespace pendra {
namespace {

class AlarmDefaults : public ::testing::Test {
protected:
    void at(int h, int m) {
        Clock::setNowForTesting([=] { return QDateTime(QDate(2026, 12, 7), QTime(h, m)); });
    }
    void TearDown() override { Clock::setNowForTesting({}); }
};

TEST_F(AlarmDefaults, NewAlarmTakesTheNextFullHour) {
    at(23, 40);
    Alarm late(QStringList{"Radar"});
    EXPECT_EQ(late.hour, 0);
    EXPECT_EQ(late.minute, 0);
    at(9, 5);
    Alarm morning(QStringList{"Radar"});
    EXPECT_EQ(morning.hour, 10);
    EXPECT_EQ(morning.minute, 0);
    EXPECT_EQ(morning.snooze, 9);
    EXPECT_EQ(morning.label, "Alarm");
    EXPECT_FALSE(morning.isSnoozed);
    EXPECT_FALSE(morning.isRepeating());
    EXPECT_TRUE(morning.enabled);
}

TEST_F(AlarmDefaults, RingtonePrefersRadarThenTheFirstThenNone) {
    at(8, 0);
    EXPECT_EQ(Alarm(QStringList{"Bells", "Chimes", "Radar"}).ringtone, "Radar");
    EXPECT_EQ(Alarm(QStringList{"Bells", "Chimes"}).ringtone, "Bells");
    EXPECT_EQ(Alarm(QStringList{"radar"}).ringtone, "radar");
    EXPECT_EQ(Alarm(QStringList{}).ringtone, "None");
}

QJsonObject parse(const char* json) {
    return QJsonDocument::fromJson(json).object();
}

TEST(AlarmJson, WrittenFormHasTheEightMembers) {
    Alarm a(7, 30, "Radar", 9, "Alarm", {false, true, true, true, true, true, false}, true);
    a.isSnoozed = true;
    const QJsonObject o = a.encode();
    EXPECT_EQ(o.keys().size(), 8);
    EXPECT_EQ(o.value("hour").toInt(), 7);
    EXPECT_EQ(o.value("minute").toInt(), 30);
    EXPECT_TRUE(o.value("isSnoozed").toBool());
    EXPECT_EQ(o.value("repeatDays").toArray().size(), 7);
    EXPECT_FALSE(o.value("repeatDays").toArray().at(0).toBool());
    EXPECT_TRUE(o.value("repeatDays").toArray().at(1).toBool());
    // The snooze does not survive a read.
    const auto back = Alarm::fromJson(o);
    ASSERT_TRUE(back.has_value());
    EXPECT_FALSE(back->isSnoozed);
    a.isSnoozed = false;
    EXPECT_EQ(*back, a);
}

TEST(AlarmJson, MembersFoundByNameExtrasIgnored) {
    const auto a = Alarm::fromJson(parse(
        R"({"enabled":false,"repeatDays":[true,false,false,false,false,false,true],"label":"x",)"
        R"("isSnoozed":true,"snooze":5,"ringtone":"Bells","minute":5,"hour":23,"extra":[1]})"));
    ASSERT_TRUE(a.has_value());
    EXPECT_EQ(a->hour, 23);
    EXPECT_EQ(a->minute, 5);
    EXPECT_EQ(a->snooze, 5);
    EXPECT_FALSE(a->enabled);
    EXPECT_FALSE(a->isSnoozed);
    EXPECT_TRUE(a->isRepeating());
}

TEST(AlarmJson, AnyTextSurvivesAWriteAndARead) {
    const QString label =
        QString::fromUtf8("\"quoted\" back\\slash /slash ünïcødé <b>&amp;</b> \n");
    Alarm a(6, 0, QString::fromUtf8("Ton/é\""), 1, label, {}, true);
    const QByteArray bytes = QJsonDocument(QJsonArray{a.encode()}).toJson(QJsonDocument::Compact);
    const auto back = Alarm::fromJson(QJsonDocument::fromJson(bytes).array().at(0).toObject());
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->label, label);
    EXPECT_EQ(back->ringtone, a.ringtone);
}

TEST(AlarmJson, ElementsThatAreNoAlarmAreRejected) {
    const char* valid =
        R"({"hour":7,"minute":0,"ringtone":"Radar","snooze":9,"label":"A",)"
        R"("repeatDays":[false,false,false,false,false,false,false],"enabled":true})";
    ASSERT_TRUE(Alarm::fromJson(parse(valid)).has_value());
    for (const char* key :
         {"hour", "minute", "ringtone", "snooze", "label", "repeatDays", "enabled"}) {
        QJsonObject o = parse(valid);
        o.remove(key);
        EXPECT_FALSE(Alarm::fromJson(o).has_value()) << "without " << key;
        o.insert(key, QJsonValue::Null);
        EXPECT_FALSE(Alarm::fromJson(o).has_value()) << key << " null";
    }
    const std::pair<const char*, QJsonValue> wrong[] = {
        {"hour", 7.5},
        {"hour", "7"},
        {"hour", 24},
        {"hour", -1},
        {"minute", 60},
        {"minute", true},
        {"snooze", 1e300},
        {"ringtone", 3},
        {"label", QJsonArray{}},
        {"enabled", 1},
        {"repeatDays", QJsonArray{true}},
        {"repeatDays", QJsonArray{1, 0, 0, 0, 0, 0, 0}},
        {"repeatDays", "none"},
    };
    for (const auto& [key, value] : wrong) {
        QJsonObject o = parse(valid);
        o.insert(key, value);
        EXPECT_FALSE(Alarm::fromJson(o).has_value()) << key;
    }
}

TEST(AlarmJson, FromDictionaryReadsAParsedObject) {
    const QVariantMap map = parse(R"({"hour":1,"minute":2,"ringtone":"R","snooze":3,"label":"L",)"
                                  R"("repeatDays":[false,false,false,true,false,false,false],)"
                                  R"("enabled":true})")
                                .toVariantMap();
    const auto a = Alarm::fromDictionary(map);
    ASSERT_TRUE(a.has_value());
    EXPECT_TRUE(a->repeatDays[3]);
    EXPECT_EQ(a->timeOfDay(), 62);
}

}  // namespace
}  // namespace pendra
