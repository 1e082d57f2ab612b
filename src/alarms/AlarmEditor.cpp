#include "alarms/AlarmViewController.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimeEdit>
#include <QToolButton>
#include <algorithm>

#include "alarms/AlarmRowGeometry.h"
#include "alarms/AlarmRules.h"
#include "common/Geometry.h"
#include "common/Ringtones.h"
#include "common/Stepper.h"
#include "common/TonePreview.h"
#include "platform/Paths.h"

namespace pendra {

namespace {

constexpr int kEditableHeight = kAlarmEditableRowHeight;

}  // namespace

void AlarmViewController::buildEditor() {
    // The editing controls live as long as the panel, in the one editable
    // row, which the list shows in place of the row being edited.
    editorRow_ = new QWidget(this);
    editorRow_->setObjectName(QStringLiteral("alarmEditRow"));
    editorRow_->resize(kPanelWidth, kEditableHeight);
    editorRow_->hide();

    alarmTimeDatePicker_ = new QTimeEdit(editorRow_);
    alarmTimeDatePicker_->setObjectName(QStringLiteral("alarmTimeEdit"));
    alarmTimeDatePicker_->setWrapping(true);
    fakeActivationBtn_ = new QCheckBox(editorRow_);
    fakeActivationBtn_->setObjectName(QStringLiteral("alarmFakeEnabled"));
    alarmLabelTextField_ = new QLineEdit(editorRow_);
    alarmLabelTextField_->setObjectName(QStringLiteral("alarmLabelEdit"));
    ringtonePopUpBtn_ = new QComboBox(editorRow_);
    ringtonePopUpBtn_->setObjectName(QStringLiteral("alarmRingtonePopUp"));
    snoozeTextField_ = new QLineEdit(editorRow_);
    snoozeTextField_->setObjectName(QStringLiteral("alarmSnoozeEdit"));
    snoozeStepper_ = new Stepper(editorRow_);
    snoozeStepper_->setObjectName(QStringLiteral("alarmSnoozeStepper"));
    snoozeLbl_ = new QLabel(editorRow_);
    snoozeLbl_->setObjectName(QStringLiteral("alarmSnoozeUnit"));
    doneBtn_ = new QPushButton(editorRow_);
    doneBtn_->setObjectName(QStringLiteral("alarmDone"));
    deleteBtn_ = new QPushButton(editorRow_);
    deleteBtn_->setObjectName(QStringLiteral("alarmDelete"));
    cancelBtn_ = new QToolButton(editorRow_);
    cancelBtn_->setObjectName(QStringLiteral("alarmCancel"));
    preview_ = new TonePreview(
        *ringer_, [this] { return ringtonePopUpBtn_->currentData().toString(); }, editorRow_);
    preview_->setObjectName(QStringLiteral("alarmRingtonePreview"));
    connect(ringtonePopUpBtn_, &QComboBox::currentIndexChanged, preview_,
            &TonePreview::toneChanged);
    static const char* const kDays[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    for (int i = 0; i < 7; ++i) {
        repeat_[size_t(i)] =
            new QCheckBox(QCoreApplication::translate("AlarmRules", kDays[i]), editorRow_);
        repeat_[size_t(i)]->setObjectName(QStringLiteral("alarmRepeat-%1").arg(i));
    }

    connect(doneBtn_, &QPushButton::clicked, this, [this] { doneBtnPressed(); });
    connect(deleteBtn_, &QPushButton::clicked, this, [this] { deleteBtnPressed(); });
    connect(cancelBtn_, &QToolButton::clicked, this, [this] { cancelBtnPressed(); });
    connect(snoozeTextField_, &QLineEdit::textEdited, this, [this] { controlTextDidChange(); });
    connect(snoozeStepper_, &Stepper::valueChanged, this, [this] { snoozeStepperPressed(); });
}

void AlarmViewController::makeEditable(int row) {
    const Alarm& alarm = model_->at(row).alarm;

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

    alarmTimeDatePicker_->setDisplayFormat(do24HourTime() ? QStringLiteral("HH:mm")
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
    setEditing(row);
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
