#include "alarms/AlarmViewController.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimeEdit>
#include <QToolButton>
#include <algorithm>

#include "alarms/AlarmRowGeometry.h"
#include "alarms/AlarmRules.h"
#include "common/Ask.h"
#include "common/Geometry.h"
#include "common/Preferences.h"
#include "common/Ringtones.h"
#include "common/Stepper.h"
#include "common/TonePreview.h"
#include "platform/Clock.h"
#include "platform/Log.h"
#include "platform/Paths.h"
#include "platform/UserDefaults.h"
#include "platform/UserNotificationCenter.h"

namespace pendra {

namespace {

const QString kGentleWakeKey = QStringLiteral("gentleWake");
constexpr int kStaticHeight = kAlarmStaticRowHeight;
constexpr int kEditableHeight = kAlarmEditableRowHeight;
constexpr int kButtonBarHeight = 36;

QLabel* plainLabel(QWidget* parent, const QString& text, const QString& name) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    label->setObjectName(name);
    return label;
}

}  // namespace

AlarmViewController::AlarmViewController(UserNotificationCenter& center, QWidget* parent)
    : Panel(parent),
      notificationCenter(center),
      ringer_(std::make_unique<Ringer>(Paths::ringtonesDir(), Paths::userRingtonesDir())),
      model_(new AlarmListModel(center, Paths::dataDir(), Paths::runRecordFile(), this)) {
    ringer_->onSilent = [this] {
        const std::optional<int> row = model_->rowOfId(soundingId_);
        if (const UserNotificationPtr ring = row ? model_->at(*row).ring : nullptr) {
            ring->subtitle = silentAlertText(ring->subtitle);
            notificationCenter.updateDeliveredNotification(ring);
        }
    };
    connect(model_, &AlarmListModel::scheduleChanged, this, &AlarmViewController::alarmsChanged);
    setObjectName(QStringLiteral("alarmsPanel"));
    setFixedSize(kPanelWidth, kPanelHeight);
    do24HourTime_ = do24HourTimePreference();

    newAlarmBtn_ = new QPushButton(tr("New Alarm"), this);
    newAlarmBtn_->setObjectName(QStringLiteral("alarmNew"));
    newAlarmBtn_->setGeometry(8, 4, 110, 28);
    // Created between the two buttons: Tab visits it in reading order.
    gentleWakeBox_ = new QCheckBox(tr("Gentle wake"), this);
    gentleWakeBox_->setObjectName(QStringLiteral("alarmGentleWake"));
    gentleWakeBox_->setToolTip(tr("Alarms rise from quiet to full volume over 30 s"));
    gentleWakeBox_->adjustSize();
    gentleWakeBox_->move((kPanelWidth - gentleWakeBox_->width()) / 2,
                         4 + (28 - gentleWakeBox_->height()) / 2);
    gentleWakeBox_->setChecked(UserDefaults::standard().boolForKey(kGentleWakeKey));
    connect(gentleWakeBox_, &QCheckBox::toggled, this,
            [](bool on) { UserDefaults::standard().setBool(kGentleWakeKey, on); });
    clearBtn_ = new QPushButton(tr("Clear"), this);
    clearBtn_->setObjectName(QStringLiteral("alarmClear"));
    clearBtn_->setGeometry(kPanelWidth - 8 - 80, 4, 80, 28);
    connect(newAlarmBtn_, &QPushButton::clicked, this, [this] { newAlarmButtonClicked(); });
    connect(clearBtn_, &QPushButton::clicked, this, [this] {
        // Everything goes at once: ask first, and write nothing until answered.
        const int count = model_->size();
        if (count == 0) {
            clearAlarms();
            return;
        }
        askBefore(this, QStringLiteral("alarmClearAlert"),
                  count == 1 ? tr("Delete 1 alarm?") : tr("Delete all %1 alarms?").arg(count),
                  tr("Delete"), [this] { clearAlarms(); });
    });

    tableView_ = new QScrollArea(this);
    tableView_->setObjectName(QStringLiteral("alarmTable"));
    tableView_->setGeometry(0, kButtonBarHeight, kPanelWidth, kPanelHeight - kButtonBarHeight);
    tableView_->setFrameShape(QFrame::NoFrame);
    tableView_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    tableView_->setWidgetResizable(false);
    // The rows use the full 450 points up to x = 442; a slim bar in the last
    // eight keeps every control clear of it.
    tableView_->verticalScrollBar()->setStyleSheet(QStringLiteral(
        "QScrollBar:vertical { width: 7px; background: transparent; margin: 0; }"
        "QScrollBar::handle:vertical { background: palette(mid); border-radius: 3px;"
        " min-height: 24px; }"
        "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
        "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }"));
    tableContent_ = new QWidget;
    tableContent_->setObjectName(QStringLiteral("alarmTableContent"));
    tableContent_->resize(kPanelWidth, 0);
    tableView_->setWidget(tableContent_);
    tableView_->viewport()->setAutoFillBackground(false);
    tableContent_->setAutoFillBackground(false);
    emptyLabel_ = new QLabel(tr("No alarms"), this);
    emptyLabel_->setObjectName(QStringLiteral("alarmEmpty"));
    emptyLabel_->setAlignment(Qt::AlignCenter);
    emptyLabel_->setForegroundRole(QPalette::PlaceholderText);
    emptyLabel_->setGeometry(tableView_->geometry());
    emptyLabel_->hide();

    buildEditor();
}

