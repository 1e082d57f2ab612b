// What the user types into the snooze and timer fields, and the clock
// formats the desktop may report.
#include "FuzzSupport.h"
#include "alarms/AlarmRules.h"
#include "app/ViewController.h"
#include "platform/DateFormatSource.h"
#include "timer/Timer.h"

using namespace pendra;

namespace {
bool allDigits(const QString& s) {
    for (QChar c : s) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
            return false;
        }
    }
    return true;
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    fuzz::setUpProcess(argc, argv, false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString typed = fuzz::text(data, size);

    const QString snooze = filterSnoozeDigits(typed);
    PENDRA_FUZZ_CHECK(allDigits(snooze) && snooze.size() <= 2);
    const qint64 minutes = snoozeFromText(snooze);
    PENDRA_FUZZ_CHECK(minutes >= 0 && minutes <= 99);

    for (int maximum : {23, 59}) {
        const QString field = filterTimerDigits(typed, maximum);
        PENDRA_FUZZ_CHECK(allDigits(field) && field.size() <= 2);
        PENDRA_FUZZ_CHECK(timerFieldValue(field) <= maximum);
        PENDRA_FUZZ_CHECK(filterTimerDigits(field, maximum) == field);
    }

    const QString pattern = unicodePatternFromQtFormat(typed);
    do24HourTimeFromFormat(pattern);
    do24HourTimeFromFormat(typed);
    return 0;
}
