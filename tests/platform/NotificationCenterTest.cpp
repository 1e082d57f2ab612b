#include <gtest/gtest.h>

#include <QPushButton>
#include <QThread>
#include <QtTest/QTest>
#include <thread>

#include "platform/AlertWindowPresenter.h"
#include "platform/Clock.h"
#include "platform/FreedesktopPresenter.h"
#include "platform/UserNotificationCenter.h"
#include "support/RecordingPresenter.h"
#include "support/TestEnvironment.h"
#include "worldclock/ZoneTestSupport.h"

namespace pendra {
namespace {

// An alarm-like notification, due at `date` (none: delivered at once).
UserNotificationPtr alarmNote(const QString& id, std::optional<QDateTime> date = {},
                              int repeat = 0) {
    auto n = makeNotification();
    n->identifier = id;
    n->actionButtonTitle = "Snooze";
    n->otherButtonTitle = "Dismiss";
    n->deliveryDate = date;
    n->deliveryRepeatIntervalDays = repeat;
    return n;
}

QDateTime on(int month, int day, int h, int m, int s = 0) {
    return QDateTime(QDate(2026, month, day), QTime(h, m, s));
}

using Note = const UserNotificationPtr&;

// A presenter's answers, as "activate:<id>:<type>" and "dismiss:<id>".
NotificationPresenter::Callbacks recordInto(QList<QString>& events) {
    return {[&events](Note n, ActivationType t) {
                events << QString("activate:%1:%2").arg(n->identifier).arg(int(t));
            },
            [&events](Note n) { events << "dismiss:" + n->identifier; }};
}

// Records the center's callbacks, in order, as "deliver:<id>" and so on.
struct RecordingDelegate : UserNotificationCenterDelegate {
    using Center = UserNotificationCenter;
    void userNotificationCenterDidDeliver(Center&, Note n) override {
        thread = QThread::currentThread();
        events.append("deliver:" + n->identifier);
    }
    void userNotificationCenterDidActivate(Center&, Note n) override {
        events.append(QString("activate:%1:%2").arg(n->identifier).arg(int(n->activationType)));
    }
    void userNotificationCenterDidDismissAlert(Center&, Note n) override {
        events.append("dismiss:" + n->identifier);
    }
    bool userNotificationCenterShouldPresent(Center&, Note) override { return true; }
    void userNotificationCenterWillDeliver(Center&, Note n) override {
        notices.append(n->identifier);
    }
    QList<QString> events, notices;
    QThread* thread = nullptr;
};

class CenterTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto p = std::make_unique<test::RecordingPresenter>();
        presenter = p.get();
        center = std::make_unique<UserNotificationCenter>(std::move(p));
        center->setDelegate(&delegate);
        Clock::setNowForTesting([this] { return now; });
    }
    void TearDown() override { Clock::setNowForTesting({}); }
    void moveTo(const QDateTime& t) {
        now = t;
        center->deliverDueNotifications();
    }
    void schedule(const QString& id, const QDateTime& date) {
        center->scheduleNotification(alarmNote(id, date));
    }

    QDateTime now = on(12, 7, 6, 0);
    test::RecordingPresenter* presenter = nullptr;
    RecordingDelegate delegate;
    std::unique_ptr<UserNotificationCenter> center;
};

// Replaced or removed ones never come; the rest come once, at their date.
TEST_F(CenterTest, DeliversAtItsDateOnceWithNoticeAheadAndClockJumpsForwardAndBack) {
    schedule("alarm-0-0", on(12, 7, 7, 0));
    schedule("alarm-1-0", on(12, 7, 6, 30));
    schedule("alarm-1-0", on(12, 7, 7, 30));  // replaces the pending one
    schedule("alarm-2-0", on(12, 7, 12, 0));
    schedule("alarm-3-0", on(12, 7, 6, 50));
    schedule("alarm-4-0", on(12, 7, 13, 0));
    center->removeScheduledNotification(alarmNote("alarm-3-0"));
    ASSERT_EQ(center->scheduledNotifications().size(), 4);
    moveTo(on(12, 7, 6, 59, 49));
    EXPECT_TRUE(delegate.notices.isEmpty());
    moveTo(on(12, 7, 6, 59, 50));
    moveTo(on(12, 7, 6, 59, 59));
    EXPECT_EQ(delegate.notices, QList<QString>{"alarm-0-0"}) << "once, ten seconds ahead";
    EXPECT_TRUE(delegate.events.isEmpty());
    moveTo(on(12, 7, 7, 0));
    EXPECT_EQ(delegate.events, QList<QString>{"deliver:alarm-0-0"});
    EXPECT_EQ(center->deliveredNotifications().size(), 1);
    // Forwards past the next: at once, once; backwards: nothing early, nothing again.
    moveTo(on(12, 7, 8, 0));
    moveTo(on(12, 7, 5, 0));
    moveTo(on(12, 7, 11, 59));
    EXPECT_EQ(delegate.events, (QList<QString>{"deliver:alarm-0-0", "deliver:alarm-1-0"}));
    moveTo(on(12, 7, 12, 0));
    EXPECT_EQ(delegate.events.size(), 3);
    center->setScheduledNotifications({});
    moveTo(on(12, 8, 0, 0));
    EXPECT_EQ(delegate.events.size(), 3);
}

