#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <thread>

#include "common/Stepper.h"
#include "common/TickDriver.h"
#include "common/TonePreview.h"
#include "platform/Paths.h"
#include "platform/UserDefaults.h"
#include "support/RecordingPresenter.h"
#include "support/StdoutCapture.h"
#include "support/TestEnvironment.h"
#include "timer/Timer.h"
#include "timer/TimerViewController.h"

namespace pendra {
namespace {

TEST(TimerRecord, CountsFiringsAndEndsWhenNothingIsLeft) {
    Timer t(1, 0, 0, "Radar");
    EXPECT_EQ(t.currentState, Timer::state::off);
    ASSERT_TRUE(t.countDown(1));
    EXPECT_EQ(t.description().section(',', 3, 5),
              " hoursLeft: 0, minutesLeft: 59, secondsLeft: 59");
    EXPECT_EQ(t.hours, 1) << "the set span stays";
    // Merged firings all count.
    ASSERT_TRUE(t.countDown(3598));
    EXPECT_EQ(t.secondsToCount(), 1);
    EXPECT_FALSE(t.countDown(1));
    EXPECT_EQ(t.secondsToCount(), 0);
    // A ten-minute countdown across a long sleep ends at once on wake.
    Timer slept(0, 10, 0, "None");
    EXPECT_FALSE(slept.countDown(3600));
    EXPECT_EQ(slept.secondsToCount(), 0);
    EXPECT_FALSE(Timer(0, 0, 0, "None").countDown(1));
}

TEST(TimerRecord, DigitFieldsKeepTwoDigitsWithinTheirMaximum) {
    // Typing in the panel covers the common cases; these are the edges.
    EXPECT_EQ(filterTimerDigits("75", 59), "59");
    EXPECT_EQ(filterTimerDigits("x", 59), "");
    EXPECT_EQ(filterTimerDigits("099", 23), "09");
    EXPECT_EQ(timerFieldValue(""), 0);
    EXPECT_EQ(twoDigits(5), "05");
}

class Router : public UserNotificationCenterDelegate {
public:
    TimerViewController* panel = nullptr;
    void userNotificationCenterDidDeliver(UserNotificationCenter& c,
                                          const UserNotificationPtr& n) override {
        panel->notificationDidDeliver(c, n);
    }
    void userNotificationCenterDidActivate(UserNotificationCenter& c,
                                           const UserNotificationPtr& n) override {
        if (n->activationType == ActivationType::ActionButtonClicked) {
            panel->notificationDidActivate(c, n);
        }
    }
    void userNotificationCenterDidDismissAlert(UserNotificationCenter& c,
                                               const UserNotificationPtr& n) override {
        panel->notificationDidDismissAlert(c, n);
    }
    bool userNotificationCenterShouldPresent(UserNotificationCenter&,
                                             const UserNotificationPtr&) override {
        return true;
    }
};

class TimerPanel : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(share.isValid());
        QDir().mkpath(share.path() + "/ringtones");
        for (const char* name : {"radar", "Radar", "Bells"}) {
            QFile f(share.path() + "/ringtones/" + name + ".m4r");
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write("not a sound");
        }
        Paths::setShareDirForTesting(share.path());
        test::clearUserDefaults();
    }
    void TearDown() override {
        panel.reset();
        center.reset();
        Paths::setShareDirForTesting({});
    }
    void launch(bool manual = true) {
        auto p = std::make_unique<test::RecordingPresenter>();
        presenter = p.get();
        center = std::make_unique<UserNotificationCenter>(std::move(p));
        panel = std::make_unique<TimerViewController>(*center);
        panel->tickDriver().setManualForTesting(manual);
        router.panel = panel.get();
        center->setDelegate(&router);
        panel->viewDidLoad();
        panel->show();
        // Focus, and so the end of editing, needs an active window.
        QApplication::setActiveWindow(panel.get());
        panel->viewDidAppear();
    }
    QString shown() const {
        return panel->hourTextField()->text() + ":" + panel->minuteTextField()->text() + ":" +
               panel->secondTextField()->text();
    }
    void tick(std::uint64_t n = 1) {
        panel->tickDriver().tick(n);
        test::waitUntil([] { return false; }, 20);  // let the display block run
    }
    void click(QAbstractButton* b) { QTest::mouseClick(b, Qt::LeftButton); }
    void type(QLineEdit* f, const QString& s) {
        f->setFocus();
        f->selectAll();
        QTest::keyClick(f, Qt::Key_Backspace);
        QTest::keyClicks(f, s);
    }

