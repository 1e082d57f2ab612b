#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
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

qsizetype storedCount(const AlarmStore& store) {
    return QJsonDocument::fromJson(readAll(store.filePath())).array().size();
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

    Alarm odd = sample(23, QString::fromUtf8("\"quoted\" \\ / Wecker ⏰ <b>x</b>"));
    odd.ringtone = QString::fromUtf8("Glöckchen");
    odd.isSnoozed = true;
    ASSERT_TRUE(store.writeJSONFromAlarms({sample(9, "late"), odd}));
    AlarmStore(folder()).getAlarmsFromJSON(read);
    odd.isSnoozed = false;  // a snooze never survives a restart
    EXPECT_EQ(read, (QList<Alarm>{sample(5, "already there"), sample(9, "late"), odd}));
}

TEST_F(AlarmStoreTest, BadFilesPrintTheirLineLoadNothingAndAreKeptBeforeAWrite) {
    int n = 0;
    for (const QByteArray& content :
         {QByteArray("{}"), QByteArray("\"text\""), QByteArray("[{\"hour\":7"), QByteArray("")}) {
        const QString dir = root.path() + QString("/case%1/").arg(n++);
        QDir().mkpath(dir);
        writeFile(dir + "alarms.json", content);
        AlarmStore store(dir);
        QList<Alarm> alarms;
        test::StdoutCapture out;
        store.getAlarmsFromJSON(alarms);
        EXPECT_TRUE(alarms.isEmpty()) << content.constData();
        EXPECT_EQ(lines(out).size(), 1) << content.constData();
        EXPECT_EQ(readAll(dir + "alarms.json"), content) << "left untouched until a write";

        ASSERT_TRUE(store.writeJSONFromAlarms({sample(7, "new")}));
        EXPECT_EQ(readAll(dir + "alarms.json.unreadable"), content);
        EXPECT_TRUE(out.text().contains(dir + "alarms.json.unreadable")) << "names it";
        // Only before the first write.
        ASSERT_TRUE(store.writeJSONFromAlarms({}));
        EXPECT_FALSE(QFile::exists(dir + "alarms.json.unreadable-2"));
        EXPECT_EQ(readAll(dir + "alarms.json"), "[]");
    }
}

TEST_F(AlarmStoreTest, InvalidElementsAreSkippedWithALineEachAndTheRestLoad) {
    QDir().mkpath(folder());
    const QByteArray good =
        R"({"hour":7,"minute":30,"ringtone":"Radar","snooze":9,"label":"Work",)"
        R"("repeatDays":[false,true,true,true,true,true,false],"enabled":true})";
    QByteArray hour25 = good;
    hour25.replace("\"hour\":7", "\"hour\":25");
    const QByteArray file = "[" + good + ",42," + hour25 + ",null," + good + "]";
    writeFile(folder() + "alarms.json", file);
    // An earlier kept file is never overwritten.
    writeFile(folder() + "alarms.json.unreadable", "older");
    AlarmStore store(folder());
    QList<Alarm> alarms;
    test::StdoutCapture out;
    store.getAlarmsFromJSON(alarms);
    ASSERT_EQ(alarms.size(), 2);
    EXPECT_EQ(alarms[0].label, "Work");
    const QStringList printed = lines(out);
    ASSERT_EQ(printed.size(), 3) << out.text().toStdString();
    EXPECT_TRUE(printed[0].contains("element 1")) << printed[0].toStdString();
    EXPECT_TRUE(printed[2].contains("element 3")) << printed[2].toStdString();

    ASSERT_TRUE(store.writeJSONFromAlarms(alarms));
    EXPECT_EQ(readAll(folder() + "alarms.json.unreadable"), "older");
    EXPECT_EQ(readAll(folder() + "alarms.json.unreadable-2"), file);
    EXPECT_EQ(storedCount(store), 2);
}

TEST_F(AlarmStoreTest, WritesReplaceAtomicallyAndFailuresKeepTheOldFileAndTheProgramGoesOn) {
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

    if (::geteuid() != 0) {
        // A folder the program may not write: the old file stays whole.
        ASSERT_EQ(::chmod(QFile::encodeName(folder()).constData(), 0500), 0);
        test::StdoutCapture out;
        EXPECT_FALSE(store.writeJSONFromAlarms({}));
        EXPECT_TRUE(out.text().startsWith("Failed to write JSON data: "))
            << out.text().toStdString();
        ::chmod(QFile::encodeName(folder()).constData(), 0700);
        EXPECT_EQ(storedCount(store), 2);
    }

    // The folder removed while running: a line, and the next write after it
    // is back stores the list.
    QDir(folder()).removeRecursively();
    {
        test::StdoutCapture out;
        EXPECT_FALSE(store.writeJSONFromAlarms({sample(8, "three")}));
        EXPECT_EQ(lines(out).size(), 1);
        EXPECT_TRUE(out.text().startsWith("Failed to write JSON data: "));
    }
    QDir().mkpath(folder());
    ASSERT_TRUE(store.writeJSONFromAlarms({sample(8, "three")}));
    EXPECT_EQ(storedCount(store), 1);

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

}  // namespace
}  // namespace pendra
