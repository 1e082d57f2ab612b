#include <gtest/gtest.h>
#include <time.h>

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <map>

#include "alarms/AlarmListModel.h"
#include "alarms/AlarmRules.h"
#include "platform/Clock.h"
#include "platform/FileWrites.h"
#include "support/RecordingPresenter.h"

namespace pendra {
namespace {

// The center's pending alarm notifications, as the alarms say they must be.
std::map<QString, QDateTime> expectedPending(
    const QList<Alarm>& alarms, int openNewRow, const QDateTime& now,
    const std::map<QString, std::pair<int, QDateTime>>& snoozes) {
    std::map<QString, QDateTime> out;
    for (int r = 0; r < alarms.size(); ++r) {
        const Alarm& a = alarms[r];
        if (!a.enabled || r == openNewRow) {
            continue;
        }
        for (int i = 0; i < 7; ++i) {
            if (!a.isRepeating() && i == 0) {
                out[alarmIdentifier(r, 0)] = alarmDeliveryDate(a, oneOffTargetDay(a, now));
            } else if (a.repeatDays[size_t(i)]) {
                out[alarmIdentifier(r, i)] = alarmDeliveryDate(a, repeatTargetDay(a, i, now));
            }
        }
        if (const auto s = snoozes.find(a.label); s != snoozes.end()) {
            out[alarmIdentifier(r, s->second.first)] = s->second.second;
        }
    }
    return out;
}

// Whatever the user does, in any order, the center holds exactly what the
// alarms under their current rows call for, and the file holds the list.
TEST(AlarmListModel, PendingNotificationsMatchTheAlarmsAfterEveryActionOfALongRandomSequence) {
    qputenv("TZ", "Europe/Berlin");
    tzset();
    QTemporaryDir dir;
    QDateTime now(QDate(2026, 12, 7), QTime(6, 0));  // a Monday
    Clock::setNowForTesting([&] { return now; });
    UserNotificationCenter center(std::make_unique<test::RecordingPresenter>());
    AlarmListModel model(center, dir.path() + "/", dir.path() + "/run");
    model.load();

    const quint32 seed = qEnvironmentVariableIsSet("PENDRA_TEST_SEED")
                             ? quint32(qEnvironmentVariableIntValue("PENDRA_TEST_SEED"))
                             : 20261207u;
    QRandomGenerator rng(seed);
    int labels = 0;
    int editing = -1;
    bool editingNew = false;
    std::map<QString, std::pair<int, QDateTime>> snoozes;  // label -> (slot, end)
    auto randomAlarm = [&] {
        std::array<bool, 7> d{};
        if (rng.bounded(2) == 0) {
            for (bool& b : d) {
                b = rng.bounded(3) == 0;
            }
        }
        return Alarm(rng.bounded(24), rng.bounded(4) * 15, "None", 1 + rng.bounded(20),
                     QString("alarm %1").arg(++labels), d, true);
    };
    // An alert as the center delivers it, answered by the user.
    auto ring = [&](int r) {
        const UserNotificationPtr n = model.currentNotification(r);
        if (r == editing || !model.at(r).alarm.enabled || !n || !n->deliveryDate) {
            return UserNotificationPtr();
        }
        auto alert = makeNotification(*n);
        model.setRinging(r, alert);
        return alert;
    };
    for (int step = 0; step < 2000; ++step) {
        const int rows = model.size();
        const int r = rows > 0 ? int(rng.bounded(rows)) : -1;
        const int choice = int(rng.bounded(100));
        const QString label = r >= 0 ? model.at(r).alarm.label : QString();
        const AlarmListModel::Batch batch(model);
        if (choice < 15) {
            editing = model.insert(randomAlarm(), true);
            editingNew = true;
        } else if (choice < 30 && editing >= 0) {
            snoozes.erase(model.at(editing).alarm.label);
            model.commit(editing, randomAlarm());
            model.reorder();
            editing = -1;
        } else if (choice < 36 && editing >= 0) {
            model.closeNewAlarm();
            editing = -1;
        } else if (choice < 42 && editing >= 0) {
            snoozes.erase(model.at(editing).alarm.label);
            model.remove(editing);
            editing = -1;
        } else if (choice < 55 && r >= 0 && r != editing) {
            model.closeNewAlarm();
            editing = r;
            editingNew = false;
        } else if (choice < 68 && r >= 0 && r != editing) {
            snoozes.erase(label);
            model.setEnabled(r, !model.at(r).alarm.enabled);
        } else if (choice < 80 && r >= 0 && !(editingNew && r == editing)) {
            if (const UserNotificationPtr alert = ring(r)) {
                model.stopRinging(r, false);
                model.snooze(r, *alert, now);
                snoozes[label] = {alarmSlotFromIdentifier(alert->identifier).value(),
                                  now.addSecs(model.at(r).alarm.snooze * 60)};
            }
        } else if (choice < 86) {
            // Any snoozed row: a random one is seldom snoozed.
            int s = model.size() - 1;
            while (s >= 0 && (s == editing || !model.at(s).alarm.isSnoozed)) {
                --s;
            }
            if (s < 0) {
                continue;
            }
            snoozes.erase(model.at(s).alarm.label);
            model.stopSnooze(s);
        } else if (choice < 92 && r >= 0 && !(editingNew && r == editing)) {
            if (ring(r)) {
                snoozes.erase(label);
                model.dismiss(r);
            }
        } else if (choice < 94) {
            model.clear();
            snoozes.clear();
            editing = -1;
        } else if (choice < 96) {
            // Time moves on; what comes due rings and is dismissed.
            now = now.addSecs(3600 * 7 + 60 * 13);
            center.deliverDueNotifications();
            for (const auto& n : center.deliveredNotifications()) {
                if (const std::optional<int> row = model.rowOf(n)) {
                    model.snoozeRang(*row, n);
                    model.setRinging(*row, n);
                    model.dismiss(*row);
                }
                center.removeDeliveredNotification(n);
            }
            std::erase_if(snoozes, [&](const auto& s) { return s.second.second <= now; });
        } else {
            continue;
        }
        if (editing < 0 || !editingNew || !model.isNewAlarmOpen(editing)) {
            editingNew = false;
        }
        model.reconcile();
        std::map<QString, QDateTime> pending;
        for (const auto& n : center.scheduledNotifications()) {
            pending[n->identifier] = n->deliveryDate.value_or(QDateTime());
        }
        const auto expected =
            expectedPending(model.alarms(), editingNew ? editing : -1, now, snoozes);
        ASSERT_EQ(pending, expected) << "seed " << seed << ", step " << step;
        const auto first = std::min_element(expected.begin(), expected.end(),
                                            [](auto& a, auto& b) { return a.second < b.second; });
        ASSERT_EQ(model.nextAlarm(),
                  first == expected.end() ? std::nullopt : std::optional(first->second));
        for (int row = 0; row < model.size(); ++row) {
            ASSERT_EQ(model.at(row).state() == AlarmState::Snoozed,
                      snoozes.count(model.at(row).alarm.label) > 0)
                << "seed " << seed << ", step " << step << ", row " << row;
        }
    }
    // Saved off this thread; the last save holds the list.
    model.closeNewAlarm();
    model.save();
    waitForFileWrites();
    QList<Alarm> stored;  // isSnoozed is never read back
    AlarmStore(dir.path() + "/").getAlarmsFromJSON(stored);
    QList<Alarm> alarms = model.alarms();
    for (Alarm& a : alarms) {
        a.isSnoozed = false;
    }
    EXPECT_EQ(stored, alarms);
    EXPECT_GT(labels, 30);
    Clock::setNowForTesting({});
}

}  // namespace
}  // namespace pendra
