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
#include <QWindow>
#include <QtTest/QTest>

#include "app/AppDelegate.h"
#include "app/Popover.h"
#include "app/SingleInstance.h"
#include "app/TabViewController.h"
#include "app/ViewController.h"
#include "common/NotificationReceiver.h"
#include "platform/Autostart.h"
#include "platform/DateFormatSource.h"
#include "platform/NotificationPresenter.h"
#include "platform/UserDefaults.h"
#include "support/TestEnvironment.h"
#include "timer/TimerViewController.h"

namespace pendra {
namespace {

TEST(DisplayPreferences, TwelveHourExactlyWhenTheFormatHasAnA) {
    EXPECT_TRUE(do24HourTimeFromFormat(std::nullopt));
    EXPECT_TRUE(do24HourTimeFromFormat(QString("HH:mm")));
    EXPECT_FALSE(do24HourTimeFromFormat(QString("h:mm a")));
    // Plain substring test: quoted literal text counts, a capital A does not.
    EXPECT_FALSE(do24HourTimeFromFormat(QString("HH:mm 'at'")));
    EXPECT_TRUE(do24HourTimeFromFormat(QString("HH:mm A")));
    EXPECT_TRUE(do24HourTimeFromFormat(QString("")));
}

TEST(DisplayPreferences, QtAmPmMarkersBecomeTheUnicodeField) {
    EXPECT_EQ(unicodePatternFromQtFormat("h:mm AP"), "h:mm a");
    EXPECT_EQ(unicodePatternFromQtFormat("h:mm ap"), "h:mm a");
    EXPECT_EQ(unicodePatternFromQtFormat("h:mm A"), "h:mm a");
    EXPECT_EQ(unicodePatternFromQtFormat("HH:mm"), "HH:mm");
    EXPECT_EQ(unicodePatternFromQtFormat("HH'h'mm"), "HH'h'mm");
    EXPECT_EQ(unicodePatternFromQtFormat("'Ah' HH:mm"), "'Ah' HH:mm");
}

TEST(NotificationRouting, KindIsTheTextBeforeTheFirstDash) {
    EXPECT_EQ(notificationKind("alarm-12-4"), QString("alarm"));
    EXPECT_EQ(notificationKind("timer-"), QString("timer"));
    EXPECT_EQ(notificationKind("Alarm-1-0"), QString("Alarm"));
    EXPECT_EQ(notificationKind("-x"), QString(""));
    EXPECT_FALSE(notificationKind("alarm").has_value());
    EXPECT_FALSE(notificationKind("").has_value());
}

// Screen 1280x800 with a 30 px panel at the top or the bottom.
const QRect kScreen(0, 0, 1280, 800);
const QSize kSize(466, 370);

TEST(PopoverPlacement, HangsBelowAnIconInATopPanel) {
    const QRect icon(1000, 4, 22, 22);
    const QRect g = popoverGeometry(kSize, icon, kScreen, QRect(0, 30, 1280, 770), {});
    EXPECT_EQ(g.top(), 30);
    EXPECT_NEAR(g.center().x(), icon.center().x(), 1);
    EXPECT_TRUE(kScreen.contains(g));
}

TEST(PopoverPlacement, StandsAboveAnIconInABottomPanel) {
    const QRect icon(600, 774, 22, 22);
    const QRect g = popoverGeometry(kSize, icon, kScreen, QRect(0, 0, 1280, 770), {});
    EXPECT_EQ(g.bottom(), 769);
    EXPECT_LT(g.bottom(), icon.top());
    EXPECT_TRUE(kScreen.contains(g));
}

TEST(PopoverPlacement, StaysOnScreenAtTheCorners) {
    for (const QRect& icon : {QRect(1270, 4, 22, 22), QRect(-5, 4, 22, 22),
                              QRect(1260, 776, 22, 22), QRect(0, 776, 22, 22)}) {
        const QRect g = popoverGeometry(kSize, icon, kScreen, kScreen, {});
        EXPECT_TRUE(kScreen.contains(g)) << g.x() << "," << g.y();
        EXPECT_FALSE(g.intersects(icon)) << icon.x() << "," << icon.y();
    }
}

TEST(PopoverPlacement, BesideAnIconInASidePanel) {
    const QRect icon(4, 400, 22, 22);
    const QRect g = popoverGeometry(kSize, icon, kScreen, QRect(30, 0, 1250, 800), {});
    EXPECT_GE(g.left(), 30);
    EXPECT_TRUE(kScreen.contains(g));
}

TEST(PopoverPlacement, OpensAtThePointerWithoutAnIconGeometry) {
    const QRect g = popoverGeometry(kSize, QRect(), kScreen, kScreen, QPoint(640, 10));
    EXPECT_EQ(g.top(), 11 + 4);
    EXPECT_NEAR(g.center().x(), 640, 1);
}

TEST(PopoverPlacement, LargerThanTheScreenStartsAtItsCorner) {
    const QRect g = popoverGeometry(QSize(2000, 900), QRect(100, 4, 22, 22), kScreen, kScreen, {});
    EXPECT_EQ(g.topLeft(), QPoint(0, 0));
}

class QuietPresenter : public NotificationPresenter {
public:
    void setCallbacks(Callbacks) override {}
    void present(const UserNotificationPtr&) override {}
    void withdraw(const UserNotificationPtr&) override {}
    void withdrawAll() override {}
};

class ShellTest : public ::testing::Test {
protected:
    void SetUp() override { test::clearUserDefaults(); }
    UserNotificationCenter center{std::make_unique<QuietPresenter>()};
};

TEST_F(ShellTest, TabsInOrderAndTheRememberedOneOpens) {
    UserDefaults::standard().setInteger("lastSelected", 2);
    TabViewController tabs(center);
    ASSERT_EQ(tabs.count(), 4);
    EXPECT_EQ(tabs.tabText(0), "World Clock");
    EXPECT_EQ(tabs.tabText(1), "Alarms");
    EXPECT_EQ(tabs.tabText(2), "Timer");
    EXPECT_EQ(tabs.tabText(3), "Stopwatch");
    EXPECT_NE(tabs.alarmsPanel(), nullptr);
    EXPECT_NE(tabs.timerPanel(), nullptr);
    tabs.viewDidLoad();
    EXPECT_EQ(tabs.currentIndex(), 2);
    tabs.setCurrentIndex(3);
    EXPECT_EQ(UserDefaults::standard().integerForKey("lastSelected"), 3);
}

TEST_F(ShellTest, AStoredTabThatNamesNoTabOpensTheFirst) {
    for (qint64 stored : {qint64(-1), qint64(4), qint64(1) << 40}) {
        UserDefaults::standard().setInteger("lastSelected", stored);
        TabViewController tabs(center);
        tabs.viewDidLoad();
        EXPECT_EQ(tabs.currentIndex(), 0) << stored;
        EXPECT_EQ(UserDefaults::standard().integerForKey("lastSelected"), 0);
    }
    UserDefaults::standard().setString("lastSelected", "two");
    TabViewController tabs(center);
    tabs.viewDidLoad();
    EXPECT_EQ(tabs.currentIndex(), 0);
}

TEST_F(ShellTest, ShowingThePopoverStoresTheTwentyFourHourFlag) {
    ViewController vc(center);
    vc.viewDidLoad();
    EXPECT_FALSE(UserDefaults::standard().contains("com.Zentho.Do24HourTime"));
    vc.viewDidAppear();
    EXPECT_EQ(UserDefaults::standard().boolForKey("com.Zentho.Do24HourTime"),
              do24HourTimeFromFormat(systemClockDateFormat()));
    EXPECT_TRUE(UserDefaults::standard().contains("com.Zentho.Do24HourTime"));
}

TEST_F(ShellTest, StartAtLoginFollowsTheEntryAndRevertsWhenItCannotBeWritten) {
    const QString autostart = qEnvironmentVariable("XDG_CONFIG_HOME") + "/autostart";
    QDir(autostart).removeRecursively();
    ViewController vc(center);
    vc.viewDidLoad();
    vc.show();
    vc.viewDidAppear();
    QCheckBox* box = vc.startAtLoginCheckbox();
    ASSERT_EQ(box->objectName(), "startAtLoginCheckbox");
    EXPECT_FALSE(box->isChecked());
    QTest::mouseClick(box, Qt::LeftButton, {}, box->rect().center());
    EXPECT_TRUE(box->isChecked());
    EXPECT_TRUE(Autostart::isEnabled());
    // Removed by hand while the popover was closed: the next showing says so.
    ASSERT_TRUE(QFile::remove(Autostart::entryPath()));
    vc.viewDidAppear();
    EXPECT_FALSE(box->isChecked());
    // A folder where the entry belongs cannot be replaced: the box stays off.
    ASSERT_TRUE(QDir().mkpath(Autostart::entryPath() + "/keep"));
    testing::internal::CaptureStdout();
    QTest::mouseClick(box, Qt::LeftButton, {}, box->rect().center());
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_FALSE(box->isChecked());
    EXPECT_NE(out.find("Cannot write the login item"), std::string::npos) << out;
    QDir(autostart).removeRecursively();
}

// What a screen reader would announce for each control the user can reach.
QString accessibleName(QWidget* w) {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
    return a ? a->text(QAccessible::Name).trimmed() : QString();
}

TEST_F(ShellTest, EveryReachableControlOfEveryTabHasASpokenName) {
    UserDefaults::standard().setStringArray("cities", {"London"});
    ViewController vc(center);
    vc.viewDidLoad();
    vc.show();
    vc.viewDidAppear();
    TabViewController* tabs = vc.tabViewController();
    QStringList unnamed;
    for (int i = 0; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        if (i == 1) {
            // A row in its editor shows the editing controls too.
            auto* add = vc.findChild<QAbstractButton*>("alarmNew");
            ASSERT_NE(add, nullptr);
            add->click();
        }
        QCoreApplication::processEvents();
        for (QWidget* w : vc.findChildren<QWidget*>()) {
            if (!w->isVisible() || w->focusPolicy() == Qt::NoFocus ||
                qobject_cast<QAbstractScrollArea*>(w) || qobject_cast<QTabBar*>(w) ||
                qobject_cast<QTabWidget*>(w) || qobject_cast<QAbstractSpinBox*>(w->parent()) ||
                !w->isEnabled()) {
                continue;
            }
            const QString name = accessibleName(w);
            // A lone letter ("x", "X") says nothing about what it does.
            if (name.size() < 2) {
                unnamed << QStringLiteral("%1 %2 on tab %3")
                               .arg(w->metaObject()->className(), w->objectName())
                               .arg(i);
            }
        }
    }
    EXPECT_TRUE(unnamed.isEmpty()) << unnamed.join("\n").toStdString();
}

// The content in a shown, active popover, as the user has it: keys then go
// through the window and the shortcut map.
struct OpenPopover {
    explicit OpenPopover(UserNotificationCenter& center)
        : content(new ViewController(center)), popover(content, true) {
        content->viewDidLoad();
        popover.show();
        content->viewDidAppear();
        QApplication::setActiveWindow(&popover);
    }
    bool active() { return QTest::qWaitForWindowActive(&popover); }
    ViewController* content;
    Popover popover;
};

TEST_F(ShellTest, SpaceAndReturnActOnTheFocusedButtonBeforeAnyPanelShortcut) {
    QDir(qEnvironmentVariable("XDG_CONFIG_HOME") + "/autostart").removeRecursively();
    OpenPopover open(center);
    ASSERT_TRUE(open.active());
    ViewController* vc = open.content;
    Popover& popover = open.popover;
    QWindow* window = popover.windowHandle();
    TabViewController* tabs = vc->tabViewController();
    auto press = [&](QWidget* w, Qt::Key key) {
        w->setFocus();
        QCoreApplication::processEvents();
        ASSERT_EQ(QApplication::focusWidget(), w);
        QTest::keyClick(window, key);
        QCoreApplication::processEvents();
    };

    // Stopwatch tab: Space and Return belong to the stopwatch, except on a button.
    tabs->setCurrentIndex(3);
    auto* start = vc->findChild<QPushButton*>("startStopBtn");
    ASSERT_NE(start, nullptr);
    QCheckBox* login = vc->startAtLoginCheckbox();
    press(login, Qt::Key_Space);
    EXPECT_TRUE(login->isChecked()) << "Space ticks the focused checkbox";
    EXPECT_EQ(start->text(), "Start") << "and does not start the stopwatch";
    press(login, Qt::Key_Return);
    EXPECT_FALSE(login->isChecked()) << "Return toggles it too";
    // Clicking Start leaves the focus alone, so Return goes on recording laps.
    EXPECT_EQ(start->focusPolicy(), Qt::TabFocus);
    EXPECT_EQ(login->focusPolicy(), Qt::TabFocus);

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
    QDir(qEnvironmentVariable("XDG_CONFIG_HOME") + "/autostart").removeRecursively();
}

TEST_F(ShellTest, TabReachesEveryControlOfEachTabInReadingOrder) {
    UserDefaults::standard().setStringArray("cities", {"London", "Tokyo"});
    OpenPopover open(center);
    ASSERT_TRUE(open.active());
    ViewController* vc = open.content;
    Popover& popover = open.popover;
    TabViewController* tabs = vc->tabViewController();
    for (int i = 0; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        QCoreApplication::processEvents();
        QWidget* panel = tabs->currentWidget();
        QSet<QWidget*> reachable;
        for (QWidget* w : panel->findChildren<QWidget*>()) {
            if (w->isVisible() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus) &&
                !qobject_cast<QAbstractScrollArea*>(w) &&
                !qobject_cast<QAbstractSpinBox*>(w->parent())) {
                reachable.insert(w);
            }
        }
        ASSERT_FALSE(reachable.isEmpty()) << i;
        tabs->tabBar()->setFocus();
        QList<QWidget*> visited;
        for (int step = 0; step < 80; ++step) {
            QTest::keyClick(popover.windowHandle(), Qt::Key_Tab);
            QWidget* f = QApplication::focusWidget();
            if (f == nullptr || f == tabs->tabBar()) {
                break;
            }
            if (reachable.contains(f) && !visited.contains(f)) {
                visited << f;
            }
        }
        QStringList missed;
        for (QWidget* w : reachable) {
            if (!visited.contains(w)) {
                missed << w->objectName() + "(" + w->metaObject()->className() + ")";
            }
        }
        EXPECT_TRUE(missed.isEmpty()) << "tab " << i << ": " << missed.join(", ").toStdString();
        // Reading order: never back up a row (the controls of one row share
        // its band of height).
        for (int k = 1; k < visited.size(); ++k) {
            const QPoint a = visited[k - 1]->mapTo(panel, QPoint(0, 0));
            const QPoint b = visited[k]->mapTo(panel, QPoint(0, 0));
            EXPECT_GE(b.y(), a.y() - 12)
                << "tab " << i << ": " << visited[k - 1]->objectName().toStdString() << " then "
                << visited[k]->objectName().toStdString();
        }
    }
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
        EXPECT_EQ(alert->text(), "Are you sure you want to quit?");
        EXPECT_EQ(alert->informativeText(),
                  "Alarms and timers will not go off if the app is closed.");
        EXPECT_EQ(alert->defaultButton()->text(), "Quit");
        alert->checkBox()->setChecked(suppress);
        auto* button = alert->findChild<QPushButton*>(quit ? "quitAlertQuit" : "quitAlertCancel");
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton);
        ASSERT_TRUE(test::waitUntil([&] { return delegate->quitAlert() == nullptr; }));
    }
    std::unique_ptr<AppDelegate> delegate;
};