TEST_F(CenterTest, MissedRepeatsAreDeliveredOnceAndRepeatsKeepTheirWallTimeAcrossDst) {
    test::ScopedTimeZone zone("Europe/Berlin");
    now = on(3, 20, 12, 0);
    // Mondays 07:00; the clocks go forward on Sunday 29 March.
    auto n = alarmNote("alarm-0-2", on(3, 23, 7, 0), 7);
    center->scheduleNotification(n);
    moveTo(on(3, 23, 7, 0));
    ASSERT_EQ(delegate.events.size(), 1);
    EXPECT_EQ(*n->deliveryDate, on(3, 30, 7, 0));
    moveTo(on(3, 30, 7, 0));
    EXPECT_EQ(delegate.events.size(), 2);
    // Asleep for three weeks and a day: once, then the next future date.
    moveTo(on(4, 28, 9, 0));
    EXPECT_EQ(delegate.events.size(), 3);
    EXPECT_EQ(*n->deliveryDate, on(5, 4, 7, 0));
}

TEST_F(CenterTest, DeliveriesFromAnotherThreadOrTheRealWallClockReachTheMainThread) {
    auto n = alarmNote("alarm-3-0");
    std::thread([&] { center->deliverNotification(n); }).join();
    ASSERT_TRUE(test::waitUntil([&] { return !delegate.events.isEmpty(); }));
    EXPECT_EQ(delegate.thread, QThread::currentThread());
    presenter->activate(n, ActivationType::ActionButtonClicked);
    presenter->activate(n, ActivationType::ContentsClicked);
    presenter->dismiss(n);
    EXPECT_EQ(delegate.events, (QList<QString>{"deliver:alarm-3-0", "activate:alarm-3-0:2",
                                               "activate:alarm-3-0:1", "dismiss:alarm-3-0"}));

    Clock::setNowForTesting({});
    schedule("timer-", QDateTime::currentDateTime().addMSecs(150));
    EXPECT_EQ(delegate.events.size(), 4);
    ASSERT_TRUE(test::waitUntil([&] { return delegate.events.size() == 5; }, 10000));
    EXPECT_EQ(delegate.events.last(), "deliver:timer-");
}

// A notification server that answers only when the test says so.
class ScriptedServer : public NotificationServer {
public:
    void setHandlers(Handlers handlers) override { h = std::move(handlers); }
    void getCapabilities() override { ++capabilityCalls; }
    void notify(quint64 ticket, const Message& m) override { sent.append({ticket, m}); }
    void close(uint id) override { closed.append(id); }

    Handlers h;
    int capabilityCalls = 0;
    QList<std::pair<quint64, Message>> sent;
    QList<uint> closed;
};

class FreedesktopRules : public ::testing::Test {
protected:
    static constexpr std::chrono::milliseconds kDeadline{30};
    void SetUp() override {
        auto s = std::make_unique<ScriptedServer>();
        server = s.get();
        presenter = std::make_unique<FreedesktopPresenter>(std::move(s), kDeadline);
        presenter->onLost = [this](Note n) { events << "lost:" + n->identifier; };
        presenter->setCallbacks(recordInto(events));
    }
    // Past every deadline set so far.
    static void outwait() { QTest::qWait(int(kDeadline.count()) * 4); }

    ScriptedServer* server = nullptr;
    std::unique_ptr<FreedesktopPresenter> presenter;
    QList<QString> events;
};

