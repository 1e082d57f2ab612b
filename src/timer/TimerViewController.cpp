#include "timer/TimerViewController.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QShortcut>
#include <chrono>

#include "common/Geometry.h"
#include "common/Ringtones.h"
#include "common/Stepper.h"
#include "common/TickDriver.h"
#include "common/TonePreview.h"
#include "platform/Log.h"
#include "platform/Paths.h"
#include "platform/UserDefaults.h"
#include "platform/UserNotificationCenter.h"

namespace pendra {

namespace {

const QString kHoursKey = QStringLiteral("hour");
const QString kMinutesKey = QStringLiteral("minute");
const QString kSecondsKey = QStringLiteral("second");
const QString kRingtoneKey = QStringLiteral("ringtone");

QRect frame(int x, int y, int w, int h) {
    return flippedFrame(kPanelHeight, x, y, w, h);
}

}  // namespace

TimerViewController::TimerViewController(UserNotificationCenter& center, QWidget* parent)
    : Panel(parent),
      notificationCenter(center),
      ringer_(std::make_unique<Ringer>(Paths::ringtonesDir(), Paths::userRingtonesDir())) {
    driver_ =
        new TickDriver(QStringLiteral("com.zentho.Pendra.timer"), std::chrono::seconds(1), this);
    driver_->setHandler([this](std::uint64_t firings) { return tick(firings); });
    driver_->setOnEnd([this] { deliverDone(); });
    driver_->setRedraw([this] { redraw(); });
    ringer_->onSilent = [this] {
        if (alert_) {
            alert_->subtitle = silentAlertText(alert_->subtitle);
            notificationCenter.updateDeliveredNotification(alert_);
        }
    };
    setObjectName(QStringLiteral("timerPanel"));
    setFixedSize(kPanelWidth, kPanelHeight);
    auto caption = [this](const QString& name, int x) {
        auto* l = new QLabel(this);
        l->setObjectName(name);
        l->setGeometry(frame(x, 133, 70, 17));
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        return l;
    };
    hourLabel_ = caption(QStringLiteral("timerHoursCaption"), 90);
    minuteLabel_ = caption(QStringLiteral("timerMinutesCaption"), 190);
    secondLabel_ = caption(QStringLiteral("timerSecondsCaption"), 290);
    auto field = [this](const QString& name, int x, const QString& accessible) {
        auto* f = new QLineEdit(this);
        f->setObjectName(name);
        f->setGeometry(frame(x, 150, 70, 65));
        f->setAccessibleName(accessible);
        return f;
    };
    hourTextField_ = field(QStringLiteral("timerHours"), 90, tr("Hours"));
    minuteTextField_ = field(QStringLiteral("timerMinutes"), 190, tr("Minutes"));
    secondTextField_ = field(QStringLiteral("timerSeconds"), 290, tr("Seconds"));
    auto stepper = [this](const QString& name, int x, const QString& accessible) {
        auto* s = new Stepper(this);
        s->setObjectName(name);
        s->setGeometry(frame(x, 150, 20, 65));
        s->setAccessibleName(accessible);
        return s;
    };
    hourStepper_ = stepper(QStringLiteral("timerHoursStepper"), 162, tr("Hours"));
    minuteStepper_ = stepper(QStringLiteral("timerMinutesStepper"), 262, tr("Minutes"));
    secondStepper_ = stepper(QStringLiteral("timerSecondsStepper"), 362, tr("Seconds"));
    ringtonesPopUpButton_ = new QComboBox(this);
    ringtonesPopUpButton_->setObjectName(QStringLiteral("timerRingtone"));
    ringtonesPopUpButton_->setAccessibleName(tr("Ringtone"));
    ringtonesPopUpButton_->setGeometry(frame(90, 100, 70, 26));
    preview_ = new TonePreview(
        *ringer_, [this] { return ringtonesPopUpButton_->currentData().toString(); }, this);
    preview_->setObjectName(QStringLiteral("timerRingtonePreview"));

    startPauseResumeBtn_ = new QPushButton(tr("Start"), this);
    startPauseResumeBtn_->setObjectName(QStringLiteral("timerStart"));
    startPauseResumeBtn_->setGeometry(frame(125, 50, 95, 32));
    cancelBtn_ = new QPushButton(tr("Cancel"), this);
    cancelBtn_->setObjectName(QStringLiteral("timerCancel"));
    cancelBtn_->setGeometry(frame(230, 50, 95, 32));
    doneLabel_ = new QLabel(tr("Timer done"), this);
    doneLabel_->setObjectName(QStringLiteral("timerDone"));
    doneLabel_->setGeometry(frame(90, 150, 292, 65));
    doneLabel_->setAlignment(Qt::AlignCenter);
    QFont doneFont = doneLabel_->font();
    doneFont.setPixelSize(34);
    doneLabel_->setFont(doneFont);
    doneLabel_->hide();
    connect(startPauseResumeBtn_, &QPushButton::clicked, this,
            [this] { startPauseResumeBtnPressed(); });
    connect(cancelBtn_, &QPushButton::clicked, this, [this] { cancelBtnPressed(); });
    // Each field, then its own stepper, left to right.
    setTabOrder(hourTextField_, hourStepper_);
    setTabOrder(hourStepper_, minuteTextField_);
    setTabOrder(minuteTextField_, minuteStepper_);
    setTabOrder(minuteStepper_, secondTextField_);
    setTabOrder(secondTextField_, secondStepper_);
    setTabOrder(secondStepper_, ringtonesPopUpButton_);
    setTabOrder(ringtonesPopUpButton_, preview_);
    setTabOrder(preview_, startPauseResumeBtn_);
    setTabOrder(startPauseResumeBtn_, cancelBtn_);

    // Return starts, pauses and resumes from anywhere in the panel.
    for (auto key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* shortcut = new QShortcut(QKeySequence(key), this);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, this, [this] { startPauseResumeBtnPressed(); });
    }
}

