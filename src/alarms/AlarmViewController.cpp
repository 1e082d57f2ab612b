#include "alarms/AlarmViewController.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QSet>
#include <QTimeEdit>
#include <QToolButton>
#include <algorithm>

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

const QString kAlarmIdKey = QStringLiteral("alarmId");
const QString kGentleWakeKey = QStringLiteral("gentleWake");
constexpr int kStaticHeight = 30;
constexpr int kEditableHeight = 60;
constexpr int kButtonBarHeight = 36;

// A frame of the design, flipped into the row and kept inside it: a few of the
// design's frames reach a pixel or three past the row's edges.
QRect rowFrame(int rowHeight, int x, int y, int width, int height) {
    return flippedFrame(rowHeight, x, y, width, height).intersected(QRect(0, 0, 450, rowHeight));
}

QLabel* plainLabel(QWidget* parent, const QString& text, const QString& name) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    label->setObjectName(name);
    return label;
}

bool isKind(const UserNotificationPtr& n, QLatin1String kind) {
    return n && notificationKind(n->identifier) == QString(kind);
}

bool isAlarmKind(const UserNotificationPtr& n) {
    return isKind(n, QLatin1String("alarm"));
}

// Delivered so long after its time that ringing now would mislead.
bool cameTooLate(const UserNotification& n) {
    return n.dueDate && n.dueDate->secsTo(Clock::now()) > kLateRingSecs;
}

}  // namespace

