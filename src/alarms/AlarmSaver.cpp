#include "alarms/AlarmSaver.h"

#include <mutex>
#include <optional>

#include "alarms/AlarmStore.h"
#include "platform/FileWrites.h"
#include "platform/RunRecord.h"

namespace pendra {

struct AlarmSaver::State {
    AlarmStore& store;
    RunRecord& record;
    std::mutex mutex;
    std::optional<QList<Alarm>> next;
    bool force = false;
    std::optional<QDateTime> nextRun;
    bool queued = false;
    // Touched on the file queue only.
    std::optional<QList<Alarm>> written;

    State(AlarmStore& s, RunRecord& r) : store(s), record(r) {}

    void run() {
        std::optional<QList<Alarm>> alarms;
        std::optional<QDateTime> run;
        bool mustWrite = false;
        {
            std::lock_guard lock(mutex);
            alarms.swap(next);
            run.swap(nextRun);
            mustWrite = force;
            force = false;
            queued = false;
        }
        if (alarms && (mustWrite || alarms != written)) {
            // A failed write is retried by the next one, whatever it holds.
            if (store.writeJSONFromAlarms(*alarms)) {
                written = std::move(alarms);
            } else {
                written.reset();
            }
        }
        if (run) {
            record.touch(*run);
        }
    }

    // Called with the mutex held.
    void schedule(const std::shared_ptr<State>& self) {
        if (!queued) {
            queued = true;
            writeFileAsync([self] { self->run(); });
        }
    }
};

AlarmSaver::AlarmSaver(AlarmStore& store, RunRecord& record)
    : state_(std::make_shared<State>(store, record)) {}

AlarmSaver::~AlarmSaver() {
    flush();
}

void AlarmSaver::save(QList<Alarm> alarms, bool force) {
    std::lock_guard lock(state_->mutex);
    state_->next = std::move(alarms);
    state_->force = state_->force || force;
    state_->schedule(state_);
}

void AlarmSaver::recordRun(const QDateTime& now) {
    std::lock_guard lock(state_->mutex);
    state_->nextRun = now;
    state_->schedule(state_);
}

void AlarmSaver::flush() {
    waitForFileWrites();
}

}  // namespace pendra
