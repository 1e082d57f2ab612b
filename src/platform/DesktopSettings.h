#pragma once

#include <QString>
#include <optional>

namespace pendra {

// A string key of GNOME's org.gnome.desktop.interface settings; nothing when
// the schema or the key is not installed.
std::optional<QString> desktopInterfaceString(const char* key);

// Whether the desktop asks applications for dark colours (GNOME's
// color-scheme "prefer-dark").
bool desktopPrefersDark();

}  // namespace pendra
