#pragma once

#include <QString>
#include <functional>

#include "support/QtPrinters.h"

namespace pendra::test {

// Removes every user default, so a test starts from a first run.
void clearUserDefaults();

// Spins the event loop until `pred` holds or `timeoutMs` passes; returns pred().
bool waitUntil(const std::function<bool()>& pred, int timeoutMs = 5000);

}  // namespace pendra::test
