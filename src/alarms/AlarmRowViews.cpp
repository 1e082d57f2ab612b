#include "alarms/AlarmViewController.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>

#include "alarms/AlarmListView.h"
#include "alarms/AlarmRowGeometry.h"
#include "common/Ask.h"
#include "common/Preferences.h"
#include "common/Ringtones.h"
#include "platform/Paths.h"
#include "platform/UserDefaults.h"
#include "platform/UserNotificationCenter.h"

namespace pendra {

namespace {

const QString kGentleWakeKey = QStringLiteral("gentleWake");
constexpr int kStaticHeight = kAlarmStaticRowHeight;
constexpr int kEditableHeight = kAlarmEditableRowHeight;
constexpr int kButtonBarHeight = 36;

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
    model_->setDo24HourTime(do24HourTimePreference());

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

    buildEditor();
    tableView_ = new AlarmListView(*model_, editorRow_, this);
    tableView_->setObjectName(QStringLiteral("alarmTable"));
    tableView_->setGeometry(0, kButtonBarHeight, kPanelWidth, kPanelHeight - kButtonBarHeight);
    // The rows use the full 450 points up to x = 442; a slim bar in the last
    // eight keeps every control clear of it.
    tableView_->verticalScrollBar()->setStyleSheet(QStringLiteral(
        "QScrollBar:vertical { width: 7px; background: transparent; margin: 0; }"
        "QScrollBar::handle:vertical { background: palette(mid); border-radius: 3px;"
        " min-height: 24px; }"
        "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
        "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }"));
    connect(tableView_, &AlarmListView::buttonClicked, this,
            [this](int row, AlarmListView::Button button) {
                switch (button) {
                    case AlarmListView::Button::Stop:
                        return stopSnooze(row);
                    case AlarmListView::Button::Edit:
                        return editBtnPressed(row);
                    case AlarmListView::Button::Enabled:
                        return toggleAlarm(row, !model_->at(row).alarm.enabled);
                    case AlarmListView::Button::SnoozeNow:
                        return snoozeRinging(row);
                    case AlarmListView::Button::Dismiss:
                        return dismissRinging(row);
                    case AlarmListView::Button::None:
                        return;
                }
            });
    emptyLabel_ = new QLabel(tr("No alarms"), this);
    emptyLabel_->setObjectName(QStringLiteral("alarmEmpty"));
    emptyLabel_->setAlignment(Qt::AlignCenter);
    emptyLabel_->setForegroundRole(QPalette::PlaceholderText);
    emptyLabel_->setGeometry(tableView_->geometry());
    emptyLabel_->hide();
}

AlarmViewController::~AlarmViewController() = default;

// --- Table -------------------------------------------------------------------

int AlarmViewController::numberOfRows() const {
    return model_->size();
}

int AlarmViewController::heightOfRow(int row) const {
    return row == currentlyBeingEdited_ ? kEditableHeight : kStaticHeight;
}

void AlarmViewController::reloadData() {
    emptyLabel_->setVisible(model_->size() == 0);
    emptyLabel_->raise();
}

void AlarmViewController::setEditing(int row) {
    const bool hadFocus = editorRow_->isAncestorOf(QApplication::focusWidget());
    currentlyBeingEdited_ = row;
    tableView_->setEditedRow(row);
    if (row < 0 && hadFocus) {
        // The keyboard goes back to the list rather than to the next button.
        tableView_->setFocus();
    }
}

void AlarmViewController::closeEditor() {
    const int row = currentlyBeingEdited_;
    if (row > -1) {
        makeStatic(row);
    }
}

void AlarmViewController::makeStatic(int row) {
    // Only the edited row's own return to static form ends the edit: a
    // snooze or dismissal of another row leaves the editor open.
    if (currentlyBeingEdited_ == row) {
        setEditing(-1);
    }
    if (model_->isNewAlarmOpen(row)) {
        // The new alarm's editor has closed: it is a real alarm now.
        model_->closeNewAlarm();
        model_->save();
    }
    tableView_->update(model_->index(row));
}

void AlarmViewController::newAlarmView(int row) {
    if (currentlyBeingEdited_ > -1) {
        closeEditor();
    }
    makeEditable(row);
    reloadData();
}

void AlarmViewController::updateAlarmViewsFromAlarms() {
    // The rows are painted from the model as they are: nothing to rebuild.
    closeEditor();
    tableView_->viewport()->update();
    reloadData();
}

}  // namespace pendra
