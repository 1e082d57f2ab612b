#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include "alarms/AlarmRules.h"
#include "alarms/AlarmSaver.h"
#include "alarms/AlarmStore.h"
#include "platform/Clock.h"
#include "platform/RunRecord.h"
#include "support/StdoutCapture.h"
#include "worldclock/ZoneTestSupport.h"

namespace pendra {
namespace {

using test::ScopedTimeZone;

Alarm at(int h, int m, std::array<bool, 7> days = {}) {
    return Alarm(h, m, "Radar", 9, "Alarm", days, true);
}

QDateTime local(int y, int mo, int d, int h, int mi, int s = 0) {
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s));
}

// The editor shows the common case; past 23:00 the hour wraps, and without
// Radar the first ringtone is chosen.
TEST(AlarmDefaults, NextFullHourAndRadarThenTheFirstRingtone) {
    Clock::setNowForTesting([] { return QDateTime(QDate(2026, 12, 7), QTime(23, 40)); });
    const Alarm a(QStringList{"Bells", "Chimes", "Radar"});
    EXPECT_EQ(a.timeOfDay(), 0);
    EXPECT_EQ(a.ringtone, "Radar");
    Clock::setNowForTesting({});
    EXPECT_EQ(Alarm(QStringList{"Bells", "radar"}).ringtone, "Bells");
}

TEST(AlarmIdentifiers, CarryRowAndWeekdayAndParseOnlyTheirOwnKind) {
    EXPECT_EQ(alarmIdentifier(12, 4), "alarm-12-4");
    EXPECT_EQ(alarmRowFromIdentifier("alarm-12-4"), 12);
    EXPECT_EQ(alarmSlotFromIdentifier("alarm-12-4"), 4);
    EXPECT_EQ(alarmRowFromIdentifier("alarm-7"), 7);
    for (const char* bad : {"timer-1", "Alarm-1-0", "alarms-1-0", "alarm--0", "alarm-x-0", "alarm-",
                            "alarm", "", "alarm-99999999999-0", "alarm-+1-0"}) {
        EXPECT_FALSE(alarmRowFromIdentifier(bad)) << bad;
    }
    EXPECT_FALSE(alarmSlotFromIdentifier("alarm-1-7"));
    EXPECT_FALSE(alarmSlotFromIdentifier("alarm-1"));
}

TEST(AlarmDates, OneOffRingsTodayWhileItsMinuteIsAheadElseTomorrow) {
    ScopedTimeZone zone("Europe/Berlin");
    const Alarm seven = at(7, 0);
    EXPECT_EQ(oneOffTargetDay(seven, local(2026, 12, 7, 6, 59, 59)), QDate(2026, 12, 7));
    EXPECT_EQ(oneOffTargetDay(seven, local(2026, 12, 7, 7, 0, 0)), QDate(2026, 12, 8));
    EXPECT_EQ(oneOffTargetDay(seven, local(2026, 12, 31, 8, 0)), QDate(2027, 1, 1));
    EXPECT_EQ(alarmDeliveryDate(seven, QDate(2027, 1, 1)), local(2027, 1, 1, 7, 0));
}

TEST(AlarmDates, RepeatingRingsOnEachChosenWeekday) {
    ScopedTimeZone zone("America/New_York");
    // Monday, Wednesday, Friday at 07:00; 2026-12-09 is a Wednesday.
    const Alarm mwf = at(7, 0, {false, true, false, true, false, true, false});
    const QDateTime wednesdayLate = local(2026, 12, 9, 8, 0);
    EXPECT_EQ(repeatTargetDay(mwf, 3, wednesdayLate), QDate(2026, 12, 16));
    EXPECT_EQ(repeatTargetDay(mwf, 1, wednesdayLate), QDate(2026, 12, 14));
    EXPECT_EQ(repeatTargetDay(mwf, 5, wednesdayLate), QDate(2026, 12, 11));
    EXPECT_EQ(repeatTargetDay(mwf, 3, local(2026, 12, 9, 6, 0)), QDate(2026, 12, 9));
    EXPECT_EQ(repeatTargetDay(mwf, 3, local(2026, 12, 9, 7, 0, 10)), QDate(2026, 12, 16));
    EXPECT_EQ(repeatTargetDay(mwf, 1, local(2026, 12, 30, 9, 0)), QDate(2027, 1, 4));
    // Sunday is index 0 and calendar weekday 1.
    EXPECT_EQ(calendarWeekday(QDate(2026, 12, 6)), 1);
    EXPECT_EQ(calendarWeekday(QDate(2026, 12, 12)), 7);
    EXPECT_EQ(currentSlot(7, QDate(2026, 12, 8)), 2);  // a Tuesday
    EXPECT_EQ(currentSlot(1, QDate(2026, 12, 8)), 0);
}

