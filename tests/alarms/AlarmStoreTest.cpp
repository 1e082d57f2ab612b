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

QStringList lines(const QString& text) {
    return text.split('\n', Qt::SkipEmptyParts);
}

Alarm sample(int h, const QString& label) {
    return Alarm(h, 15, "Radar", 9, label, {false, true, false, false, false, false, true}, true);
}

class AlarmStoreTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(root.isValid()); }
    QString folder() const { return root.path() + "/deep/Pendra/"; }
    QTemporaryDir root;
};

TEST_F(AlarmStoreTest, FirstStartCreatesFolderAndAnEmptyList) {
    AlarmStore store(folder());
    QList<Alarm> alarms;
    test::StdoutCapture out;
    store.getAlarmsFromJSON(alarms);
    EXPECT_EQ(out.text(), "");
    EXPECT_TRUE(alarms.isEmpty());
    EXPECT_EQ(readAll(store.filePath()), "[]");
    EXPECT_EQ(store.filePath(), folder() + "alarms.json");

    // Folder present, file absent: only the file is made.
    QFile::remove(store.filePath());
    writeFile(folder() + "other", "keep");
    store.getAlarmsFromJSON(alarms);
    EXPECT_EQ(readAll(store.filePath()), "[]");
    EXPECT_EQ(readAll(folder() + "other"), "keep");
}

TEST_F(AlarmStoreTest, RoundTripsEveryFieldInFileOrderAndAppends) {
    AlarmStore store(folder());
    store.createAlarmsFile();
    Alarm odd = sample(23, QString::fromUtf8("\"quoted\" \\ / Wecker ⏰ <b>x</b>"));
    odd.ringtone = QString::fromUtf8("Glöckchen");
    odd.isSnoozed = true;
    const QList<Alarm> written{sample(9, "late"), odd, sample(1, "early")};
    ASSERT_TRUE(store.writeJSONFromAlarms(written));
    const QJsonArray raw = QJsonDocument::fromJson(readAll(store.filePath())).array();
    ASSERT_EQ(raw.size(), 3);
    EXPECT_TRUE(raw.at(1).toObject().value("isSnoozed").toBool());
    EXPECT_FALSE(readAll(store.filePath()).contains('\n')) << "compact";

    QList<Alarm> read{sample(5, "already there")};
    AlarmStore(folder()).getAlarmsFromJSON(read);
    ASSERT_EQ(read.size(), 4);
    EXPECT_EQ(read[0].label, "already there");
    EXPECT_EQ(read[1], written[0]);
    EXPECT_EQ(read[3], written[2]);
    EXPECT_FALSE(read[2].isSnoozed) << "a snooze never survives a restart";
    odd.isSnoozed = false;
    EXPECT_EQ(read[2], odd);

    ASSERT_TRUE(store.writeJSONFromAlarms({}));
    EXPECT_EQ(readAll(store.filePath()), "[]");
}

TEST_F(AlarmStoreTest, BadFilesPrintTheirLineLoadNothingAndAreKeptBeforeAWrite) {
    struct Case {
        QByteArray content;
        QString line;  // the start of the one line printed
    } cases[] = {
        {"{}", "json is invalid"},
        {"\"text\"", ""},  // a bare string is not a document: a parse
                           // error
        {"not json", ""},
        {"[{\"hour\":7", ""},
        {"", ""},
    };
    int n = 0;
    for (const Case& c : cases) {
        const QString dir = root.path() + QString("/case%1/").arg(n++);
        QDir().mkpath(dir);
        writeFile(dir + "alarms.json", c.content);
        AlarmStore store(dir);
        QList<Alarm> alarms;
        test::StdoutCapture out;
        store.getAlarmsFromJSON(alarms);
        const QStringList printed = lines(out.text());
        out.restore();
        EXPECT_TRUE(alarms.isEmpty()) << c.content.constData();
        ASSERT_EQ(printed.size(), 1) << c.content.constData() << ": " << out.text().toStdString();
        if (!c.line.isEmpty()) {
            EXPECT_EQ(printed[0], c.line);
        }
        EXPECT_EQ(readAll(dir + "alarms.json"), c.content) << "left untouched until a write";

        test::StdoutCapture writeOut;
        ASSERT_TRUE(store.writeJSONFromAlarms({sample(7, "new")}));
        EXPECT_EQ(readAll(dir + "alarms.json.unreadable"), c.content);
        EXPECT_TRUE(writeOut.text().contains(dir + "alarms.json.unreadable")) << "names it";
        EXPECT_EQ(store.keptAsidePath(), dir + "alarms.json.unreadable");
        // Only before the first write.
        ASSERT_TRUE(store.writeJSONFromAlarms({}));
        EXPECT_FALSE(QFile::exists(dir + "alarms.json.unreadable-2"));
        EXPECT_EQ(readAll(dir + "alarms.json"), "[]");
    }
}

