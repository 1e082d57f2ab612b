#include <gtest/gtest.h>
#include <time.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeEdit>
#include <map>

#include "alarms/AlarmListView.h"
#include "alarms/AlarmRules.h"
#include "alarms/AlarmViewController.h"
#include "common/Stepper.h"
#include "common/TonePreview.h"
#include "platform/Clock.h"
#include "platform/FileWrites.h"
#include "platform/Paths.h"
#include "platform/UserDefaults.h"
#include "support/RecordingPresenter.h"
#include "support/StdoutCapture.h"
#include "support/TestEnvironment.h"

namespace pendra {
namespace {

// The center's pending notifications by identifier.
std::map<QString, QDateTime> pendingIn(const UserNotificationCenter& center) {
    std::map<QString, QDateTime> out;
    for (const auto& n : center.scheduledNotifications()) {
        out[n->identifier] = n->deliveryDate.value_or(QDateTime());
    }
    return out;
}

// The center's pending alarm notifications, as the alarms say they must be.
std::map<QString, QDateTime> expectedPending(
    const QList<Alarm>& alarms, int openNewRow, const QDateTime& now,
    const std::map<QString, std::pair<int, QDateTime>>& snoozes) {
    std::map<QString, QDateTime> out;
    for (int r = 0; r < alarms.size(); ++r) {
        const Alarm& a = alarms[r];
        if (!a.enabled || r == openNewRow) {
            continue;
        }
        for (int i = 0; i < 7; ++i) {
            if (!a.isRepeating() && i == 0) {
                out[alarmIdentifier(r, 0)] = alarmDeliveryDate(a, oneOffTargetDay(a, now));
            } else if (a.repeatDays[size_t(i)]) {
                out[alarmIdentifier(r, i)] = alarmDeliveryDate(a, repeatTargetDay(a, i, now));
            }
        }
        if (const auto s = snoozes.find(a.label); s != snoozes.end()) {
            out[alarmIdentifier(r, s->second.first)] = s->second.second;
        }
    }
    return out;
}

// Hands the center's callbacks to the panel as the application does: only the
// action button's activation reaches it.
class Router : public UserNotificationCenterDelegate {
public:
    AlarmViewController* panel = nullptr;
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
                                             const UserNotificationPtr& n) override {
        return panel->notificationShouldPresent(n);
    }
};

QJsonObject alarmJson(int h, int m, const QString& label, std::array<bool, 7> days = {},
                      bool enabled = true, const QString& ringtone = "None", int snooze = 9) {
    return Alarm(h, m, ringtone, snooze, label, days, enabled).encode();
}

UserNotificationPtr withId(const QString& id) {
    auto n = makeNotification();
    n->identifier = id;
    return n;
}

class AlarmPanel : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("TZ", "Europe/Berlin");
        tzset();
        QDir().mkpath(share.path() + "/ringtones");
        for (const char* name : {"Radar", "Bells", "Chimes"}) {
            QFile f(share.path() + "/ringtones/" + name + ".m4r");
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write("not a sound");
        }
        Paths::setShareDirForTesting(share.path());
        QDir(Paths::dataDir()).removeRecursively();
        test::clearUserDefaults();
        now = QDateTime(QDate(2026, 12, 7), QTime(6, 0));  // a Monday
        Clock::setNowForTesting([this] { return now; });
    }
    void TearDown() override {
        panel.reset();
        center.reset();
        Paths::setShareDirForTesting({});
        Clock::setNowForTesting({});
        qunsetenv("TZ");
        tzset();
    }
    void plant(const QJsonArray& alarms) {
        QDir().mkpath(Paths::dataDir());
        QFile f(Paths::dataDir() + "alarms.json");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QJsonDocument(alarms).toJson());
    }
    void launch() {
        auto p = std::make_unique<test::RecordingPresenter>();
        presenter = p.get();
        center = std::make_unique<UserNotificationCenter>(std::move(p));
        panel = std::make_unique<AlarmViewController>(*center);
        router.panel = panel.get();
        center->setDelegate(&router);
        panel->viewDidLoad();
        panel->show();
        panel->viewDidAppear();
        settle();
    }
    void settle() {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    QJsonArray file() const {
        waitForFileWrites();
        QFile f(Paths::dataDir() + "alarms.json");
        return f.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(f.readAll()).array()
                                           : QJsonArray();
    }
    void click(QAbstractButton* b) {
        ASSERT_NE(b, nullptr);
        QTest::mouseClick(b, Qt::LeftButton, {}, b->rect().center());
        settle();
    }
    // A painted part of a row, as the session tests see it.
    std::optional<NamedRect> part(const QString& name) const {
        for (const NamedRect& r : panel->tableView()->namedRects()) {
            if (r.name == name) {
                return r;
            }
        }
        return std::nullopt;
    }
    void click(const QString& name) {
        const std::optional<NamedRect> p = part(name);
        ASSERT_TRUE(p) << name.toStdString();
        QTest::mouseClick(panel->tableView()->viewport(), Qt::LeftButton, {}, p->rect.center());
        settle();
    }
    QString text(const QString& name) const {
        const std::optional<NamedRect> p = part(name);
        return p ? p->text : QString("(none)");
    }
    // Moves the clock to `t` and lets the center deliver what has come due.
    void advanceTo(const QDateTime& t) {
        now = t;
        center->deliverDueNotifications();
        settle();
    }
    void typeInto(QLineEdit* field, const QString& s) {
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Backspace);
        QTest::keyClicks(field, s);
    }

    QTemporaryDir share;
    QDateTime now;
    test::RecordingPresenter* presenter = nullptr;
    std::unique_ptr<UserNotificationCenter> center;
    std::unique_ptr<AlarmViewController> panel;
    Router router;
};