    QTemporaryDir share;
    test::RecordingPresenter* presenter = nullptr;
    std::unique_ptr<UserNotificationCenter> center;
    std::unique_ptr<TimerViewController> panel;
    Router router;
};

TEST_F(TimerPanel, FirstLaunchShowsZerosNoneFirstAndSortedRingtones) {
    launch();
    EXPECT_EQ(shown(), "00:00:00");
    EXPECT_EQ(panel->hourStepper()->value(), 0);
    EXPECT_FALSE(panel->cancelBtn()->isEnabled());
    EXPECT_EQ(panel->startPauseResumeBtn()->text(), "Start");
    QStringList items;
    for (int i = 0; i < panel->ringtonesPopUpButton()->count(); ++i) {
        items << panel->ringtonesPopUpButton()->itemText(i);
    }
    EXPECT_EQ(items, (QStringList{"None", "Bells", "Radar", "radar"}));
    EXPECT_EQ(panel->ringtonesPopUpButton()->currentText(), "None");
}

TEST_F(TimerPanel, TypingFiltersAtOnceAndCommitsAtTheEndOfEditing) {
    launch();
    type(panel->hourTextField(), "30");
    EXPECT_EQ(panel->hourTextField()->text(), "23");
    EXPECT_EQ(panel->hourStepper()->value(), 23);
    EXPECT_FALSE(UserDefaults::standard().contains("hour")) << "not while typing";
    type(panel->minuteTextField(), "1a2b3");
    EXPECT_EQ(panel->minuteTextField()->text(), "12");
    EXPECT_EQ(panel->hourTextField()->text(), "23");
    type(panel->secondTextField(), "");
    EXPECT_EQ(panel->secondStepper()->value(), 0);
    panel->secondTextField()->clearFocus();
    EXPECT_EQ(panel->secondTextField()->text(), "00");
    EXPECT_EQ(panel->hours(), 23);
    EXPECT_EQ(UserDefaults::standard().integerForKey("minute"), 12);
    type(panel->hourTextField(), "7");
    panel->hourTextField()->clearFocus();
    EXPECT_EQ(panel->hourTextField()->text(), "07");
    EXPECT_EQ(UserDefaults::standard().integerForKey("hour"), 7);

    // Steppers store at once and never pass their ends.
    panel->secondStepper()->stepUp();
    EXPECT_EQ(panel->secondTextField()->text(), "01");
    EXPECT_EQ(UserDefaults::standard().integerForKey("second"), 1);
    panel->secondStepper()->stepDown();
    panel->secondStepper()->stepDown();
    EXPECT_EQ(panel->secondStepper()->value(), 0);
    panel->hourStepper()->setValue(23);
    panel->hourStepper()->stepUp();
    EXPECT_EQ(panel->hourStepper()->value(), 23);

    // Ringtone choice and setting come back at the next launch.
    panel->ringtonesPopUpButton()->setCurrentText("Bells");
    test::StdoutCapture out;
    emit panel->ringtonesPopUpButton()->activated(panel->ringtonesPopUpButton()->currentIndex());
    EXPECT_EQ(out.text(), "Bells\n");
    out.restore();
    // The chosen tone can be heard before it rings: pressed again, or a
    // start, stops it; "None" has nothing to play.
    TonePreview* preview = panel->ringtonePreview();
    click(preview);
    EXPECT_TRUE(preview->isPlaying());
    click(preview);
    EXPECT_FALSE(preview->isPlaying());
    click(preview);
    click(panel->startPauseResumeBtn());
    EXPECT_FALSE(preview->isPlaying());
    click(panel->cancelBtn());
    panel->ringtonesPopUpButton()->setCurrentText("None");
    emit panel->ringtonesPopUpButton()->activated(0);
    EXPECT_FALSE(preview->isEnabled());
    panel->ringtonesPopUpButton()->setCurrentText("Bells");
    emit panel->ringtonesPopUpButton()->activated(1);
    launch();
    EXPECT_EQ(shown(), "07:12:00");
    EXPECT_EQ(panel->ringtonesPopUpButton()->currentText(), "Bells");
}

