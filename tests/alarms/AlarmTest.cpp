#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>

#include "alarms/Alarm.h"
#include "platform/Clock.h"

namespace pendra {
namespace {

TEST(AlarmDefaults, NextFullHourAndRadarThenTheFirstRingtoneThenNone) {
    for (const auto& [now, hour] : {std::pair{QTime(23, 40), 0}, std::pair{QTime(9, 5), 10}}) {
        Clock::setNowForTesting([now] { return QDateTime(QDate(2026, 12, 7), now); });
        const Alarm a(QStringList{"Bells", "Chimes", "Radar"});
        EXPECT_EQ(a.timeOfDay(), hour * 60);
        EXPECT_EQ(a.ringtone, "Radar");
    }
    Clock::setNowForTesting({});
    EXPECT_EQ(Alarm(QStringList{"Bells", "radar"}).ringtone, "Bells");
    EXPECT_EQ(Alarm(QStringList{}).ringtone, "None");
}

QJsonObject parse(const char* json) {
    return QJsonDocument::fromJson(json).object();
}

TEST(AlarmJson, AnyTextSurvivesAWriteAndAReadButNotTheSnooze) {
    Alarm a(23, 5, QString::fromUtf8("Ton/é\""), 5,
            QString::fromUtf8("\"quoted\" back\\slash ünïcødé <b>&amp;</b> \n"),
            {true, false, false, false, false, false, true}, false);
    a.isSnoozed = true;
    const QJsonObject o = a.encode();
    EXPECT_EQ(o.keys(), (QStringList{"enabled", "hour", "isSnoozed", "label", "minute",
                                     "repeatDays", "ringtone", "snooze"}));
    EXPECT_TRUE(o.value("isSnoozed").toBool());
    const QByteArray bytes = QJsonDocument(QJsonArray{o}).toJson(QJsonDocument::Compact);
    const auto back = Alarm::fromJson(QJsonDocument::fromJson(bytes).array().at(0).toObject());
    a.isSnoozed = false;
    EXPECT_EQ(back, a);
    // Members are found by name; others are ignored.
    EXPECT_TRUE(Alarm::fromJson(parse(
        R"({"enabled":false,"repeatDays":[true,false,false,false,false,false,true],"label":"x",)"
        R"("isSnoozed":true,"snooze":5,"ringtone":"Bells","minute":5,"hour":23,"extra":[1]})")));
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
        EXPECT_FALSE(Alarm::fromJson(o)) << "without " << key;
        o.insert(key, QJsonValue::Null);
        EXPECT_FALSE(Alarm::fromJson(o)) << key << " null";
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
        EXPECT_FALSE(Alarm::fromJson(o)) << key;
    }
}

}  // namespace
}  // namespace pendra
