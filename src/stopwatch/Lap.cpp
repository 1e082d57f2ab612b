#include "stopwatch/Lap.h"

namespace pendra {

QString stopwatchText(qint64 t) {
    const qint64 minutes = t / 6000;
    const qint64 seconds = t / 100 - minutes * 60;
    const qint64 hundredths = t - minutes * 6000 - seconds * 100;
    return QString::asprintf("%02lld:%02lld.%02lld", static_cast<long long>(minutes),
                             static_cast<long long>(seconds), static_cast<long long>(hundredths));
}

}  // namespace pendra
