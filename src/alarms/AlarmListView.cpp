#include "alarms/AlarmListView.h"

#include <QApplication>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QRegularExpression>
#include <QStyleOptionButton>
#include <QStyledItemDelegate>
#include <QToolTip>
#include <algorithm>

#include "alarms/AlarmListModel.h"
#include "alarms/AlarmRowGeometry.h"
#include "alarms/AlarmRules.h"
#include "common/Panel.h"
#include "platform/Clock.h"

namespace pendra {

namespace {

using Button = AlarmListView::Button;

QString tr(const char* text) {
    // The rows' texts keep the panel's translations.
    return QCoreApplication::translate("pendra::AlarmViewController", text);
}

// One thing a static row shows, where it shows it (in the row's coordinates).
struct RowPart {
    QString name;
    Button action = Button::None;  // None: a text
    QRect rect;
    QString text;
    QFont font;
    QPalette::ColorRole role = QPalette::WindowText;
    Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter;
    QString tip;
    bool checked = false;
};

QFont withPixelSize(QFont font, int size) {
    font.setPixelSize(size);
    return font;
}

QFont bold(QFont font) {
    font.setBold(true);
    return font;
}

// The static row of `row`: the time, label, ringtone, repeat days and snooze
// texts, or what the alarm is doing instead, and its buttons.
QList<RowPart> rowParts(const AlarmListModel& model, int row, const QFont& font) {
    constexpr int h = kAlarmStaticRowHeight;
    const AlarmRecord& record = model.at(row);
    const Alarm& alarm = record.alarm;
    const QFontMetrics metrics(font);
    QList<RowPart> parts;
    auto text = [&](const QString& name, const QRect& rect, const QString& shown,
                    const QFont& f) -> RowPart& {
        RowPart part;
        part.name = name;
        part.rect = rect;
        part.text = shown;
        part.font = f;
        parts.append(part);
        return parts.last();
    };
    auto button = [&](const QString& name, Button action, const QRect& rect, const QString& title) {
        RowPart part;
        part.name = name;
        part.action = action;
        part.rect = rect;
        part.text = title;
        part.font = font;
        parts.append(part);
    };

    const bool ringing = record.ring != nullptr;
    if (alarm.isSnoozed && !ringing) {
        button(QStringLiteral("alarmStop"), Button::Stop, rowFrame(h, 325, 2, 40, 26), tr("Stop"));
    }
    // The buttons are 26 of the design's 32 high, so that those of
    // neighbouring rows do not touch.
    button(QStringLiteral("alarmEdit"), Button::Edit, rowFrame(h, 376, 2, 46, 26), tr("Edit"));
    button(QStringLiteral("alarmEnabled"), Button::Enabled, rowFrame(h, 424, 6, 18, 18), {});
    parts.last().checked = alarm.enabled;

    const QString time = alarmTimeText(alarm.hour, alarm.minute, model.do24HourTime());
    const QRect timeRect(rowFrame(h, 10, 7, 55, 17).topLeft(),
                         QSize(metrics.horizontalAdvance(time), metrics.height()));
    text(QStringLiteral("alarmTime"), timeRect, time, font);
    // Two points taller than the design's frame, so that its text starts
    // where the time's does and the baselines of the row line up; one line,
    // cut with an ellipsis rather than clipped mid-letter.
    RowPart& label = text(QStringLiteral("alarmLabel"), rowFrame(h, 65, 5, 90, 19),
                          metrics.elidedText(alarm.label, Qt::ElideRight, 90), font);
    label.align = Qt::AlignLeft | Qt::AlignTop;
    label.tip = alarm.label;

    if (ringing) {
        // The alert's own answers, where the user looks for the alarm.
        text(QStringLiteral("alarmRinging"), QRect(160, timeRect.y(), 60, timeRect.height()),
             tr("Ringing"), bold(font));
        button(QStringLiteral("alarmSnoozeNow"), Button::SnoozeNow, rowFrame(h, 222, 2, 72, 26),
               tr("Snooze"));
        button(QStringLiteral("alarmDismiss"), Button::Dismiss, rowFrame(h, 298, 2, 74, 26),
               tr("Dismiss"));
        return parts;
    }
    if (record.missed) {
        text(QStringLiteral("alarmMissed"), QRect(160, timeRect.y(), 370 - 160, timeRect.height()),
             tr("Alarm was missed"), bold(font));
        return parts;
    }

    const QString tone = alarm.ringtone == QLatin1String("None") ? tr("None") : alarm.ringtone;
    const QString toneShown = metrics.elidedText(tone, Qt::ElideRight, 96);
    const QRect toneRect(rowFrame(h, 165, 7, 40, 17).topLeft(),
                         QSize(metrics.horizontalAdvance(toneShown), metrics.height()));
    text(QStringLiteral("alarmRingtone"), toneRect, toneShown, font);

    QString snooze = snoozeText(alarm.snooze);
    if (alarm.isSnoozed) {
        const UserNotificationPtr current = model.currentNotification(row);
        snooze = current && current->deliveryDate
                     ? minutesLeftText(Clock::now(), *current->deliveryDate)
                     : tr("snoozed");
    }
    // From the design's x to just before the Stop or Edit button, its text
    // against that end, which leaves the repeat days room before it.
    const QFont snoozeFont = withPixelSize(font, 12);
    const int snoozeRight = alarm.isSnoozed ? 321 : 370;
    const int snoozeLeft = rowFrame(h, 265, 7, 40, 17).x();
    text(QStringLiteral("alarmSnooze"),
         QRect(snoozeLeft, toneRect.y(), snoozeRight - snoozeLeft, toneRect.height()), snooze,
         snoozeFont)
        .align = Qt::AlignRight | Qt::AlignVCenter;

    // The repeat days, smaller and dimmer, between the ringtone and the
    // snooze text.
    if (const QString days = repeatDaysText(alarm.repeatDays); !days.isEmpty()) {
        const QFont small = withPixelSize(font, 11);
        const int left = toneRect.x() + toneRect.width() + 8;
        const int right = snoozeRight - QFontMetrics(snoozeFont).horizontalAdvance(snooze) - 8;
        const QRect rect(left, toneRect.y(), std::max(0, right - left), toneRect.height());
        RowPart& d =
            text(QStringLiteral("alarmDays"), rect,
                 QFontMetrics(small).elidedText(days, Qt::ElideRight, rect.width()), small);
        d.role = QPalette::PlaceholderText;
        d.tip = days;
    }
    return parts;
}

QStyleOptionButton buttonOption(const QWidget* view, const RowPart& part, const QRect& rect,
                                bool hovered, bool pressed) {
    QStyleOptionButton opt;
    opt.initFrom(view);
    opt.state &= ~(QStyle::State_HasFocus | QStyle::State_MouseOver);
    opt.rect = rect;
    opt.text = part.text;
    opt.fontMetrics = QFontMetrics(part.font);
    if (hovered) {
        opt.state |= QStyle::State_MouseOver;
    }
    if (part.action == Button::Enabled) {
        opt.state |= part.checked ? QStyle::State_On : QStyle::State_Off;
    }
    opt.state |= pressed ? QStyle::State_Sunken : QStyle::State_Raised;
    return opt;
}

}  // namespace

class AlarmRowDelegate : public QStyledItemDelegate {
public:
    explicit AlarmRowDelegate(AlarmListView* view) : QStyledItemDelegate(view), view_(view) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const int row = index.row();
        if (row == view_->editedRow_) {
            return;  // the editor stands there
        }
        QStyle* style = view_->style();
        if (option.state & QStyle::State_HasFocus) {
            // The row the keyboard is on; the rows themselves show no selection.
            QStyleOptionFocusRect focus;
            focus.QStyleOption::operator=(option);
            focus.rect = option.rect.adjusted(0, 0, -1, -1);
            style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, view_);
        }
        for (const RowPart& part : rowParts(view_->model_, row, option.font)) {
            const QRect rect = part.rect.translated(option.rect.topLeft());
            if (part.action == Button::None) {
                painter->save();
                painter->setFont(part.font);
                style->drawItemText(painter, rect, int(part.align), option.palette, true, part.text,
                                    part.role);
                painter->restore();
                continue;
            }
            const AlarmListView::Hit hit{row, part.action};
            const bool pressed = view_->pressed_ == hit && view_->hovered_ == hit;
            const QStyleOptionButton opt =
                buttonOption(view_, part, rect, view_->hovered_ == hit, pressed);
            style->drawControl(
                part.action == Button::Enabled ? QStyle::CE_CheckBox : QStyle::CE_PushButton, &opt,
                painter, view_);
        }
    }

    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex& index) const override {
        return QSize(kPanelWidth, index.row() == view_->editedRow_ ? kAlarmEditableRowHeight
                                                                   : kAlarmStaticRowHeight);
    }

