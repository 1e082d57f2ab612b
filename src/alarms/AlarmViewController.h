#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QSet>
#include <memory>

#include "alarms/Alarm.h"
#include "alarms/AlarmStore.h"
#include "common/NotificationReceiver.h"
#include "common/Panel.h"
#include "platform/RunRecord.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;
class QTimeEdit;
class QToolButton;

namespace pendra {

class Ringer;
class Stepper;
class TonePreview;
class UserNotificationCenter;

// The alarms panel: the user's alarms as rows of a one-column list, each row
// static (30 high) or, one at a time, editable (60 high); the alarms file; the
// alarms' notifications; ringing, snooze and dismissal.
//
// Between any two user actions the center's pending alarm notifications are
// exactly those of the enabled alarms under their current rows (a snoozed one
// by its snooze; a new alarm whose editor is open has none).
//
// An alarm that passed while the program was not running (it keeps a record
// of when it last ran) or that comes due far too late is not rung: a "Missed
// alarm" notification says so, its row says so until the user has seen it,
// and a one-off alarm is switched off as if dismissed. Notifications of kind
// "missed" are those.
class AlarmViewController : public Panel, public NotificationReceiver {
    Q_OBJECT
public:
    explicit AlarmViewController(UserNotificationCenter& center, QWidget* parent = nullptr);
    ~AlarmViewController() override;

    void viewDidLoad() override;
    void viewDidAppear() override;

    void notificationWillDeliver(UserNotificationCenter& center,
                                 const UserNotificationPtr& n) override;
    void notificationDidDeliver(UserNotificationCenter& center,
                                const UserNotificationPtr& n) override;
    void notificationDidActivate(UserNotificationCenter& center,
                                 const UserNotificationPtr& n) override;
    void notificationDidDismissAlert(UserNotificationCenter& center,
                                     const UserNotificationPtr& n) override;
    bool notificationShouldPresent(const UserNotificationPtr& n) override;
    // Notes that the program ran until now; called as it quits.
    void recordRun();

    // Actions.
    void newAlarmButtonClicked();
    void clearAlarms();
    void editBtnPressed(int row);
    void doneBtnPressed();
    void cancelBtnPressed();
    void deleteBtnPressed();
    void toggleAlarm(int row, bool on);
    void stopSnooze(int row);
    // The ringing row's answers, as the alert's two buttons give them.
    void snoozeRinging(int row);
    void dismissRinging(int row);
    void controlTextDidChange();
    void snoozeStepperPressed();

    // Rows and their notifications.
    QWidget* makeStatic(int row);
    QWidget* makeEditable(int row);
    void newAlarmView(int row);
    void updateAlarmViewsFromAlarms();
    QList<UserNotificationPtr> createNotification(int row, bool isPlaceholder);
    void updateAlarmNotificationsFromAlarms();
    UserNotificationPtr getNotificationFrom(const QString& identifier);
    int insertAlarm(const Alarm& alarm);
    void reorderAlarms();

    // The store.
    void getAlarmsFromJSON();
    void createAlarmsFile();
    void writeJSONFromAlarms();

    // The table's data source.
    int numberOfRows() const;
    QWidget* viewForRow(int row) const;
    int heightOfRow(int row) const;

