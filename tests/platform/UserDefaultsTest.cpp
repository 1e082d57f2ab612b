#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include "platform/UserDefaults.h"
#include "support/TestEnvironment.h"

namespace pendra {
namespace {

class UserDefaultsTest : public ::testing::Test {
protected:
    void SetUp() override { test::clearUserDefaults(); }
    UserDefaults& defaults = UserDefaults::standard();
};

TEST_F(UserDefaultsTest, MissingKeysReadAsFalseZeroAndNothing) {
    EXPECT_FALSE(defaults.boolForKey("nope"));
    EXPECT_EQ(defaults.integerForKey("nope"), 0);
    EXPECT_FALSE(defaults.stringForKey("nope").has_value());
    EXPECT_FALSE(defaults.stringArrayForKey("nope").has_value());
}

TEST_F(UserDefaultsTest, TypedValuesRoundTrip) {
    defaults.setBool("b", true);
    defaults.setInteger("i", -42);
    defaults.setString("s", "Radar");
    defaults.setStringArray("one", {"London"});
    defaults.setStringArray("many", {"London", "Paris, France", "São Paulo"});
    defaults.setStringArray("none", {});
    EXPECT_TRUE(defaults.boolForKey("b"));
    EXPECT_EQ(defaults.integerForKey("i"), -42);
    EXPECT_EQ(defaults.stringForKey("s"), QString("Radar"));
    EXPECT_EQ(defaults.stringArrayForKey("one"), QStringList{"London"});
    EXPECT_EQ(defaults.stringArrayForKey("many"),
              (QStringList{"London", "Paris, France", "São Paulo"}));
    EXPECT_EQ(defaults.stringArrayForKey("none"), QStringList{});
    // The same value again leaves the file alone; a new one is written.
    const QString file = QSettings("Zentho", "Pendra").fileName();
    const QDateTime old = QDateTime::currentDateTime().addDays(-1);
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(old, QFileDevice::FileModificationTime));
    }
    defaults.setBool("b", true);
    EXPECT_EQ(QFileInfo(file).lastModified(), old);
    defaults.setBool("b", false);
    EXPECT_FALSE(defaults.boolForKey("b"));
    EXPECT_NE(QFileInfo(file).lastModified(), old);
}

TEST_F(UserDefaultsTest, IllTypedValuesReadAsDefaults) {
    defaults.setString("word", "seven");
    EXPECT_EQ(defaults.integerForKey("word"), 0);
    EXPECT_FALSE(defaults.boolForKey("word"));
    EXPECT_FALSE(defaults.stringArrayForKey("word").has_value());
    defaults.setStringArray("list", {"a"});
    EXPECT_FALSE(defaults.stringForKey("list").has_value());
    EXPECT_EQ(defaults.integerForKey("list"), 0);
    defaults.setRawForTesting("broken", QString("@json:[1,2"));
    EXPECT_FALSE(defaults.stringArrayForKey("broken").has_value());
    defaults.setRawForTesting("mixed", QString("@json:[\"a\",3]"));
    EXPECT_FALSE(defaults.stringArrayForKey("mixed").has_value());
}

}  // namespace
}  // namespace pendra
