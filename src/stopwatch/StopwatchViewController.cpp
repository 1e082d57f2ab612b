#include "stopwatch/StopwatchViewController.h"

#include <QFontDatabase>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QShortcut>
#include <QTableWidget>

#include "common/Geometry.h"
#include "platform/Log.h"
#include "platform/SerialQueue.h"
#include "platform/TimerSource.h"

namespace pendra {

namespace {
constexpr int kRowHeight = 20;
}

StopwatchViewController::StopwatchViewController(QWidget* parent)
    : Panel(parent),
      timeLbl_(new QLabel(this)),
      startStopBtn_(new QPushButton(this)),
      lapBtn_(new QPushButton(this)),
      lapTableView_(new QTableWidget(this)) {
    timeLbl_->setObjectName(QStringLiteral("timeLbl"));
    startStopBtn_->setObjectName(QStringLiteral("startStopBtn"));
    lapBtn_->setObjectName(QStringLiteral("lapBtn"));
    lapTableView_->setObjectName(QStringLiteral("lapTableView"));
    connect(startStopBtn_, &QPushButton::clicked, this,
            &StopwatchViewController::startStopBtnPressed);
    connect(lapBtn_, &QPushButton::clicked, this, &StopwatchViewController::lapBtnPressed);
}

StopwatchViewController::~StopwatchViewController() {
    // The source first: no tick may run against a half-destroyed panel.
    dst_.reset();
    queue_.reset();
}

void StopwatchViewController::viewDidLoad() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(50);
    timeLbl_->setFont(font);
    timeLbl_->setAlignment(Qt::AlignCenter);
    timeLbl_->setTextFormat(Qt::PlainText);
    timeLbl_->setText(QStringLiteral("00:00.00"));
    timeLbl_->setGeometry(flippedFrame(kPanelHeight, 0, 187, 450, 65));

    const int buttonsY = timeLbl_->geometry().bottom() + 6;
    startStopBtn_->setGeometry(125, buttonsY, 96, 30);
    lapBtn_->setGeometry(229, buttonsY, 96, 30);
    startStopBtn_->setText(QStringLiteral("Start"));
    lapBtn_->setText(QStringLiteral("Lap"));
    lapBtn_->setEnabled(false);
    startStopBtn_->setAutoDefault(false);
    lapBtn_->setAutoDefault(false);

    const int tableY = buttonsY + 38;
    lapTableView_->setGeometry(40, tableY, 370, kPanelHeight - tableY - 6);
    lapTableView_->setColumnCount(2);
    lapTableView_->horizontalHeader()->hide();
    lapTableView_->verticalHeader()->hide();
    lapTableView_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    lapTableView_->verticalHeader()->setDefaultSectionSize(kRowHeight);
    lapTableView_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    lapTableView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lapTableView_->setSelectionMode(QAbstractItemView::NoSelection);
    lapTableView_->setFocusPolicy(Qt::NoFocus);
    lapTableView_->setShowGrid(false);

    auto* space = new QShortcut(QKeySequence(Qt::Key_Space), this);
    space->setContext(Qt::WidgetWithChildrenShortcut);
    connect(space, &QShortcut::activated, this, &StopwatchViewController::startStopBtnPressed);
    for (int key : {int(Qt::Key_Return), int(Qt::Key_Enter)}) {
        auto* lap = new QShortcut(QKeySequence(key), this);
        lap->setContext(Qt::WidgetWithChildrenShortcut);
        connect(lap, &QShortcut::activated, this, [this] {
            if (swState_ == State::on) {
                createLap();
            }
        });
    }
}

void StopwatchViewController::viewDidAppear() {}

void StopwatchViewController::showEvent(QShowEvent* event) {
    Panel::showEvent(event);
    // Nothing is drawn while hidden; catch up on what was counted meanwhile.
    redraw();
}

void StopwatchViewController::startStopBtnPressed() {
    switch (swState_) {
        case State::on:
            pauseStopwatch();
            break;
        case State::off:
            startStopwatch();
            break;
        case State::paused:
            resumeStopwatch();
            break;
    }
}

void StopwatchViewController::lapBtnPressed() {
    switch (swState_) {
        case State::on:
            createLap();
            break;
        case State::paused:
            resetStopwatch();
            break;
        case State::off:
            printLine(QStringLiteral("this should be impossible."));
            break;
    }
}

void StopwatchViewController::startStopwatch() {
    swState_ = State::on;
    lapBtn_->setText(QStringLiteral("Lap"));
    lapBtn_->setEnabled(true);
    startStopBtn_->setText(QStringLiteral("Stop"));
    {
        std::lock_guard lock(mutex_);
        laps_.append(Lap{QStringLiteral("Lap 1"), 0});
        counting_ = true;
    }
    reloadLapTable();
    createTimer();
    if (dst_) {
        dst_->resume();
    }
}