TEST_F(AlarmStoreTest, InvalidElementsAreSkippedWithALineEachAndTheRestLoad) {
    QDir().mkpath(folder());
    const QByteArray good =
        R"({"hour":7,"minute":30,"ringtone":"Radar","snooze":9,"label":"Work","repeatDays":[false,true,true,true,true,true,false],"enabled":true})";
    const QByteArray file =
        "[" + good +
        R"(,42,{"hour":25,"minute":0,"ringtone":"R","snooze":9,"label":"x","repeatDays":[false,false,false,false,false,false,false],"enabled":true},)"
        R"({"hour":7.5,"minute":0,"ringtone":"R","snooze":9,"label":"x","repeatDays":[false,false,false,false,false,false,false],"enabled":true},)"
        R"({"hour":6,"minute":0,"ringtone":"R","snooze":9,"label":"x","repeatDays":[false],"enabled":true},)"
        R"(null,)" +
        good + "]";
    writeFile(folder() + "alarms.json", file);
    // An earlier kept file is never overwritten.
    writeFile(folder() + "alarms.json.unreadable", "older");
    AlarmStore store(folder());
    QList<Alarm> alarms;
    test::StdoutCapture out;
    store.getAlarmsFromJSON(alarms);
    const QStringList printed = lines(out.text());
    out.restore();
    ASSERT_EQ(alarms.size(), 2);
    EXPECT_EQ(alarms[0].label, "Work");
    ASSERT_EQ(printed.size(), 5) << out.text().toStdString();
    EXPECT_TRUE(printed[0].contains("element 1")) << printed[0].toStdString();
    EXPECT_TRUE(printed[4].contains("element 5")) << printed[4].toStdString();

    ASSERT_TRUE(store.writeJSONFromAlarms(alarms));
    EXPECT_EQ(readAll(folder() + "alarms.json.unreadable"), "older");
    EXPECT_EQ(readAll(folder() + "alarms.json.unreadable-2"), file);
    EXPECT_EQ(QJsonDocument::fromJson(readAll(folder() + "alarms.json")).array().size(), 2);
}

TEST_F(AlarmStoreTest, WritesReplaceAtomicallyAndFailuresKeepTheOldFile) {
    AlarmStore store(folder());
    store.createAlarmsFile();
    ASSERT_TRUE(store.writeJSONFromAlarms({sample(6, "one")}));
    struct stat before {};
    ASSERT_EQ(::stat(QFile::encodeName(store.filePath()).constData(), &before), 0);
    ASSERT_TRUE(store.writeJSONFromAlarms({sample(6, "one"), sample(7, "two")}));
    struct stat after {};
    ASSERT_EQ(::stat(QFile::encodeName(store.filePath()).constData(), &after), 0);
    EXPECT_NE(before.st_ino, after.st_ino) << "replaced by rename, not rewritten in place";
    EXPECT_EQ(QDir(folder()).entryList(QDir::Files), QStringList{"alarms.json"}) << "no temp left";

    if (::geteuid() != 0) {
        // A folder the program may not write: the old file stays whole.
        ASSERT_EQ(::chmod(QFile::encodeName(folder()).constData(), 0500), 0);
        test::StdoutCapture out;
        EXPECT_FALSE(store.writeJSONFromAlarms({}));
        EXPECT_TRUE(out.text().startsWith("Failed to write JSON data: "))
            << out.text().toStdString();
        ::chmod(QFile::encodeName(folder()).constData(), 0700);
        EXPECT_EQ(QJsonDocument::fromJson(readAll(store.filePath())).array().size(), 2);
    }

    // The folder removed while running: a line, and the next write after it
    // is back stores the list.
    QDir(folder()).removeRecursively();
    {
        test::StdoutCapture out;
        EXPECT_FALSE(store.writeJSONFromAlarms({sample(8, "three")}));
        const QStringList printed = lines(out.text());
        ASSERT_EQ(printed.size(), 1);
        EXPECT_TRUE(printed[0].startsWith("Failed to write JSON data: "))
            << printed[0].toStdString();
        EXPECT_GT(printed[0].size(), QString("Failed to write JSON data: ").size());
    }
    QDir().mkpath(folder());
    ASSERT_TRUE(store.writeJSONFromAlarms({sample(8, "three")}));
    EXPECT_EQ(QJsonDocument::fromJson(readAll(store.filePath())).array().size(), 1);
}

TEST_F(AlarmStoreTest, AFolderThatCannotBeMadeIsReportedAndTheProgramGoesOn) {
    // A plain file where the folder should be.
    writeFile(root.path() + "/deep", "in the way");
    AlarmStore store(folder());
    QList<Alarm> alarms;
    test::StdoutCapture out;
    store.getAlarmsFromJSON(alarms);
    const QStringList printed = lines(out.text());
    ASSERT_EQ(printed.size(), 2) << out.text().toStdString();
    EXPECT_EQ(printed[0], "Couldn't create directory");
    EXPECT_FALSE(printed[1].isEmpty());
    EXPECT_TRUE(alarms.isEmpty());
    EXPECT_EQ(readAll(root.path() + "/deep"), "in the way");
}

}  // namespace
}  // namespace pendra
