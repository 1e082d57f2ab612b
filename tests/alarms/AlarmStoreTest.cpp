#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include "alarms/AlarmStore.h"
#include "support/StdoutCapture.h"

namespace pendra {
namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

QStringList lines(test::StdoutCapture& out) {
    return out.text().split('\n', Qt::SkipEmptyParts);
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
        EXPECT_EQ(lines(out).size(), c.lines) << out.text().toStdString();
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
    auto inode = [&] {
        struct stat st {};
        EXPECT_EQ(::stat(QFile::encodeName(store.filePath()).constData(), &st), 0);
        return st.st_ino;
    };
    ASSERT_TRUE(store.writeJSONFromAlarms({sample(6, "one")}));
    const auto before = inode();
    ASSERT_TRUE(store.writeJSONFromAlarms({sample(6, "one"), sample(7, "two")}));
    EXPECT_NE(before, inode()) << "replaced by rename, not rewritten in place";
    EXPECT_EQ(QDir(folder()).entryList(QDir::Files), QStringList{"alarms.json"}) << "no temp left";

    // A plain file where the folder should be: reported and left alone.
    QDir(root.path() + "/deep").removeRecursively();
    writeFile(root.path() + "/deep", "in the way");
    QList<Alarm> alarms;
    test::StdoutCapture out;
    AlarmStore(folder()).getAlarmsFromJSON(alarms);
    EXPECT_EQ(lines(out).value(0), "Couldn't create directory") << out.text().toStdString();
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
