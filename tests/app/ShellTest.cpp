#include <gtest/gtest.h>

#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSet>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest/QTest>

#include "alarms/AlarmViewController.h"
#include "app/AppDelegate.h"
#include "app/Popover.h"
#include "app/SingleInstance.h"
#include "app/TabViewController.h"
#include "app/ViewController.h"
#include "common/NotificationReceiver.h"
#include "platform/Autostart.h"
#include "platform/DateFormatSource.h"
#include "platform/StatusNotifierItem.h"
#include "platform/UserDefaults.h"
#include "support/RecordingPresenter.h"
#include "support/TestEnvironment.h"
#include "timer/TimerViewController.h"

namespace pendra {
namespace {

TEST(DisplayPreferences, TwelveHourExactlyWhenTheFormatHasAnAAndQtMarkersBecomeOne) {
    EXPECT_TRUE(do24HourTimeFromFormat(std::nullopt));
    EXPECT_TRUE(do24HourTimeFromFormat(QString("HH:mm")));
    EXPECT_FALSE(do24HourTimeFromFormat(QString("h:mm a")));
    // Plain substring test: quoted literal text counts.
    EXPECT_FALSE(do24HourTimeFromFormat(QString("HH:mm 'at'")));
    for (const char* qt : {"h:mm AP", "h:mm ap", "h:mm A"}) {
        EXPECT_EQ(unicodePatternFromQtFormat(qt), "h:mm a") << qt;
    }
    EXPECT_EQ(unicodePatternFromQtFormat("'Ah' HH:mm"), "'Ah' HH:mm");
}

TEST(NotificationRouting, KindIsTheTextBeforeTheFirstDash) {
    EXPECT_EQ(notificationKind("alarm-12-4"), QString("alarm"));
    EXPECT_EQ(notificationKind("timer-"), QString("timer"));
    EXPECT_FALSE(notificationKind("alarm").has_value());
}

TEST(PopoverPlacement, NextToTheIconOnScreenOrAtThePointer) {
    // Screen 1280x800 with a 30 px panel at the top or left (the session test
    // has one at the bottom).
    const QRect screen(0, 0, 1280, 800);
    const QSize size(466, 370);
    const QRect topIcon(1000, 4, 22, 22);
    QRect g = popoverGeometry(size, topIcon, screen, QRect(0, 30, 1280, 770), {});
    EXPECT_EQ(g.top(), 30);
    EXPECT_NEAR(g.center().x(), topIcon.center().x(), 1);
    EXPECT_GE(
        popoverGeometry(size, QRect(4, 400, 22, 22), screen, QRect(30, 0, 1250, 800), {}).left(),
        30);
    for (const QRect& icon : {QRect(1270, 4, 22, 22), QRect(-5, 4, 22, 22),
                              QRect(1260, 776, 22, 22), QRect(0, 776, 22, 22)}) {
        g = popoverGeometry(size, icon, screen, screen, {});
        EXPECT_TRUE(screen.contains(g)) << g.x() << "," << g.y();
        EXPECT_FALSE(g.intersects(icon)) << icon.x() << "," << icon.y();
    }
    // No icon geometry: just below the pointer.
    g = popoverGeometry(size, QRect(), screen, screen, QPoint(640, 10));
    EXPECT_EQ(g.top(), 11 + 4);
    EXPECT_NEAR(g.center().x(), 640, 1);
    EXPECT_EQ(popoverGeometry(QSize(2000, 900), topIcon, screen, screen, {}).topLeft(),
              QPoint(0, 0));
}

class ShellTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::clearUserDefaults();
        QDir(qEnvironmentVariable("XDG_CONFIG_HOME") + "/autostart").removeRecursively();
    }
    UserNotificationCenter center{std::make_unique<test::RecordingPresenter>()};
};

TEST_F(ShellTest, AStoredTabThatNamesNoTabOpensTheFirst) {
    for (qint64 stored : {qint64(-1), qint64(4), (qint64(1) << 40) + 2}) {
        UserDefaults::standard().setInteger("lastSelected", stored);
        TabViewController tabs(center);
        tabs.viewDidLoad();
        EXPECT_EQ(tabs.currentIndex(), 0) << stored;
    }
}

bool reachable(QWidget* w, Qt::FocusPolicy policy) {
    return w->isVisible() && w->isEnabled() && (w->focusPolicy() & policy) &&
           !qobject_cast<QAbstractScrollArea*>(w) && !qobject_cast<QAbstractSpinBox*>(w->parent());
}

