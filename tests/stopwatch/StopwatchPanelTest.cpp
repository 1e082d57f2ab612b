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

// Merged firings count every hundredth.
void ticks(StopwatchViewController& panel, int n) {
    panel.tickDriver().tick(std::uint64_t(n));
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

// The real timer: Stop shows exactly the total it stopped at, which stands
// still; the paused span adds at most one hundredth at the resume.
TEST(StopwatchPanel, StopShowsTheStoppedTotalAndPausedSpanCountsAsOneTick) {
    auto panel = makePanel(false);
    click(panel->startStopBtn());
    ASSERT_TRUE(test::waitUntil([&] { return panel->currentTime() >= 3; }, 20000));
    click(panel->startStopBtn());
    const qint64 stopped = panel->currentTime();
    EXPECT_EQ(panel->timeLbl()->text(), stopwatchText(stopped));
    QTest::qWait(1000);
    EXPECT_EQ(panel->currentTime(), stopped);
    EXPECT_EQ(panel->timeLbl()->text(), stopwatchText(stopped));
    click(panel->startStopBtn());
    click(panel->lapBtn());
    ASSERT_TRUE(test::waitUntil([&] { return panel->currentTime() > stopped + 1; }, 20000));
    click(panel->startStopBtn());
    const auto reading = panel->reading();
    // A second paused would be 100 hundredths if counted.
    EXPECT_LT(reading.total - stopped, 100);
    EXPECT_EQ(std::accumulate(reading.laps.begin(), reading.laps.end(), qint64(0),
                              [](qint64 sum, const Lap& lap) { return sum + lap.time; }),
              reading.total);
    EXPECT_EQ(panel->timeLbl()->text(), stopwatchText(reading.total));
}

}  // namespace
}  // namespace pendra