AlarmViewController::~AlarmViewController() = default;

// --- Table -------------------------------------------------------------------

int AlarmViewController::numberOfRows() const {
    return int(alarmViews_.size());
}

QWidget* AlarmViewController::viewForRow(int row) const {
    return row >= 0 && row < alarmViews_.size() ? alarmViews_[row] : nullptr;
}

int AlarmViewController::heightOfRow(int row) const {
    return row == currentlyBeingEdited_ ? kEditableHeight : kStaticHeight;
}

namespace {

// A row's controls find their row when clicked, not when built, since an
// insertion moves the rows below it; their names follow along.
void renumber(QWidget* view, int row) {
    static const QRegularExpression numbered(QStringLiteral("^(alarm[A-Za-z]+)-\\d+$"));
    const QString suffix = QStringLiteral("-") + QString::number(row);
    auto rename = [&](QObject* o) {
        const QRegularExpressionMatch m = numbered.match(o->objectName());
        if (m.hasMatch()) {
            o->setObjectName(m.captured(1) + suffix);
        }
    };
    rename(view);
    for (QObject* child : view->children()) {
        rename(child);
    }
}

}  // namespace

void AlarmViewController::reloadData() {
    int y = 0;
    for (int r = 0; r < alarmViews_.size(); ++r) {
        QWidget* view = alarmViews_[r];
        const int h = heightOfRow(r);
        if (view != nullptr) {
            if (r != currentlyBeingEdited_) {
                renumber(view, r);
            }
            if (view->parentWidget() != tableContent_) {
                view->setParent(tableContent_);
            }
            view->setGeometry(0, y, kPanelWidth, h);
            view->show();
        }
        y += h;
    }
    tableContent_->resize(kPanelWidth, y);
    emptyLabel_->setVisible(alarmViews_.isEmpty());
    emptyLabel_->raise();
}

void AlarmViewController::retire(QWidget* view) {
    if (view == nullptr) {
        return;
    }
    // The editing controls outlive their row.
    const QList<QWidget*> editors = {alarmTimeDatePicker_,
                                     fakeActivationBtn_,
                                     alarmLabelTextField_,
                                     ringtonePopUpBtn_,
                                     snoozeTextField_,
                                     snoozeStepper_,
                                     snoozeLbl_,
                                     doneBtn_,
                                     deleteBtn_,
                                     cancelBtn_,
                                     preview_};
    for (QWidget* w : editors) {
        if (w->parentWidget() == view) {
            w->setParent(editorHolder_);
        }
    }
    for (QCheckBox* box : repeat_) {
        if (box->parentWidget() == view) {
            box->setParent(editorHolder_);
        }
    }
    view->hide();
    // The view may hold the button whose click is being handled.
    view->deleteLater();
}

