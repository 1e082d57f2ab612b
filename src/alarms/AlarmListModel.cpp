#include "alarms/AlarmListModel.h"

#include <algorithm>

#include "alarms/AlarmRules.h"
#include "common/NotificationReceiver.h"
#include "platform/Clock.h"
#include "platform/UserNotificationCenter.h"

namespace pendra {

AlarmListModel::AlarmListModel(UserNotificationCenter& center, const QString& dataDir,
                               const QString& runRecordFile, QObject* parent)
    : QAbstractListModel(parent),
      center_(center),
      store_(dataDir),
      runRecord_(runRecordFile),
      saver_(store_, runRecord_) {}

AlarmListModel::~AlarmListModel() = default;

int AlarmListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : size();
}

QVariant AlarmListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= size()) {
        return {};
    }
    const AlarmRecord& r = rows_[index.row()];
    switch (role) {
        case Qt::DisplayRole:
            return r.alarm.label;
        case Qt::AccessibleTextRole:
            return alarmTimeText(r.alarm.hour, r.alarm.minute, do24HourTime_) + QLatin1Char(' ') +
                   r.alarm.label;
        case Qt::AccessibleDescriptionRole: {
            static const char* const kStates[] = {QT_TR_NOOP("On"), QT_TR_NOOP("Ringing"),
                                                  QT_TR_NOOP("Snoozed")};
            QStringList said{r.alarm.enabled ? tr(kStates[int(r.state())]) : tr("Off")};
            if (r.missed) {
                said << tr("Missed");
            }
            if (const QString days = repeatDaysText(r.alarm.repeatDays); !days.isEmpty()) {
                said << days;
            }
            return said.join(QStringLiteral(", "));
        }
        case StateRole:
            return int(r.state());
        case MissedRole:
            return r.missed;
        default:
            return {};
    }
}

QList<int> AlarmListModel::load() {
    QList<Alarm> alarms;
    store_.getAlarmsFromJSON(alarms);
    beginResetModel();
    rows_.clear();
    for (const Alarm& a : alarms) {
        rows_.append(AlarmRecord{a, nextId_++, {}, nullptr, 0, nullptr, 0, false});
    }
    endResetModel();
    QList<int> missed;
    // Read before anything records this run.
    if (const std::optional<QDateTime> lastRun = runRecord_.lastRun()) {
        const QDateTime now = Clock::now();
        for (int r = 0; r < size(); ++r) {
            if (missedRingTime(rows_[r].alarm, *lastRun, now)) {
                missed.append(r);
            }
        }
    }
    return missed;
}

void AlarmListModel::scheduleAll() {
    for (int r = 0; r < size(); ++r) {
        refreshNotifications(r);
    }
}

QList<Alarm> AlarmListModel::alarms() const {
    QList<Alarm> out;
    out.reserve(rows_.size());
    for (const AlarmRecord& r : rows_) {
        out.append(r.alarm);
    }
    return out;
}

QList<QList<UserNotificationPtr>> AlarmListModel::notifications() const {
    QList<QList<UserNotificationPtr>> out;
    out.reserve(rows_.size());
    for (const AlarmRecord& r : rows_) {
        out.append(r.notifications);
    }
    return out;
}

void AlarmListModel::setDo24HourTime(bool on) {
    if (on != do24HourTime_) {
        do24HourTime_ = on;
        if (size() > 0) {
            emit dataChanged(index(0), index(size() - 1));
        }
    }
}

void AlarmListModel::changed(int row) {
    const QModelIndex i = index(row);
    emit dataChanged(i, i);
}

// --- Rows --------------------------------------------------------------------

int AlarmListModel::insert(const Alarm& alarm, bool isNew) {
    const int row = insertionIndex(alarms(), alarm);
    beginInsertRows({}, row, row);
    rows_.insert(row, AlarmRecord{alarm, nextId_++, {}, nullptr, 0, nullptr, 0, false});
    endInsertRows();
    if (isNew) {
        newAlarmOpenId_ = rows_[row].id;
        rows_[row].notifications = createNotification(row, true);
    } else {
        refreshNotifications(row);
        save();
    }
    return row;
}

void AlarmListModel::remove(int row) {
    withdrawPending(row);
    stopRinging(row, true);
    if (rows_[row].id == newAlarmOpenId_) {
        newAlarmOpenId_ = 0;
    }
    beginRemoveRows({}, row, row);
    rows_.removeAt(row);
    endRemoveRows();
    save();
}

void AlarmListModel::clear() {
    for (int r = 0; r < size(); ++r) {
        withdrawPending(r);
    }
    beginResetModel();
    rows_.clear();
    newAlarmOpenId_ = 0;
    endResetModel();
    // Only the alarms' own alerts: a ringing timer keeps its alert.
    for (const auto& n : center_.deliveredNotifications()) {
        if (notificationKind(n->identifier) == QLatin1String("alarm")) {
            center_.removeDeliveredNotification(n);
        }
    }
    save(true);
}

QList<int> AlarmListModel::reorder() {
    const QList<int> order = reorderedIndices(alarms());
    bool sorted = true;
    for (int i = 0; i < order.size() && sorted; ++i) {
        sorted = order[i] == i;
    }
    if (sorted) {
        return order;
    }
    emit layoutAboutToBeChanged();
    QList<AlarmRecord> moved;
    moved.reserve(rows_.size());
    QList<int> newRow(order.size());
    for (int i = 0; i < order.size(); ++i) {
        moved.append(rows_[order[i]]);
        newRow[order[i]] = i;
    }
    rows_ = std::move(moved);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    for (const QModelIndex& i : before) {
        after.append(index(newRow[i.row()]));
    }
    changePersistentIndexList(before, after);
    emit layoutChanged();
    // Rows that moved are rescheduled under their new rows by reconcile().
    save();
    return order;
}

