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
#include "support/TestEnvironment.h"
#include "timer/Timer.h"
#include "timer/TimerViewController.h"

namespace pendra {
namespace {

TEST(TimerRecord, CountsFiringsAndEndsWhenNothingIsLeft) {
    // Merged firings all count, hours too; a long sleep ends the countdown at once on wake.
    Timer t(2, 0, 0, "Radar");
    ASSERT_TRUE(t.countDown(3539));
    EXPECT_EQ(QList<qint64>({t.hoursLeft, t.minutesLeft, t.secondsLeft}), QList<qint64>({1, 1, 1}));
    EXPECT_FALSE(t.countDown(7200));
    EXPECT_EQ(t.secondsToCount(), 0);
}

TEST(TimerRecord, DigitFieldsKeepTwoDigitsWithinTheirMaximum) {
    // Typing in the panel covers the common cases; these are the edges.
    EXPECT_EQ(filterTimerDigits("75", 59), "59");
    EXPECT_EQ(filterTimerDigits("099", 23), "09");
}

// The panel's notifications come back to it, as the application routes them.
class TimerPanel : public ::testing::Test, public UserNotificationCenterDelegate {
protected:
    void SetUp() override {
        ASSERT_TRUE(share.isValid());
        QDir().mkpath(share.path() + "/ringtones");
        for (const char* name : {"Radar", "Bells"}) {
            QFile f(share.path() + "/ringtones/" + name + ".m4r");
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write("not a sound");
        }
        Paths::setShareDirForTesting(share.path());
        test::clearUserDefaults();
    }
    void TearDown() override { Paths::setShareDirForTesting({}); }
    void launch(bool manual = true) {
        auto p = std::make_unique<test::RecordingPresenter>();
        presenter = p.get();
        center = std::make_unique<UserNotificationCenter>(std::move(p));
        panel = std::make_unique<TimerViewController>(*center);
        panel->tickDriver().setManualForTesting(manual);
        center->setDelegate(this);
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

    void userNotificationCenterDidDeliver(UserNotificationCenter& c,
                                          const UserNotificationPtr& n) override {
        panel->notificationDidDeliver(c, n);
    }
    void userNotificationCenterDidActivate(UserNotificationCenter& c,
                                           const UserNotificationPtr& n) override {
        panel->notificationDidActivate(c, n);
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

TEST_F(TimerPanel, TypingFiltersAndCommitsAtTheEndOfEditingAndSettingsComeBack) {
    launch();
    QComboBox* tones = panel->ringtonesPopUpButton();
    type(panel->hourTextField(), "30");
    EXPECT_EQ(panel->hourStepper()->value(), 23);
    EXPECT_FALSE(UserDefaults::standard().contains("hour")) << "not while typing";
    panel->hourStepper()->stepUp();
    EXPECT_EQ(panel->hourStepper()->value(), 23) << "steppers stop at the field's maximum";
    type(panel->minuteTextField(), "1a2b3");
    EXPECT_EQ(panel->minuteTextField()->text(), "12");
    type(panel->secondTextField(), "");
    panel->secondTextField()->clearFocus();
    EXPECT_EQ(shown(), "23:12:00");
    EXPECT_EQ(UserDefaults::standard().integerForKey("minute"), 12);
    type(panel->hourTextField(), "7");
    panel->hourTextField()->clearFocus();
    EXPECT_EQ(panel->hourTextField()->text(), "07");

    panel->secondStepper()->stepUp();
    EXPECT_EQ(UserDefaults::standard().integerForKey("second"), 1) << "steppers store at once";

    // The chosen tone can be heard before it rings, until a start; "None",
    // listed first, has nothing to play.
    TonePreview* preview = panel->ringtonePreview();
    for (int i : {0, 1}) {
        tones->setCurrentIndex(i);
        emit tones->activated(i);
        EXPECT_EQ(preview->isEnabled(), i == 1);
    }
    click(preview);
    EXPECT_TRUE(preview->isPlaying());
    click(panel->startPauseResumeBtn());
    EXPECT_FALSE(preview->isPlaying());
    click(panel->cancelBtn());
    launch();
    EXPECT_EQ(shown(), "07:12:01");
    EXPECT_EQ(panel->ringtonesPopUpButton()->currentText(), "Bells");
}

TEST_F(TimerPanel, StateTableTheEndRepeatDismissAndCancel) {
    UserDefaults::standard().setInteger("second", 3);
    UserDefaults::standard().setString("ringtone", "Radar");
    launch();
    click(panel->startPauseResumeBtn());
    EXPECT_TRUE(panel->hourTextField()->isReadOnly());
    EXPECT_FALSE(panel->secondStepper()->isEnabled());
    EXPECT_FALSE(panel->ringtonesPopUpButton()->isEnabled());
    tick();
    click(panel->startPauseResumeBtn());
    tick();
    EXPECT_EQ(shown(), "00:00:02") << "no tick counts while paused";
    click(panel->startPauseResumeBtn());
    tick();
    EXPECT_EQ(shown(), "00:00:01");
    click(panel->cancelBtn());
    EXPECT_EQ(shown(), "00:00:03") << "the setting, not what was left";
    EXPECT_FALSE(panel->hourTextField()->isReadOnly());
    click(panel->startPauseResumeBtn());

    tick(2);
    EXPECT_TRUE(presenter->presented.isEmpty());
    tick();
    ASSERT_TRUE(test::waitUntil([&] { return !presenter->presented.isEmpty(); }));
    EXPECT_EQ(shown(), "00:00:00") << "zero only when the time is up";
    const UserNotificationPtr n = presenter->presented.last();
    EXPECT_TRUE(panel->isRinging());
    EXPECT_TRUE(panel->doneLabel()->isVisible());
    EXPECT_EQ(panel->startPauseResumeBtn()->text(), "Repeat");
    tick(5);
    EXPECT_EQ(presenter->presented.size(), 1) << "a finished countdown delivers once";

    // Repeat in the panel answers the alert, once.
    click(panel->startPauseResumeBtn());
    EXPECT_FALSE(panel->isRinging());
    EXPECT_EQ(presenter->withdrawn, QList<QString>{"timer-"});
    EXPECT_FALSE(panel->doneLabel()->isVisible());
    const Timer repeated = panel->timer();
    presenter->activate(n, ActivationType::ActionButtonClicked);
    EXPECT_EQ(panel->timer(), repeated);
    tick(2);
    EXPECT_EQ(shown(), "00:00:01") << "Repeat runs the setting again";
    tick();
    ASSERT_TRUE(test::waitUntil([&] { return presenter->presented.size() == 2; }));
    // Dismissed: silent, off and showing the setting again (the session test).
    presenter->dismiss(presenter->presented.last());
    EXPECT_TRUE(center->deliveredNotifications().isEmpty());

    // Cancel withdraws a ringing alert; a late answer from it leaves a new
    // countdown alone.
    click(panel->startPauseResumeBtn());
    tick(3);
    ASSERT_TRUE(test::waitUntil([&] { return presenter->presented.size() == 3; }));
    const UserNotificationPtr old = presenter->presented.last();
    ASSERT_TRUE(panel->isRinging());
    click(panel->cancelBtn());
    EXPECT_FALSE(panel->isRinging()) << "Cancel silences the alert";
    EXPECT_TRUE(center->deliveredNotifications().isEmpty());
    // An answer already on its way from the withdrawn alert.
    click(panel->startPauseResumeBtn());
    const Timer running = panel->timer();
    presenter->activate(old, ActivationType::ActionButtonClicked);
    EXPECT_EQ(panel->timer(), running) << "Repeat on the old alert leaves the new countdown";
    presenter->dismiss(old);
    EXPECT_EQ(panel->timer().currentState, Timer::state::on);
}

TEST_F(TimerPanel, ARealSourceSurvivesRacingTransitionsAndResumesMidSecond) {
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
    while (panel->timer().currentState != Timer::state::on) {
        click(panel->startPauseResumeBtn());
    }
    // The first firing ends the first second.
    ASSERT_TRUE(test::waitUntil([&] { return panel->timer().secondsToCount() < 59 * 60 + 59; }));
    click(panel->cancelBtn());
    const Timer off = panel->timer();
    test::waitUntil([] { return false; }, 1500);
    EXPECT_EQ(panel->timer(), off) << "no tick after Cancel";

    // Paused across the first second's end, then resumed: about 0.9 s of
    // that second is still to run, so nothing counts at once.
    click(panel->startPauseResumeBtn());
    test::waitUntil([] { return false; }, 100);
    click(panel->startPauseResumeBtn());
    ASSERT_EQ(shown(), "00:59:59") << "paused within the first second";
    test::waitUntil([] { return false; }, 1100);
    click(panel->startPauseResumeBtn());
    EXPECT_GT(panel->tickDriver().elapsed(), -std::chrono::milliseconds(950)) << "not a new second";
    test::waitUntil([] { return false; }, 300);
    EXPECT_EQ(shown(), "00:59:59");
    EXPECT_TRUE(test::waitUntil([&] { return shown() == "00:59:58"; }, 2000));
}

}  // namespace
}  // namespace pendra