TimerViewController::~TimerViewController() {
    // The tick reaches into this panel: stop it first.
    delete driver_;
    // Hiding the widget tree on destruction takes the focus from a field,
    // whose editingFinished would then call into this half-destroyed panel.
    for (QLineEdit* f : {hourTextField_, minuteTextField_, secondTextField_}) {
        disconnect(f, nullptr, this, nullptr);
    }
}

void TimerViewController::viewDidLoad() {
    UserDefaults& defaults = UserDefaults::standard();
    // Stored values outside the fields' ranges would show as digits the
    // fields cannot hold; they are brought inside.
    hours_ = std::clamp<qint64>(defaults.integerForKey(kHoursKey), 0, 23);
    minutes_ = std::clamp<qint64>(defaults.integerForKey(kMinutesKey), 0, 59);
    seconds_ = std::clamp<qint64>(defaults.integerForKey(kSecondsKey), 0, 59);
    ringtone_ = defaults.stringForKey(kRingtoneKey).value_or(QStringLiteral("None"));
    driver_->locked([this] { timer_ = Timer(hours_, minutes_, seconds_, ringtone_); });
    cancelBtn_->setEnabled(false);

    hourLabel_->setText(tr("hours"));
    minuteLabel_->setText(tr("minutes"));
    secondLabel_->setText(tr("seconds"));
    for (QLineEdit* f : {hourTextField_, minuteTextField_, secondTextField_}) {
        // 50 points of the design; DejaVu's digits are wider than the
        // design's font, so two of them fit the 70-point field at 46 px.
        QFont font = f->font();
        font.setPixelSize(46);
        f->setFont(font);
        f->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        connect(f, &QLineEdit::textEdited, this, [this] { controlTextDidChange(); });
        connect(f, &QLineEdit::editingFinished, this, [this] { controlTextDidEndEditing(); });
    }
    hourStepper_->setRange(0, 23);
    minuteStepper_->setRange(0, 59);
    secondStepper_->setRange(0, 59);
    connect(hourStepper_, &Stepper::valueChanged, this, [this] { hourStepperPressed(); });
    connect(minuteStepper_, &Stepper::valueChanged, this, [this] { minuteStepperPressed(); });
    connect(secondStepper_, &Stepper::valueChanged, this, [this] { secondStepperPressed(); });

    ringtonesPopUpButton_->clear();
    ringtonesPopUpButton_->addItem(tr("None"), QStringLiteral("None"));
    for (const QString& n : ringtoneChoices(ringer_->folder(), ringer_->userFolder())) {
        ringtonesPopUpButton_->addItem(n, n);
    }
    ringtonesPopUpButton_->setCurrentIndex(ringtonesPopUpButton_->findData(ringtone_));
    const QSize hint = ringtonesPopUpButton_->sizeHint();
    const int width = std::max(hint.width(), 70);
    ringtonesPopUpButton_->setGeometry(kPanelWidth / 2 - width / 2, frame(0, 100, 0, 26).y(), width,
                                       26);
    // Beside the centred pop-up, so that the pop-up stays where it was.
    preview_->setGeometry(ringtonesPopUpButton_->geometry().right() + 5, ringtonesPopUpButton_->y(),
                          26, 26);
    connect(ringtonesPopUpButton_, &QComboBox::activated, this, [this] { ringtoneSelected(); });
    makeEditable();
}