private:
    AlarmListView* view_;
};

AlarmListView::AlarmListView(AlarmListModel& model, QWidget* editor, QWidget* parent)
    : QListView(parent), model_(model), editor_(editor) {
    setModel(&model);
    setItemDelegate(new AlarmRowDelegate(this));
    setFrameShape(QFrame::NoFrame);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::NoSelection);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Tab leaves the list for the next control; arrows pick a row.
    setTabKeyNavigation(false);
    setMouseTracking(true);
    // The rows stand on the panel's own background, as its other controls do.
    viewport()->setAutoFillBackground(false);
    editor_->setParent(viewport());
    editor_->hide();
    // A hovered or pressed part belongs to a row that may have moved.
    auto forget = [this] { hovered_ = pressed_ = {}; };
    connect(&model, &QAbstractItemModel::rowsInserted, this, forget);
    connect(&model, &QAbstractItemModel::rowsRemoved, this, forget);
    connect(&model, &QAbstractItemModel::layoutChanged, this, forget);
    connect(&model, &QAbstractItemModel::modelReset, this, forget);
}

AlarmListView::~AlarmListView() = default;

void AlarmListView::setEditedRow(int row) {
    if (row == editedRow_) {
        return;
    }
    editedRow_ = row;
    // The row heights changed: lay the rows out now, so that the editor
    // lands on its row at once.
    scheduleDelayedItemsLayout();
    executeDelayedItemsLayout();
    placeEditor();
}

