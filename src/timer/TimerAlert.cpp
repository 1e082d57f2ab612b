// The timer's end: the "Timer done" alert, its sound and its answers.
#include "common/Ringtones.h"
#include "common/Stepper.h"
#include "common/TickDriver.h"
#include "common/TonePreview.h"
#include "platform/UserNotificationCenter.h"
#include "timer/TimerViewController.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace pendra {

namespace {
const QString kCountdownKey = QStringLiteral("countdown");
}  // namespace

void TimerViewController::deliverDone() {
    UserNotification n;
    n.identifier = QStringLiteral("timer-");
    n.title = QStringLiteral("Pendra");
    n.subtitle = tr("Timer done");
    n.hasActionButton = true;
    n.actionButtonTitle = tr("Repeat");
    n.otherButtonTitle = tr("Dismiss");
    n.userInfo.insert(kCountdownKey, driver_->locked([this] { return endedCountdown_; }));
    notificationCenter.deliverNotification(makeNotification(std::move(n)));
}

bool TimerViewController::isCurrentAlert(const UserNotificationPtr& n) const {
    const QVariant c = n->userInfo.value(kCountdownKey);
    return driver_->locked(
        [&] { return finished_ && c.isValid() && c.toULongLong() == countdown_; });
}

// The sound is made ready shortly before the end, so that it starts with it.
void TimerViewController::prepareIfEndingSoon(const Timer& t) {
    if (t.currentState == Timer::state::on &&
        t.secondsToCount() <= UserNotificationCenter::deliveryNoticeLead.count()) {
        ringer_->prepare(ringtone_);
    }
}

void TimerViewController::silence() {
    ringer_->silence();
    ringing_ = false;
}

void TimerViewController::withdrawAlert() {
    silence();
    if (alert_) {
        notificationCenter.removeDeliveredNotification(alert_);
        alert_.reset();
    }
}

void TimerViewController::showDone(bool done) {
    for (QWidget* w : std::initializer_list<QWidget*>{
             hourLabel_, minuteLabel_, secondLabel_, hourTextField_, minuteTextField_,
             secondTextField_, hourStepper_, minuteStepper_, secondStepper_}) {
        w->setVisible(!done);
    }
    doneLabel_->setVisible(done);
    cancelBtn_->setText(done ? tr("Dismiss") : tr("Cancel"));
    if (done) {
        startPauseResumeBtn_->setText(tr("Repeat"));
    }
}

void TimerViewController::forgetAlert(const UserNotificationPtr& n) {
    if (alert_ && alert_->userInfo.value(kCountdownKey) == n->userInfo.value(kCountdownKey)) {
        alert_.reset();
    }
}

void TimerViewController::notificationDidDeliver(UserNotificationCenter&,
                                                 const UserNotificationPtr& n) {
    alert_ = n;
    preview_->stop();
    ringer_->ring(ringtone_);
    ringing_ = ringtone_ != QLatin1String("None");
    if (isCurrentAlert(n)) {
        showDone(true);
    }
}

void TimerViewController::notificationDidActivate(UserNotificationCenter& center,
                                                  const UserNotificationPtr& n) {
    // Whatever was chosen since the sound began, an answer silences it.
    silence();
    forgetAlert(n);
    if (n->activationType != ActivationType::ActionButtonClicked) {
        return;
    }
    if (!isCurrentAlert(n)) {
        // The alert of a countdown that has been replaced: a new countdown
        // runs and is left alone.
        center.removeDeliveredNotification(n);
        return;
    }
    showDone(false);
    turnOffTimer(timer());
    turnOnTimer(timer());
}

void TimerViewController::notificationDidDismissAlert(UserNotificationCenter& center,
                                                      const UserNotificationPtr& n) {
    center.removeDeliveredNotification(n);
    const bool current = isCurrentAlert(n);
    silence();
    forgetAlert(n);
    if (!current) {
        return;
    }
    showDone(false);
    turnOffTimer(timer());
    makeEditable();
}

}  // namespace pendra
