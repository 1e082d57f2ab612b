#pragma once

#include <QString>
#include <optional>

namespace pendra {

// The desktop clock's time format as a Unicode date pattern: GNOME's
// org.gnome.desktop.interface clock-format when that schema is installed
// ("12h" -> "h:mm a", "24h" -> "HH:mm"), else the locale's short time format,
// else nothing.
std::optional<QString> systemClockDateFormat();

// Qt's time format letters written as a Unicode date pattern: Qt's AM/PM
// markers (AP, ap, A, a) become "a"; quoted text is kept.
QString unicodePatternFromQtFormat(const QString& qtFormat);

}  // namespace pendra
