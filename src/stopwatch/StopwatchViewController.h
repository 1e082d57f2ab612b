#pragma once

#include <QList>

#include "common/Panel.h"
#include "stopwatch/Lap.h"

class QLabel;
class QPushButton;
class QTableWidget;

namespace pendra {

class TickDriver;

// The stopwatch: hundredths counted on a strict 10 ms grid on a queue of its
// own, laps with their own split times, newest first. The count is read off
// the grid when drawn, in step with the screen's frames while seen.
class StopwatchViewController : public Panel {
    Q_OBJECT
public:
    enum class State { on, off, paused };

    explicit StopwatchViewController(QWidget* parent = nullptr);
    ~StopwatchViewController() override;

    void viewDidLoad() override;
    void viewDidAppear() override;

    void startStopBtnPressed();
    void lapBtnPressed();

    // Counts the hundredths; tests drive it by hand.
    TickDriver& tickDriver() const { return *driver_; }

    State swState() const { return swState_; }
    qint64 currentTime() const;
    QList<Lap> laps() const;
    // The total and the laps read together, as one tick leaves them.
    struct Reading {
        qint64 total = 0;
        QList<Lap> laps;
    };
    Reading reading() const;
    // The text of a lap cell; only columns 0 (name) and 1 (time) exist.
    QString cellText(int row, int column) const;

    QLabel* timeLbl() const { return timeLbl_; }
    QPushButton* startStopBtn() const { return startStopBtn_; }
    QPushButton* lapBtn() const { return lapBtn_; }
    QTableWidget* lapTableView() const { return lapTableView_; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void startStopwatch();
    void pauseStopwatch();
    void resumeStopwatch();
    void resetStopwatch();
    void createLap();
    void reloadLapTable();
    void redraw();

    QLabel* timeLbl_;
    QPushButton* startStopBtn_;
    QPushButton* lapBtn_;
    QTableWidget* lapTableView_;

    State swState_ = State::off;
    // Laps before the running one keep their time; the running lap is the
    // count since lapStart_.
    QList<Lap> laps_;
    qint64 lapStart_ = 0;
    TickDriver* driver_;
};

}  // namespace pendra