void StopwatchViewController::pauseStopwatch() {
    swState_ = State::paused;
    lapBtn_->setText(QStringLiteral("Reset"));
    startStopBtn_->setText(QStringLiteral("Start"));
    if (dst_) {
        dst_->suspend();
    }
}

void StopwatchViewController::resumeStopwatch() {
    swState_ = State::on;
    lapBtn_->setText(QStringLiteral("Lap"));
    startStopBtn_->setText(QStringLiteral("Stop"));
    if (dst_) {
        dst_->resume();
    }
}

void StopwatchViewController::resetStopwatch() {
    swState_ = State::off;
    lapBtn_->setText(QStringLiteral("Lap"));
    lapBtn_->setEnabled(false);
    startStopBtn_->setText(QStringLiteral("Start"));
    if (dst_) {
        dst_->cancel();
    }
    {
        // A tick already running waits here and then finds nothing to count.
        std::lock_guard lock(mutex_);
        counting_ = false;
        currentTime_ = 0;
        laps_.clear();
    }
    updateTimeLbl();
    reloadLapTable();
}

void StopwatchViewController::createLap() {
    {
        std::lock_guard lock(mutex_);
        laps_.insert(0, Lap{QStringLiteral("Lap ") + QString::number(laps_.size() + 1), 0});
    }
    reloadLapTable();
}

void StopwatchViewController::createTimer() {
    if (manualTicks_) {
        return;
    }
    dst_.reset();
    queue_ = std::make_unique<SerialQueue>(QStringLiteral("com.zentho.Pendra.stopwatch"));
    dst_ = std::make_unique<TimerSource>(*queue_, std::chrono::milliseconds(10),
                                         [this](std::uint64_t firings) { tick(firings); });
}

void StopwatchViewController::tick(std::uint64_t firings) {
    {
        std::lock_guard lock(mutex_);
        if (!counting_ || laps_.isEmpty()) {
            return;
        }
        currentTime_ += qint64(firings);
        laps_[0].time += qint64(firings);
    }
    reloadEverything();
}

void StopwatchViewController::reloadEverything() {
    // The count goes on at 100 Hz; drawing is coalesced to one pending
    // redraw, and skipped entirely while the panel is not on screen.
    if (redrawPending_.exchange(true)) {
        return;
    }
    QPointer<StopwatchViewController> self(this);
    mainQueueAsync([self] {
        if (self) {
            self->redrawPending_ = false;
            if (self->isVisible()) {
                self->redraw();
            }
        }
    });
}

void StopwatchViewController::redraw() {
    updateTimeLbl();
    qint64 lapTime = 0;
    {
        std::lock_guard lock(mutex_);
        if (laps_.isEmpty()) {
            return;
        }
        lapTime = laps_[0].time;
    }
    // Only the running lap's time cell changes.
    if (QTableWidgetItem* cell = lapTableView_->item(0, 1)) {
        const QString text = stopwatchText(lapTime);
        if (cell->text() != text) {
            cell->setText(text);
        }
    }
}

void StopwatchViewController::updateTimeLbl() {
    const QString text = stopwatchText(currentTime());
    if (timeLbl_->text() != text) {
        timeLbl_->setText(text);
    }
}

void StopwatchViewController::reloadLapTable() {
    const QList<Lap> snapshot = laps();
    lapTableView_->setRowCount(int(snapshot.size()));
    for (int r = 0; r < snapshot.size(); ++r) {
        for (int c = 0; c < 2; ++c) {
            const QString text = cellText(r, c);
            if (QTableWidgetItem* item = lapTableView_->item(r, c)) {
                item->setText(text);
            } else {
                auto* fresh = new QTableWidgetItem(text);
                fresh->setTextAlignment(c == 0 ? Qt::AlignLeft | Qt::AlignVCenter
                                               : Qt::AlignRight | Qt::AlignVCenter);
                lapTableView_->setItem(r, c, fresh);
            }
        }
    }
}

QString StopwatchViewController::cellText(int row, int column) const {
    std::lock_guard lock(mutex_);
    if (row < 0 || row >= laps_.size()) {
        return {};
    }
    if (column == 0) {
        return laps_[row].name;
    }
    if (column == 1) {
        return stopwatchText(laps_[row].time);
    }
    printLine(QStringLiteral("weird table column: ") + QString::number(column));
    return {};
}

qint64 StopwatchViewController::currentTime() const {
    std::lock_guard lock(mutex_);
    return currentTime_;
}

QList<Lap> StopwatchViewController::laps() const {
    std::lock_guard lock(mutex_);
    return laps_;
}

}  // namespace pendra