void AlarmListView::placeEditor() {
    if (editedRow_ < 0 || editedRow_ >= model_.size()) {
        editor_->hide();
        return;
    }
    const QRect rect = visualRect(model_.index(editedRow_));
    editor_->setGeometry(0, rect.y(), kPanelWidth, kAlarmEditableRowHeight);
    editor_->show();
}

void AlarmListView::updateGeometries() {
    QListView::updateGeometries();
    placeEditor();
}

void AlarmListView::scrollContentsBy(int dx, int dy) {
    QListView::scrollContentsBy(dx, dy);
    placeEditor();
}

AlarmListView::Hit AlarmListView::hitAt(const QPoint& pos) const {
    const QModelIndex index = indexAt(pos);
    if (!index.isValid() || index.row() == editedRow_) {
        return {};
    }
    const QRect row = visualRect(index);
    for (const RowPart& part : rowParts(model_, index.row(), font())) {
        if (part.action != Button::None && part.rect.translated(row.topLeft()).contains(pos)) {
            return {index.row(), part.action};
        }
    }
    return {index.row(), Button::None};
}

void AlarmListView::updateRow(int row) {
    if (row >= 0 && row < model_.size()) {
        viewport()->update(visualRect(model_.index(row)));
    }
}

void AlarmListView::setHovered(Hit hit) {
    if (hit.button == Button::None) {
        hit = {};
    }
    if (hit == hovered_) {
        return;
    }
    updateRow(hovered_.row);
    hovered_ = hit;
    updateRow(hit.row);
}

void AlarmListView::mousePressEvent(QMouseEvent* event) {
    const Hit hit = hitAt(event->position().toPoint());
    if (hit.button == Button::None || event->button() != Qt::LeftButton) {
        QListView::mousePressEvent(event);
        return;
    }
    setCurrentIndex(model_.index(hit.row));
    pressed_ = hit;
    setHovered(hit);
    updateRow(hit.row);
    event->accept();
}

void AlarmListView::mouseMoveEvent(QMouseEvent* event) {
    setHovered(hitAt(event->position().toPoint()));
    if (pressed_.button == Button::None) {
        QListView::mouseMoveEvent(event);
    }
}

void AlarmListView::mouseReleaseEvent(QMouseEvent* event) {
    const Hit pressed = std::exchange(pressed_, Hit{});
    if (pressed.button == Button::None) {
        QListView::mouseReleaseEvent(event);
        return;
    }
    updateRow(pressed.row);
    event->accept();
    if (event->button() == Qt::LeftButton && hitAt(event->position().toPoint()) == pressed) {
        emit buttonClicked(pressed.row, pressed.button);
    }
}

