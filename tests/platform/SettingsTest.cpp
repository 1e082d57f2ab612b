// gio first: Qt's `signals` keyword macro breaks glib's headers.
#include <gio/gio.h>
#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include "platform/DateFormatSource.h"
#include "platform/DesktopSettings.h"
#include "platform/UserDefaults.h"
#include "support/TestEnvironment.h"

namespace pendra {
namespace {

TEST(UserDefaultsTest, TypedValuesRoundTripAndAnythingElseReadsAsTheDefault) {
    test::clearUserDefaults();
    UserDefaults& defaults = UserDefaults::standard();
    defaults.setBool("b", true);
    defaults.setInteger("i", -42);
    defaults.setString("s", "Radar");
    defaults.setStringArray("many", {"London", "Paris, France", "São Paulo"});
    defaults.setStringArray("one", {"London"});  // QSettings reads one alone back as a string
    defaults.setStringArray("none", {});
    EXPECT_TRUE(defaults.boolForKey("b"));
    EXPECT_EQ(defaults.integerForKey("i"), -42);
    EXPECT_EQ(defaults.stringForKey("s"), QString("Radar"));
    EXPECT_EQ(defaults.stringArrayForKey("many"),
              (QStringList{"London", "Paris, France", "São Paulo"}));
    EXPECT_EQ(defaults.stringArrayForKey("one"), QStringList{"London"});
    EXPECT_EQ(defaults.stringArrayForKey("none"), QStringList{});

    EXPECT_FALSE(defaults.boolForKey("nope"));
    EXPECT_FALSE(defaults.stringForKey("nope"));
    defaults.setString("word", "seven");
    EXPECT_EQ(defaults.integerForKey("word"), 0);
    EXPECT_FALSE(defaults.boolForKey("word"));
    EXPECT_FALSE(defaults.stringArrayForKey("word"));
    EXPECT_FALSE(defaults.stringForKey("many"));
    EXPECT_EQ(defaults.integerForKey("many"), 0);
    defaults.setRawForTesting("broken", QString("@json:[1,2"));
    EXPECT_FALSE(defaults.stringArrayForKey("broken"));
    defaults.setRawForTesting("mixed", QString("@json:[\"a\",3]"));
    EXPECT_FALSE(defaults.stringArrayForKey("mixed"));

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

// GIO's in-process backend: what the test writes is what the program reads,
// and nothing reaches the machine's own settings.
TEST(DesktopSettingsTest, DarkOnlyWhenPreferredClockFormatAndKeysThatAreNoStrings) {
    qputenv("GSETTINGS_BACKEND", "memory");
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    GSettingsSchema* schema =
        source ? g_settings_schema_source_lookup(source, "org.gnome.desktop.interface", TRUE)
               : nullptr;
    if (schema == nullptr) {
        GTEST_SKIP() << "gsettings-desktop-schemas is not installed";
    }
    g_settings_schema_unref(schema);
    GSettings* settings = g_settings_new("org.gnome.desktop.interface");
    EXPECT_FALSE(desktopPrefersDark()) << "the default scheme";
    ASSERT_TRUE(g_settings_set_string(settings, "color-scheme", "prefer-dark"));
    EXPECT_TRUE(desktopPrefersDark());
    ASSERT_TRUE(g_settings_set_string(settings, "color-scheme", "prefer-light"));
    EXPECT_FALSE(desktopPrefersDark());
    ASSERT_TRUE(g_settings_set_string(settings, "clock-format", "12h"));
    EXPECT_EQ(systemClockDateFormat(), QString("h:mm a"));
    ASSERT_TRUE(g_settings_set_string(settings, "clock-format", "24h"));
    EXPECT_EQ(systemClockDateFormat(), QString("HH:mm"));
    g_object_unref(settings);
    // Reading these as strings would abort the process.
    EXPECT_FALSE(desktopInterfaceString("cursor-size"));
    EXPECT_FALSE(desktopInterfaceString("no-such-key"));
}

}  // namespace
}  // namespace pendra