void AlarmViewController::closeEditor() {
    const int row = currentlyBeingEdited_;
    if (row > -1) {
        setView(row, makeStatic(row));
    }
}

void AlarmViewController::setView(int row, QWidget* view) {
    QWidget* old = alarmViews_[row];
    alarmViews_[row] = view;
    if (old != view) {
        retire(old);
    }
}

// --- Rows ------------------------------------------------------------------

QWidget* AlarmViewController::makeStatic(int row) {
    // Only the edited row's own rebuild ends the edit: a snooze or dismissal
    // of another row leaves the editor open and consistent.
    if (currentlyBeingEdited_ == row) {
        currentlyBeingEdited_ = -1;
    }
    if (model_->isNewAlarmOpen(row)) {
        // The new alarm's editor has closed: it is a real alarm now.
        model_->closeNewAlarm();
        model_->save();
    }
    const AlarmRecord& record = model_->at(row);
    const Alarm& alarm = record.alarm;

    auto* view = new QWidget(tableContent_);
    view->setObjectName(QStringLiteral("alarmRow-%1").arg(row));
    view->resize(kPanelWidth, kStaticHeight);

    const bool ringing = record.ring != nullptr;
    if (alarm.isSnoozed && !ringing) {
        auto* stop = new QPushButton(tr("Stop"), view);
        stop->setObjectName(QStringLiteral("alarmStop-%1").arg(row));
        stop->setGeometry(rowFrame(kStaticHeight, 325, 2, 40, 26));
        connect(stop, &QPushButton::clicked, this,
                [this, view] { stopSnooze(int(alarmViews_.indexOf(view))); });
    }
    auto* edit = new QPushButton(tr("Edit"), view);
    edit->setObjectName(QStringLiteral("alarmEdit-%1").arg(row));
    // The row's buttons are 26 of the design's 32 high, so that those of
    // neighbouring rows do not touch.
    edit->setGeometry(rowFrame(kStaticHeight, 376, 2, 46, 26));
    connect(edit, &QPushButton::clicked, this,
            [this, view] { editBtnPressed(int(alarmViews_.indexOf(view))); });

    auto* enabled = new QCheckBox(view);
    enabled->setObjectName(QStringLiteral("alarmEnabled-%1").arg(row));
    enabled->setGeometry(rowFrame(kStaticHeight, 424, 6, 18, 18));
    enabled->setChecked(alarm.enabled);
    enabled->setAccessibleName(tr("Enabled"));
    connect(enabled, &QCheckBox::toggled, this,
            [this, view](bool on) { toggleAlarm(int(alarmViews_.indexOf(view)), on); });

    auto* time = plainLabel(view, alarmTimeText(alarm.hour, alarm.minute, do24HourTime_),
                            QStringLiteral("alarmTime-%1").arg(row));
    time->move(rowFrame(kStaticHeight, 10, 7, 55, 17).topLeft());
    time->adjustSize();

    auto* label = plainLabel(view, alarm.label, QStringLiteral("alarmLabel-%1").arg(row));
    // Two points taller than the design's frame, so that its text starts
    // where the time's does and the baselines of the row line up.
    label->setGeometry(rowFrame(kStaticHeight, 65, 5, 90, 19));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // One line, cut with an ellipsis rather than clipped mid-letter.
    label->setText(label->fontMetrics().elidedText(alarm.label, Qt::ElideRight, 90));
    label->setToolTip(alarm.label);

    if (ringing) {
        // The alert's own answers, where the user looks for the alarm.
        auto* state = plainLabel(view, tr("Ringing"), QStringLiteral("alarmRinging-%1").arg(row));
        QFont bold = state->font();
        bold.setBold(true);
        state->setFont(bold);
        state->setGeometry(160, time->y(), 60, time->height());
        auto answer = [&](const QString& title, const QString& name, int x, int width,
                          void (AlarmViewController::*action)(int)) {
            auto* b = new QPushButton(title, view);
            b->setObjectName(name.arg(row));
            b->setGeometry(rowFrame(kStaticHeight, x, 2, width, 26));
            connect(b, &QPushButton::clicked, this,
                    [this, view, action] { (this->*action)(int(alarmViews_.indexOf(view))); });
        };
        answer(tr("Snooze"), QStringLiteral("alarmSnoozeNow-%1"), 222, 72,
               &AlarmViewController::snoozeRinging);
        answer(tr("Dismiss"), QStringLiteral("alarmDismiss-%1"), 298, 74,
               &AlarmViewController::dismissRinging);
        return view;
    }
    if (record.missed) {
        auto* state =
            plainLabel(view, tr("Alarm was missed"), QStringLiteral("alarmMissed-%1").arg(row));
        QFont bold = state->font();
        bold.setBold(true);
        state->setFont(bold);
        state->setGeometry(160, time->y(), 370 - 160, time->height());
        return view;
    }

    const QString tone = alarm.ringtone == QLatin1String("None") ? tr("None") : alarm.ringtone;
    auto* ringtone = plainLabel(view, tone, QStringLiteral("alarmRingtone-%1").arg(row));
    ringtone->move(rowFrame(kStaticHeight, 165, 7, 40, 17).topLeft());
    ringtone->setText(ringtone->fontMetrics().elidedText(tone, Qt::ElideRight, 96));
    ringtone->adjustSize();

    QString snooze = snoozeText(alarm.snooze);
    if (alarm.isSnoozed) {
        const UserNotificationPtr current = currentNotification(row);
        snooze = current && current->deliveryDate
                     ? minutesLeftText(Clock::now(), *current->deliveryDate)
                     : tr("snoozed");
    }
    auto* snoozeField = plainLabel(view, snooze, QStringLiteral("alarmSnooze-%1").arg(row));
    QFont font = snoozeField->font();
    font.setPixelSize(12);
    snoozeField->setFont(font);
    // From the design's x to just before the Stop or Edit button, its text
    // against that end, which leaves the repeat days room before it.
    const int snoozeRight = alarm.isSnoozed ? 321 : 370;
    const QRect snoozeFrame = rowFrame(kStaticHeight, 265, 7, 40, 17);
    snoozeField->setGeometry(snoozeFrame.x(), ringtone->y(), snoozeRight - snoozeFrame.x(),
                             ringtone->height());
    snoozeField->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    // The repeat days, smaller and dimmer, between the ringtone and the
    // snooze text.
    if (const QString days = repeatDaysText(alarm.repeatDays); !days.isEmpty()) {
        auto* daysField = plainLabel(view, days, QStringLiteral("alarmDays-%1").arg(row));
        QFont small = daysField->font();
        small.setPixelSize(11);
        daysField->setFont(small);
        daysField->setForegroundRole(QPalette::PlaceholderText);
        const int left =
            ringtone->x() + ringtone->fontMetrics().horizontalAdvance(ringtone->text()) + 8;
        const int right =
            snoozeRight - snoozeField->fontMetrics().horizontalAdvance(snoozeField->text()) - 8;
        daysField->setGeometry(left, ringtone->y(), std::max(0, right - left), ringtone->height());
        daysField->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        daysField->setText(
            daysField->fontMetrics().elidedText(days, Qt::ElideRight, daysField->width()));
        daysField->setToolTip(days);
    }
    return view;
}

void AlarmViewController::newAlarmView(int row) {
    if (currentlyBeingEdited_ > -1) {
        closeEditor();
    }
    alarmViews_.insert(row, nullptr);
    alarmViews_[row] = makeEditable(row);
    reloadData();
}

void AlarmViewController::updateAlarmViewsFromAlarms() {
    const AlarmListModel::Batch batch(*model_);
    const QList<QWidget*> old = alarmViews_;
    alarmViews_.clear();
    for (QWidget* v : old) {
        retire(v);
    }
    for (int i = 0; i < model_->size(); ++i) {
        alarmViews_.append(makeStatic(i));
    }
    reloadData();
}

}  // namespace pendra