void AlarmListView::mouseDoubleClickEvent(QMouseEvent* event) {
    // A button's second click counts as a click of its own, as on a widget.
    if (hitAt(event->position().toPoint()).button != Button::None) {
        mousePressEvent(event);
        return;
    }
    QListView::mouseDoubleClickEvent(event);
}

bool AlarmListView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::Leave) {
        setHovered({});
    } else if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QModelIndex index = indexAt(help->pos());
        QString tip;
        if (index.isValid() && index.row() != editedRow_) {
            const QPoint origin = visualRect(index).topLeft();
            for (const RowPart& part : rowParts(model_, index.row(), font())) {
                if (part.rect.translated(origin).contains(help->pos())) {
                    tip = part.tip;
                }
            }
        }
        if (tip.isEmpty()) {
            QToolTip::hideText();
        } else {
            QToolTip::showText(help->globalPos(), tip, viewport());
        }
        return true;
    }
    return QListView::viewportEvent(event);
}

void AlarmListView::keyPressEvent(QKeyEvent* event) {
    if (editor_->isAncestorOf(QApplication::focusWidget())) {
        // Passed up from the editor's fields: the list does not act on them.
        event->ignore();
        return;
    }
    const QModelIndex current = currentIndex();
    const bool onRow = current.isValid() && current.row() != editedRow_;
    if (onRow && event->key() == Qt::Key_Space) {
        emit buttonClicked(current.row(), Button::Enabled);
    } else if (onRow && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        emit buttonClicked(current.row(), Button::Edit);
    } else {
        QListView::keyPressEvent(event);
        return;
    }
    event->accept();
}

QList<NamedRect> AlarmListView::namedRects() const {
    QList<NamedRect> rects;
    const QModelIndex first = indexAt(QPoint(0, 0));
    if (!first.isValid()) {
        return rects;
    }
    const QModelIndex lastShown = indexAt(QPoint(0, viewport()->height() - 1));
    const int last = lastShown.isValid() ? lastShown.row() : model_.size() - 1;
    const QPoint origin = viewport()->pos();
    const QRect seenArea = viewport()->rect();
    for (int row = first.row(); row <= last; ++row) {
        if (row == editedRow_) {
            continue;
        }
        const QRect rowRect = visualRect(model_.index(row));
        for (const RowPart& part : rowParts(model_, row, font())) {
            const QRect rect = part.rect.translated(rowRect.topLeft());
            QString kind;
            const QFontMetrics metrics(part.font);
            if (part.action == Button::Enabled) {
                kind = part.checked ? QStringLiteral("checked") : QStringLiteral("unchecked");
            } else if (part.action != Button::None) {
                // A caption wider than the room the style leaves it.
                const QStyleOptionButton opt = buttonOption(this, part, rect, false, false);
                const QRect room =
                    style()->subElementRect(QStyle::SE_PushButtonContents, &opt, this);
                kind = metrics.horizontalAdvance(part.text) > room.width()
                           ? QStringLiteral("button-clipped")
                           : QStringLiteral("button");
            } else {
                // A row scrolled partly out of the list is not clipped text.
                const QRect seen = rect & seenArea;
                kind = seen.height() >= metrics.height() &&
                               metrics.horizontalAdvance(part.text) > seen.width()
                           ? QStringLiteral("label-clipped")
                           : QStringLiteral("label");
            }
            rects << NamedRect{part.name + QLatin1Char('-') + QString::number(row), kind,
                               rect.translated(origin), part.text};
        }
    }
    return rects;
}

bool AlarmListView::clickNamed(const QString& name) {
    static const QRegularExpression numbered(QStringLiteral("^(alarm[A-Za-z]+)-(\\d+)$"));
    const QRegularExpressionMatch m = numbered.match(name);
    const int row = m.hasMatch() ? m.captured(2).toInt() : -1;
    if (row < 0 || row >= model_.size() || row == editedRow_) {
        return false;
    }
    for (const RowPart& part : rowParts(model_, row, font())) {
        if (part.action != Button::None && part.name == m.captured(1)) {
            emit buttonClicked(row, part.action);
            return true;
        }
    }
    return false;
}

}  // namespace pendra
