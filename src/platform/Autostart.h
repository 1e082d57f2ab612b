#pragma once

#include <QString>

namespace pendra {

// Starting the program at login through the XDG autostart folder:
// $XDG_CONFIG_HOME/autostart/pendra.desktop. The file is the only state, so a
// file the user removed (or hid) by hand reads as off.
class Autostart {
public:
    static QString entryPath();
    // The entry is present and not marked Hidden=true or
    // X-GNOME-Autostart-enabled=false.
    static bool isEnabled();
    // Writes or removes the entry; false, with a line on standard output, when
    // that fails. Removing an absent entry succeeds.
    static bool setEnabled(bool enabled);
    // The entry's Exec value for `program`: the bare name when that is what
    // PATH finds, else the absolute path, quoted as desktop entries require.
    static QString execValue(const QString& program);
};

}  // namespace pendra
