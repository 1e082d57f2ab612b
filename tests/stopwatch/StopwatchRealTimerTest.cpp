#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLabel>
#include <QPaintEvent>
#include <QPushButton>
#include <QRegularExpression>
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

// Records the paint events a widget gets.
class PaintRecorder : public QObject {
public:
    explicit PaintRecorder(QWidget* widget) : widget_(widget) { widget->installEventFilter(this); }
    int count = 0;
    QRegion region;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == widget_ && event->type() == QEvent::Paint) {
            ++count;
            region += static_cast<QPaintEvent*>(event)->region();
        }
        return false;
    }
    void clear() {
        count = 0;
        region = {};
    }

private:
    QWidget* widget_;
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
    PaintRecorder label(panel->timeLbl());
    PaintRecorder cells(table->viewport());
    PaintRecorder start(panel->startStopBtn());
    PaintRecorder lap(panel->lapBtn());
    PaintRecorder back(panel.get());

    const qint64 from = panel->currentTime();
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(test::waitUntil([&] { return label.count >= 20; }, 30000));
    const double elapsedMs = double(clock.elapsed());
    const qint64 counted = panel->currentTime() - from;

    // The panel draws for its screen's rate (60 Hz when unknown); two
    // frames of slack for the first and the last.
    double hz = panel->screen() ? panel->screen()->refreshRate() : 0.0;
    if (!(hz >= 24.0 && hz <= 240.0)) {
        hz = 60.0;
    }
    const double frames = elapsedMs / (1000.0 / hz) + 2;
    EXPECT_LE(label.count, frames) << elapsedMs << " ms";
    EXPECT_LE(cells.count, label.count + 1);
    EXPECT_GT(counted, label.count) << "the count should outrun the drawing";

    const QRect cell = table->visualItemRect(table->item(0, 1));
    EXPECT_TRUE(QRegion(cell).contains(cells.region.boundingRect()))
        << "repainted " << qPrintable(QString::number(cells.region.boundingRect().width()))
        << " wide, cell " << cell.width();
    EXPECT_TRUE(QRegion(panel->timeLbl()->rect()).contains(label.region.boundingRect()));
    EXPECT_EQ(start.count, 0);
    EXPECT_EQ(lap.count, 0);
    // The panel behind the transparent label only under the label.
    EXPECT_TRUE(back.region.isEmpty() ||
                panel->timeLbl()->geometry().contains(back.region.boundingRect()));
}

// Hidden, the panel's timer wakes seldom; shown again, the display catches up
// with the full count rather than the one of its last wake.
TEST(StopwatchHidden, CountsOnWhileHiddenAndCatchesUpWhenShown) {
    auto panel = makePanel();
    QElapsedTimer clock;
    clock.start();
    panel->startStopBtnPressed();
    ASSERT_TRUE(test::waitUntil([&] { return panel->currentTime() > 2; }, 20000));
    panel->hide();
    QTest::qWait(1500);
    panel->show();
    ASSERT_TRUE(
        test::waitUntil([&] { return panel->currentTime() * 10 + 60 >= clock.elapsed(); }, 300));
    QTest::qWait(50);
    // mm:ss.hh in hundredths
    const QStringList parts =
        panel->timeLbl()->text().split(QRegularExpression(QStringLiteral("[:.]")));
    ASSERT_EQ(parts.size(), 3);
    const qint64 shown =
        (parts[0].toLongLong() * 60 + parts[1].toLongLong()) * 100 + parts[2].toLongLong();
    EXPECT_GE(shown * 10 + 100, clock.elapsed()) << qPrintable(panel->timeLbl()->text());
    EXPECT_LE(shown, panel->currentTime());
    panel->startStopBtnPressed();
}

}  // namespace
}  // namespace pendra
