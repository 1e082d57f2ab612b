// The alarms file as read at launch: the JSON parse and every element's
// alarm construction, then a write of what was read and a read back.
#include <QDir>
#include <QFile>

#include "FuzzSupport.h"
#include "alarms/AlarmStore.h"

using namespace pendra;

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    fuzz::setUpProcess(argc, argv, false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString folder = fuzz::scratch() + QStringLiteral("alarms/");
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    {
        QFile f(folder + QStringLiteral("alarms.json"));
        f.open(QIODevice::WriteOnly);
        f.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    AlarmStore store(folder);
    QList<Alarm> alarms;
    store.getAlarmsFromJSON(alarms);
    for (const Alarm& a : alarms) {
        PENDRA_FUZZ_CHECK(a.hour >= 0 && a.hour <= 23 && a.minute >= 0 && a.minute <= 59);
    }
    // What was read is what a write keeps: nothing lost, nothing invented.
    PENDRA_FUZZ_CHECK(store.writeJSONFromAlarms(alarms));
    AlarmStore again(folder);
    QList<Alarm> reread;
    again.getAlarmsFromJSON(reread);
    PENDRA_FUZZ_CHECK(reread.size() == alarms.size());
    for (qsizetype i = 0; i < alarms.size(); ++i) {
        const Alarm& a = alarms[i];
        const Alarm& b = reread[i];
        PENDRA_FUZZ_CHECK(a.hour == b.hour && a.minute == b.minute && a.snooze == b.snooze &&
                          a.enabled == b.enabled && a.repeatDays == b.repeatDays);
        // A lone surrogate escaped in the file has no UTF-8 form to go back as.
        if (a.label.isValidUtf16() && a.ringtone.isValidUtf16()) {
            PENDRA_FUZZ_CHECK(a.label == b.label && a.ringtone == b.ringtone);
        }
    }
    return 0;
}
