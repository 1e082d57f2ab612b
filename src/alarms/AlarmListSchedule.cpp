// The model's side of the notification center: which notifications its rows
// call for, and putting the center in step with them.
#include "alarms/AlarmListModel.h"

#include <QCoreApplication>
#include <QSet>
#include <algorithm>

#include "alarms/AlarmRules.h"
#include "common/NotificationReceiver.h"
#include "platform/Clock.h"
#include "platform/UserNotificationCenter.h"

namespace pendra {

namespace {

const QString kAlarmIdKey = QStringLiteral("alarmId");

bool isAlarmKind(const UserNotificationPtr& n) {
    return n && notificationKind(n->identifier) == QLatin1String("alarm");
}

QString panelText(const char* text) {
    return QCoreApplication::translate("pendra::AlarmViewController", text);
}

}  // namespace

std::optional<int> AlarmListModel::rowOfId(quint64 id) const {
    for (int r = 0; r < size(); ++r) {
        if (rows_[r].id == id) {
            return r;
        }
    }
    return std::nullopt;
}

std::optional<int> AlarmListModel::rowOf(const UserNotificationPtr& n) const {
    if (!isAlarmKind(n)) {
        return std::nullopt;
    }
    const QVariant id = n->userInfo.value(kAlarmIdKey);
    if (id.isValid()) {
        return rowOfId(id.toULongLong());
    }
    const std::optional<int> row = alarmRowFromIdentifier(n->identifier);
    if (!row || *row >= size()) {
        return std::nullopt;
    }
    return row;
}

UserNotificationPtr AlarmListModel::currentNotification(int row) const {
    if (row < 0 || row >= size()) {
        return nullptr;
    }
    if (rows_[row].snooze) {
        return rows_[row].snooze;
    }
    const auto& list = rows_[row].notifications;
    const int slot = currentSlot(list.size(), Clock::now().date());
    return slot < list.size() ? list[slot] : nullptr;
}

QList<UserNotificationPtr> AlarmListModel::createNotification(int row, bool isPlaceholder) {
    const Alarm& alarm = rows_[row].alarm;
    const QDateTime now = Clock::now();
    auto build = [&](int slot, const QDate& day, int repeatDays) {
        UserNotification n;
        n.identifier = alarmIdentifier(row, slot);
        n.title = QStringLiteral("Pendra");
        n.subtitle = alarm.label;
        n.hasActionButton = true;
        n.actionButtonTitle = panelText("Snooze");
        n.otherButtonTitle = panelText("Dismiss");
        n.deliveryRepeatIntervalDays = repeatDays;
        n.userInfo.insert(kAlarmIdKey, rows_[row].id);
        if (alarm.enabled) {
            n.deliveryDate = alarmDeliveryDate(alarm, day);
            n.repeatWallTime = QTime(int(alarm.hour), int(alarm.minute));
        }
        auto p = makeNotification(std::move(n));
        if (alarm.enabled) {
            center_.scheduleNotification(p);
        }
        return p;
    };
    if (!alarm.isRepeating()) {
        if (isPlaceholder) {
            return {nullptr};
        }
        return {build(0, oneOffTargetDay(alarm, now), 0)};
    }
    QList<UserNotificationPtr> list;
    for (int i = 0; i < 7; ++i) {
        if (!alarm.repeatDays[size_t(i)] || isPlaceholder) {
            list.append(nullptr);
        } else {
            list.append(build(i, repeatTargetDay(alarm, i, now), 7));
        }
    }
    return list;
}

// --- Schedule ----------------------------------------------------------------

void AlarmListModel::withdrawPending(int row) {
    AlarmRecord& r = rows_[row];
    for (const auto& n : r.notifications) {
        if (n) {
            center_.removeScheduledNotification(n);
        }
    }
    if (r.snooze) {
        center_.removeScheduledNotification(r.snooze);
        r.snooze = nullptr;
    }
}

void AlarmListModel::reconcile() {
    const QDateTime now = Clock::now();
    QSet<const UserNotification*> pending;
    QList<UserNotificationPtr> pendingAlarms;
    for (const auto& n : center_.scheduledNotifications()) {
        if (isAlarmKind(n)) {
            pending.insert(n.get());
            pendingAlarms.append(n);
        }
    }
    QList<UserNotificationPtr> desired;
    QSet<const UserNotification*> desiredSet;
    auto want = [&](const UserNotificationPtr& n) {
        desired.append(n);
        desiredSet.insert(n.get());
    };
    for (int row = 0; row < size(); ++row) {
        AlarmRecord& r = rows_[row];
        if (r.id == newAlarmOpenId_) {
            continue;
        }
        auto& list = r.notifications;
        const bool placeholder =
            std::all_of(list.begin(), list.end(), [](const UserNotificationPtr& n) { return !n; });
        const bool moved = std::any_of(list.begin(), list.end(), [&](const UserNotificationPtr& n) {
            return n && alarmRowFromIdentifier(n->identifier) != row;
        });
        const qsizetype expected = r.alarm.isRepeating() ? 7 : 1;
        if (placeholder || moved || list.size() != expected) {
            list = createNotification(row, false);
        }
        if (r.snooze && alarmRowFromIdentifier(r.snooze->identifier) != row) {
            // The row moved: the snooze goes on, under the alarm's new row.
            auto movedSnooze = makeNotification(*r.snooze);
            movedSnooze->identifier = alarmIdentifier(row, r.snoozeSlot);
            r.snooze = movedSnooze;
        }
        if (!r.alarm.enabled) {
            continue;
        }
        for (int slot = 0; slot < list.size(); ++slot) {
            const UserNotificationPtr n = r.snooze && r.snoozeSlot == slot ? r.snooze : list[slot];
            // A one-off notification that has been delivered is done with.
            if (n && n->deliveryDate && (pending.contains(n.get()) || *n->deliveryDate > now)) {
                want(n);
            }
        }
        if (r.snooze && r.snoozeSlot >= list.size()) {
            want(r.snooze);
        }
    }
    for (const auto& n : pendingAlarms) {
        if (!desiredSet.contains(n.get())) {
            center_.removeScheduledNotification(n);
        }
    }
    nextAlarm_.reset();
    for (const auto& n : desired) {
        if (!pending.contains(n.get())) {
            center_.scheduleNotification(n);
        }
        if (n->deliveryDate && (!nextAlarm_ || *n->deliveryDate < *nextAlarm_)) {
            nextAlarm_ = n->deliveryDate;
        }
    }
    emit scheduleChanged();
}

}  // namespace pendra
