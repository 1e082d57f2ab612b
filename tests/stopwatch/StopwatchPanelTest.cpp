#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <memory>
#include <numeric>

#include "common/TickDriver.h"
#include "stopwatch/Lap.h"
#include "stopwatch/StopwatchViewController.h"
#include "support/StdoutCapture.h"
#include "support/TestEnvironment.h"

namespace pendra {
namespace {

using State = StopwatchViewController::State;

std::unique_ptr<StopwatchViewController> makePanel(bool manual = true) {
    auto panel = std::make_unique<StopwatchViewController>();
    panel->tickDriver().setManualForTesting(manual);
    panel->setFixedSize(kPanelWidth, kPanelHeight);
    panel->viewDidLoad();
    panel->show();
    panel->viewDidAppear();
    return panel;
}

void ticks(StopwatchViewController& panel, int n) {
    for (int i = 0; i < n; ++i) {
        panel.tickDriver().tick(1);
    }
}

// The label follows the count within a displayed frame or two.
bool labelShows(StopwatchViewController& panel, const QString& text) {
    return test::waitUntil([&] { return panel.timeLbl()->text() == text; });
}

QStringList tableRows(StopwatchViewController& panel) {
    QStringList rows;
    QTableWidget* table = panel.lapTableView();
    for (int r = 0; r < table->rowCount(); ++r) {
        const QTableWidgetItem* name = table->item(r, 0);
        const QTableWidgetItem* time = table->item(r, 1);
        rows << (name ? name->text() : "?") + " " + (time ? time->text() : "?");
    }
    return rows;
}

void click(QPushButton* button) {
    ASSERT_TRUE(button->isEnabled()) << qPrintable(button->objectName());
    QTest::mouseClick(button, Qt::LeftButton);
}

struct Buttons {
    QString startStop;
    QString lap;
    bool lapEnabled;
    bool operator==(const Buttons&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Buttons& b) {
    return os << qPrintable(b.startStop) << "/" << qPrintable(b.lap)
              << (b.lapEnabled ? "" : " (disabled)");
}
Buttons buttons(StopwatchViewController& panel) {
    return {panel.startStopBtn()->text(), panel.lapBtn()->text(), panel.lapBtn()->isEnabled()};
}

TEST(StopwatchText, MinutesRunPastTheHourAndPastNinetyNine) {
    const std::pair<qint64, const char*> cases[] = {
        {0, "00:00.00"},      {1, "00:00.01"},      {99, "00:00.99"},      {100, "00:01.00"},
        {250, "00:02.50"},    {5999, "00:59.99"},   {6000, "01:00.00"},    {359999, "59:59.99"},
        {360000, "60:00.00"}, {599999, "99:59.99"}, {600000, "100:00.00"}, {6000000, "1000:00.00"},
    };
    for (const auto& [t, text] : cases) {
        EXPECT_EQ(stopwatchText(t), QString::fromLatin1(text)) << t;
    }
}

TEST(StopwatchPanel, FreshPanelShowsZeroStartAndDisabledLap) {
    auto panel = makePanel();
    EXPECT_EQ(panel->timeLbl()->text(), "00:00.00");
    EXPECT_EQ(buttons(*panel), (Buttons{"Start", "Lap", false}));
    EXPECT_EQ(panel->lapTableView()->rowCount(), 0);
    EXPECT_EQ(panel->swState(), State::off);
    // Every control can be found by name, as session tests do.
    for (const char* name : {"timeLbl", "startStopBtn", "lapBtn", "lapTableView"}) {
        EXPECT_NE(panel->findChild<QWidget*>(name), nullptr) << name;
    }
}

TEST(StopwatchPanel, CountsHundredthsIntoTheLabelAndTheRunningLap) {
    auto panel = makePanel();
    click(panel->startStopBtn());
    ticks(*panel, 250);
    EXPECT_TRUE(labelShows(*panel, "00:02.50"));
    EXPECT_EQ(tableRows(*panel), QStringList{"Lap 1 00:02.50"});

    click(panel->lapBtn());
    ticks(*panel, 100);
    EXPECT_TRUE(labelShows(*panel, "00:03.50"));
    EXPECT_TRUE(test::waitUntil([&] {
        return tableRows(*panel) == QStringList({"Lap 2 00:01.00", "Lap 1 00:02.50"});
    })) << qPrintable(tableRows(*panel).join(", "));
    EXPECT_EQ(panel->lapTableView()->rowHeight(0), 20);
}

TEST(StopwatchPanel, LongRunsShowMinutesOnly) {
    const std::pair<int, const char*> cases[] = {
        {6000, "01:00.00"}, {359999, "59:59.99"}, {360000, "60:00.00"}, {600000, "100:00.00"}};
    for (const auto& [n, text] : cases) {
        auto panel = makePanel();
        click(panel->startStopBtn());
        ticks(*panel, n);
        EXPECT_TRUE(labelShows(*panel, text))
            << n << " shows " << qPrintable(panel->timeLbl()->text());
        EXPECT_EQ(panel->cellText(0, 1), QString::fromLatin1(text));
        EXPECT_EQ(panel->currentTime(), n);
    }
}

TEST(StopwatchPanel, PauseResumeAndResetFollowTheStateTable) {
    auto panel = makePanel();
    click(panel->startStopBtn());
    EXPECT_EQ(panel->swState(), State::on);
    EXPECT_EQ(buttons(*panel), (Buttons{"Stop", "Lap", true}));
    ticks(*panel, 30);
    click(panel->lapBtn());
    ticks(*panel, 12);

    click(panel->startStopBtn());  // Stop
    EXPECT_EQ(panel->swState(), State::paused);
    EXPECT_EQ(buttons(*panel), (Buttons{"Start", "Reset", true}));
    // Shown at once, not a frame later.
    EXPECT_EQ(panel->timeLbl()->text(), "00:00.42");

    click(panel->startStopBtn());  // Resume
    EXPECT_EQ(panel->swState(), State::on);
    EXPECT_EQ(buttons(*panel), (Buttons{"Stop", "Lap", true}));
    ticks(*panel, 8);
    EXPECT_TRUE(labelShows(*panel, "00:00.50"));
    EXPECT_EQ(tableRows(*panel), QStringList({"Lap 2 00:00.20", "Lap 1 00:00.30"}));

    click(panel->startStopBtn());
    click(panel->lapBtn());  // Reset
    EXPECT_EQ(panel->swState(), State::off);
    EXPECT_EQ(buttons(*panel), (Buttons{"Start", "Lap", false}));
    EXPECT_EQ(panel->timeLbl()->text(), "00:00.00");
    EXPECT_EQ(panel->lapTableView()->rowCount(), 0);
    EXPECT_EQ(panel->currentTime(), 0);
    EXPECT_TRUE(panel->laps().isEmpty());

    // A tick arriving after the reset counts nothing.
    panel->tickDriver().tick(3);
    EXPECT_EQ(panel->currentTime(), 0);

    click(panel->startStopBtn());
    ticks(*panel, 7);
    EXPECT_TRUE(labelShows(*panel, "00:00.07"));
    EXPECT_EQ(tableRows(*panel), QStringList{"Lap 1 00:00.07"});
}

TEST(StopwatchPanel, MergedFiringsCountEveryHundredth) {
    auto panel = makePanel();
    click(panel->startStopBtn());
    panel->tickDriver().tick(5);
    EXPECT_EQ(panel->currentTime(), 5);
    click(panel->lapBtn());
    panel->tickDriver().tick(83);
    panel->tickDriver().tick(1);
    const auto reading = panel->reading();
    EXPECT_EQ(reading.total, 89);
    ASSERT_EQ(reading.laps.size(), 2);
    EXPECT_EQ(reading.laps[0].time, 84);
    EXPECT_EQ(reading.laps[1].time, 5);
    EXPECT_TRUE(labelShows(*panel, "00:00.89"));
}

TEST(StopwatchPanel, ImpossibleLapAndWeirdColumnArePrinted) {
    auto panel = makePanel();
    test::StdoutCapture out;
    panel->lapBtnPressed();  // disabled in state off; called anyway
    EXPECT_EQ(panel->swState(), State::off);
    EXPECT_TRUE(panel->laps().isEmpty());

    click(panel->startStopBtn());
    panel->tickDriver().tick(4);
    EXPECT_EQ(panel->cellText(0, 0), "Lap 1");
    EXPECT_EQ(panel->cellText(0, 2), QString());
    EXPECT_EQ(panel->cellText(5, 1), QString());
    EXPECT_EQ(out.text(), "this should be impossible.\nweird table column: 2\n");
}

TEST(StopwatchPanel, SpaceStartsAndStopsAndReturnLaps) {
    auto panel = makePanel();
    panel->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(panel.get()));
    panel->startStopBtn()->setFocus();
    ASSERT_TRUE(test::waitUntil([&] { return panel->startStopBtn()->hasFocus(); }));

