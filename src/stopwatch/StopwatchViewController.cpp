#include "stopwatch/StopwatchViewController.h"

#include <QFontDatabase>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QTableWidget>

#include "common/Geometry.h"
#include "common/TickDriver.h"
#include "platform/Log.h"
#include "stopwatch/TimeText.h"

namespace pendra {

using namespace std::chrono_literals;

namespace {
constexpr int kRowHeight = 20;
constexpr std::chrono::milliseconds kDrawGap{30};
}  // namespace

StopwatchViewController::StopwatchViewController(QWidget* parent)
    : Panel(parent),
      timeLbl_(new TimeLabel(this)),
      startStopBtn_(new QPushButton(this)),
      lapBtn_(new QPushButton(this)),
      lapTableView_(new QTableWidget(this)),
      driver_(new TickDriver(QStringLiteral("com.zentho.Pendra.stopwatch"), 10ms, this)) {
    timeLbl_->setObjectName(QStringLiteral("timeLbl"));
    startStopBtn_->setObjectName(QStringLiteral("startStopBtn"));
    lapBtn_->setObjectName(QStringLiteral("lapBtn"));
    lapTableView_->setObjectName(QStringLiteral("lapTableView"));
    connect(startStopBtn_, &QPushButton::clicked, this,
            &StopwatchViewController::startStopBtnPressed);
    connect(lapBtn_, &QPushButton::clicked, this, &StopwatchViewController::lapBtnPressed);
    driver_->setShown(false);
    driver_->setRedraw([this] { redraw(); });
    // Every other frame at 60 Hz: each tenth still shows three times, and a
    // frame drawn costs far more than the count.
    driver_->drawWithFrames(this, kDrawGap);
}

StopwatchViewController::~StopwatchViewController() {
    delete driver_;
}

void StopwatchViewController::viewDidLoad() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(50);
    timeLbl_->setFont(font);
    timeLbl_->setAlignment(Qt::AlignCenter);
    timeLbl_->setTextFormat(Qt::PlainText);
    timeLbl_->setText(QStringLiteral("00:00.00"));
    timeLbl_->setGeometry(flippedFrame(kPanelHeight, 0, 187, 450, 65));
    timeLbl_->setFixedSize(timeLbl_->size());

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
    lapTableView_->setItemDelegateForColumn(1, new TimeCellDelegate(lapTableView_));

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
    driver_->setShown(true);
}

void StopwatchViewController::hideEvent(QHideEvent* event) {
    Panel::hideEvent(event);
    driver_->setShown(false);
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
    laps_.append(Lap{tr("Lap %1").arg(1), 0});
    lapStart_ = 0;
    reloadLapTable();
    driver_->start();
}

void StopwatchViewController::pauseStopwatch() {
    swState_ = State::paused;
    lapBtn_->setText(tr("Reset"));
    startStopBtn_->setText(tr("Start"));
    // The count stands still from here: the total shown is the one stopped.
    driver_->pause();
    redraw();
}

void StopwatchViewController::resumeStopwatch() {
    swState_ = State::on;
    lapBtn_->setText(tr("Lap"));
    startStopBtn_->setText(tr("Stop"));
    driver_->resume();
}

void StopwatchViewController::resetStopwatch() {
    swState_ = State::off;
    lapBtn_->setText(tr("Lap"));
    lapBtn_->setEnabled(false);
    startStopBtn_->setText(tr("Start"));
    driver_->stop();
    laps_.clear();
    lapStart_ = 0;
    redraw();
    reloadLapTable();
}

void StopwatchViewController::createLap() {
    const qint64 now = currentTime();
    laps_[0].time = now - lapStart_;
    lapStart_ = now;
    laps_.insert(0, Lap{tr("Lap %1").arg(laps_.size() + 1), 0});
    reloadLapTable();
}

void StopwatchViewController::redraw() {
    const qint64 total = currentTime();
    const QString text = stopwatchText(total);
    if (timeLbl_->text() != text) {
        timeLbl_->setText(text);
    }
    // Only the running lap's time cell changes.
    QTableWidgetItem* cell = lapTableView_->item(0, 1);
    if (cell && !laps_.isEmpty()) {
        const QString lap = stopwatchText(total - lapStart_);
        if (cell->text() != lap) {
            cell->setText(lap);
        }
    }
}

void StopwatchViewController::reloadLapTable() {
    const QList<Lap> snapshot = laps();
    lapTableView_->setRowCount(int(snapshot.size()));
    for (int r = 0; r < snapshot.size(); ++r) {
        for (int c = 0; c < 2; ++c) {
            const QString text = c == 0 ? snapshot[r].name : stopwatchText(snapshot[r].time);
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
    const QList<Lap> snapshot = laps();
    if (row < 0 || row >= snapshot.size()) {
        return {};
    }
    if (column == 0) {
        return snapshot[row].name;
    }
    if (column == 1) {
        return stopwatchText(snapshot[row].time);
    }
    printLine(QStringLiteral("weird table column: ") + QString::number(column));
    return {};
}

qint64 StopwatchViewController::currentTime() const {
    return swState_ == State::off ? 0 : qint64(driver_->count());
}

// The total and the running lap from one reading of the count.
StopwatchViewController::Reading StopwatchViewController::reading() const {
    Reading r{currentTime(), laps_};
    if (!r.laps.isEmpty()) {
        r.laps[0].time = r.total - lapStart_;
    }
    return r;
}

QList<Lap> StopwatchViewController::laps() const {
    return reading().laps;
}

}  // namespace pendra