TEST_F(QuitTest, FirstQuitAsksAndQuitEndsTheProgram) {
    QSignalSpy terminated(delegate.get(), &AppDelegate::terminated);
    EXPECT_EQ(delegate->applicationShouldTerminate(), TerminateReply::TerminateCancel);
    answer(/*quit=*/true, /*suppress=*/false);
    EXPECT_EQ(terminated.count(), 1);
    EXPECT_EQ(delegate->reply(), TerminateReply::TerminateNow);
    EXPECT_TRUE(UserDefaults::standard().contains("QuitAlertSuppression"));
    EXPECT_FALSE(UserDefaults::standard().boolForKey("QuitAlertSuppression"));
}

TEST_F(QuitTest, TickedCancelKeepsRunningThenTheNextQuitIsImmediate) {
    QSignalSpy terminated(delegate.get(), &AppDelegate::terminated);
    delegate->requestTermination();
    answer(/*quit=*/false, /*suppress=*/true);
    EXPECT_EQ(terminated.count(), 0);
    EXPECT_TRUE(UserDefaults::standard().boolForKey("QuitAlertSuppression"));
    delegate->requestTermination();
    EXPECT_EQ(delegate->quitAlert(), nullptr);
    EXPECT_EQ(terminated.count(), 1);
}

TEST_F(QuitTest, UntickedCancelAsksAgain) {
    delegate->requestTermination();
    answer(/*quit=*/false, /*suppress=*/false);
    EXPECT_EQ(delegate->applicationShouldTerminate(), TerminateReply::TerminateCancel);
    EXPECT_NE(delegate->quitAlert(), nullptr);
    // A second request while the warning is shown keeps that one warning.
    QMessageBox* shown = delegate->quitAlert();
    EXPECT_EQ(delegate->applicationShouldTerminate(), TerminateReply::TerminateCancel);
    EXPECT_EQ(delegate->quitAlert(), shown);
    answer(/*quit=*/false, /*suppress=*/false);
}