// Whatever the user does, in any order, the center holds exactly what the
// alarms under their current rows call for, and the file holds the list.
using AlarmListModelTest = AlarmPanel;

TEST_F(AlarmListModelTest,
       PendingNotificationsMatchTheAlarmsAfterEveryActionOfALongRandomSequence) {
    center = std::make_unique<UserNotificationCenter>(std::make_unique<test::RecordingPresenter>());
    AlarmListModel model(*center, Paths::dataDir(), Paths::dataDir() + "run");
    model.load();

    const quint32 seed = qEnvironmentVariableIsSet("PENDRA_TEST_SEED")
                             ? quint32(qEnvironmentVariableIntValue("PENDRA_TEST_SEED"))
                             : 20261207u;
    QRandomGenerator rng(seed);
    int labels = 0;
    int editing = -1;
    bool editingNew = false;
    std::map<QString, std::pair<int, QDateTime>> snoozes;  // label -> (slot, end)
    auto randomAlarm = [&] {
        std::array<bool, 7> d{};
        if (rng.bounded(2) == 0) {
            for (bool& b : d) {
                b = rng.bounded(3) == 0;
            }
        }
        return Alarm(rng.bounded(24), rng.bounded(4) * 15, "None", rng.bounded(21),
                     QString("alarm %1").arg(++labels), d, true);
    };
    // An alert as the center delivers it, answered by the user.
    auto ring = [&](int r) {
        const UserNotificationPtr n = model.currentNotification(r);
        if (r == editing || !model.at(r).alarm.enabled || !n || !n->deliveryDate) {
            return UserNotificationPtr();
        }
        auto alert = makeNotification(*n);
        model.setRinging(r, alert);
        return alert;
    };
    for (int step = 0; step < 2000; ++step) {
        const int rows = model.size();
        const int r = rows > 0 ? int(rng.bounded(rows)) : -1;
        const int choice = int(rng.bounded(100));
        const QString label = r >= 0 ? model.at(r).alarm.label : QString();
        const AlarmListModel::Batch batch(model);
        if (choice < 15) {
            editing = model.insert(randomAlarm(), true);
            editingNew = true;
        } else if (choice < 30 && editing >= 0) {
            snoozes.erase(model.at(editing).alarm.label);
            model.commit(editing, randomAlarm());
            model.reorder();
            editing = -1;
        } else if (choice < 36 && editing >= 0) {
            model.closeNewAlarm();
            editing = -1;
        } else if (choice < 42 && editing >= 0) {
            snoozes.erase(model.at(editing).alarm.label);
            model.remove(editing);
            editing = -1;
        } else if (choice < 55 && r >= 0 && r != editing) {
            model.closeNewAlarm();
            editing = r;
            editingNew = false;
        } else if (choice < 68 && r >= 0 && r != editing) {
            snoozes.erase(label);
            model.setEnabled(r, !model.at(r).alarm.enabled);
        } else if (choice < 80 && r >= 0 && !(editingNew && r == editing)) {
            if (const UserNotificationPtr alert = ring(r)) {
                model.stopRinging(r, false);
                model.snooze(r, *alert, now);
                snoozes[label] = {alarmSlotFromIdentifier(alert->identifier).value(),
                                  now.addSecs(std::max<qint64>(model.at(r).alarm.snooze, 1) * 60)};
            }
        } else if (choice < 86) {
            // Any snoozed row: a random one is seldom snoozed.
            int s = model.size() - 1;
            while (s >= 0 && (s == editing || !model.at(s).alarm.isSnoozed)) {
                --s;
            }
            if (s < 0) {
                continue;
            }
            snoozes.erase(model.at(s).alarm.label);
            model.stopSnooze(s);
            // Answered, only a one-off alarm is done with.
            ASSERT_EQ(model.at(s).alarm.enabled, model.at(s).alarm.isRepeating());
        } else if (choice < 92 && r >= 0 && !(editingNew && r == editing)) {
            if (ring(r)) {
                snoozes.erase(label);
                model.dismiss(r);
                ASSERT_EQ(model.at(r).alarm.enabled, model.at(r).alarm.isRepeating());
            }
        } else if (choice < 94) {
            model.clear();
            snoozes.clear();
            editing = -1;
        } else if (choice < 96) {
            // Time moves on; what comes due rings and is dismissed.
            now = now.addSecs(3600 * 7 + 60 * 13);
            center->deliverDueNotifications();
            for (const auto& n : center->deliveredNotifications()) {
                if (const std::optional<int> row = model.rowOf(n)) {
                    model.snoozeRang(*row, n);
                    model.setRinging(*row, n);
                    model.dismiss(*row);
                }
                center->removeDeliveredNotification(n);
            }
            std::erase_if(snoozes, [&](const auto& s) { return s.second.second <= now; });
        } else {
            continue;
        }
        if (editing < 0 || !editingNew || !model.isNewAlarmOpen(editing)) {
            editingNew = false;
        }
        model.reconcile();
        const auto expected =
            expectedPending(model.alarms(), editingNew ? editing : -1, now, snoozes);
        ASSERT_EQ(pendingIn(*center), expected) << "seed " << seed << ", step " << step;
        const auto first = std::min_element(expected.begin(), expected.end(),
                                            [](auto& a, auto& b) { return a.second < b.second; });
        ASSERT_EQ(model.nextAlarm(),
                  first == expected.end() ? std::nullopt : std::optional(first->second));
        for (int row = 0; row < model.size(); ++row) {
            ASSERT_EQ(model.at(row).state() == AlarmState::Snoozed,
                      snoozes.count(model.at(row).alarm.label) > 0)
                << "seed " << seed << ", step " << step << ", row " << row;
        }
    }
    // Saved off this thread; the last save holds the list.
    model.closeNewAlarm();
    model.save();
    waitForFileWrites();
    QList<Alarm> stored;  // isSnoozed is never read back
    AlarmStore(Paths::dataDir()).getAlarmsFromJSON(stored);
    QList<Alarm> alarms = model.alarms();
    for (Alarm& a : alarms) {
        a.isSnoozed = false;
    }
    EXPECT_EQ(stored, alarms);
    EXPECT_GT(labels, 30);
}

