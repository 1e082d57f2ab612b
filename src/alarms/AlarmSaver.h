#pragma once

#include <QDateTime>
#include <QList>

#include "alarms/Alarm.h"
#include "platform/FileWrites.h"

namespace pendra {

class AlarmStore;
class RunRecord;

// Saves the alarms file and the run record off the main thread, one write
// for a burst of changes and none for a list that did not change.
class AlarmSaver {
public:
    AlarmSaver(AlarmStore& store, RunRecord& record);
    ~AlarmSaver();  // waits for what was handed over

    // `force`: written even when unchanged (the file may have gone).
    void save(QList<Alarm> alarms, bool force = false);
    // Records that the program ran until `now`.
    void recordRun(const QDateTime& now);
    // Returns once everything handed over is on disk.
    void flush();

private:
    LatestWrite<QList<Alarm>> alarms_;
    LatestWrite<QDateTime> run_;
};

}  // namespace pendra