    const QList<Alarm>& alarms() const { return alarms_; }
    const QList<QList<UserNotificationPtr>>& alarmNotifications() const {
        return alarmNotifications_;
    }
    int currentlyBeingEdited() const { return currentlyBeingEdited_; }
    bool do24HourTime() const { return do24HourTime_; }
    // The notification that stands for a row now: its snooze while snoozed,
    // else today's element of its list.
    UserNotificationPtr currentNotification(int row) const;
    // Some alarm's alert is unanswered; isRinging(row): that row's.
    bool isRinging() const;
    bool isRinging(int row) const;
    // The alert of a ringing row, else null.
    UserNotificationPtr ringingNotification(int row) const;
    // The row says its alarm was missed.
    bool wasMissed(int row) const;
    // The ringtone sounding now (the latest unanswered alarm with a sound's).
    QString soundingTone() const { return soundingTone_; }
    AlarmStore& store() { return store_; }
    // When the next enabled alarm rings (its snooze, if snoozed), if any.
    std::optional<QDateTime> nextAlarm() const { return nextAlarm_; }

signals:
    // The alarms or what is scheduled for them changed.
    void alarmsChanged();

public:
    // The editing controls, for tests that drive them.
    QTimeEdit* alarmTimeDatePicker() const { return alarmTimeDatePicker_; }
    QLineEdit* alarmLabelTextField() const { return alarmLabelTextField_; }
    QComboBox* ringtonePopUpBtn() const { return ringtonePopUpBtn_; }
    QLineEdit* snoozeTextField() const { return snoozeTextField_; }
    Stepper* snoozeStepper() const { return snoozeStepper_; }
    QCheckBox* repeatBox(int weekdayIndex) const { return repeat_[size_t(weekdayIndex)]; }
    QPushButton* doneBtn() const { return doneBtn_; }
    QPushButton* deleteBtn() const { return deleteBtn_; }
    QToolButton* cancelBtn() const { return cancelBtn_; }
    QPushButton* newAlarmBtn() const { return newAlarmBtn_; }
    QPushButton* clearBtn() const { return clearBtn_; }
    QCheckBox* gentleWakeBox() const { return gentleWakeBox_; }
    TonePreview* ringtonePreview() const { return preview_; }

protected:
    void hideEvent(QHideEvent* event) override;

private:
    struct Snooze {
        UserNotificationPtr notification;
        int slot = 0;
    };

    void reloadData();
    void setView(int row, QWidget* view);
    // The row being edited, if any, back in static form.
    void closeEditor();
    void retire(QWidget* view);
    std::optional<int> rowOf(const UserNotificationPtr& n) const;
    struct Ring {
        quint64 id = 0;
        UserNotificationPtr notification;
    };
    // Ends alarm `id`'s ringing, its alert withdrawn when `withdraw`.
    void stopRinging(quint64 id, bool withdraw);
    void updateSound();
    void showRinging(quint64 id);
    void withdrawPending(int row);
    void markMissed(int row);
    void forgetMissed(quint64 id);
    void reconcile();
    void beginAction();
    Alarm committedAlarm() const;
    void beginBatch();
    void endBatch();

    UserNotificationCenter& notificationCenter;
    AlarmStore store_;
    std::unique_ptr<Ringer> ringer_;
    RunRecord runRecord_;

    bool do24HourTime_ = false;
    QList<Alarm> alarms_;
    QList<QWidget*> alarmViews_;
    QList<QList<UserNotificationPtr>> alarmNotifications_;
    // Parallel to alarms_: an identity per alarm for this run, so callbacks
    // find their alarm after its row has moved.
    QList<quint64> alarmIds_;
    quint64 nextId_ = 1;
    QHash<quint64, Snooze> snoozes_;
    quint64 newAlarmOpenId_ = 0;
    // Unanswered alarms in the order they rang.
    QList<Ring> ringing_;
    quint64 soundingId_ = 0;
    QString soundingTone_;
    // Alarms whose rows say they were missed, and the notices that said so.
    QSet<quint64> missed_;
    QHash<quint64, UserNotificationPtr> missedNotices_;
    int currentlyBeingEdited_ = -1;
    int batchDepth_ = 0;
    std::optional<QDateTime> nextAlarm_;
    bool writePending_ = false;

    QScrollArea* tableView_;
    QWidget* tableContent_;
    QWidget* editorHolder_;
    QPushButton* newAlarmBtn_;
    QPushButton* clearBtn_;
    QCheckBox* gentleWakeBox_;
    QLabel* emptyLabel_;

    QTimeEdit* alarmTimeDatePicker_;
    QCheckBox* fakeActivationBtn_;
    QLineEdit* alarmLabelTextField_;
    QComboBox* ringtonePopUpBtn_;
    QLineEdit* snoozeTextField_;
    Stepper* snoozeStepper_;
    QLabel* snoozeLbl_;
    QPushButton* doneBtn_;
    QPushButton* deleteBtn_;
    QToolButton* cancelBtn_;
    TonePreview* preview_;
    std::array<QCheckBox*, 7> repeat_{};
};

}  // namespace pendra
