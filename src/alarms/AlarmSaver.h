#pragma once

#include <QDateTime>
#include <QList>
#include <memory>

#include "alarms/Alarm.h"

namespace pendra {

class AlarmStore;
class RunRecord;

// Saves the alarms file and the run record off the main thread. What is
// handed over while a save runs is coalesced: only the latest list is
// written. A list equal to the one last written is not written again.
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
    struct State;
    std::shared_ptr<State> state_;
};

}  // namespace pendra