AlarmViewController::AlarmViewController(UserNotificationCenter& center, QWidget* parent)
    : Panel(parent),
      notificationCenter(center),
      store_(Paths::dataDir()),
      ringer_(std::make_unique<Ringer>(Paths::ringtonesDir(), Paths::userRingtonesDir())),
      runRecord_(Paths::runRecordFile()) {
    ringer_->onSilent = [this] {
        for (const Ring& r : ringing_) {
            if (r.id == soundingId_) {
                r.notification->subtitle = silentAlertText(r.notification->subtitle);
                notificationCenter.updateDeliveredNotification(r.notification);
            }
        }
    };
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
        const auto count = alarms_.size();
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

    // The editing controls live as long as the panel and move into whichever
    // row is being edited; between edits they wait here, hidden.
    editorHolder_ = new QWidget(this);
    editorHolder_->hide();

    alarmTimeDatePicker_ = new QTimeEdit(editorHolder_);
    alarmTimeDatePicker_->setObjectName(QStringLiteral("alarmTimeEdit"));
    alarmTimeDatePicker_->setWrapping(true);
    fakeActivationBtn_ = new QCheckBox(editorHolder_);
    fakeActivationBtn_->setObjectName(QStringLiteral("alarmFakeEnabled"));
    alarmLabelTextField_ = new QLineEdit(editorHolder_);
    alarmLabelTextField_->setObjectName(QStringLiteral("alarmLabelEdit"));
    ringtonePopUpBtn_ = new QComboBox(editorHolder_);
    ringtonePopUpBtn_->setObjectName(QStringLiteral("alarmRingtonePopUp"));
    snoozeTextField_ = new QLineEdit(editorHolder_);
    snoozeTextField_->setObjectName(QStringLiteral("alarmSnoozeEdit"));
    snoozeStepper_ = new Stepper(editorHolder_);
    snoozeStepper_->setObjectName(QStringLiteral("alarmSnoozeStepper"));
    snoozeLbl_ = new QLabel(editorHolder_);
    snoozeLbl_->setObjectName(QStringLiteral("alarmSnoozeUnit"));
    doneBtn_ = new QPushButton(editorHolder_);
    doneBtn_->setObjectName(QStringLiteral("alarmDone"));
    deleteBtn_ = new QPushButton(editorHolder_);
    deleteBtn_->setObjectName(QStringLiteral("alarmDelete"));
    cancelBtn_ = new QToolButton(editorHolder_);
    cancelBtn_->setObjectName(QStringLiteral("alarmCancel"));
    preview_ = new TonePreview(
        *ringer_, [this] { return ringtonePopUpBtn_->currentData().toString(); }, editorHolder_);
    preview_->setObjectName(QStringLiteral("alarmRingtonePreview"));
    connect(ringtonePopUpBtn_, &QComboBox::currentIndexChanged, preview_,
            &TonePreview::toneChanged);
    static const char* const kDays[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    for (int i = 0; i < 7; ++i) {
        repeat_[size_t(i)] =
            new QCheckBox(QCoreApplication::translate("AlarmRules", kDays[i]), editorHolder_);
        repeat_[size_t(i)]->setObjectName(QStringLiteral("alarmRepeat-%1").arg(i));
    }

    connect(doneBtn_, &QPushButton::clicked, this, [this] { doneBtnPressed(); });
    connect(deleteBtn_, &QPushButton::clicked, this, [this] { deleteBtnPressed(); });
    connect(cancelBtn_, &QToolButton::clicked, this, [this] { cancelBtnPressed(); });
    connect(snoozeTextField_, &QLineEdit::textEdited, this, [this] { controlTextDidChange(); });
    connect(snoozeStepper_, &Stepper::valueChanged, this, [this] { snoozeStepperPressed(); });
}

AlarmViewController::~AlarmViewController() = default;

// --- Loading and showing ---------------------------------------------------

void AlarmViewController::viewDidLoad() {
    getAlarmsFromJSON();
    for (qsizetype i = 0; i < alarms_.size(); ++i) {
        alarmIds_.append(nextId_++);
        alarmNotifications_.append(QList<UserNotificationPtr>());
        alarmViews_.append(nullptr);
    }
    // Read before anything records this run.
    if (const std::optional<QDateTime> lastRun = runRecord_.lastRun()) {
        const QDateTime now = Clock::now();
        for (int r = 0; r < alarms_.size(); ++r) {
            if (missedRingTime(alarms_[r], *lastRun, now)) {
                markMissed(r);
            }
        }
    }
    updateAlarmViewsFromAlarms();
    updateAlarmNotificationsFromAlarms();
    reconcile();
    recordRun();
}

void AlarmViewController::viewDidAppear() {
    beginAction();
    do24HourTime_ = do24HourTimePreference();
    updateAlarmViewsFromAlarms();
    reconcile();
}

// --- Store -----------------------------------------------------------------

void AlarmViewController::getAlarmsFromJSON() {
    store_.getAlarmsFromJSON(alarms_);
}

void AlarmViewController::createAlarmsFile() {
    store_.createAlarmsFile();
}

void AlarmViewController::writeJSONFromAlarms() {
    // A full rebuild builds every static row, and each build writes; one
    // write at the end of the batch leaves the same file.
    if (batchDepth_ > 0) {
        writePending_ = true;
        return;
    }
    store_.writeJSONFromAlarms(alarms_);
    // The alarms as they now are were seen up to now.
    recordRun();
}

void AlarmViewController::recordRun() {
    runRecord_.touch(Clock::now());
}

void AlarmViewController::beginBatch() {
    ++batchDepth_;
}

void AlarmViewController::endBatch() {
    if (--batchDepth_ == 0 && writePending_) {
        writePending_ = false;
        writeJSONFromAlarms();
    }
}

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
    writeJSONFromAlarms();
    const Alarm& alarm = alarms_[row];
    const quint64 id = alarmIds_[row];
    if (id == newAlarmOpenId_) {
        // The new alarm's editor has closed: it is a real alarm now.
        newAlarmOpenId_ = 0;
    }

    auto* view = new QWidget(tableContent_);
    view->setObjectName(QStringLiteral("alarmRow-%1").arg(row));
    view->resize(kPanelWidth, kStaticHeight);

    const bool ringing = isRinging(row);
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
    if (missed_.contains(id)) {
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

QWidget* AlarmViewController::makeEditable(int row) {
    currentlyBeingEdited_ = row;
    const Alarm& alarm = alarms_[row];

    auto* view = new QWidget(tableContent_);
    view->setObjectName(QStringLiteral("alarmEditRow-%1").arg(row));
    view->resize(kPanelWidth, kEditableHeight);

    doneBtn_->setText(tr("Done"));
    deleteBtn_->setText(tr("Delete"));
    cancelBtn_->setText(QStringLiteral("X"));
    cancelBtn_->setAccessibleName(tr("Cancel"));
    doneBtn_->setGeometry(rowFrame(kEditableHeight, 376, 29, 46, 32));
    deleteBtn_->setGeometry(rowFrame(kEditableHeight, 3, -3, 68, 32));
    // The design's 42-point frame is a circle's bounding box; Qt draws the
    // whole square, so the button takes the circle's visible part.
    cancelBtn_->setGeometry(424, 34, 22, 22);

    fakeActivationBtn_->setGeometry(rowFrame(kEditableHeight, 424, 36, 18, 18));
    fakeActivationBtn_->setChecked(true);
    fakeActivationBtn_->setEnabled(false);

    alarmTimeDatePicker_->setDisplayFormat(do24HourTime_ ? QStringLiteral("HH:mm")
                                                         : QStringLiteral("h:mm AP"));
    alarmTimeDatePicker_->setTime(QTime(int(alarm.hour), int(alarm.minute)));
    alarmTimeDatePicker_->setGeometry(rowFrame(kEditableHeight, 8, 34, 85, 27));
    alarmTimeDatePicker_->setAccessibleName(tr("Alarm time"));

    alarmLabelTextField_->setPlaceholderText(tr("Alarm label"));
    alarmLabelTextField_->setText(alarm.label);
    alarmLabelTextField_->setGeometry(rowFrame(kEditableHeight, 97, 34, 76, 23));
    alarmLabelTextField_->setAccessibleName(tr("Alarm label"));

    for (int i = 0; i < 7; ++i) {
        QCheckBox* box = repeat_[size_t(i)];
        static const int kX[7] = {72, 122, 175, 224, 278, 328, 370};
        box->setGeometry(rowFrame(kEditableHeight, kX[i], 4, 50, 18));
        box->setChecked(alarm.repeatDays[size_t(i)]);
    }

    const QStringList names = ringtoneChoices(ringer_->folder(), ringer_->userFolder());
    ringtonePopUpBtn_->clear();
    ringtonePopUpBtn_->addItem(tr("None"), QStringLiteral("None"));
    for (const QString& n : names) {
        ringtonePopUpBtn_->addItem(n, n);
    }
    ringtonePopUpBtn_->setAccessibleName(tr("Ringtone"));
    int selected = ringtonePopUpBtn_->findData(alarm.ringtone);
    if (selected < 0) {
        // The stored ringtone has gone: offer the one a new alarm would get,
        // so that Done does not silence the alarm unasked.
        selected = ringtonePopUpBtn_->findData(Alarm(names).ringtone);
    }
    ringtonePopUpBtn_->setCurrentIndex(std::max(selected, 0));
    // Sized to its content, but leaving the preview button room before the
    // snooze field.
    const QSize hint = ringtonePopUpBtn_->sizeHint();
    const QRect popUp = rowFrame(kEditableHeight, 175, 34, 76, 26);
    ringtonePopUpBtn_->setGeometry(popUp.x(), popUp.y(), std::clamp(hint.width(), 76, 96),
                                   popUp.height());
    preview_->setGeometry(ringtonePopUpBtn_->geometry().right() + 3, popUp.y(), 24, popUp.height());
    preview_->toneChanged();

    snoozeTextField_->setText(QString::number(alarm.snooze));
    snoozeTextField_->setGeometry(rowFrame(kEditableHeight, 301, 34, 24, 23));
    snoozeTextField_->setAccessibleName(tr("Snooze minutes"));
    snoozeStepper_->setRange(1, 99);
    snoozeStepper_->setIncrement(1);
    snoozeStepper_->setAutorepeat(true);
    snoozeStepper_->setValueWraps(false);
    {
        const QSignalBlocker block(snoozeStepper_);
        snoozeStepper_->setValue(int(std::clamp<qint64>(alarm.snooze, 1, 99)));
    }
    snoozeStepper_->setGeometry(rowFrame(kEditableHeight, 325, 33, 19, 27));
    snoozeStepper_->setAccessibleName(tr("Snooze minutes"));
    snoozeLbl_->setText(tr("mins"));
    snoozeLbl_->setGeometry(rowFrame(kEditableHeight, 345, 35, 31, 17));

    const QList<QWidget*> order = {doneBtn_,           deleteBtn_,           cancelBtn_,
                                   fakeActivationBtn_, alarmTimeDatePicker_, alarmLabelTextField_};
    for (QWidget* w : order) {
        w->setParent(view);
        w->show();
    }
    for (QCheckBox* box : repeat_) {
        box->setParent(view);
        box->show();
    }
    for (QWidget* w : {static_cast<QWidget*>(ringtonePopUpBtn_), static_cast<QWidget*>(preview_),
                       static_cast<QWidget*>(snoozeTextField_),
                       static_cast<QWidget*>(snoozeStepper_), static_cast<QWidget*>(snoozeLbl_)}) {
        w->setParent(view);
        w->show();
    }
    // Tab order: the fields as read, then the buttons.
    setTabOrder(alarmTimeDatePicker_, alarmLabelTextField_);
    setTabOrder(alarmLabelTextField_, ringtonePopUpBtn_);
    setTabOrder(ringtonePopUpBtn_, preview_);
    setTabOrder(preview_, snoozeTextField_);
    setTabOrder(snoozeTextField_, repeat_[0]);
    for (int i = 0; i < 6; ++i) {
        setTabOrder(repeat_[size_t(i)], repeat_[size_t(i + 1)]);
    }
    setTabOrder(repeat_[6], doneBtn_);
    setTabOrder(doneBtn_, deleteBtn_);
    setTabOrder(deleteBtn_, cancelBtn_);
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
    beginBatch();
    const QList<QWidget*> old = alarmViews_;
    alarmViews_.clear();
    for (QWidget* v : old) {
        retire(v);
    }
    for (int i = 0; i < alarms_.size(); ++i) {
        alarmViews_.append(makeStatic(i));
    }
    reloadData();
    endBatch();
}

// --- Notifications -----------------------------------------------------------

QList<UserNotificationPtr> AlarmViewController::createNotification(int row, bool isPlaceholder) {
    const Alarm& alarm = alarms_[row];
    const QDateTime now = Clock::now();
    auto build = [&](int slot, const QDate& day, int repeatDays) {
        UserNotification n;
        n.identifier = alarmIdentifier(row, slot);
        n.title = QStringLiteral("Pendra");
        n.subtitle = alarm.label;
        n.hasActionButton = true;
        n.actionButtonTitle = tr("Snooze");
        n.otherButtonTitle = tr("Dismiss");
        n.deliveryRepeatIntervalDays = repeatDays;
        n.userInfo.insert(kAlarmIdKey, alarmIds_[row]);
        if (alarm.enabled) {
            n.deliveryDate = alarmDeliveryDate(alarm, day);
            n.repeatWallTime = QTime(int(alarm.hour), int(alarm.minute));
        }
        auto p = makeNotification(std::move(n));
        if (alarm.enabled) {
            notificationCenter.scheduleNotification(p);
        }
        return p;
    };
    if (!alarm.isRepeating()) {
        if (isPlaceholder) {
            return {nullptr};
        }
        return {build(0, oneOffTargetDay(alarm, now), 0)};
    }
    QList<UserNotificationPtr> list;
    for (int i = 0; i < 7; ++i) {
        if (!alarm.repeatDays[size_t(i)] || isPlaceholder) {
            list.append(nullptr);
        } else {
            list.append(build(i, repeatTargetDay(alarm, i, now), 7));
        }
    }
    return list;
}

void AlarmViewController::updateAlarmNotificationsFromAlarms() {
    alarmNotifications_.clear();
    for (int r = 0; r < alarms_.size(); ++r) {
        alarmNotifications_.append(createNotification(r, false));
    }
}

UserNotificationPtr AlarmViewController::getNotificationFrom(const QString& identifier) {
    printLine(notificationKind(identifier).value_or(identifier));
    const std::optional<int> row = rowFromRowText(identifier);
    if (!row || *row >= alarmNotifications_.size()) {
        printLine(QStringLiteral("No alarm in row ") + identifier);
        return nullptr;
    }
    const auto& list = alarmNotifications_[*row];
    const int slot = currentSlot(list.size(), Clock::now().date());
    return slot < list.size() ? list[slot] : nullptr;
}

UserNotificationPtr AlarmViewController::currentNotification(int row) const {
    if (row < 0 || row >= alarms_.size()) {
        return nullptr;
    }
    const auto snooze = snoozes_.constFind(alarmIds_[row]);
    if (snooze != snoozes_.cend()) {
        return snooze->notification;
    }
    const auto& list = alarmNotifications_[row];
    const int slot = currentSlot(list.size(), Clock::now().date());
    return slot < list.size() ? list[slot] : nullptr;
}

std::optional<int> AlarmViewController::rowOf(const UserNotificationPtr& n) const {
    if (!isAlarmKind(n)) {
        return std::nullopt;
    }
    const QVariant id = n->userInfo.value(kAlarmIdKey);
    if (id.isValid()) {
        const qsizetype row = alarmIds_.indexOf(id.toULongLong());
        return row < 0 ? std::nullopt : std::optional<int>(int(row));
    }
    const std::optional<int> row = alarmRowFromIdentifier(n->identifier);
    if (!row || *row >= alarms_.size()) {
        return std::nullopt;
    }
    return row;
}

void AlarmViewController::beginAction() {
    // A notification whose moment has come is delivered before anything can
    // replace it, so that no action at 07:00:00 swallows the 07:00 ring.
    notificationCenter.deliverDueNotifications();
}

void AlarmViewController::reconcile() {
    const QDateTime now = Clock::now();
    QSet<const UserNotification*> pending;
    QList<UserNotificationPtr> pendingAlarms;
    for (const auto& n : notificationCenter.scheduledNotifications()) {
        if (isAlarmKind(n)) {
            pending.insert(n.get());
            pendingAlarms.append(n);
        }
    }
    QList<UserNotificationPtr> desired;
    QSet<const UserNotification*> desiredSet;
    for (int r = 0; r < alarms_.size(); ++r) {
        const quint64 id = alarmIds_[r];
        if (id == newAlarmOpenId_) {
            continue;
        }
        auto& list = alarmNotifications_[r];
        const bool placeholder =
            std::all_of(list.begin(), list.end(), [](const UserNotificationPtr& n) { return !n; });
        const bool moved = std::any_of(list.begin(), list.end(), [&](const UserNotificationPtr& n) {
            return n && alarmRowFromIdentifier(n->identifier) != r;
        });
        const qsizetype expected = alarms_[r].isRepeating() ? 7 : 1;
        if (placeholder || moved || list.size() != expected) {
            list = createNotification(r, false);
        }
        auto snooze = snoozes_.find(id);
        if (snooze != snoozes_.end() &&
            alarmRowFromIdentifier(snooze->notification->identifier) != r) {
            // The row moved: the snooze goes on, under the alarm's new row.
            auto moved = makeNotification(*snooze->notification);
            moved->identifier = alarmIdentifier(r, snooze->slot);
            snooze->notification = moved;
        }
        if (!alarms_[r].enabled) {
            continue;
        }
        for (int slot = 0; slot < list.size(); ++slot) {
            UserNotificationPtr n = list[slot];
            if (snooze != snoozes_.end() && snooze->slot == slot) {
                n = snooze->notification;
            }
            if (!n || !n->deliveryDate) {
                continue;
            }
            // A one-off notification that has been delivered is done with.
            if (pending.contains(n.get()) || *n->deliveryDate > now) {
                desired.append(n);
                desiredSet.insert(n.get());
            }
        }
        if (snooze != snoozes_.end() && snooze->slot >= list.size()) {
            desired.append(snooze->notification);
            desiredSet.insert(snooze->notification.get());
        }
    }
    for (const auto& n : pendingAlarms) {
        if (!desiredSet.contains(n.get())) {
            notificationCenter.removeScheduledNotification(n);
        }
    }
    for (const auto& n : desired) {
        if (!pending.contains(n.get())) {
            notificationCenter.scheduleNotification(n);
        }
    }
    nextAlarm_.reset();
    for (const auto& n : desired) {
        if (n->deliveryDate && (!nextAlarm_ || *n->deliveryDate < *nextAlarm_)) {
            nextAlarm_ = n->deliveryDate;
        }
    }
    emit alarmsChanged();
}

void AlarmViewController::withdrawPending(int row) {
    for (const auto& n : alarmNotifications_[row]) {
        if (n) {
            notificationCenter.removeScheduledNotification(n);
        }
    }
    const auto snooze = snoozes_.find(alarmIds_[row]);
    if (snooze != snoozes_.end()) {
        notificationCenter.removeScheduledNotification(snooze->notification);
        snoozes_.erase(snooze);
    }
}

// --- Missed alarms -------------------------------------------------------------

bool AlarmViewController::wasMissed(int row) const {
    return row >= 0 && row < alarmIds_.size() && missed_.contains(alarmIds_[row]);
}

void AlarmViewController::markMissed(int row) {
    const quint64 id = alarmIds_[row];
    Alarm& alarm = alarms_[row];
    if (!alarm.isRepeating()) {
        // As if dismissed: a one-off alarm is done with.
        alarm.enabled = false;
        withdrawPending(row);
    }
    alarm.isSnoozed = false;
    snoozes_.remove(id);
    missed_.insert(id);
    auto n = makeNotification();
    n->identifier = QStringLiteral("missed-%1").arg(id);
    n->title = tr("Missed alarm");
    n->subtitle =
        alarmTimeText(alarm.hour, alarm.minute, do24HourTime_) + QLatin1Char(' ') + alarm.label;
    n->hasActionButton = false;
    n->otherButtonTitle = tr("Dismiss");
    if (const UserNotificationPtr old = missedNotices_.value(id)) {
        notificationCenter.removeDeliveredNotification(old);
    }
    missedNotices_.insert(id, n);
    notificationCenter.deliverNotification(n);
}

void AlarmViewController::forgetMissed(quint64 id) {
    if (!missed_.remove(id)) {
        return;
    }
    const qsizetype row = alarmIds_.indexOf(id);
    if (row >= 0 && row != currentlyBeingEdited_ && row < alarmViews_.size()) {
        setView(int(row), makeStatic(int(row)));
        reloadData();
    }
}

void AlarmViewController::hideEvent(QHideEvent* event) {
    Panel::hideEvent(event);
    // The rows have been seen: they say so no longer. The notices stay until
    // answered.
    for (const quint64 id : QSet<quint64>(missed_)) {
        forgetMissed(id);
    }
}

bool AlarmViewController::notificationShouldPresent(const UserNotificationPtr& n) {
    return !isAlarmKind(n) || !cameTooLate(*n);
}

// --- Ringing -----------------------------------------------------------------

bool AlarmViewController::isRinging() const {
    return !ringing_.isEmpty();
}

bool AlarmViewController::isRinging(int row) const {
    return ringingNotification(row) != nullptr;
}

UserNotificationPtr AlarmViewController::ringingNotification(int row) const {
    const quint64 id = row >= 0 && row < alarmIds_.size() ? alarmIds_[row] : 0;
    const auto it =
        std::find_if(ringing_.begin(), ringing_.end(), [id](const Ring& r) { return r.id == id; });
    return it == ringing_.end() ? nullptr : it->notification;
}

void AlarmViewController::updateSound() {
    // One sound at a time: the latest unanswered alarm that has one.
    quint64 id = 0;
    QString tone;
    for (auto it = ringing_.rbegin(); it != ringing_.rend() && id == 0; ++it) {
        const qsizetype row = alarmIds_.indexOf(it->id);
        if (row >= 0 && alarms_[row].ringtone != QLatin1String("None")) {
            id = it->id;
            tone = alarms_[row].ringtone;
        }
    }
    if (id == soundingId_ && tone == soundingTone_) {
        return;
    }
    ringer_->silence();
    soundingId_ = id;
    soundingTone_ = tone;
    if (id != 0) {
        ringer_->ring(tone, UserDefaults::standard().boolForKey(kGentleWakeKey)
                                ? Ringer::Volume::Rising
                                : Ringer::Volume::Full);
    }
}

void AlarmViewController::showRinging(quint64 id) {
    const qsizetype row = alarmIds_.indexOf(id);
    if (row >= 0 && row != currentlyBeingEdited_ && row < alarmViews_.size()) {
        setView(int(row), makeStatic(int(row)));
        reloadData();
    }
}

void AlarmViewController::stopRinging(quint64 id, bool withdraw) {
    bool found = false;
    for (qsizetype i = ringing_.size() - 1; i >= 0; --i) {
        if (ringing_[i].id != id) {
            continue;
        }
        // A ring without an alert could not be stopped, and an alert
        // without a ring could be answered twice: they go together.
        if (withdraw) {
            notificationCenter.removeDeliveredNotification(ringing_[i].notification);
        }
        ringing_.removeAt(i);
        found = true;
    }
    updateSound();
    if (found) {
        showRinging(id);
    }
}

void AlarmViewController::snoozeRinging(int row) {
    const UserNotificationPtr n = ringingNotification(row);
    if (!n) {
        return;
    }
    notificationCenter.removeDeliveredNotification(n);
    n->activationType = ActivationType::ActionButtonClicked;
    notificationDidActivate(notificationCenter, n);
}

void AlarmViewController::dismissRinging(int row) {
    if (const UserNotificationPtr n = ringingNotification(row)) {
        notificationDidDismissAlert(notificationCenter, n);
    }
}

void AlarmViewController::notificationWillDeliver(UserNotificationCenter&,
                                                  const UserNotificationPtr& n) {
    if (!isAlarmKind(n)) {
        return;
    }
    // The sound is made ready now, so that it starts with the alarm's minute.
    if (const std::optional<int> row = rowOf(n)) {
        ringer_->prepare(alarms_[*row].ringtone);
    }
}

void AlarmViewController::notificationDidDeliver(UserNotificationCenter& center,
                                                 const UserNotificationPtr& n) {
    if (!isAlarmKind(n)) {
        return;
    }
    const std::optional<int> row = rowOf(n);
    if (!row) {
        printLine(QStringLiteral("Ignored ") + n->identifier + QStringLiteral(": no such alarm"));
        center.removeDeliveredNotification(n);
        return;
    }
    const int r = *row;
    const quint64 id = alarmIds_[r];
    const auto snooze = snoozes_.find(id);
    if (snooze != snoozes_.end() && snooze->notification == n) {
        // The snooze is over; the weekday's own notification comes back.
        snoozes_.erase(snooze);
        if (alarms_[r].isRepeating()) {
            alarmNotifications_[r] = createNotification(r, false);
        }
    }
    recordRun();
    if (cameTooLate(*n)) {
        center.removeDeliveredNotification(n);
        markMissed(r);
        if (r != currentlyBeingEdited_) {
            setView(r, makeStatic(r));
            reloadData();
        }
        writeJSONFromAlarms();
        reconcile();
        return;
    }
    preview_->stop();
    ringing_.removeIf([id](const Ring& ring) { return ring.id == id; });
    ringing_.append(Ring{id, n});
    updateSound();
    showRinging(id);
    reconcile();
}

void AlarmViewController::notificationDidActivate(UserNotificationCenter& center,
                                                  const UserNotificationPtr& n) {
    if (!isAlarmKind(n)) {
        return;
    }
    const std::optional<int> row = rowOf(n);
    if (!row) {
        center.removeDeliveredNotification(n);
        return;
    }
    const int r = *row;
    const quint64 id = alarmIds_[r];
    // Answered once, wherever: a second answer to the same ring changes nothing.
    if (!isRinging(r)) {
        return;
    }
    stopRinging(id, false);
    if (n->activationType != ActivationType::ActionButtonClicked) {
        return;
    }
    beginAction();
    const QDateTime now = Clock::now();
    const auto& list = alarmNotifications_[r];
    int slot = alarmSlotFromIdentifier(n->identifier).value_or(0);
    if (list.size() <= 1) {
        slot = 0;
    }
    // A copy, so the weekday's own notification stays as it is and comes
    // back when the snooze has rung.
    auto snoozed = makeNotification(*n);
    snoozed->identifier = alarmIdentifier(r, slot);
    snoozed->subtitle = alarms_[r].label;
    snoozed->deliveryDate = now.addSecs(std::max<qint64>(alarms_[r].snooze, 0) * 60);
    snoozed->deliveryRepeatIntervalDays = 0;
    snoozed->repeatWallTime = QTime();
    snoozed->activationType = ActivationType::None;
    snoozes_.insert(id, Snooze{snoozed, slot});
    alarms_[r].isSnoozed = true;
    setView(r, makeStatic(r));
    reloadData();
    printLine(QStringLiteral("true"));
    printLine(now.toString(Qt::ISODate));
    reconcile();
}

void AlarmViewController::notificationDidDismissAlert(UserNotificationCenter& center,
                                                      const UserNotificationPtr& n) {
    if (isKind(n, QLatin1String("missed"))) {
        center.removeDeliveredNotification(n);
        const quint64 id = n->identifier.section(QLatin1Char('-'), 1).toULongLong();
        missedNotices_.remove(id);
        forgetMissed(id);
        return;
    }
    if (!isAlarmKind(n)) {
        return;
    }
    center.removeDeliveredNotification(n);
    const std::optional<int> row = rowOf(n);
    if (!row) {
        return;
    }
    const int r = *row;
    const quint64 id = alarmIds_[r];
    if (!isRinging(r)) {
        return;
    }
    beginAction();
    const bool wasSnoozed = alarms_[r].isSnoozed;
    if (!alarms_[r].isRepeating()) {
        alarms_[r].enabled = false;
    }
    stopRinging(id, false);
    alarms_[r].isSnoozed = false;
    snoozes_.remove(id);
    if (wasSnoozed && alarms_[r].isRepeating()) {
        alarmNotifications_[r] = createNotification(r, false);
    }
    if (currentlyBeingEdited_ == r) {
        // The row being edited keeps the user's unsaved changes.
        writeJSONFromAlarms();
    } else {
        setView(r, makeStatic(r));
        writeJSONFromAlarms();
        reloadData();
    }
    reconcile();
}

void AlarmViewController::stopSnooze(int row) {
    if (row < 0 || row >= alarms_.size()) {
        return;
    }
    beginAction();
    const quint64 id = alarmIds_[row];
    getNotificationFrom(QString::number(row) + QLatin1Char('-'));
    const auto snooze = snoozes_.find(id);
    if (snooze != snoozes_.end()) {
        notificationCenter.removeScheduledNotification(snooze->notification);
        snoozes_.erase(snooze);
    }
    stopRinging(id, true);
    if (!alarms_[row].isRepeating()) {
        alarms_[row].enabled = false;
    }
    alarms_[row].isSnoozed = false;
    setView(row, makeStatic(row));
    writeJSONFromAlarms();
    updateAlarmNotificationsFromAlarms();
    reloadData();
    reconcile();
}

// --- Editing actions -----------------------------------------------------------

int AlarmViewController::insertAlarm(const Alarm& alarm) {
    const int index = insertionIndex(alarms_, alarm);
    alarms_.insert(index, alarm);
    alarmIds_.insert(index, nextId_++);
    return index;
}

void AlarmViewController::newAlarmButtonClicked() {
    beginAction();
    if (currentlyBeingEdited_ > -1) {
        closeEditor();
    }
    const int row = insertAlarm(Alarm(ringtoneChoices(ringer_->folder(), ringer_->userFolder())));
    newAlarmOpenId_ = alarmIds_[row];
    newAlarmView(row);
    alarmNotifications_.insert(row, createNotification(row, true));
    reconcile();
    alarmTimeDatePicker_->setFocus();
    tableView_->ensureWidgetVisible(alarmViews_[row], 0, 0);
}

void AlarmViewController::editBtnPressed(int row) {
    if (row < 0 || row >= alarms_.size()) {
        return;
    }
    beginAction();
    if (currentlyBeingEdited_ > -1 && currentlyBeingEdited_ != row) {
        closeEditor();
    }
    missed_.remove(alarmIds_[row]);
    setView(row, makeEditable(row));
    reloadData();
    reconcile();
    alarmTimeDatePicker_->setFocus();
    tableView_->ensureWidgetVisible(alarmViews_[row], 0, 0);
}

Alarm AlarmViewController::committedAlarm() const {
    const QTime time = alarmTimeDatePicker_->time();
    std::array<bool, 7> days{};
    for (int i = 0; i < 7; ++i) {
        days[size_t(i)] = repeat_[size_t(i)]->isChecked();
    }
    QString ringtone = ringtonePopUpBtn_->currentData().toString();
    if (ringtonePopUpBtn_->currentIndex() < 0) {
        ringtone = Alarm(ringtoneChoices(ringer_->folder(), ringer_->userFolder())).ringtone;
    }
    const QString label = alarmLabelTextField_->text();
    return Alarm(time.hour(), time.minute(), ringtone, snoozeFromText(snoozeTextField_->text()),
                 label.isEmpty() ? tr("Alarm") : label, days, true);
}

void AlarmViewController::doneBtnPressed() {
    const int r = currentlyBeingEdited_;
    if (r < 0 || r >= alarms_.size()) {
        return;
    }
    beginAction();
    const Alarm committed = committedAlarm();
    const quint64 id = alarmIds_[r];
    if (const UserNotificationPtr n = getNotificationFrom(QString::number(r) + QLatin1Char('-'))) {
        notificationCenter.removeDeliveredNotification(n);
    }
    // The committed alarm starts afresh: no snooze, no ring of the old one.
    withdrawPending(r);
    stopRinging(id, true);
    alarms_[r] = committed;
    if (id == newAlarmOpenId_) {
        newAlarmOpenId_ = 0;
    }
    alarmNotifications_[r] = createNotification(r, false);
    setView(r, makeStatic(r));
    reorderAlarms();
    reloadData();
    reconcile();
}

void AlarmViewController::cancelBtnPressed() {
    const int r = currentlyBeingEdited_;
    if (r < 0 || r >= alarms_.size()) {
        return;
    }
    beginAction();
    setView(r, makeStatic(r));
    reloadData();
    reconcile();
}

void AlarmViewController::deleteBtnPressed() {
    const int r = currentlyBeingEdited_;
    if (r < 0 || r >= alarms_.size()) {
        return;
    }
    beginAction();
    const quint64 id = alarmIds_[r];
    withdrawPending(r);
    stopRinging(id, true);
    alarms_.removeAt(r);
    retire(alarmViews_.takeAt(r));
    if (const UserNotificationPtr n = getNotificationFrom(QString::number(r) + QLatin1Char('-'))) {
        notificationCenter.removeDeliveredNotification(n);
    }
    alarmNotifications_.removeAt(r);
    alarmIds_.removeAt(r);
    if (id == newAlarmOpenId_) {
        newAlarmOpenId_ = 0;
    }
    currentlyBeingEdited_ = -1;
    reorderAlarms();
    writeJSONFromAlarms();
    reloadData();
    reconcile();
}

void AlarmViewController::toggleAlarm(int row, bool on) {
    if (row < 0 || row >= alarms_.size()) {
        return;
    }
    beginAction();
    alarms_[row].enabled = on;
    if (on) {
        alarmNotifications_[row] = createNotification(row, false);
    } else {
        withdrawPending(row);
        stopRinging(alarmIds_[row], true);
        if (alarms_[row].isSnoozed) {
            alarms_[row].isSnoozed = false;
            setView(row, makeStatic(row));
            reloadData();
        }
    }
    // Kept at once: a toggle must not wait for the next rebuild to be saved.
    writeJSONFromAlarms();
    reconcile();
}

void AlarmViewController::clearAlarms() {
    beginAction();
    const QList<QWidget*> views = alarmViews_;
    alarmViews_.clear();
    for (QWidget* v : views) {
        retire(v);
    }
    for (int r = 0; r < alarms_.size(); ++r) {
        withdrawPending(r);
    }
    alarms_.clear();
    alarmNotifications_.clear();
    alarmIds_.clear();
    snoozes_.clear();
    newAlarmOpenId_ = 0;
    // Only the alarms' own alerts: a ringing timer keeps its alert.
    for (const auto& n : notificationCenter.deliveredNotifications()) {
        if (isAlarmKind(n)) {
            notificationCenter.removeDeliveredNotification(n);
        }
    }
    ringing_.clear();
    updateSound();
    currentlyBeingEdited_ = -1;
    writeJSONFromAlarms();
    reloadData();
    reconcile();
}

void AlarmViewController::reorderAlarms() {
    beginBatch();
    const QList<int> order = reorderedIndices(alarms_);
    QList<Alarm> sorted;
    QList<quint64> ids;
    for (int i : order) {
        sorted.append(alarms_[i]);
        ids.append(alarmIds_[i]);
    }
    alarms_ = sorted;
    alarmIds_ = ids;
    while (alarmViews_.size() < alarms_.size()) {
        alarmViews_.append(nullptr);
    }
    while (alarmNotifications_.size() < alarms_.size()) {
        alarmNotifications_.append(QList<UserNotificationPtr>());
    }
    for (int i = 0; i < alarms_.size(); ++i) {
        setView(i, makeStatic(i));
        alarmNotifications_[i] = createNotification(i, false);
    }
    endBatch();
}

void AlarmViewController::controlTextDidChange() {
    const QString digits = filterSnoozeDigits(snoozeTextField_->text());
    if (digits != snoozeTextField_->text()) {
        snoozeTextField_->setText(digits);
    }
    const QSignalBlocker block(snoozeStepper_);
    snoozeStepper_->setValue(digits.isEmpty() ? 0 : digits.toInt());
}

void AlarmViewController::snoozeStepperPressed() {
    snoozeTextField_->setText(QString::number(snoozeStepper_->value()));
}

}  // namespace pendra