// The editor: Done commits the controls and reorders, though the alarm's
// ring was answered meanwhile; a new alarm opens sorted; an appearance drops
// what was not saved.
TEST_F(AlarmPanel, TheEditorOpensSortedCommitsItsControlsAndOneRowAtATime) {
    plant({alarmJson(6, 0, "six", {}, true, "Radar"), alarmJson(7, 0, "seven"),
           alarmJson(8, 0, "eight")});
    now = QDateTime(QDate(2026, 12, 7), QTime(5, 59));
    launch();
    advanceTo(QDateTime(QDate(2026, 12, 7), QTime(6, 0)));
    click("alarmEdit-0");
    panel->alarmTimeDatePicker()->setTime(QTime(10, 15));
    typeInto(panel->alarmLabelTextField(), "");
    typeInto(panel->snoozeTextField(), "1a2b3");
    EXPECT_EQ(panel->snoozeTextField()->text(), "12");
    click(panel->repeatBox(6));
    panel->ringtonePopUpBtn()->setCurrentText("Bells");
    click(panel->ringtonePreview());
    EXPECT_TRUE(panel->ringtonePreview()->isPlaying()) << "the editor previews its tone";
    presenter->dismiss(presenter->presented.last());
    settle();
    EXPECT_FALSE(panel->isRinging());
    click(panel->doneBtn());
    EXPECT_FALSE(panel->ringtonePreview()->isPlaying()) << "the preview ends with its editor";
    EXPECT_EQ(panel->alarms()[2], Alarm(10, 15, "Bells", 12, "Alarm",
                                        {false, false, false, false, false, false, true}, true))
        << "an empty label commits as Alarm; the dismissed alarm is on again";

    now = QDateTime(QDate(2026, 12, 7), QTime(6, 40));  // the new alarm gets 07:00
    click(panel->newAlarmBtn());
    ASSERT_EQ(panel->numberOfRows(), 4);
    EXPECT_EQ(panel->currentlyBeingEdited(), 1) << "after the existing 07:00";
    EXPECT_EQ(panel->ringtonePopUpBtn()->itemText(1), "Bells") << "None first, then by name";
    click(panel->cancelBtn());
    EXPECT_EQ(text("alarmLabel-1"), "Alarm") << "X keeps a new alarm";
    EXPECT_EQ(file().size(), 4);

    // The stepper steps the field.
    click("alarmEdit-3");
    panel->snoozeStepper()->stepDown();
    EXPECT_EQ(panel->snoozeTextField()->text(), "11");

    // Editing another row drops the first one's changes; so does an appearance.
    typeInto(panel->alarmLabelTextField(), "changed");
    click("alarmEdit-2");
    EXPECT_EQ(panel->currentlyBeingEdited(), 2);
    EXPECT_EQ(text("alarmLabel-3"), "Alarm");
    EXPECT_EQ(panel->alarmLabelTextField()->text(), "eight");
    typeInto(panel->alarmLabelTextField(), "lost");
    panel->hide();
    panel->show();
    panel->viewDidAppear();
    settle();
    EXPECT_EQ(panel->currentlyBeingEdited(), -1);
    EXPECT_EQ(text("alarmLabel-2"), "eight");
    // The editing controls survived their row.
    click("alarmEdit-0");
    EXPECT_TRUE(panel->alarmLabelTextField()->isVisible());
    // From the keyboard: Space switches the current row, Return edits it.
    panel->tableView()->setCurrentIndex(panel->model().index(3));
    QTest::keyClick(panel->tableView(), Qt::Key_Space);
    EXPECT_FALSE(file()[3].toObject()["enabled"].toBool()) << "switched off and saved";
    QTest::keyClick(panel->tableView(), Qt::Key_Return);
    EXPECT_EQ(panel->currentlyBeingEdited(), 3);
}

