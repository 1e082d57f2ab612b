#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLabel>
#include <QPaintEvent>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QTest>
#include <memory>

#include "stopwatch/StopwatchViewController.h"
#include "support/TestEnvironment.h"

namespace pendra {
namespace {

std::unique_ptr<StopwatchViewController> makePanel() {
    auto panel = std::make_unique<StopwatchViewController>();
    panel->setFixedSize(kPanelWidth, kPanelHeight);
    panel->viewDidLoad();
    panel->show();
    panel->viewDidAppear();
    return panel;
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

// While running, only the label and the running lap's time cell are
// repainted, and at most once per displayed frame though the count goes on
// at 100 Hz.
TEST(StopwatchRepaint, OnlyLabelAndRunningCellAtMostOncePerFrame) {
    auto panel = makePanel();
    panel->startStopBtnPressed();
    panel->lapBtnPressed();
    panel->lapBtnPressed();
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
}

}  // namespace
}  // namespace pendra