void TimerViewController::viewDidAppear() {
    updateTextFields();
}

void TimerViewController::mousePressEvent(QMouseEvent* event) {
    // A click on the panel's background ends the editing of a field.
    for (QLineEdit* f : {hourTextField_, minuteTextField_, secondTextField_}) {
        if (f->hasFocus()) {
            f->clearFocus();
        }
    }
    event->accept();
}

// --- Settings ------------------------------------------------------------------

void TimerViewController::hourStepperPressed() {
    hours_ = hourStepper_->value();
    hourTextField_->setText(twoDigits(hours_));
    UserDefaults::standard().setInteger(kHoursKey, hours_);
}

void TimerViewController::minuteStepperPressed() {
    minutes_ = minuteStepper_->value();
    minuteTextField_->setText(twoDigits(minutes_));
    UserDefaults::standard().setInteger(kMinutesKey, minutes_);
}

void TimerViewController::secondStepperPressed() {
    seconds_ = secondStepper_->value();
    secondTextField_->setText(twoDigits(seconds_));
    UserDefaults::standard().setInteger(kSecondsKey, seconds_);
}

void TimerViewController::ringtoneSelected() {
    if (ringtonesPopUpButton_->currentIndex() < 0) {
        return;
    }
    ringtone_ = ringtonesPopUpButton_->currentData().toString();
    preview_->toneChanged();
    printLine(ringtone_);
    UserDefaults::standard().setString(kRingtoneKey, ringtone_);
}

void TimerViewController::controlTextDidChange() {
    const struct {
        QLineEdit* field;
        Stepper* stepper;
        int maximum;
    } fields[] = {{hourTextField_, hourStepper_, 23},
                  {minuteTextField_, minuteStepper_, 59},
                  {secondTextField_, secondStepper_, 59}};
    for (const auto& f : fields) {
        if (f.field->isReadOnly()) {
            continue;
        }
        const QString text = filterTimerDigits(f.field->text(), f.maximum);
        if (text != f.field->text()) {
            f.field->setText(text);
        }
        const QSignalBlocker block(f.stepper);
        f.stepper->setValue(int(timerFieldValue(text)));
    }
}