// --- Actions -----------------------------------------------------------------

void AlarmListModel::commit(int row, const Alarm& alarm) {
    withdrawPending(row);
    stopRinging(row, true);
    rows_[row].alarm = alarm;
    if (rows_[row].id == newAlarmOpenId_) {
        newAlarmOpenId_ = 0;
    }
    refreshNotifications(row);
    changed(row);
    save();
}

void AlarmListModel::setEnabled(int row, bool on) {
    AlarmRecord& r = rows_[row];
    r.alarm.enabled = on;
    if (on) {
        refreshNotifications(row);
    } else {
        withdrawPending(row);
        stopRinging(row, true);
        r.alarm.isSnoozed = false;
    }
    changed(row);
    save();
}

void AlarmListModel::snooze(int row, const UserNotification& alert, const QDateTime& now) {
    AlarmRecord& r = rows_[row];
    int slot = alarmSlotFromIdentifier(alert.identifier).value_or(0);
    if (r.notifications.size() <= 1) {
        slot = 0;
    }
    // A copy, so the weekday's own notification stays as it is and comes
    // back when the snooze has rung.
    auto snoozed = makeNotification(alert);
    snoozed->identifier = alarmIdentifier(row, slot);
    snoozed->subtitle = r.alarm.label;
    snoozed->deliveryDate = now.addSecs(std::max<qint64>(r.alarm.snooze, 1) * 60);
    snoozed->deliveryRepeatIntervalDays = 0;
    snoozed->repeatWallTime = QTime();
    snoozed->activationType = ActivationType::None;
    r.snooze = snoozed;
    r.snoozeSlot = slot;
    r.alarm.isSnoozed = true;
    changed(row);
    save();
}

void AlarmListModel::stopSnooze(int row) {
    AlarmRecord& r = rows_[row];
    if (r.snooze) {
        center_.removeScheduledNotification(r.snooze);
        r.snooze = nullptr;
    }
    stopRinging(row, true);
    if (!r.alarm.isRepeating()) {
        r.alarm.enabled = false;
    }
    r.alarm.isSnoozed = false;
    refreshNotifications(row);
    changed(row);
    save();
}

void AlarmListModel::dismiss(int row) {
    AlarmRecord& r = rows_[row];
    const bool wasSnoozed = r.alarm.isSnoozed;
    if (!r.alarm.isRepeating()) {
        r.alarm.enabled = false;
    }
    stopRinging(row, false);
    r.alarm.isSnoozed = false;
    r.snooze = nullptr;
    if (wasSnoozed && r.alarm.isRepeating()) {
        refreshNotifications(row);
    }
    changed(row);
    save();
}

void AlarmListModel::snoozeRang(int row, const UserNotificationPtr& n) {
    AlarmRecord& r = rows_[row];
    if (r.snooze && r.snooze == n) {
        r.snooze = nullptr;
        if (r.alarm.isRepeating()) {
            refreshNotifications(row);
        }
    }
}

void AlarmListModel::setRinging(int row, const UserNotificationPtr& alert) {
    rows_[row].ring = alert;
    rows_[row].ringOrder = ++ringCount_;
    changed(row);
}

UserNotificationPtr AlarmListModel::stopRinging(int row, bool withdraw) {
    UserNotificationPtr ring = std::exchange(rows_[row].ring, nullptr);
    if (ring) {
        // A ring without an alert could not be stopped, and an alert
        // without a ring could be answered twice: they go together.
        if (withdraw) {
            center_.removeDeliveredNotification(ring);
        }
        changed(row);
    }
    return ring;
}

std::optional<int> AlarmListModel::soundingRow() const {
    std::optional<int> row;
    for (int r = 0; r < size(); ++r) {
        const AlarmRecord& a = rows_[r];
        if (a.ring && a.alarm.ringtone != QLatin1String("None") &&
            (!row || a.ringOrder > rows_[*row].ringOrder)) {
            row = r;
        }
    }
    return row;
}

bool AlarmListModel::isRinging() const {
    return std::any_of(rows_.begin(), rows_.end(), [](const AlarmRecord& r) { return r.ring; });
}

void AlarmListModel::markMissed(int row) {
    AlarmRecord& r = rows_[row];
    if (!r.alarm.isRepeating()) {
        // As if dismissed: a one-off alarm is done with.
        r.alarm.enabled = false;
        withdrawPending(row);
    }
    r.alarm.isSnoozed = false;
    r.snooze = nullptr;
    r.missed = true;
    changed(row);
    save();
}

void AlarmListModel::setMissed(int row, bool missed) {
    if (rows_[row].missed != missed) {
        rows_[row].missed = missed;
        changed(row);
    }
}

// --- Saving ------------------------------------------------------------------

void AlarmListModel::save(bool force) {
    savePending_ = true;
    forceSave_ = forceSave_ || force;
    if (batchDepth_ == 0) {
        ++batchDepth_;
        endBatch();
    }
}

void AlarmListModel::endBatch() {
    if (--batchDepth_ > 0 || !savePending_) {
        return;
    }
    saver_.save(alarms(), std::exchange(forceSave_, false));
    savePending_ = false;
    // The alarms as they now are were seen up to now.
    saver_.recordRun(Clock::now());
}

void AlarmListModel::recordRun(const QDateTime& now) {
    saver_.recordRun(now);
}

void AlarmListModel::flush() {
    saver_.flush();
}

}  // namespace pendra
