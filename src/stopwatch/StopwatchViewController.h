#pragma once

#include <QList>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>

#include "common/Panel.h"
#include "stopwatch/Lap.h"

class QLabel;
class QPushButton;
class QTableWidget;

namespace pendra {

class SerialQueue;
class TimerSource;

// The stopwatch: hundredths counted on a strict 10 ms grid on a queue of its
// own, laps with their own split times, newest first.
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

    // One run of the tick handler, standing for `firings` 10 ms firings.
    void tick(std::uint64_t firings);
    // Tests drive tick() themselves: no timer is started.
    void setManualTicksForTesting(bool manual) { manualTicks_ = manual; }

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
    void createTimer();
    void reloadEverything();
    void updateTimeLbl();
    void reloadLapTable();
    void redraw();
    void redrawWhenFrameDue();

    QLabel* timeLbl_;
    QPushButton* startStopBtn_;
    QPushButton* lapBtn_;
    QTableWidget* lapTableView_;

    State swState_ = State::off;
    // The tick's queue writes both; the main thread reads and changes laps.
    mutable std::mutex mutex_;
    QList<Lap> laps_;
    qint64 currentTime_ = 0;
    bool counting_ = false;

    // Set while the panel is on screen; the tick posts no redraw otherwise.
    std::atomic<bool> shown_{false};
    std::atomic<bool> redrawPending_{false};
    QTimer frameTimer_;
    std::chrono::steady_clock::time_point lastRedraw_{};
    std::unique_ptr<SerialQueue> queue_;
    std::unique_ptr<TimerSource> dst_;
    bool manualTicks_ = false;
};

}  // namespace pendra