TEST_F(FreedesktopRules, AnAnswerInTimeKeepsTheAlertOnTheServerAndCountsOnce) {
    EXPECT_EQ(server->capabilityCalls, 1);  // asked ahead of the first alert
    server->h.capabilities(QStringList{"body", "actions"});
    auto a = alarmNote("alarm-0-0");
    a->subtitle = "<b>x</b> & y";
    presenter->present(a);
    ASSERT_EQ(server->sent.size(), 1);
    const auto& m = server->sent[0].second;
    EXPECT_EQ(m.body, "&lt;b&gt;x&lt;/b&gt; &amp; y");
    EXPECT_EQ(m.actions, (QStringList{"default", "", "action", "Snooze", "other", "Dismiss"}));
    server->h.notified(server->sent[0].first, 5u, {});
    outwait();
    server->h.actionInvoked(5, "action");
    server->h.actionInvoked(5, "other");  // a second answer to the same alert
    server->h.closed(5, 2);               // the close that follows our own
    EXPECT_EQ(events, QList<QString>{"activate:alarm-0-0:2"});
    EXPECT_EQ(server->closed, QList<uint>{5});
}

TEST_F(FreedesktopRules, ALateServerGivesWayAndWhatItShowsLateIsClosedUnanswerable) {
    server->h.capabilities(QStringList{"actions"});
    presenter->present(alarmNote("alarm-0-0"));
    EXPECT_TRUE(events.isEmpty());  // nothing is decided before the deadline
    QTRY_COMPARE(events, QList<QString>{"lost:alarm-0-0"});
    // Still unanswered: the next alert goes elsewhere at once, unsent.
    presenter->present(alarmNote("alarm-1-0"));
    EXPECT_EQ(events.last(), "lost:alarm-1-0");
    EXPECT_EQ(server->sent.size(), 1);
    // The server wakes and shows the first one after all.
    server->h.notified(server->sent[0].first, 9u, {});
    EXPECT_EQ(server->closed, QList<uint>{9});
    server->h.actionInvoked(9, "action");
    server->h.closed(9, 2);
    EXPECT_EQ(events.size(), 2);
    // Heard from again, it is asked again.
    presenter->present(alarmNote("alarm-2-0"));
    EXPECT_EQ(server->sent.size(), 2);
}

TEST_F(FreedesktopRules, CapabilitiesLateMissingOrWithoutButtonsAndWithdrawnWhilePending) {
    presenter->present(alarmNote("alarm-0-0"));  // capabilities not yet answered
    QTRY_COMPARE(events, QList<QString>{"lost:alarm-0-0"});
    server->h.capabilities(QStringList{"actions"});
    EXPECT_TRUE(server->sent.isEmpty());  // given up on: not sent late

    presenter->present(alarmNote("timer-"));
    presenter->withdraw(alarmNote("timer-"));
    server->h.notified(server->sent[0].first, 4u, {});
    outwait();
    EXPECT_EQ(events.size(), 1);  // withdrawn: neither lost nor kept
    EXPECT_EQ(server->closed, QList<uint>{4});

    server->h.notified(999, std::nullopt, "stray");  // not ours: ignored
    server->h.ownerChanged(true);                    // a new server: asked afresh
    EXPECT_EQ(server->capabilityCalls, 2);
    server->h.capabilities(QStringList{"body"});  // one without buttons
    presenter->present(alarmNote("alarm-1-0"));
    server->h.ownerChanged(false);
    presenter->present(alarmNote("alarm-2-0"));
    server->h.capabilities(std::nullopt);  // and then none at all
    EXPECT_EQ(events.mid(1), (QList<QString>{"lost:alarm-1-0", "lost:alarm-2-0"}));
}

TEST(AlertWindow, ButtonsAndClosingAnswerWithdrawingDoesNot) {
    AlertWindowPresenter alerts;
    QList<QString> events;
    alerts.setCallbacks(recordInto(events));
    auto show = [&](const QString& id) {
        auto n = alarmNote(id);
        alerts.present(n);
        QWidget* w = alerts.windowFor(id);
        EXPECT_NE(w, nullptr);
        return std::pair{n, w};
    };
    QTest::mouseClick(show("alarm-0-0").second->findChild<QPushButton*>("alertActionButton"),
                      Qt::LeftButton);
    EXPECT_EQ(alerts.windowFor("alarm-0-0"), nullptr);
    QTest::mouseClick(show("alarm-1-0").second->findChild<QPushButton*>("alertOtherButton"),
                      Qt::LeftButton);
    show("alarm-2-0").second->close();  // the window manager's close button
    alerts.withdraw(show("alarm-3-0").first);
    EXPECT_EQ(events,
              (QList<QString>{"activate:alarm-0-0:2", "dismiss:alarm-1-0", "dismiss:alarm-2-0"}));
}

}  // namespace
}  // namespace pendra