TEST(AlarmDates, KeepWallTimeAcrossDaylightSavingAndRingAfterAGap) {
    ScopedTimeZone zone("Europe/Berlin");
    // 2027-03-28: clocks go from 02:00 to 03:00; 2027-10-31: from 03:00 back to 02:00.
    EXPECT_EQ(alarmDeliveryDate(at(2, 30), QDate(2027, 3, 28)), local(2027, 3, 28, 3, 0));
    EXPECT_EQ(alarmDeliveryDate(at(7, 0), QDate(2027, 3, 28)), local(2027, 3, 28, 7, 0));
    const QDateTime autumn = alarmDeliveryDate(at(2, 30), QDate(2027, 10, 31));
    EXPECT_EQ(autumn.date(), QDate(2027, 10, 31));
    EXPECT_EQ(autumn.time(), QTime(2, 30));
    // Half an hour's gap on Lord Howe Island.
    ScopedTimeZone lordHowe("Australia/Lord_Howe");
    EXPECT_EQ(alarmDeliveryDate(at(2, 10), QDate(2026, 10, 4)).time(), QTime(2, 30));
}

TEST(AlarmDates, MissedIsTheLatestRingAfterTheLastRunWithinADay) {
    ScopedTimeZone zone("Europe/Berlin");
    const bool F = false, T = true;
    const Alarm seven = at(7, 0), weekdays = at(7, 0, {F, T, T, T, T, T, F});
    Alarm off = seven;
    off.enabled = false;
    auto dec = [](int d, int h, int m, int s = 0) { return local(2026, 12, d, h, m, s); };
    const struct {
        const char* what;
        Alarm alarm;
        QDateTime since, now, missed;  // missed invalid: none
    } cases[] = {
        // 2026-12-07 is a Monday.
        {"quit 06:50, back 07:20", seven, dec(7, 6, 50), dec(7, 7, 20), dec(7, 7, 0)},
        {"back before it", seven, dec(7, 6, 50), dec(7, 6, 59, 59), {}},
        {"back in its minute", seven, dec(7, 6, 50), dec(7, 7, 0, 30), dec(7, 7, 0)},
        {"running as it rang", seven, dec(7, 7, 0), dec(7, 9, 0), {}},
        {"switched off", off, dec(7, 6, 50), dec(7, 7, 20), {}},
        {"away for days: the latest", seven, dec(1, 9, 0), dec(7, 7, 5), dec(7, 7, 0)},
        {"on its day", weekdays, dec(6, 22, 0), dec(7, 8, 0), dec(7, 7, 0)},
        {"not on its days", weekdays, dec(11, 22, 0), dec(13, 8, 0), {}},
        {"over a day ago", weekdays, dec(11, 6, 0), dec(12, 7, 30), {}},
        // 02:00 to 03:00: a 02:30 alarm rang at 03:00.
        {"in a daylight-saving gap", at(2, 30), local(2027, 3, 28, 1, 0), local(2027, 3, 28, 3, 30),
         local(2027, 3, 28, 3, 0)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(missedRingTime(c.alarm, c.since, c.now).value_or(QDateTime()), c.missed)
            << c.what;
    }
}

TEST(AlarmOrdering, InsertsAfterEqualTimesAndSortsStably) {
    const QList<Alarm> list{at(6, 0), at(7, 0), at(8, 0)};
    EXPECT_EQ(insertionIndex(list, at(9, 0)), 3);
    EXPECT_EQ(insertionIndex(list, at(5, 59)), 0);
    // A list still in file order is walked from the start.
    EXPECT_EQ(insertionIndex({at(9, 0), at(6, 0)}, at(7, 0)), 0);

    auto labelled = [](int h, const char* label, bool enabled = true) {
        return Alarm(h, 0, "Radar", 9, label, {true}, enabled);
    };
    const QList<Alarm> messy{labelled(8, "A"), at(7, 0), labelled(8, "C"), labelled(7, "D", false)};
    QStringList labels;
    for (int i : reorderedIndices(messy)) {
        labels << messy[i].label;
    }
    EXPECT_EQ(labels, (QStringList{"Alarm", "D", "A", "C"}));
}

TEST(AlarmTexts, TimeDaysMinutesLeftToolTipAndSnoozeField) {
    EXPECT_EQ(alarmTimeText(0, 5, false), "12:05am");
    EXPECT_EQ(alarmTimeText(12, 0, false), "12:00pm");
    EXPECT_EQ(alarmTimeText(13, 7, false), "1:07pm");
    const bool F = false, T = true;
    EXPECT_EQ(repeatDaysText({F, T, F, T, F, T, F}), "Mon Wed Fri");
    EXPECT_EQ(repeatDaysText({F, T, T, T, T, T, F}), "Weekdays");
    EXPECT_EQ(repeatDaysText({T, F, F, F, F, F, T}), "Weekends");
    EXPECT_EQ(repeatDaysText({T, T, T, T, T, T, T}), "Every day");
    EXPECT_EQ(repeatDaysText({}), "");
    const QDateTime now = local(2026, 12, 7, 7, 0, 40);
    EXPECT_EQ(minutesLeftText(now, now.addSecs(30)), "1m left");
    EXPECT_EQ(minutesLeftText(now, now.addSecs(-90)), "0m left");
    EXPECT_EQ(minutesLeftText(now, now.addSecs(9 * 60)), "10m left");
    EXPECT_EQ(nextAlarmToolTip(std::nullopt, true), "Pendra");
    EXPECT_EQ(nextAlarmToolTip(local(2026, 12, 13, 19, 30), false),
              "Pendra - next alarm Sun 7:30pm");
    EXPECT_EQ(filterSnoozeDigits("-5"), "5");
    EXPECT_EQ(filterSnoozeDigits(QString::fromUtf8("٣4")), "4");  // only ASCII digits
    EXPECT_EQ(snoozeFromText(""), 9);
    EXPECT_EQ(snoozeFromText("00"), 1);
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

Alarm sample(int h, const QString& label) {
    return Alarm(h, 15, "Radar", 9, label, {false, true, false, false, false, false, true}, true);
}

class AlarmStoreTest : public ::testing::Test {
protected:
    QString folder() const { return root.path() + "/deep/Pendra/"; }
    QTemporaryDir root;
};

TEST_F(AlarmStoreTest, FirstStartMakesAnEmptyListThenRoundTripsAppendingInFileOrder) {
    AlarmStore store(folder());
    QList<Alarm> read{sample(5, "already there")};
    test::StdoutCapture out;
    store.getAlarmsFromJSON(read);
    EXPECT_EQ(out.text(), "");
    EXPECT_EQ(read.size(), 1);
    EXPECT_EQ(readAll(store.filePath()), "[]");

    const Alarm odd = sample(23, QString::fromUtf8("\"quoted\" \\ / ⏰ <b>&amp;</b>\n"));
    ASSERT_TRUE(store.writeJSONFromAlarms({sample(9, "late"), odd}));
    AlarmStore(folder()).getAlarmsFromJSON(read);
    EXPECT_EQ(read, (QList<Alarm>{sample(5, "already there"), sample(9, "late"), odd}));
}

// A file that cannot be read whole is left as it is until the first write
// moves it aside, never over an earlier one; valid elements still load.
TEST_F(AlarmStoreTest, BadFilesPrintTheirLinesLoadWhatIsValidAndAreKeptBeforeAWrite) {
    const QByteArray good =
        R"({"hour":7,"minute":30,"ringtone":"Radar","snooze":9,"label":"Work",)"
        R"("repeatDays":[false,true,true,true,true,true,false],"enabled":true})";
    const struct {
        QByteArray content;
        qsizetype loaded, lines;
        const char* keptAs;
    } cases[] = {
        {"{}", 0, 1, ".unreadable"},
        {"[{\"hour\":7", 0, 1, ".unreadable"},
        {"", 0, 1, ".unreadable"},
        // An earlier kept file is there (planted below).
        {"[" + good + ",42,null," + good + "]", 2, 2, ".unreadable-2"},
    };
    int n = 0;
    for (const auto& c : cases) {
        const QString dir = root.path() + QString("/case%1/").arg(n++);
        QDir().mkpath(dir);
        writeFile(dir + "alarms.json", c.content);
        if (c.loaded > 0) {
            writeFile(dir + "alarms.json.unreadable", "older");
        }
        AlarmStore store(dir);
        QList<Alarm> alarms;
        test::StdoutCapture out;
        store.getAlarmsFromJSON(alarms);
        EXPECT_EQ(alarms.size(), c.loaded) << c.content.constData();
        EXPECT_EQ(out.text().count('\n'), c.lines) << out.text().toStdString();
        EXPECT_EQ(readAll(dir + "alarms.json"), c.content) << "left untouched until a write";

        ASSERT_TRUE(store.writeJSONFromAlarms(alarms + QList{sample(7, "new")}));
        EXPECT_EQ(readAll(dir + "alarms.json" + c.keptAs), c.content);
        EXPECT_TRUE(out.text().contains(dir + "alarms.json" + c.keptAs)) << "names it";
        EXPECT_EQ(QJsonDocument::fromJson(readAll(dir + "alarms.json")).array().size(),
                  c.loaded + 1);
        // Only before the first write.
        ASSERT_TRUE(store.writeJSONFromAlarms({}));
        EXPECT_EQ(QDir(dir).entryList(QDir::Files).size(), c.loaded > 0 ? 3 : 2);
    }
    EXPECT_EQ(readAll(root.path() + "/case3/alarms.json.unreadable"), "older");
}

TEST_F(AlarmStoreTest, WritesReplaceAtomicallyAndAFileInPlaceOfTheFolderIsLeftAlone) {
    AlarmStore store(folder());
    store.createAlarmsFile();
    ASSERT_TRUE(store.writeJSONFromAlarms({sample(6, "one")}));
    QFile old(store.filePath());
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    ASSERT_TRUE(store.writeJSONFromAlarms({sample(6, "one"), sample(7, "two")}));
    // Replaced by a rename: the old file, still open, holds the old list.
    EXPECT_EQ(QJsonDocument::fromJson(old.readAll()).array().size(), 1);
    EXPECT_EQ(QDir(folder()).entryList(QDir::Files), QStringList{"alarms.json"}) << "no temp left";

    // A save that failed (the folder gone) is made by the next, though the list is the same.
    RunRecord record(root.path() + "/run");
    AlarmSaver saver(store, record);
    QDir(folder()).removeRecursively();
    for (int attempt = 0; attempt < 2; ++attempt) {
        saver.save({sample(6, "one")});
        saver.flush();
        QDir().mkpath(folder());
    }
    EXPECT_EQ(QJsonDocument::fromJson(readAll(store.filePath())).array().size(), 1);

    // A plain file where the folder should be: reported and left alone.
    QDir(root.path() + "/deep").removeRecursively();
    writeFile(root.path() + "/deep", "in the way");
    QList<Alarm> alarms;
    test::StdoutCapture out;
    AlarmStore(folder()).getAlarmsFromJSON(alarms);
    EXPECT_TRUE(out.text().startsWith("Couldn't create directory\n")) << out.text().toStdString();
    EXPECT_TRUE(alarms.isEmpty());
    EXPECT_EQ(readAll(root.path() + "/deep"), "in the way");
}

QJsonObject parse(const char* json) {
    return QJsonDocument::fromJson(json).object();
}

// The file says an alarm is snoozed; a restart forgets it. Members are found
// by name, others are ignored.
TEST(AlarmJson, ASnoozeIsWrittenButNotReadAndMembersAreFoundByName) {
    Alarm a(23, 5, "Bells", 5, "x", {true, false, false, false, false, false, true}, false);
    a.isSnoozed = true;
    EXPECT_TRUE(a.encode().value("isSnoozed").toBool());
    a.isSnoozed = false;
    EXPECT_EQ(Alarm::fromJson(parse(
                  R"({"enabled":false,"repeatDays":[true,false,false,false,false,false,true],)"
                  R"("label":"x","isSnoozed":true,"snooze":5,"ringtone":"Bells","minute":5,)"
                  R"("hour":23,"extra":[1]})")),
              a);
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