    QTest::keyClick(panel->startStopBtn(), Qt::Key_Space);
    EXPECT_EQ(panel->swState(), State::on);
    panel->tickDriver().tick(10);
    QTest::keyClick(panel->startStopBtn(), Qt::Key_Return);
    QTest::keyClick(panel->startStopBtn(), Qt::Key_Enter);
    EXPECT_EQ(panel->laps().size(), 3);
    QTest::keyClick(panel->startStopBtn(), Qt::Key_Space);
    EXPECT_EQ(panel->swState(), State::paused);
    // Return does not reset a paused stopwatch; only the button does.
    QTest::keyClick(panel->startStopBtn(), Qt::Key_Return);
    EXPECT_EQ(panel->swState(), State::paused);
    EXPECT_EQ(panel->currentTime(), 10);
    QTest::keyClick(panel->startStopBtn(), Qt::Key_Space);
    EXPECT_EQ(panel->swState(), State::on);
}

TEST(StopwatchPanel, HiddenPanelCatchesUpWhenShown) {
    auto panel = makePanel();
    click(panel->startStopBtn());
    panel->hide();
    ticks(*panel, 321);
    EXPECT_EQ(panel->currentTime(), 321);
    panel->show();
    EXPECT_EQ(panel->timeLbl()->text(), "00:03.21");
    EXPECT_EQ(panel->cellText(0, 1), "00:03.21");
}

// The real timer: a pause's suspended span adds at most one hundredth.
TEST(StopwatchPanel, SuspendedSpanCountsAsOneTick) {
    auto panel = makePanel(false);
    click(panel->startStopBtn());
    ASSERT_TRUE(test::waitUntil([&] { return panel->currentTime() >= 3; }, 20000));
    click(panel->startStopBtn());
    // A tick in flight may still land; wait until the count stands still.
    qint64 before = -1;
    ASSERT_TRUE(test::waitUntil(
        [&] {
            const qint64 now = panel->currentTime();
            const bool still = now == before;
            before = now;
            QTest::qWait(50);
            return still;
        },
        20000));
    QTest::qWait(2000);
    EXPECT_EQ(panel->currentTime(), before);
    click(panel->startStopBtn());
    ASSERT_TRUE(test::waitUntil([&] { return panel->currentTime() > before; }, 20000));
    click(panel->startStopBtn());
    const auto reading = panel->reading();
    // Two seconds suspended would be 200 hundredths if counted.
    EXPECT_LT(reading.total - before, 100);
    EXPECT_EQ(std::accumulate(reading.laps.begin(), reading.laps.end(), qint64(0),
                              [](qint64 sum, const Lap& lap) { return sum + lap.time; }),
              reading.total);
}

}  // namespace
}  // namespace pendra
