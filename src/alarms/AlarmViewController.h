#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <memory>

#include "alarms/Alarm.h"
#include "alarms/AlarmListModel.h"
#include "common/NotificationReceiver.h"
#include "common/Panel.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimeEdit;
class QToolButton;

namespace pendra {

class AlarmListView;
class Ringer;
class Stepper;
class TonePreview;
class UserNotificationCenter;

// The alarms panel: the view and controller over AlarmListModel. The rows of
// a one-column list, each static (30 high, painted by AlarmListView) or, one
// at a time, editable (60 high, the one editor widget); ringing, snooze and
// dismissal as the user and the alerts answer.
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

    // Rows and their notifications. makeStatic() shows the row in static
    // form (ending its edit), makeEditable() opens the editor on it.
    void makeStatic(int row);
    void makeEditable(int row);
    void newAlarmView(int row);
    void updateAlarmViewsFromAlarms();
    QList<UserNotificationPtr> createNotification(int row, bool isPlaceholder);
    void updateAlarmNotificationsFromAlarms();
    UserNotificationPtr getNotificationFrom(const QString& identifier);
    // Inserts a new alarm, its editor not yet open.
    int insertAlarm(const Alarm& alarm);
    void reorderAlarms();

    // The store.
    void getAlarmsFromJSON();
    void createAlarmsFile();
    void writeJSONFromAlarms();

    // The table's data source.
    int numberOfRows() const;
    int heightOfRow(int row) const;
    AlarmListView* tableView() const { return tableView_; }

    QList<Alarm> alarms() const { return model_->alarms(); }
    QList<QList<UserNotificationPtr>> alarmNotifications() const { return model_->notifications(); }
    AlarmListModel& model() { return *model_; }
    int currentlyBeingEdited() const { return currentlyBeingEdited_; }
    bool do24HourTime() const { return model_->do24HourTime(); }
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
    AlarmStore& store() { return model_->store(); }
    // When the next enabled alarm rings (its snooze, if snoozed), if any.
    std::optional<QDateTime> nextAlarm() const { return model_->nextAlarm(); }

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
    void reloadData();
    void setEditing(int row);
    // The row being edited, if any, back in static form.
    void closeEditor();
    // Ends the row's ringing (its alert withdrawn when `withdraw`) and shows it.
    void stopRinging(int row, bool withdraw);
    void updateSound();
    void showRow(int row);
    void markMissed(int row);
    void forgetMissed(quint64 id);
    void reconcile();
    void beginAction();
    Alarm committedAlarm() const;
    // The editing controls, made once.
    void buildEditor();

    UserNotificationCenter& notificationCenter;
    std::unique_ptr<Ringer> ringer_;
    AlarmListModel* model_;

    quint64 soundingId_ = 0;
    QString soundingTone_;
    // The notices that said alarms were missed.
    QHash<quint64, UserNotificationPtr> missedNotices_;
    int currentlyBeingEdited_ = -1;

    AlarmListView* tableView_;
    // The editable row: the editing controls, made once.
    QWidget* editorRow_;
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
