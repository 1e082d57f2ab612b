#pragma once

#include <QString>

namespace pendra {

// One lap: its name ("Lap 1", "Lap 2", ...) and the hundredths spent in it.
struct Lap {
    QString name;
    qint64 time = 0;
};

// "mm:ss.hh" of a count of hundredths; minutes go on past 59 (60:00.00) and
// take three digits past 99 (100:00.00).
QString stopwatchText(qint64 hundredths);

}  // namespace pendra
