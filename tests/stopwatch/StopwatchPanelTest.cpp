#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLabel>
#include <QPaintEvent>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QTest>
#include <memory>
#include <numeric>

#include "common/TickDriver.h"
#include "stopwatch/Lap.h"
#include "stopwatch/StopwatchViewController.h"
#include "support/TestEnvironment.h"

namespace pendra {
namespace {

std::unique_ptr<StopwatchViewController> makePanel(bool manual = true) {
    auto panel = std::make_unique<StopwatchViewController>();
    panel->tickDriver().setManualForTesting(manual);
    panel->setFixedSize(kPanelWidth, kPanelHeight);
    panel->viewDidLoad();
    panel->show();
    panel->viewDidAppear();
    return panel;
}

// The label follows the count within a displayed frame or two.
bool labelShows(StopwatchViewController& panel, const QString& text) {
    return test::waitUntil([&] { return panel.timeLbl()->text() == text; });
}

QStringList tableRows(StopwatchViewController& panel) {
    QStringList rows;
    QTableWidget* table = panel.lapTableView();
    for (int r = 0; r < table->rowCount(); ++r) {
        rows << table->item(r, 0)->text() + " " + table->item(r, 1)->text();
    }
    return rows;
}

void click(QPushButton* button) {
    ASSERT_TRUE(button->isEnabled()) << qPrintable(button->objectName());
    QTest::mouseClick(button, Qt::LeftButton);
}

QString buttons(StopwatchViewController& panel) {
    return panel.startStopBtn()->text() + "/" + panel.lapBtn()->text() +
           (panel.lapBtn()->isEnabled() ? "" : " (disabled)");
}

TEST(StopwatchText, MinutesRunPastTheHourAndPastNinetyNine) {
    const std::pair<qint64, const char*> cases[] = {
        {359999, "59:59.99"}, {360000, "60:00.00"}, {600000, "100:00.00"}};
    for (const auto& [t, text] : cases) {
        EXPECT_EQ(stopwatchText(t), QString::fromLatin1(text)) << t;
    }
}

TEST(StopwatchPanel, LapsAddUpStopShowsAtOnceAndOnlyResetClearsByButtonOrKey) {
    auto panel = makePanel();
    panel->lapBtnPressed();  // disabled while off; called anyway, it adds no lap
    click(panel->startStopBtn());
    EXPECT_EQ(buttons(*panel), "Stop/Lap");
    panel->tickDriver().tick(250);
    EXPECT_TRUE(labelShows(*panel, "00:02.50"));
    EXPECT_EQ(tableRows(*panel), QStringList{"Lap 1 00:02.50"});
    click(panel->lapBtn());
    panel->tickDriver().tick(12);

    click(panel->startStopBtn());  // Stop
    EXPECT_EQ(buttons(*panel), "Start/Reset");
    // Shown at once, not a frame later.
    EXPECT_EQ(panel->timeLbl()->text(), "00:02.62");

    click(panel->startStopBtn());  // Resume
    panel->tickDriver().tick(88);
    EXPECT_TRUE(labelShows(*panel, "00:03.50"));
    click(panel->lapBtn());  // a lap's own split, not the total
    EXPECT_TRUE(test::waitUntil([&] {
        return tableRows(*panel) ==
               QStringList({"Lap 3 00:00.00", "Lap 2 00:01.00", "Lap 1 00:02.50"});
    })) << qPrintable(tableRows(*panel).join(", "));

    click(panel->startStopBtn());
    click(panel->lapBtn());  // Reset
    EXPECT_EQ(buttons(*panel), "Start/Lap (disabled)");
    EXPECT_EQ(panel->lapTableView()->rowCount(), 0);
    // A tick arriving after the reset counts nothing.
    panel->tickDriver().tick(3);
    EXPECT_EQ(panel->currentTime(), 0);

    click(panel->startStopBtn());
    panel->tickDriver().tick(7);
    EXPECT_TRUE(labelShows(*panel, "00:00.07"));
    EXPECT_EQ(tableRows(*panel), QStringList{"Lap 1 00:00.07"});

    // Keys, with the focus on Start: Return and Enter lap, Space stops, and
    // Return does not reset a stopped stopwatch; only the button does.
    panel->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(panel.get()));
    QPushButton* start = panel->startStopBtn();
    start->setFocus();
    ASSERT_TRUE(test::waitUntil([&] { return start->hasFocus(); }));
    QTest::keyClick(start, Qt::Key_Return);
    QTest::keyClick(start, Qt::Key_Enter);
    EXPECT_EQ(panel->laps().size(), 3);
    QTest::keyClick(start, Qt::Key_Space);
    QTest::keyClick(start, Qt::Key_Return);
    EXPECT_EQ(buttons(*panel), "Start/Reset");
    EXPECT_EQ(panel->currentTime(), 7);
}

// Counts the paint events widgets get and the region painted.
struct PaintRecorder : QObject {
    explicit PaintRecorder(std::initializer_list<QWidget*> widgets) {
        for (QWidget* w : widgets) {
            w->installEventFilter(this);
        }
    }
    int count = 0;
    QRegion region;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++count;
            region += static_cast<QPaintEvent*>(event)->region();
        }
        return false;
    }
};

// The real timer. While running, only the label and the running lap's time
// cell are repainted, and at most once per displayed frame though the count
// goes on at 100 Hz. Stop shows exactly the total it stopped at, which stands
// still; the paused span adds at most one hundredth at the resume.
TEST(StopwatchRepaint, OnlyLabelAndRunningCellAtMostOncePerFrameAndStopShowsTheTotal) {
    auto panel = makePanel(false);
    click(panel->startStopBtn());
    click(panel->lapBtn());
    click(panel->lapBtn());
    ASSERT_TRUE(test::waitUntil([&] { return panel->currentTime() > 5; }, 20000));
    QTest::qWait(100);  // let the lap reloads paint

    QTableWidget* table = panel->lapTableView();
    PaintRecorder label{panel->timeLbl()};
    PaintRecorder cells{table->viewport()};
    PaintRecorder buttons{panel->startStopBtn(), panel->lapBtn()};
    PaintRecorder back{panel.get()};

    const qint64 from = panel->currentTime();
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(test::waitUntil([&] { return label.count >= 20; }, 30000));
    const double elapsedMs = double(clock.elapsed());
    const qint64 counted = panel->currentTime() - from;

    // The panel draws for its screen's rate (60 Hz when unknown); two
    // frames of slack for the first and the last.
    const double rate = panel->screen() ? panel->screen()->refreshRate() : 0.0;
    const double hz = rate >= 24.0 && rate <= 240.0 ? rate : 60.0;
    const double frames = elapsedMs / (1000.0 / hz) + 2;
    EXPECT_LE(label.count, frames) << elapsedMs << " ms";
    EXPECT_LE(cells.count, label.count + 1);
    EXPECT_GT(counted, label.count) << "the count should outrun the drawing";

    const QRect cell = table->visualItemRect(table->item(0, 1));
    EXPECT_TRUE(cell.contains(cells.region.boundingRect())) << cell.width();
    EXPECT_TRUE(panel->timeLbl()->rect().contains(label.region.boundingRect()));
    EXPECT_EQ(buttons.count, 0);
    // The panel behind the transparent label only under the label.
    EXPECT_TRUE(back.region.isEmpty() ||
                panel->timeLbl()->geometry().contains(back.region.boundingRect()));

    click(panel->startStopBtn());
    const qint64 stopped = panel->currentTime();
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
