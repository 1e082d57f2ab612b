#pragma once

#include <QAbstractListModel>
#include <QDateTime>
#include <QList>
#include <optional>

#include "alarms/Alarm.h"
#include "alarms/AlarmSaver.h"
#include "alarms/AlarmStore.h"
#include "platform/RunRecord.h"
#include "platform/UserNotification.h"

namespace pendra {

class UserNotificationCenter;

// What an alarm is doing now. A ringing alarm may also be snoozed (its
// snooze is what rang).
enum class AlarmState { Ready, Ringing, Snoozed };

// One row of the alarm list.
struct AlarmRecord {
    Alarm alarm;
    // Its identity for this run: callbacks find their alarm after it moved.
    quint64 id = 0;
    // One notification (a one-off alarm) or seven (one per weekday, null
    // where it does not repeat); all null while a new alarm's editor is open.
    QList<UserNotificationPtr> notifications;
    UserNotificationPtr snooze;
    int snoozeSlot = 0;
    // The unanswered alert, and when it rang relative to the others.
    UserNotificationPtr ring;
    quint64 ringOrder = 0;
    // The row says the alarm passed unseen.
    bool missed = false;

    AlarmState state() const {
        return ring ? AlarmState::Ringing
                    : (alarm.isSnoozed ? AlarmState::Snoozed : AlarmState::Ready);
    }
};

// The user's alarms without any widget: the rows, what the notification
// center holds for them, and the alarms file.
//
// After reconcile() the center's pending alarm notifications are exactly
// those of the enabled alarms under their current rows (a snoozed one by its
// snooze; a new alarm whose editor is open has none). Every change is saved
// once per batch (see Batch), off the main thread.
class AlarmListModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role { StateRole = Qt::UserRole + 1, MissedRole };

    AlarmListModel(UserNotificationCenter& center, const QString& dataDir,
                   const QString& runRecordFile, QObject* parent = nullptr);
    ~AlarmListModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    // Reads the file; alarms that passed since the last run are returned.
    QList<int> load();
    // Creates every row's notifications, scheduling the enabled ones.
    void scheduleAll();
    int size() const { return int(rows_.size()); }
    const AlarmRecord& at(int row) const { return rows_[row]; }
    QList<Alarm> alarms() const;
    QList<QList<UserNotificationPtr>> notifications() const;
    std::optional<int> rowOfId(quint64 id) const;
    // The row a notification of kind "alarm" belongs to.
    std::optional<int> rowOf(const UserNotificationPtr& n) const;
    // The snooze while snoozed, else today's element of the row's list.
    UserNotificationPtr currentNotification(int row) const;
    std::optional<QDateTime> nextAlarm() const { return nextAlarm_; }
    // The clock the rows' times are told on.
    bool do24HourTime() const { return do24HourTime_; }
    void setDo24HourTime(bool on);
    bool isNewAlarmOpen(int row) const { return rows_[row].id == newAlarmOpenId_; }

    // Inserted in order of time of day; a new alarm is not scheduled until
    // its editor closes (closeNewAlarm()).
    int insert(const Alarm& alarm, bool isNew);
    void closeNewAlarm() { newAlarmOpenId_ = 0; }
    // Withdraws what the row had pending.
    void remove(int row);
    void clear();
    // Back into order of time of day; returns the old rows in their new order.
    QList<int> reorder();
    // Replaces the row's alarm (committed from its editor): no snooze, no ring.
    void commit(int row, const Alarm& alarm);
    void setEnabled(int row, bool on);
    // Snoozes the alarm from `alert`, which rang for it, until now plus its snooze.
    void snooze(int row, const UserNotification& alert, const QDateTime& now);
    // Ends a snooze; a one-off alarm is switched off.
    void stopSnooze(int row);
    // The ringing alarm answered with Dismiss: a one-off alarm is switched off.
    void dismiss(int row);
    // The snooze `n` rang: the weekday's own notification comes back.
    void snoozeRang(int row, const UserNotificationPtr& n);
    void setRinging(int row, const UserNotificationPtr& alert);
    // Ends the row's ringing and returns its alert, if it rang; the alert is
    // withdrawn when `withdraw`.
    UserNotificationPtr stopRinging(int row, bool withdraw);
    // The latest ringing row whose alarm has a sound.
    std::optional<int> soundingRow() const;
    bool isRinging() const;
    // Reported as passed unseen: a one-off alarm is switched off.
    void markMissed(int row);
    void setMissed(int row, bool missed);

    void reconcile();
    void withdrawPending(int row);
    // The row's notifications from its alarm, the enabled ones scheduled; all
    // null for a placeholder (a new alarm's open editor).
    QList<UserNotificationPtr> createNotification(int row, bool isPlaceholder);

    // Groups the changes of one user action into one save.
    class Batch {
    public:
        explicit Batch(AlarmListModel& m) : m_(m) { ++m_.batchDepth_; }
        ~Batch() { m_.endBatch(); }
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

    private:
        AlarmListModel& m_;
    };
    // Marks the list changed; saved when the outermost batch ends (at once
    // outside any batch). `force`: also when the file looks unchanged.
    void save(bool force = false);
    void recordRun(const QDateTime& now);
    // Waits for the pending saves (quit).
    void flush();
    AlarmStore& store() { return store_; }

signals:
    // The schedule changed (after reconcile()).
    void scheduleChanged();

private:
    void refreshNotifications(int row) {
        rows_[row].notifications = createNotification(row, false);
    }
    void changed(int row);
    void endBatch();

    UserNotificationCenter& center_;
    AlarmStore store_;
    RunRecord runRecord_;
    AlarmSaver saver_;
    QList<AlarmRecord> rows_;
    quint64 nextId_ = 1;
    quint64 newAlarmOpenId_ = 0;
    quint64 ringCount_ = 0;
    std::optional<QDateTime> nextAlarm_;
    int batchDepth_ = 0;
    bool savePending_ = false;
    bool forceSave_ = false;
    bool do24HourTime_ = false;
};

}  // namespace pendra
