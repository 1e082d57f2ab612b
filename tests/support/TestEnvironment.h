#pragma once

#include <QString>
#include <functional>

#include "support/QtPrinters.h"

namespace pendra::test {

// Points HOME and the XDG folders at `dir` (before QApplication exists).
void usePrivateHome(const QString& dir);

// Removes every user default, so a test starts from a first run.
void clearUserDefaults();

// Spins the event loop until `pred` holds or `timeoutMs` passes; returns pred().
bool waitUntil(const std::function<bool()>& pred, int timeoutMs = 5000);

}  // namespace pendra::test
