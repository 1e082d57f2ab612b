#pragma once

namespace pendra {

// Loads the program's own translation and Qt's (the standard dialog buttons)
// for the desktop's languages, as the locale says at launch. English, or a
// language without a translation, keeps the source texts.
void installTranslations();

}  // namespace pendra