// The content in a shown, active popover, as the user has it: keys go through
// the window and the shortcut map.
TEST_F(ShellTest, TheRememberedTabOpensKeysActOnTheFocusedControlAndTabReachesEveryOne) {
    UserDefaults::standard().setInteger("lastSelected", 2);
    UserDefaults::standard().setStringArray("cities", {"London", "Tokyo"});
    auto* vc = new ViewController(center);
    Popover popover(vc, true);
    vc->viewDidLoad();
    popover.show();
    vc->viewDidAppear();
    QApplication::setActiveWindow(&popover);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&popover));
    TabViewController* tabs = vc->tabViewController();
    EXPECT_EQ(tabs->currentIndex(), 2);
    // Each showing stores the desktop's 24-hour choice for the panels.
    const bool do24 = do24HourTimeFromFormat(systemClockDateFormat());
    UserDefaults::standard().setBool("com.Zentho.Do24HourTime", !do24);
    vc->viewDidAppear();
    EXPECT_EQ(UserDefaults::standard().boolForKey("com.Zentho.Do24HourTime"), do24);
    auto press = [&](QWidget* w, Qt::Key key) {
        w->setFocus();
        QCoreApplication::processEvents();
        ASSERT_EQ(QApplication::focusWidget(), w);
        QTest::keyClick(popover.windowHandle(), key);
        QCoreApplication::processEvents();
    };

    // Stopwatch tab: Space and Return belong to the stopwatch, except on a button.
    tabs->setCurrentIndex(3);
    EXPECT_EQ(UserDefaults::standard().integerForKey("lastSelected"), 3);
    auto* start = vc->findChild<QPushButton*>("startStopBtn");
    ASSERT_NE(start, nullptr);
    QCheckBox* login = vc->startAtLoginCheckbox();
    EXPECT_FALSE(login->isChecked());
    press(login, Qt::Key_Space);
    EXPECT_TRUE(login->isChecked()) << "Space ticks the focused checkbox";
    EXPECT_TRUE(Autostart::isEnabled());
    EXPECT_EQ(start->text(), "Start") << "and does not start the stopwatch";
    // Clicking Start leaves the focus alone, so Return goes on recording laps.
    EXPECT_EQ(start->focusPolicy(), Qt::TabFocus);
    // Removed by hand while the popover was closed: the next showing says so.
    ASSERT_TRUE(QFile::remove(Autostart::entryPath()));
    vc->viewDidAppear();
    EXPECT_FALSE(login->isChecked());
    // A folder where the entry belongs cannot be replaced: the box stays off
    // (the autostart test checks the message).
    ASSERT_TRUE(QDir().mkpath(Autostart::entryPath() + "/keep"));
    press(login, Qt::Key_Return);
    EXPECT_FALSE(login->isChecked());

    // Timer tab: Return on Cancel cancels instead of pausing through the shortcut.
    tabs->setCurrentIndex(2);
    TimerViewController* timer = tabs->timerPanel();
    timer->secondTextField()->setText("30");
    timer->controlTextDidEndEditing();
    press(timer->secondTextField(), Qt::Key_Return);
    EXPECT_EQ(timer->timer().currentState, Timer::state::on) << "Return in a field starts";
    auto* cancel = vc->findChild<QPushButton*>("timerCancel");
    ASSERT_NE(cancel, nullptr);
    press(cancel, Qt::Key_Return);
    EXPECT_EQ(timer->timer().currentState, Timer::state::off);

    // Tab reaches every control of each tab in reading order, and each has a
    // spoken name.
    QTabBar* bar = tabs->tabBar();
    QStringList unnamed;
    for (int i = 0; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        QCoreApplication::processEvents();
        QWidget* panel = tabs->currentWidget();
        const QList<QWidget*> children = panel->findChildren<QWidget*>();
        QSet<QWidget*> toVisit(children.begin(), children.end());
        toVisit.removeIf([](QWidget* w) { return !reachable(w, Qt::TabFocus); });
        ASSERT_FALSE(toVisit.isEmpty()) << i;
        bar->setFocus();
        QList<QWidget*> visited;
        for (int step = 0; step < 80; ++step) {
            QTest::keyClick(popover.windowHandle(), Qt::Key_Tab);
            QWidget* f = QApplication::focusWidget();
            if (f == nullptr || f == bar) {
                break;
            }
            if (toVisit.remove(f)) {
                visited << f;
            }
        }
        EXPECT_TRUE(toVisit.isEmpty())
            << "tab " << i << ": " << (*toVisit.begin())->objectName().toStdString();
        // Reading order: never back up a row (the controls of one row share
        // its band of height).
        for (int k = 1; k < visited.size(); ++k) {
            EXPECT_GE(visited[k]->mapTo(panel, QPoint()).y(),
                      visited[k - 1]->mapTo(panel, QPoint()).y() - 12)
                << "tab " << i << ": " << visited[k - 1]->objectName().toStdString() << " then "
                << visited[k]->objectName().toStdString();
        }
        if (i == 1) {
            // A row in its editor shows the editing controls too.
            auto* add = vc->findChild<QAbstractButton*>("alarmNew");
            ASSERT_NE(add, nullptr);
            add->click();
            QCoreApplication::processEvents();
        }
        // What a screen reader announces; a lone letter ("x") says nothing.
        for (QWidget* w : vc->findChildren<QWidget*>()) {
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
            if (reachable(w, Qt::StrongFocus) && !qobject_cast<QTabBar*>(w) &&
                !qobject_cast<QTabWidget*>(w) &&
                (!a || a->text(QAccessible::Name).trimmed().size() < 2)) {
                unnamed << QString("%1 %2 on tab %3")
                               .arg(w->metaObject()->className(), w->objectName())
                               .arg(i);
            }
        }
    }
    EXPECT_TRUE(unnamed.isEmpty()) << unnamed.join("\n").toStdString();
}

