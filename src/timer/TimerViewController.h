#pragma once

#include <QString>
#include <chrono>
#include <memory>

#include "common/NotificationReceiver.h"
#include "common/Panel.h"
#include "timer/Timer.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace pendra {

class Ringer;
class Stepper;
class TickDriver;
class TonePreview;
class UserNotificationCenter;

// The countdown timer: three two-digit fields with steppers, the alert's
// ringtone, Start/Pause/Resume and Cancel. Seconds are counted on a strict
// one-second grid on a queue of its own; the end is the "Timer done"
// notification, which rings until it is answered.
class TimerViewController : public Panel, public NotificationReceiver {
    Q_OBJECT
public:
    explicit TimerViewController(UserNotificationCenter& center, QWidget* parent = nullptr);
    ~TimerViewController() override;

    void viewDidLoad() override;
    void viewDidAppear() override;

    void notificationDidDeliver(UserNotificationCenter& center,
                                const UserNotificationPtr& n) override;
    void notificationDidActivate(UserNotificationCenter& center,
                                 const UserNotificationPtr& n) override;
    void notificationDidDismissAlert(UserNotificationCenter& center,
                                     const UserNotificationPtr& n) override;

    void startPauseResumeBtnPressed();
    void cancelBtnPressed();
    void hourStepperPressed();
    void minuteStepperPressed();
    void secondStepperPressed();
    void ringtoneSelected();
    void controlTextDidChange();
    void controlTextDidEndEditing();
    void makeEditable();
    void makeStatic();

    Timer turnOnTimer(const Timer& t);
    Timer turnOffTimer(const Timer& t);
    Timer pauseTimer(const Timer& t);
    Timer resumeTimer(const Timer& t);

    // Counts the seconds; tests drive it by hand.
    TickDriver& tickDriver() const { return *driver_; }

    Timer timer() const;
    qint64 timeLeft() const;
    qint64 hours() const { return hours_; }
    qint64 minutes() const { return minutes_; }
    qint64 seconds() const { return seconds_; }
    QString ringtone() const { return ringtone_; }
    bool isRinging() const { return ringing_; }

    QLineEdit* hourTextField() const { return hourTextField_; }
    QLineEdit* minuteTextField() const { return minuteTextField_; }
    QLineEdit* secondTextField() const { return secondTextField_; }
    Stepper* hourStepper() const { return hourStepper_; }
    Stepper* minuteStepper() const { return minuteStepper_; }
    Stepper* secondStepper() const { return secondStepper_; }
    QComboBox* ringtonesPopUpButton() const { return ringtonesPopUpButton_; }
    QPushButton* startPauseResumeBtn() const { return startPauseResumeBtn_; }
    QPushButton* cancelBtn() const { return cancelBtn_; }
    QLabel* doneLabel() const { return doneLabel_; }
    TonePreview* ringtonePreview() const { return preview_; }

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    // The count's first firing comes `firstAfter` from now.
    void createTimer(std::chrono::nanoseconds firstAfter);
    // On the tick's queue, under the driver's lock.
    bool tick(std::uint64_t firings);
    void deliverDone();
    void updateTextFields();
    void redraw();
    void silence();
    void prepareIfEndingSoon(const Timer& t);
    void withdrawAlert();
    // While "Timer done" is unanswered the panel says so and its two buttons
    // are the alert's Repeat and Dismiss.
    void showDone(bool done);
    void forgetAlert(const UserNotificationPtr& n);
    bool isCurrentAlert(const UserNotificationPtr& n) const;

    UserNotificationCenter& notificationCenter;
    std::unique_ptr<Ringer> ringer_;

    qint64 hours_ = 0;
    qint64 minutes_ = 0;
    qint64 seconds_ = 0;
    QString ringtone_;

    // The tick's queue and the main thread share the record, under the
    // driver's lock.
    Timer timer_;
    qint64 timeLeft_ = 0;
    // Which countdown the record and an alert belong to.
    quint64 countdown_ = 0;
    quint64 endedCountdown_ = 0;
    bool finished_ = false;
    // What was left when the running source was laid, and, while paused, how
    // far off that source's next firing was: a resume picks up mid-second.
    qint64 sourceCount_ = 0;
    std::chrono::nanoseconds pausedPhase_{0};
    bool ringing_ = false;
    UserNotificationPtr alert_;  // the "Timer done" on screen, if any
    TickDriver* driver_;

    QLabel* hourLabel_;
    QLabel* minuteLabel_;
    QLabel* secondLabel_;
    QLineEdit* hourTextField_;
    QLineEdit* minuteTextField_;
    QLineEdit* secondTextField_;
    Stepper* hourStepper_;
    Stepper* minuteStepper_;
    Stepper* secondStepper_;
    QComboBox* ringtonesPopUpButton_;
    QPushButton* startPauseResumeBtn_;
    QPushButton* cancelBtn_;
    QLabel* doneLabel_;
    TonePreview* preview_;
};

}  // namespace pendra