// Rows show in file order until a reordering.
TEST_F(AlarmPanel, AlarmsThatPassedUnseenAreReportedNotRungAndOneOffsSwitchedOff) {
    plant({alarmJson(7, 30, "<b>Daily</b>", {true, true, true, true, true, true, true}),
           alarmJson(7, 0, "Once"), alarmJson(9, 0, "Later")});
    launch();  // which records the run at 06:00
    panel.reset();
    center.reset();
    now = QDateTime(QDate(2026, 12, 7), QTime(7, 45));
    launch();
    ASSERT_EQ(presenter->presented.size(), 2);
    EXPECT_EQ(presenter->presented[0]->subtitle, "7:30am <b>Daily</b>");
    EXPECT_TRUE(file()[0].toObject()["enabled"].toBool());
    EXPECT_FALSE(file()[1].toObject()["enabled"].toBool());
    EXPECT_EQ(text("alarmTime-0"), "7:30am");
    EXPECT_EQ(part("alarmEnabled-0")->kind, "checked");
    EXPECT_EQ(part("alarmEnabled-1")->kind, "unchecked");
    EXPECT_TRUE(part("alarmMissed-1"));
    EXPECT_TRUE(panel->wasMissed(0));
    EXPECT_FALSE(panel->wasMissed(2));
    // Answered, the notice takes its row's word with it; seen, the rows say it no longer.
    presenter->dismiss(presenter->presented[0]);
    settle();
    EXPECT_FALSE(panel->wasMissed(0));
    EXPECT_TRUE(presenter->withdrawn.contains(presenter->presented[0]->identifier));
    panel->hide();
    settle();
    EXPECT_FALSE(part("alarmMissed-1"));
    EXPECT_EQ(text("alarmDays-0"), "Every day");
    EXPECT_FALSE(part("alarmDays-1")) << "a one-off shows no days";

    // Asleep from 08:50 to 11:00: 09:00 is reported, not rung; five minutes late still rings.
    presenter->presented.clear();
    advanceTo(QDateTime(QDate(2026, 12, 7), QTime(11, 0)));
    ASSERT_EQ(presenter->presented.size(), 1);
    EXPECT_EQ(presenter->presented.last()->subtitle, "9:00am Later");
    EXPECT_FALSE(panel->isRinging());
    EXPECT_FALSE(panel->alarms()[2].enabled);
    advanceTo(QDateTime(QDate(2026, 12, 8), QTime(7, 35)));
    EXPECT_TRUE(panel->isRinging(0));

    // The 24-hour preference is read again on every appearance.
    UserDefaults::standard().setBool("com.Zentho.Do24HourTime", true);
    panel->show();
    panel->viewDidAppear();
    settle();
    EXPECT_EQ(text("alarmTime-0"), "07:30");
}

