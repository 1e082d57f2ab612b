#pragma once

#include <QString>

namespace pendra {

// One line on standard output, flushed at once: the program's trace and
// failure lines must survive a crash or a kill right after them.
void printLine(const QString& line);

}  // namespace pendra
