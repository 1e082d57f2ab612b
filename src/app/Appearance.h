#pragma once

#include <QPalette>

namespace pendra {

// Dark colours for every role, with enough contrast for text, disabled text
// and selections.
QPalette darkPalette();

// Follows the desktop's light or dark preference at launch. Qt without a
// platform theme would draw light on a dark GNOME desktop.
void applyDesktopAppearance();

}  // namespace pendra
