#include "alarms/AlarmViewController.h"

#include <QHideEvent>
#include <QTimeEdit>

#include "alarms/AlarmListView.h"
#include "alarms/AlarmRules.h"
#include "common/Preferences.h"
#include "common/Ringtones.h"
#include "common/TonePreview.h"
#include "platform/Clock.h"
#include "platform/Log.h"
#include "platform/UserDefaults.h"
#include "platform/UserNotificationCenter.h"

namespace pendra {

namespace {

const QString kGentleWakeKey = QStringLiteral("gentleWake");

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

// --- Loading and showing ---------------------------------------------------

void AlarmViewController::viewDidLoad() {
    const QList<int> missed = model_->load();
    const AlarmListModel::Batch batch(*model_);
    for (const int r : missed) {
        markMissed(r);
    }
    reloadData();
    updateAlarmNotificationsFromAlarms();
    // A launch writes the list it read, as any change would.
    model_->save();
    reconcile();
}

void AlarmViewController::viewDidAppear() {
    beginAction();
    const AlarmListModel::Batch batch(*model_);
    model_->setDo24HourTime(do24HourTimePreference());
    // An appearance drops unsaved edits; the rows paint the minutes left of
    // the snoozes as they are now.
    updateAlarmViewsFromAlarms();
    reconcile();
}

// --- Store -----------------------------------------------------------------

void AlarmViewController::getAlarmsFromJSON() {
    model_->load();
}

void AlarmViewController::createAlarmsFile() {
    model_->store().createAlarmsFile();
}

void AlarmViewController::writeJSONFromAlarms() {
    model_->save();
}

void AlarmViewController::recordRun() {
    model_->recordRun(Clock::now());
    // Called as the program quits: what is handed over reaches the disk.
    model_->flush();
}

// --- Notifications -----------------------------------------------------------

QList<UserNotificationPtr> AlarmViewController::createNotification(int row, bool isPlaceholder) {
    return model_->createNotification(row, isPlaceholder);
}

void AlarmViewController::updateAlarmNotificationsFromAlarms() {
    model_->scheduleAll();
}

UserNotificationPtr AlarmViewController::getNotificationFrom(const QString& identifier) {
    printLine(notificationKind(identifier).value_or(identifier));
    const std::optional<int> row = rowFromRowText(identifier);
    if (!row || *row >= model_->size()) {
        printLine(QStringLiteral("No alarm in row ") + identifier);
        return nullptr;
    }
    const auto& list = model_->at(*row).notifications;
    const int slot = currentSlot(list.size(), Clock::now().date());
    return slot < list.size() ? list[slot] : nullptr;
}

UserNotificationPtr AlarmViewController::currentNotification(int row) const {
    return model_->currentNotification(row);
}

void AlarmViewController::beginAction() {
    // A notification whose moment has come is delivered before anything can
    // replace it, so that no action at 07:00:00 swallows the 07:00 ring.
    notificationCenter.deliverDueNotifications();
}

void AlarmViewController::reconcile() {
    model_->reconcile();
}

// --- Missed alarms -------------------------------------------------------------

bool AlarmViewController::wasMissed(int row) const {
    return row >= 0 && row < model_->size() && model_->at(row).missed;
}

void AlarmViewController::markMissed(int row) {
    model_->markMissed(row);
    const AlarmRecord& r = model_->at(row);
    auto n = makeNotification();
    n->identifier = QStringLiteral("missed-%1").arg(r.id);
    n->title = tr("Missed alarm");
    n->subtitle = alarmTimeText(r.alarm.hour, r.alarm.minute, do24HourTime()) + QLatin1Char(' ') +
                  r.alarm.label;
    n->hasActionButton = false;
    n->otherButtonTitle = tr("Dismiss");
    if (const UserNotificationPtr old = missedNotices_.value(r.id)) {
        notificationCenter.removeDeliveredNotification(old);
    }
    missedNotices_.insert(r.id, n);
    notificationCenter.deliverNotification(n);
}

void AlarmViewController::forgetMissed(quint64 id) {
    const std::optional<int> row = model_->rowOfId(id);
    if (row && model_->at(*row).missed) {
        model_->setMissed(*row, false);
        showRow(*row);
    }
}

void AlarmViewController::hideEvent(QHideEvent* event) {
    Panel::hideEvent(event);
    // The rows have been seen: they say so no longer. The notices stay until
    // answered.
    for (int r = 0; r < model_->size(); ++r) {
        forgetMissed(model_->at(r).id);
    }
}

bool AlarmViewController::notificationShouldPresent(const UserNotificationPtr& n) {
    return !isAlarmKind(n) || !cameTooLate(*n);
}

// --- Ringing -----------------------------------------------------------------

bool AlarmViewController::isRinging() const {
    return model_->isRinging();
}

bool AlarmViewController::isRinging(int row) const {
    return ringingNotification(row) != nullptr;
}

UserNotificationPtr AlarmViewController::ringingNotification(int row) const {
    return row >= 0 && row < model_->size() ? model_->at(row).ring : nullptr;
}

void AlarmViewController::updateSound() {
    // One sound at a time: the latest unanswered alarm that has one.
    const std::optional<int> row = model_->soundingRow();
    const quint64 id = row ? model_->at(*row).id : 0;
    const QString tone = row ? model_->at(*row).alarm.ringtone : QString();
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

void AlarmViewController::showRow(int row) {
    // The row being edited keeps the user's unsaved changes.
    if (row != currentlyBeingEdited_ && row < model_->size()) {
        makeStatic(row);
    }
}

void AlarmViewController::stopRinging(int row, bool withdraw) {
    const bool rang = model_->stopRinging(row, withdraw) != nullptr;
    updateSound();
    if (rang) {
        showRow(row);
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
    // The sound is made ready now, so that it starts with the alarm's minute.
    if (const std::optional<int> row = model_->rowOf(n)) {
        ringer_->prepare(model_->at(*row).alarm.ringtone);
    }
}

void AlarmViewController::notificationDidDeliver(UserNotificationCenter& center,
                                                 const UserNotificationPtr& n) {
    if (!isAlarmKind(n)) {
        return;
    }
    const std::optional<int> row = model_->rowOf(n);
    if (!row) {
        printLine(QStringLiteral("Ignored ") + n->identifier + QStringLiteral(": no such alarm"));
        center.removeDeliveredNotification(n);
        return;
    }
    const int r = *row;
    model_->snoozeRang(r, n);
    model_->recordRun(Clock::now());
    if (cameTooLate(*n)) {
        center.removeDeliveredNotification(n);
        markMissed(r);
        showRow(r);
        reconcile();
        return;
    }
    preview_->stop();
    model_->setRinging(r, n);
    updateSound();
    showRow(r);
    reconcile();
}

void AlarmViewController::notificationDidActivate(UserNotificationCenter& center,
                                                  const UserNotificationPtr& n) {
    if (!isAlarmKind(n)) {
        return;
    }
    const std::optional<int> row = model_->rowOf(n);
    if (!row) {
        center.removeDeliveredNotification(n);
        return;
    }
    const int r = *row;
    // Answered once, wherever: a second answer to the same ring changes nothing.
    if (!isRinging(r)) {
        return;
    }
    stopRinging(r, false);
    if (n->activationType != ActivationType::ActionButtonClicked) {
        return;
    }
    beginAction();
    const QDateTime now = Clock::now();
    model_->snooze(r, *n, now);
    showRow(r);
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
    const std::optional<int> row = model_->rowOf(n);
    if (!row || !isRinging(*row)) {
        return;
    }
    beginAction();
    model_->dismiss(*row);
    updateSound();
    showRow(*row);
    reconcile();
}

void AlarmViewController::stopSnooze(int row) {
    if (row < 0 || row >= model_->size()) {
        return;
    }
    beginAction();
    getNotificationFrom(QString::number(row) + QLatin1Char('-'));
    model_->stopSnooze(row);
    updateSound();
    showRow(row);
    reconcile();
}

// --- Editing actions -----------------------------------------------------------

int AlarmViewController::insertAlarm(const Alarm& alarm) {
    return model_->insert(alarm, true);
}

void AlarmViewController::newAlarmButtonClicked() {
    beginAction();
    const AlarmListModel::Batch batch(*model_);
    if (currentlyBeingEdited_ > -1) {
        closeEditor();
    }
    const int row = insertAlarm(Alarm(ringtoneChoices(ringer_->folder(), ringer_->userFolder())));
    newAlarmView(row);
    reconcile();
    alarmTimeDatePicker_->setFocus();
    tableView_->scrollTo(model_->index(row));
}

void AlarmViewController::editBtnPressed(int row) {
    if (row < 0 || row >= model_->size()) {
        return;
    }
    beginAction();
    const AlarmListModel::Batch batch(*model_);
    if (currentlyBeingEdited_ > -1 && currentlyBeingEdited_ != row) {
        closeEditor();
    }
    model_->setMissed(row, false);
    makeEditable(row);
    reconcile();
    tableView_->setCurrentIndex(model_->index(row));
    alarmTimeDatePicker_->setFocus();
    tableView_->scrollTo(model_->index(row));
}

void AlarmViewController::doneBtnPressed() {
    const int r = currentlyBeingEdited_;
    if (r < 0 || r >= model_->size()) {
        return;
    }
    beginAction();
    const AlarmListModel::Batch batch(*model_);
    const Alarm committed = committedAlarm();
    if (const UserNotificationPtr n = getNotificationFrom(QString::number(r) + QLatin1Char('-'))) {
        notificationCenter.removeDeliveredNotification(n);
    }
    // The committed alarm starts afresh: no snooze, no ring of the old one.
    model_->commit(r, committed);
    updateSound();
    makeStatic(r);
    // The list's current row follows the alarm to its place.
    tableView_->setCurrentIndex(model_->index(r));
    reorderAlarms();
    tableView_->scrollTo(tableView_->currentIndex());
    reconcile();
}

void AlarmViewController::cancelBtnPressed() {
    const int r = currentlyBeingEdited_;
    if (r < 0 || r >= model_->size()) {
        return;
    }
    beginAction();
    const AlarmListModel::Batch batch(*model_);
    makeStatic(r);
    reconcile();
}

void AlarmViewController::deleteBtnPressed() {
    const int r = currentlyBeingEdited_;
    if (r < 0 || r >= model_->size()) {
        return;
    }
    beginAction();
    const AlarmListModel::Batch batch(*model_);
    setEditing(-1);
    model_->remove(r);
    updateSound();
    reloadData();
    reconcile();
}

void AlarmViewController::toggleAlarm(int row, bool on) {
    if (row < 0 || row >= model_->size()) {
        return;
    }
    beginAction();
    const bool wasSnoozed = model_->at(row).alarm.isSnoozed;
    const bool rang = isRinging(row);
    model_->setEnabled(row, on);
    updateSound();
    if ((wasSnoozed || rang) && !on) {
        showRow(row);
    }
    reconcile();
}

void AlarmViewController::clearAlarms() {
    beginAction();
    setEditing(-1);
    model_->clear();
    updateSound();
    reloadData();
    reconcile();
}

void AlarmViewController::reorderAlarms() {
    const AlarmListModel::Batch batch(*model_);
    model_->reorder();
    reloadData();
}

}  // namespace pendra
