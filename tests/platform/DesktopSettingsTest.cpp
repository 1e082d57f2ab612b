// gio first: Qt's `signals` keyword macro breaks glib's headers.
#include <gio/gio.h>
#include <gtest/gtest.h>

#include "platform/DateFormatSource.h"
#include "platform/DesktopSettings.h"

namespace pendra {
namespace {

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
