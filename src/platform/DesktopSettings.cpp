// gio first: Qt's `signals` keyword macro breaks glib's headers.
#include <gio/gio.h>

#include "platform/DesktopSettings.h"

namespace pendra {

std::optional<QString> desktopInterfaceString(const char* key) {
    // Looking the schema up first: g_settings_new() aborts the process when the
    // schema is not installed, and reading a missing key aborts it too.
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    if (source == nullptr) {
        return std::nullopt;
    }
    GSettingsSchema* schema =
        g_settings_schema_source_lookup(source, "org.gnome.desktop.interface", TRUE);
    if (schema == nullptr) {
        return std::nullopt;
    }
    std::optional<QString> result;
    if (g_settings_schema_has_key(schema, key)) {
        GSettingsSchemaKey* k = g_settings_schema_get_key(schema, key);
        const bool isString =
            g_variant_type_equal(g_settings_schema_key_get_value_type(k), G_VARIANT_TYPE_STRING);
        g_settings_schema_key_unref(k);
        // Enumerated keys (clock-format, color-scheme) are strings too; any
        // other type would abort g_settings_get_string().
        if (isString) {
            GSettings* settings = g_settings_new_full(schema, nullptr, nullptr);
            gchar* value = g_settings_get_string(settings, key);
            result = QString::fromUtf8(value);
            g_free(value);
            g_object_unref(settings);
        }
    }
    g_settings_schema_unref(schema);
    return result;
}

bool desktopPrefersDark() {
    return desktopInterfaceString("color-scheme") == QStringLiteral("prefer-dark");
}

}  // namespace pendra
