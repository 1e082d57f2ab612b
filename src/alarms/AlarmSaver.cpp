#include "alarms/AlarmSaver.h"

#include "alarms/AlarmStore.h"
#include "platform/RunRecord.h"

namespace pendra {

AlarmSaver::AlarmSaver(AlarmStore& store, RunRecord& record)
    : alarms_([&store](const QList<Alarm>& a) { return store.writeJSONFromAlarms(a); }),
      run_([&record](const QDateTime& now) {
          record.touch(now);
          return true;
      }) {}

AlarmSaver::~AlarmSaver() {
    flush();
}

void AlarmSaver::save(QList<Alarm> alarms, bool force) {
    alarms_.post(std::move(alarms), force);
}

void AlarmSaver::recordRun(const QDateTime& now) {
    run_.post(now);
}

void AlarmSaver::flush() {
    waitForFileWrites();
}

}  // namespace pendra