TEST_F(TimerPanel, StartPauseResumeCancelFollowTheStateTable) {
    UserDefaults::standard().setInteger("second", 5);
    launch();
    type(panel->secondTextField(), "05");
    click(panel->startPauseResumeBtn());
    EXPECT_EQ(panel->timer().currentState, Timer::state::on);
    EXPECT_TRUE(panel->hourTextField()->isReadOnly());
    EXPECT_FALSE(panel->secondStepper()->isEnabled());
    EXPECT_FALSE(panel->ringtonesPopUpButton()->isEnabled());
    EXPECT_FALSE(panel->secondTextField()->hasFocus());
    EXPECT_TRUE(panel->cancelBtn()->isEnabled());
    EXPECT_EQ(panel->startPauseResumeBtn()->text(), "Pause");
    tick();
    EXPECT_EQ(shown(), "00:00:04");
    click(panel->startPauseResumeBtn());
    EXPECT_EQ(panel->timer().currentState, Timer::state::paused);
    EXPECT_EQ(panel->startPauseResumeBtn()->text(), "Resume");
    tick();
    EXPECT_EQ(shown(), "00:00:04") << "no tick counts while paused";
    click(panel->startPauseResumeBtn());
    EXPECT_EQ(panel->startPauseResumeBtn()->text(), "Pause");
    tick(3);
    EXPECT_EQ(shown(), "00:00:01");
    click(panel->cancelBtn());
    EXPECT_EQ(panel->timer().currentState, Timer::state::off);
    EXPECT_EQ(shown(), "00:00:05") << "the setting, not what was left";
    EXPECT_FALSE(panel->cancelBtn()->isEnabled());
    EXPECT_FALSE(panel->hourTextField()->isReadOnly());
    // Return drives the same button.
    QTest::keyClick(panel->secondTextField(), Qt::Key_Return);
    EXPECT_EQ(panel->timer().currentState, Timer::state::on);
}

TEST_F(TimerPanel, TheEndDeliversTimerDoneRepeatRestartsDismissTurnsOff) {
    UserDefaults::standard().setInteger("second", 2);
    UserDefaults::standard().setString("ringtone", "Radar");
    launch();
    click(panel->startPauseResumeBtn());
    tick();
    EXPECT_EQ(shown(), "00:00:01");
    EXPECT_TRUE(presenter->presented.isEmpty());
    tick();
    ASSERT_TRUE(test::waitUntil([&] { return !presenter->presented.isEmpty(); }));
    EXPECT_EQ(shown(), "00:00:00") << "zero only when the time is up";
    const UserNotificationPtr n = presenter->presented.last();
    EXPECT_EQ(n->identifier, "timer-");
    EXPECT_EQ(n->title, "Pendra");
    EXPECT_EQ(n->subtitle, "Timer done");
    EXPECT_EQ(n->actionButtonTitle, "Repeat");
    EXPECT_EQ(n->otherButtonTitle, "Dismiss");
    EXPECT_TRUE(panel->isRinging());
    EXPECT_EQ(panel->timer().currentState, Timer::state::on) << "finished, not yet answered";
    // The panel says so and offers the alert's answers.
    EXPECT_TRUE(panel->doneLabel()->isVisible());
    EXPECT_FALSE(panel->secondTextField()->isVisible());
    EXPECT_EQ(panel->startPauseResumeBtn()->text(), "Repeat");
    EXPECT_EQ(panel->cancelBtn()->text(), "Dismiss");
    tick(5);
    EXPECT_EQ(presenter->presented.size(), 1) << "a finished countdown delivers once";

    // Repeat in the panel answers the alert, once.
    click(panel->startPauseResumeBtn());
    EXPECT_FALSE(panel->isRinging());
    EXPECT_EQ(presenter->withdrawn, QList<QString>{"timer-"});
    EXPECT_EQ(panel->startPauseResumeBtn()->text(), "Pause");
    EXPECT_FALSE(panel->doneLabel()->isVisible());
    const Timer repeated = panel->timer();
    presenter->activate(n, ActivationType::ActionButtonClicked);
    EXPECT_EQ(panel->timer(), repeated);
    tick();
    EXPECT_EQ(shown(), "00:00:01") << "Repeat runs the setting again";
    tick();
    ASSERT_TRUE(test::waitUntil([&] { return presenter->presented.size() == 2; }));
    presenter->dismiss(presenter->presented.last());
    EXPECT_FALSE(panel->isRinging());
    EXPECT_EQ(panel->timer().currentState, Timer::state::off);
    EXPECT_EQ(panel->startPauseResumeBtn()->text(), "Start");
    EXPECT_EQ(panel->cancelBtn()->text(), "Cancel");
    EXPECT_FALSE(panel->cancelBtn()->isEnabled());
    EXPECT_FALSE(panel->secondTextField()->isReadOnly());
    EXPECT_TRUE(panel->secondTextField()->isVisible());
    EXPECT_EQ(shown(), "00:00:02");
    EXPECT_TRUE(center->deliveredNotifications().isEmpty());
}

