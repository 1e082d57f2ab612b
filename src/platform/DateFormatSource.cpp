// gio first: Qt's `signals` keyword macro breaks glib's headers.
#include <gio/gio.h>

#include "platform/DateFormatSource.h"

#include <QLocale>

namespace pendra {

namespace {

std::optional<QString> gnomeClockFormat() {
    // Looking the schema up first: g_settings_new() aborts the process when the
    // schema is not installed.
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    if (source == nullptr) {
        return std::nullopt;
    }
    GSettingsSchema* schema =
        g_settings_schema_source_lookup(source, "org.gnome.desktop.interface", TRUE);
    if (schema == nullptr) {
        return std::nullopt;
    }
    const bool hasKey = g_settings_schema_has_key(schema, "clock-format");
    std::optional<QString> result;
    if (hasKey) {
        GSettings* settings = g_settings_new_full(schema, nullptr, nullptr);
        gchar* value = g_settings_get_string(settings, "clock-format");
        const QString format = QString::fromUtf8(value);
        g_free(value);
        g_object_unref(settings);
        if (format == QLatin1String("12h")) {
            result = QStringLiteral("h:mm a");
        } else if (format == QLatin1String("24h")) {
            result = QStringLiteral("HH:mm");
        }
    }
    g_settings_schema_unref(schema);
    return result;
}

}  // namespace

QString unicodePatternFromQtFormat(const QString& qtFormat) {
    QString out;
    bool quoted = false;
    for (qsizetype i = 0; i < qtFormat.size(); ++i) {
        const QChar c = qtFormat.at(i);
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
            out += c;
            continue;
        }
        if (!quoted && (c == QLatin1Char('A') || c == QLatin1Char('a'))) {
            if (i + 1 < qtFormat.size() && (qtFormat.at(i + 1) == QLatin1Char('P') ||
                                            qtFormat.at(i + 1) == QLatin1Char('p'))) {
                ++i;
            }
            out += QLatin1Char('a');
            continue;
        }
        out += c;
    }
    return out;
}

std::optional<QString> systemClockDateFormat() {
    if (auto gnome = gnomeClockFormat()) {
        return gnome;
    }
    const QLocale locale = QLocale::system();
    if (locale.language() == QLocale::C) {
        return std::nullopt;
    }
    const QString format = locale.timeFormat(QLocale::ShortFormat);
    if (format.isEmpty()) {
        return std::nullopt;
    }
    return unicodePatternFromQtFormat(format);
}

}  // namespace pendra