TEST_F(AlarmPanel, EachRingingAlarmShowsInItsRowAndIsSilencedAndAnsweredOnceOnItsOwn) {
    plant({alarmJson(6, 59, "loud", {}, true, "Radar"), alarmJson(7, 0, "quiet"),
           alarmJson(7, 0, "last")});
    launch();
    advanceTo(QDateTime(QDate(2026, 12, 7), QTime(6, 59)));
    advanceTo(QDateTime(QDate(2026, 12, 7), QTime(7, 0)));
    for (int r = 0; r < 3; ++r) {
        EXPECT_EQ(text(QString("alarmRinging-%1").arg(r)), "Ringing");
    }
    // Deleting a silent alarm that rang last leaves the loud one sounding;
    // deleting the loud one stops its sound though a silent one rang later.
    click("alarmEdit-1");
    click(panel->deleteBtn());
    EXPECT_EQ(panel->soundingTone(), "Radar");
    EXPECT_TRUE(presenter->withdrawn.contains("alarm-1-0"));
    EXPECT_FALSE(presenter->withdrawn.contains("alarm-0-0"));
    click("alarmEdit-0");
    click(panel->deleteBtn());
    EXPECT_EQ(panel->soundingTone(), "");
    EXPECT_TRUE(presenter->withdrawn.contains("alarm-0-0"));
    ASSERT_TRUE(panel->isRinging(0)) << "the last one still rings";
    const UserNotificationPtr alert = presenter->presented.last();

    // Snooze in the row is the alert's Snooze, once: the alert goes, and a
    // late click on it changes nothing.
    now = QDateTime(QDate(2026, 12, 7), QTime(7, 1));
    click("alarmSnoozeNow-0");
    EXPECT_FALSE(panel->isRinging());
    EXPECT_EQ(presenter->withdrawn.last(), alert->identifier);
    now = QDateTime(QDate(2026, 12, 7), QTime(7, 2));
    presenter->activate(alert, ActivationType::ActionButtonClicked);
    settle();
    EXPECT_EQ(pendingIn(*center).at("alarm-0-0"), QDateTime(QDate(2026, 12, 7), QTime(7, 10)));
    // Rung again, the row shows the ring, not the minutes left.
    advanceTo(QDateTime(QDate(2026, 12, 7), QTime(7, 10)));
    EXPECT_FALSE(part("alarmSnooze-0"));
    click("alarmDismiss-0");
    EXPECT_FALSE(panel->isRinging());
    EXPECT_FALSE(panel->alarms()[0].enabled);
    click("alarmEnabled-0");
    presenter->dismiss(presenter->presented.last());
    settle();
    EXPECT_TRUE(panel->alarms()[0].enabled) << "the alert was answered in the row";

    // Snoozed from the alert the next morning, it counts down in its row,
    // and Stop there ends it: a one-off alarm is done with.
    advanceTo(QDateTime(QDate(2026, 12, 8), QTime(7, 0)));
    presenter->activate(presenter->presented.last(), ActivationType::ActionButtonClicked);
    now = QDateTime(QDate(2026, 12, 8), QTime(7, 4, 30));
    panel->viewDidAppear();
    settle();
    EXPECT_EQ(text("alarmSnooze-0"), "5m left");
    click("alarmStop-0");
    EXPECT_FALSE(part("alarmStop-0"));
    EXPECT_FALSE(panel->alarms()[0].enabled);
}