void TimerViewController::controlTextDidEndEditing() {
    if (timer().currentState != Timer::state::off) {
        return;  // the fields show the countdown, not the setting
    }
    hours_ = std::min<qint64>(timerFieldValue(hourTextField_->text()), 23);
    minutes_ = std::min<qint64>(timerFieldValue(minuteTextField_->text()), 59);
    seconds_ = std::min<qint64>(timerFieldValue(secondTextField_->text()), 59);
    hourTextField_->setText(twoDigits(hours_));
    minuteTextField_->setText(twoDigits(minutes_));
    secondTextField_->setText(twoDigits(seconds_));
    UserDefaults& defaults = UserDefaults::standard();
    defaults.setInteger(kHoursKey, hours_);
    defaults.setInteger(kMinutesKey, minutes_);
    defaults.setInteger(kSecondsKey, seconds_);
}

void TimerViewController::makeEditable() {
    hourTextField_->setText(twoDigits(hours_));
    minuteTextField_->setText(twoDigits(minutes_));
    secondTextField_->setText(twoDigits(seconds_));
    const QSignalBlocker b1(hourStepper_), b2(minuteStepper_), b3(secondStepper_);
    hourStepper_->setValue(int(hours_));
    minuteStepper_->setValue(int(minutes_));
    secondStepper_->setValue(int(seconds_));
    for (QLineEdit* f : {hourTextField_, minuteTextField_, secondTextField_}) {
        f->setReadOnly(false);
    }
    for (QWidget* w :
         {static_cast<QWidget*>(hourStepper_), static_cast<QWidget*>(minuteStepper_),
          static_cast<QWidget*>(secondStepper_), static_cast<QWidget*>(ringtonesPopUpButton_)}) {
        w->setEnabled(true);
    }
    preview_->toneChanged();
}

void TimerViewController::makeStatic() {
    // What is being typed counts: commit it before the fields lock.
    for (QLineEdit* f : {hourTextField_, minuteTextField_, secondTextField_}) {
        if (f->hasFocus()) {
            controlTextDidEndEditing();
            f->clearFocus();
            break;
        }
    }
    for (QLineEdit* f : {hourTextField_, minuteTextField_, secondTextField_}) {
        f->setReadOnly(true);
    }
    for (QWidget* w :
         {static_cast<QWidget*>(hourStepper_), static_cast<QWidget*>(minuteStepper_),
          static_cast<QWidget*>(secondStepper_), static_cast<QWidget*>(ringtonesPopUpButton_)}) {
        w->setEnabled(false);
    }
    preview_->setEnabled(false);
}

// --- Engine ----------------------------------------------------------------------

void TimerViewController::createTimer(std::chrono::nanoseconds firstAfter) {
    driver_->start(firstAfter);
}

bool TimerViewController::tick(std::uint64_t firings) {
    if (timer_.currentState != Timer::state::on || finished_) {
        return true;
    }
    // Each firing ends a second, so the fields show what is left rounded
    // up and read 00:00:00 only when the time is up.
    finished_ = !timer_.countDown(firings);
    timeLeft_ = timer_.secondsToCount();
    endedCountdown_ = countdown_;
    return !finished_;
}

void TimerViewController::updateTextFields() {
    driver_->requestRedraw();
}

void TimerViewController::redraw() {
    const Timer t = timer();
    if (t.currentState == Timer::state::off) {
        return;  // the fields hold the setting being edited
    }
    prepareIfEndingSoon(t);
    hourTextField_->setText(twoDigits(t.hoursLeft));
    minuteTextField_->setText(twoDigits(t.minutesLeft));
    secondTextField_->setText(twoDigits(t.secondsLeft));
}

Timer TimerViewController::turnOnTimer(const Timer& t) {
    Timer next(hours_, minutes_, seconds_, t.ringtone);
    next.currentState = Timer::state::on;
    driver_->locked([&] {
        ++countdown_;
        finished_ = false;
        timer_ = next;
        timeLeft_ = next.secondsToCount();
        sourceCount_ = timeLeft_;
    });
    // The first firing ends the first second; a span of nothing ends at once.
    createTimer(timeLeft() > 0 ? std::chrono::seconds(1) : std::chrono::seconds(0));
    prepareIfEndingSoon(next);
    cancelBtn_->setEnabled(true);
    startPauseResumeBtn_->setText(tr("Pause"));
    return next;
}