TEST_F(QuitTest, StoredSuppressionQuitsWithoutAsking) {
    UserDefaults::standard().setBool("QuitAlertSuppression", true);
    EXPECT_EQ(delegate->applicationShouldTerminate(), TerminateReply::TerminateNow);
    EXPECT_EQ(delegate->quitAlert(), nullptr);
}

TEST_F(QuitTest, LaunchAndTerminationEmptyTheCenter) {
    auto pending = makeNotification();
    pending->identifier = "alarm-0-0";
    pending->deliveryDate = QDateTime::currentDateTime().addDays(1);
    center.scheduleNotification(pending);
    ASSERT_EQ(center.scheduledNotifications().size(), 1);
    delegate->terminateNow();
    EXPECT_TRUE(center.scheduledNotifications().isEmpty());
    EXPECT_TRUE(center.deliveredNotifications().isEmpty());

    center.scheduleNotification(pending);
    AppDelegate relaunched(center);
    relaunched.applicationDidFinishLaunching();
    EXPECT_TRUE(center.scheduledNotifications().isEmpty());
}

TEST_F(QuitTest, WithoutATrayThePopoverOpensAsAWindow) {
    // The offscreen platform has no system tray.
    EXPECT_FALSE(delegate->hasStatusButton());
    EXPECT_TRUE(delegate->isPopoverShown());
    EXPECT_TRUE(delegate->popover()->isFramed());
    EXPECT_EQ(delegate->popover()->windowTitle(), "Pendra");
    delegate->togglePopover();
    EXPECT_FALSE(delegate->isPopoverShown());
    delegate->togglePopover();
    EXPECT_TRUE(delegate->isPopoverShown());
}

TEST(SingleInstanceTest, OnlyTheFirstClaimWins) {
    QTemporaryDir dir;
    SingleInstance first(dir.path());
    SingleInstance second(dir.path());
    EXPECT_TRUE(first.claim());
    EXPECT_FALSE(second.claim());
}

TEST(SingleInstanceTest, ALockLeftByAGoneProcessIsTakenOver) {
    QTemporaryDir dir;
    {
        QFile stale(dir.path() + "/pendra.lock");
        ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
        // QLockFile's format: pid, application name, host name.
        stale.write("999999\npendra\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    }
    SingleInstance instance(dir.path());
    EXPECT_TRUE(instance.claim());
}

}  // namespace
}  // namespace pendra