TEST_F(TimerPanel, CancelWithdrawsTheAlertAndALateAnswerLeavesANewCountdownAlone) {
    UserDefaults::standard().setInteger("second", 1);
    UserDefaults::standard().setString("ringtone", "Radar");
    launch();
    click(panel->startPauseResumeBtn());
    tick();
    ASSERT_TRUE(test::waitUntil([&] { return !presenter->presented.isEmpty(); }));
    const UserNotificationPtr old = presenter->presented.last();
    ASSERT_TRUE(panel->isRinging());
    click(panel->cancelBtn());
    EXPECT_FALSE(panel->isRinging()) << "Cancel silences the alert";
    EXPECT_TRUE(center->deliveredNotifications().isEmpty());
    EXPECT_EQ(presenter->withdrawn, QList<QString>{"timer-"});
    // An answer already on its way from the withdrawn alert.
    click(panel->startPauseResumeBtn());
    const Timer running = panel->timer();
    presenter->activate(old, ActivationType::ActionButtonClicked);
    EXPECT_EQ(panel->timer(), running) << "Repeat on the old alert leaves the new countdown";
    presenter->dismiss(old);
    EXPECT_EQ(panel->timer().currentState, Timer::state::on);
    EXPECT_EQ(panel->startPauseResumeBtn()->text(), "Pause");
}

TEST_F(TimerPanel, ARealSourceCountsAndStopsWhileTransitionsRaceIt) {
    UserDefaults::standard().setInteger("second", 59);
    UserDefaults::standard().setInteger("minute", 59);
    launch(false);
    // Transitions from the main thread while the tick runs on its queue;
    // ThreadSanitizer builds check the locking.
    for (int i = 0; i < 200; ++i) {
        click(panel->startPauseResumeBtn());
        if (i % 3 == 0) {
            click(panel->cancelBtn());
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    if (panel->timer().currentState == Timer::state::off) {
        click(panel->startPauseResumeBtn());
    }
    if (panel->timer().currentState == Timer::state::paused) {
        click(panel->startPauseResumeBtn());
    }
    ASSERT_EQ(panel->timer().currentState, Timer::state::on);
    // The first firing ends the first second.
    ASSERT_TRUE(test::waitUntil([&] { return panel->timer().secondsToCount() < 59 * 60 + 59; }));
    click(panel->cancelBtn());
    const Timer off = panel->timer();
    test::waitUntil([] { return false; }, 1500);
    EXPECT_EQ(panel->timer(), off) << "no tick after Cancel";
    EXPECT_EQ(shown(), "00:59:59");
}

TEST_F(TimerPanel, ARealSourceResumesWithTheSecondThePauseInterrupted) {
    UserDefaults::standard().setInteger("second", 10);
    launch(false);
    click(panel->startPauseResumeBtn());
    test::waitUntil([] { return false; }, 100);
    click(panel->startPauseResumeBtn());
    ASSERT_EQ(shown(), "00:00:10") << "paused within the first second";
    // Paused across the first second's end, then resumed: about 0.9 s of
    // that second is still to run, so nothing counts at once.
    test::waitUntil([] { return false; }, 1100);
    click(panel->startPauseResumeBtn());
    test::waitUntil([] { return false; }, 300);
    EXPECT_EQ(shown(), "00:00:10");
    EXPECT_TRUE(test::waitUntil([&] { return shown() == "00:00:09"; }, 2000));
}

}  // namespace
}  // namespace pendra
