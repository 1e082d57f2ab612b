// Notification identifiers as the bus hands them back: the routing's kind
// and the alarms panel's row and weekday slot.
#include "FuzzSupport.h"
#include "alarms/AlarmRules.h"
#include "common/NotificationReceiver.h"

using namespace pendra;

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    fuzz::setUpProcess(argc, argv, false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString id = fuzz::text(data, size);
    if (const auto kind = notificationKind(id)) {
        PENDRA_FUZZ_CHECK(id.startsWith(*kind + QLatin1Char('-')));
        PENDRA_FUZZ_CHECK(!kind->contains(QLatin1Char('-')));
    }
    const auto row = alarmRowFromIdentifier(id);
    const auto slot = alarmSlotFromIdentifier(id);
    if (row) {
        PENDRA_FUZZ_CHECK(*row >= 0);
    }
    if (row && slot) {
        PENDRA_FUZZ_CHECK(*slot >= 0 && *slot <= 7);
        // What parses is what the panel would have made for that row.
        const QString made = alarmIdentifier(*row, *slot);
        PENDRA_FUZZ_CHECK(alarmRowFromIdentifier(made) == row);
        PENDRA_FUZZ_CHECK(alarmSlotFromIdentifier(made) == slot);
    }
    if (const auto r = rowFromRowText(id)) {
        PENDRA_FUZZ_CHECK(*r >= 0);
    }
    return 0;
}