// Callbacks for alarms that are gone or for other kinds change nothing; Clear
// asks first, and then leaves nothing to ring but the timer's alert.
TEST_F(AlarmPanel, StrayCallbacksChangeNothingAndClearSparesTheTimer) {
    plant({alarmJson(6, 30, "a"), alarmJson(7, 0, "b"), alarmJson(8, 0, "c")});
    launch();
    advanceTo(QDateTime(QDate(2026, 12, 7), QTime(6, 30)));
    const auto before = pendingIn(*center);
    test::StdoutCapture out;
    auto stray = withId("alarm-5-0");
    panel->notificationDidDeliver(*center, stray);
    stray->activationType = ActivationType::ActionButtonClicked;
    panel->notificationDidActivate(*center, stray);
    panel->notificationDidDismissAlert(*center, stray);
    settle();
    EXPECT_TRUE(out.text().contains("Ignored alarm-5-0")) << out.text().toStdString();
    out.restore();
    EXPECT_TRUE(panel->isRinging());
    EXPECT_EQ(pendingIn(*center), before);

    center->deliverNotification(withId("timer-1"));
    for (const char* answer : {"alarmClearAlertCancel", "alarmClearAlertConfirm"}) {
        click(panel->clearBtn());
        auto* ask = panel->findChild<QMessageBox*>("alarmClearAlert");
        ASSERT_NE(ask, nullptr);
        EXPECT_EQ(file().size(), 3);
        EXPECT_TRUE(panel->isRinging());
        click(ask->findChild<QPushButton*>(answer));
    }
    EXPECT_FALSE(panel->isRinging());
    EXPECT_TRUE(panel->findChild<QLabel*>("alarmEmpty")->isVisibleTo(panel.get()));
    EXPECT_EQ(file().size(), 0);
    ASSERT_EQ(center->deliveredNotifications().size(), 1);
    EXPECT_EQ(center->deliveredNotifications()[0]->identifier, "timer-1");
}

}  // namespace
}  // namespace pendra