Timer TimerViewController::turnOffTimer(const Timer& t) {
    Timer next(hours_, minutes_, seconds_, t.ringtone);
    driver_->locked([&] {
        ++countdown_;
        finished_ = false;
        timer_ = next;
    });
    driver_->stop();
    startPauseResumeBtn_->setText(tr("Start"));
    cancelBtn_->setEnabled(false);
    return next;
}

Timer TimerViewController::pauseTimer(const Timer& t) {
    Timer next = t;
    next.currentState = Timer::state::paused;
    // Read the grid, not the ticks: a firing that came due just before the
    // pause but has not run yet still counts, and the part of the second
    // under way is kept for the resume.
    const std::chrono::nanoseconds elapsed = driver_->elapsed();
    const bool due = driver_->locked([&] {
        if (!driver_->isManualForTesting()) {
            const std::chrono::nanoseconds second = std::chrono::seconds(1);
            const qint64 passed = elapsed.count() < 0 ? 0 : qint64(elapsed / second) + 1;
            const qint64 left = sourceCount_ - passed;
            if (left <= 0 || finished_) {
                return true;  // the end is due: the tick delivers it
            }
            if (left < timer_.secondsToCount()) {
                timer_.countDown(std::uint64_t(timer_.secondsToCount() - left));
                timeLeft_ = left;
            }
            pausedPhase_ = elapsed.count() < 0 ? -elapsed : second - elapsed % second;
        }
        timer_.currentState = Timer::state::paused;
        next = timer_;
        return false;
    });
    if (due) {
        return timer();
    }
    driver_->pause();
    updateTextFields();
    startPauseResumeBtn_->setText(tr("Resume"));
    return next;
}

Timer TimerViewController::resumeTimer(const Timer& t) {
    Timer next = t;
    std::chrono::nanoseconds firstAfter{0};
    driver_->locked([&] {
        timer_.currentState = Timer::state::on;
        next = timer_;
        // A fresh grid, laid so that the second under way at the pause goes
        // on where it stopped.
        ++countdown_;
        sourceCount_ = timer_.secondsToCount();
        firstAfter = pausedPhase_;
    });
    createTimer(firstAfter);
    prepareIfEndingSoon(next);
    startPauseResumeBtn_->setText(tr("Pause"));
    return next;
}

void TimerViewController::startPauseResumeBtnPressed() {
    if (!doneLabel_->isHidden() && alert_) {
        // Repeat, as on the alert, which goes from the screen.
        const UserNotificationPtr n = alert_;
        notificationCenter.removeDeliveredNotification(n);
        n->activationType = ActivationType::ActionButtonClicked;
        notificationDidActivate(notificationCenter, n);
        return;
    }
    const Timer current = timer();
    switch (current.currentState) {
        case Timer::state::on:
            pauseTimer(current);
            break;
        case Timer::state::off:
            makeStatic();
            turnOnTimer(current);
            break;
        case Timer::state::paused:
            resumeTimer(current);
            break;
    }
    printLine(timer().description());
}

void TimerViewController::cancelBtnPressed() {
    if (timer().currentState == Timer::state::off) {
        return;
    }
    // A ringing "Timer done" goes with its countdown: the panel's own control
    // must be able to stop the sound.
    withdrawAlert();
    showDone(false);
    turnOffTimer(timer());
    makeEditable();
    printLine(timer().description());
}

Timer TimerViewController::timer() const {
    return driver_->locked([this] { return timer_; });
}

qint64 TimerViewController::timeLeft() const {
    return driver_->locked([this] { return timeLeft_; });
}

}  // namespace pendra