// The quit warning's state table, answered through the real dialog.
class QuitTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        delegate = std::make_unique<AppDelegate>(center);
        delegate->applicationDidFinishLaunching();
    }
    void answer(bool quit, bool suppress) {
        QMessageBox* alert = delegate->quitAlert();
        ASSERT_NE(alert, nullptr);
        alert->checkBox()->setChecked(suppress);
        auto* button = alert->findChild<QPushButton*>(quit ? "quitAlertQuit" : "quitAlertCancel");
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton);
        ASSERT_TRUE(test::waitUntil([&] { return delegate->quitAlert() == nullptr; }));
    }
    std::unique_ptr<AppDelegate> delegate;
};

// A ticked Cancel, and quitting without a question after it, are the session
// test's.
TEST_F(QuitTest, UntickedCancelAsksAgainAndQuitEndsTheProgramWithNothingScheduled) {
    // The offscreen platform has no system tray (the desktops' session tests
    // follow the window giving way to a tray).
    EXPECT_TRUE(delegate->isPopoverShown());
    EXPECT_TRUE(delegate->popover()->isFramed());
    // The icon's tooltip follows the alarms, on the preferred clock.
    UserDefaults::standard().setBool("com.Zentho.Do24HourTime", true);
    AlarmViewController* alarms = delegate->viewController()->tabViewController()->alarmsPanel();
    alarms->newAlarmButtonClicked();
    alarms->doneBtnPressed();
    EXPECT_EQ(delegate->notifierItem()->toolTip().right(3), ":00");
    auto pending = makeNotification();
    pending->identifier = "timer-";
    pending->deliveryDate = QDateTime::currentDateTime().addDays(1);
    center.scheduleNotification(pending);

    QSignalSpy terminated(delegate.get(), &AppDelegate::terminated);
    delegate->requestTermination();
    answer(/*quit=*/false, /*suppress=*/false);
    EXPECT_EQ(delegate->applicationShouldTerminate(), TerminateReply::TerminateCancel);
    // A second request while the warning is shown keeps that one warning.
    QMessageBox* shown = delegate->quitAlert();
    EXPECT_NE(shown, nullptr);
    EXPECT_EQ(delegate->applicationShouldTerminate(), TerminateReply::TerminateCancel);
    EXPECT_EQ(delegate->quitAlert(), shown);
    EXPECT_EQ(terminated.count(), 0);
    EXPECT_EQ(center.scheduledNotifications().size(), 2);
    answer(/*quit=*/true, /*suppress=*/false);
    EXPECT_EQ(terminated.count(), 1);
    EXPECT_EQ(delegate->reply(), TerminateReply::TerminateNow);
    EXPECT_TRUE(UserDefaults::standard().contains("QuitAlertSuppression"));
    EXPECT_FALSE(UserDefaults::standard().boolForKey("QuitAlertSuppression"));
    EXPECT_TRUE(center.scheduledNotifications().isEmpty());
}

TEST(SingleInstanceTest, OnlyTheFirstClaimWinsAndALockLeftByAGoneProcessIsTakenOver) {
    QTemporaryDir dir, staleDir;
    SingleInstance first(dir.path());
    SingleInstance second(dir.path());
    EXPECT_TRUE(first.claim());
    EXPECT_FALSE(second.claim());
    {
        QFile stale(staleDir.path() + "/pendra.lock");
        ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
        // QLockFile's format: pid, application name, host name.
        stale.write("999999\npendra\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    }
    EXPECT_TRUE(SingleInstance(staleDir.path()).claim());
}

}  // namespace
}  // namespace pendra
