#include "stopwatch/StopwatchViewController.h"

#include <QFontDatabase>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTableWidget>

#include "common/Geometry.h"
#include "platform/Log.h"
#include "platform/SerialQueue.h"
#include "platform/TimerSource.h"

namespace pendra {

using namespace std::chrono_literals;

namespace {
constexpr int kRowHeight = 20;
// Unseen, the count still runs on the same grid, but the timer thread wakes
// once a second instead of a hundred times.
constexpr std::uint64_t kHiddenWakeEvery = 100;
constexpr std::uint64_t kShownWakeEvery = 3;

// One displayed frame of the panel's screen; 60 Hz when it cannot tell.
std::chrono::nanoseconds frameInterval(const QWidget* widget) {
    const QScreen* screen = widget->screen();
    double hz = screen ? screen->refreshRate() : 0.0;
    if (!(hz >= 24.0 && hz <= 240.0)) {
        hz = 60.0;
    }
    return std::chrono::nanoseconds(qint64(1e9 / hz));
}

// Seen, the count needs to come in no faster than it is drawn: each wake of
// the timer is a hop across two threads and costs more than the counting.
// Drawing goes no faster than the screen's frames nor than kShownWakeEvery
// hundredths apart, which still shows every tenth.
std::uint64_t shownWakeEvery(const QWidget* widget) {
    const auto frame = frameInterval(widget);
    return std::max<std::uint64_t>(kShownWakeEvery, std::uint64_t((frame + 9999999ns) / 10ms));
}
}  // namespace

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
    frameTimer_.setSingleShot(true);
    frameTimer_.setTimerType(Qt::PreciseTimer);
    connect(&frameTimer_, &QTimer::timeout, this, &StopwatchViewController::redrawWhenFrameDue);
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
    startStopBtn_->setText(tr("Start"));
    lapBtn_->setText(tr("Lap"));
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
    QFont cellFont = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    cellFont.setPixelSize(12);
    lapTableView_->setFont(cellFont);

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
    shown_ = true;
    if (dst_) {
        dst_->setWakeEvery(shownWakeEvery(this));
    }
    // Nothing is drawn while hidden; catch up on what was counted meanwhile.
    redraw();
}

void StopwatchViewController::hideEvent(QHideEvent* event) {
    Panel::hideEvent(event);
    shown_ = false;
    if (dst_) {
        dst_->setWakeEvery(kHiddenWakeEvery);
    }
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
    lapBtn_->setText(tr("Lap"));
    lapBtn_->setEnabled(true);
    startStopBtn_->setText(tr("Stop"));
    // The new timer first: replacing the old queue waits for a tick of the
    // previous run still in flight, which must not count into this one.
    createTimer();
    {
        std::lock_guard lock(mutex_);
        laps_.append(Lap{tr("Lap %1").arg(1), 0});
        counting_ = true;
    }
    reloadLapTable();
    if (dst_) {
        dst_->resume();
    }
}

void StopwatchViewController::pauseStopwatch() {
    swState_ = State::paused;
    lapBtn_->setText(tr("Reset"));
    startStopBtn_->setText(tr("Start"));
    if (dst_) {
        dst_->suspend();
    }
    // Show the stopped time at once rather than at the next frame.
    redraw();
}

void StopwatchViewController::resumeStopwatch() {
    swState_ = State::on;
    lapBtn_->setText(tr("Lap"));
    startStopBtn_->setText(tr("Stop"));
    if (dst_) {
        dst_->resume();
    }
}

void StopwatchViewController::resetStopwatch() {
    swState_ = State::off;
    lapBtn_->setText(tr("Lap"));
    lapBtn_->setEnabled(false);
    startStopBtn_->setText(tr("Start"));
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
        laps_.insert(0, Lap{tr("Lap %1").arg(laps_.size() + 1), 0});
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
    dst_->setWakeEvery(shown_ ? shownWakeEvery(this) : kHiddenWakeEvery);
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
    // redraw and at most one per displayed frame, and nothing is posted at
    // all while the panel is not on screen (showEvent catches up).
    if (!shown_ || redrawPending_.exchange(true)) {
        return;
    }
    QPointer<StopwatchViewController> self(this);
    mainQueueAsync([self] {
        if (self) {
            self->redrawWhenFrameDue();
        }
    });
}

void StopwatchViewController::redrawWhenFrameDue() {
    const auto now = std::chrono::steady_clock::now();
    const auto due = lastRedraw_ + frameInterval(this);
    if (now < due) {
        if (!frameTimer_.isActive()) {
            frameTimer_.start(std::chrono::ceil<std::chrono::milliseconds>(due - now).count());
        }
        return;
    }
    lastRedraw_ = now;
    // Cleared before reading the counts, so a tick after this posts again.
    redrawPending_ = false;
    if (isVisible()) {
        redraw();
    }
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

// Copies handed out own their elements. A shared copy would leave the lock
// with the tick's list: the tick then decides whether to detach from a
// relaxed read of the share count, which orders nothing against the reader.
StopwatchViewController::Reading StopwatchViewController::reading() const {
    std::lock_guard lock(mutex_);
    return Reading{currentTime_, QList<Lap>(laps_.cbegin(), laps_.cend())};
}

QList<Lap> StopwatchViewController::laps() const {
    std::lock_guard lock(mutex_);
    return QList<Lap>(laps_.cbegin(), laps_.cend());
}

}  // namespace pendra
