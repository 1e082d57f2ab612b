#include "worldclock/CityTableView.h"

#include <QApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QToolTip>

#include "worldclock/CityListModel.h"

namespace pendra {

namespace {

constexpr int kRowHeight = 40;
// The row's texts differ in size; they stand on one line.
constexpr int kBaseline = 29;

// Where a column's text goes within its cell, and how large it may be.
struct Look {
    QRect text;
    Qt::Alignment align;
    int largest;
    int smallest;
    QPalette::ColorRole role;
};

Look lookOf(int column) {
    switch (column) {
        case CityListModel::CityColumn:
            return {QRect(0, 0, 150, kRowHeight), Qt::AlignLeft, 20, 14, QPalette::WindowText};
        case CityListModel::OffsetColumn:
            // The lesser figure beside the time: smaller, dimmer.
            return {QRect(0, 0, 120, kRowHeight), Qt::AlignHCenter, 20, 20,
                    QPalette::PlaceholderText};
        default:
            // The time is what the row is for: as large as its room holds,
            // which ends short of the cross so that the minutes stay readable.
            return {QRect(0, 0, 108, kRowHeight), Qt::AlignRight, 30, 20, QPalette::WindowText};
    }
}

QRect textRect(const QRect& cell, int column) {
    return lookOf(column).text.translated(cell.topLeft());
}

QRect crossRect(const QRect& timeCell) {
    return QRect(timeCell.left() + 110, timeCell.top() + 15, 20, 20);
}

struct Fitted {
    QFont font;
    QString shown;
};

// Long names (Dumont d'Urville, Port of Spain) shrink before they are cut
// short; only past the smallest size is the end elided.
Fitted fitted(QFont font, int column, const QString& text) {
    const Look look = lookOf(column);
    font.setWeight(QFont::Normal);
    int size = look.largest;
    for (; size > look.smallest; --size) {
        font.setPixelSize(size);
        if (QFontMetrics(font).horizontalAdvance(text) <= look.text.width()) {
            break;
        }
    }
    font.setPixelSize(size);
    return {font, QFontMetrics(font).elidedText(text, Qt::ElideRight, look.text.width())};
}

// A thin cross in the text's colour, which the style's own close icons draw
// too small or boxed.
QIcon crossIcon(const QColor& color) {
    QPixmap pixmap(QSize(24, 24) * 2);
    pixmap.setDevicePixelRatio(2);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(color, 2.0, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(7, 7), QPointF(17, 17));
    painter.drawLine(QPointF(17, 7), QPointF(7, 17));
    return QIcon(pixmap);
}

}  // namespace

class CityRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

    int hovered = -1;  // the row whose cross is under the mouse
    int pressed = -1;  // the row whose cross the mouse went down on

private:
    mutable QIcon cross_;
    mutable QColor crossColor_;
};

void CityRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    const QWidget* view = option.widget;
    QStyle* style = view ? view->style() : QApplication::style();
    // The style's row background and selection, without a focus box: the
    // selection already shows the row the keyboard is on.
    QStyleOptionViewItem panel(option);
    panel.state &= ~QStyle::State_HasFocus;
    style->drawControl(QStyle::CE_ItemViewItem, &panel, painter, view);

    const int column = index.column();
    const Look look = lookOf(column);
    const Fitted text = fitted(option.font, column, index.data().toString());
    const QFontMetrics metrics(text.font);
    const QRect room = textRect(option.rect, column);
    const int width = metrics.horizontalAdvance(text.shown);
    int x = room.left();
    if (look.align & Qt::AlignHCenter) {
        x += (room.width() - width) / 2;
    } else if (look.align & Qt::AlignRight) {
        x = room.left() + room.width() - width;
    }
    painter->save();
    painter->setFont(text.font);
    painter->setPen(option.palette.color(look.role));
    painter->drawText(QPoint(x, option.rect.top() + std::max(kBaseline, metrics.ascent())),
                      text.shown);
    painter->restore();

    if (column != CityListModel::TimeColumn) {
        return;
    }
    const QRect button = crossRect(option.rect);
    const int row = index.row();
    if (row == hovered || row == pressed) {
        QStyleOption frame;
        frame.initFrom(view);
        frame.rect = button;
        frame.state |=
            QStyle::State_AutoRaise | QStyle::State_MouseOver |
            (row == pressed && row == hovered ? QStyle::State_Sunken : QStyle::State_Raised);
        style->drawPrimitive(QStyle::PE_PanelButtonTool, &frame, painter, view);
    }
    const QColor color = option.palette.color(QPalette::ButtonText);
    if (cross_.isNull() || color != crossColor_) {
        cross_ = crossIcon(color);
        crossColor_ = color;
    }
    cross_.paint(painter, button.adjusted(2, 2, -2, -2));
}

bool CityRowDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                const QStyleOptionViewItem& option, const QModelIndex& index) {
    if (event->type() != QEvent::ToolTip) {
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    }
    QString tip;
    if (index.column() == CityListModel::TimeColumn &&
        crossRect(option.rect).contains(event->pos())) {
        tip = index.data(CityListModel::DeleteLabelRole).toString();
    } else if (index.column() == CityListModel::CityColumn) {
        // The whole name of one cut short.
        const QString name = index.data().toString();
        if (fitted(option.font, index.column(), name).shown != name) {
            tip = name;
        }
    }
    if (tip.isEmpty()) {
        QToolTip::hideText();
    } else {
        QToolTip::showText(event->globalPos(), tip, view);
    }
    return true;
}

CityTableView::CityTableView(QWidget* parent)
    : QTableView(parent), delegate_(new CityRowDelegate(this)) {
    setItemDelegate(delegate_);
    setFrameShape(QFrame::NoFrame);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setShowGrid(false);
    // Tab leaves the table for the next control; arrows pick a row.
    setTabKeyNavigation(false);
    setMouseTracking(true);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(kRowHeight);
    verticalHeader()->setDefaultSectionSize(kRowHeight);
    verticalHeader()->hide();
    horizontalHeader()->hide();
}

CityTableView::~CityTableView() = default;

QRect CityTableView::deleteRect(int row) const {
    return model() ? crossRect(visualRect(model()->index(row, CityListModel::TimeColumn)))
                   : QRect();
}

int CityTableView::deleteRowAt(const QPoint& pos) const {
    const QModelIndex index = indexAt(pos);
    return index.isValid() && deleteRect(index.row()).contains(pos) ? index.row() : -1;
}

void CityTableView::setHovered(int row) {
    if (row == delegate_->hovered) {
        return;
    }
    for (int changed : {delegate_->hovered, row}) {
        if (changed >= 0) {
            viewport()->update(deleteRect(changed));
        }
    }
    delegate_->hovered = row;
}

void CityTableView::mousePressEvent(QMouseEvent* event) {
    const int row = deleteRowAt(event->position().toPoint());
    if (row < 0 || event->button() != Qt::LeftButton) {
        QTableView::mousePressEvent(event);
        return;
    }
    // The cross acts as a button: on release over it, and without selecting.
    delegate_->pressed = row;
    viewport()->update(deleteRect(row));
    event->accept();
}

void CityTableView::mouseMoveEvent(QMouseEvent* event) {
    setHovered(deleteRowAt(event->position().toPoint()));
    if (delegate_->pressed < 0) {
        QTableView::mouseMoveEvent(event);
    }
}

void CityTableView::mouseReleaseEvent(QMouseEvent* event) {
    const int row = delegate_->pressed;
    if (row < 0) {
        QTableView::mouseReleaseEvent(event);
        return;
    }
    delegate_->pressed = -1;
    viewport()->update(deleteRect(row));
    event->accept();
    if (event->button() == Qt::LeftButton && deleteRowAt(event->position().toPoint()) == row) {
        emit deleteRequested(row);
    }
}

void CityTableView::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second click of a double click on a cross would remove the row
    // that moved up under it: one double click removes one city.
    if (deleteRowAt(event->position().toPoint()) >= 0) {
        event->accept();
        return;
    }
    QTableView::mouseDoubleClickEvent(event);
}

bool CityTableView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::Leave) {
        setHovered(-1);
    }
    return QTableView::viewportEvent(event);
}

void CityTableView::keyPressEvent(QKeyEvent* event) {
    const QModelIndex current = currentIndex();
    if ((event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace) &&
        current.isValid() && selectionModel()->isRowSelected(current.row())) {
        emit deleteRequested(current.row());
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

QList<NamedRect> CityTableView::namedRects() const {
    QList<NamedRect> rects;
    const int first = rowAt(0);
    if (!model() || first < 0) {
        return rects;
    }
    int last = rowAt(viewport()->height() - 1);
    last = last < 0 ? model()->rowCount() - 1 : last;
    const QPoint origin = viewport()->pos();
    static const QString names[] = {QStringLiteral("worldClockCity-%1"),
                                    QStringLiteral("worldClockOffset-%1"),
                                    QStringLiteral("worldClockTime-%1")};
    for (int row = first; row <= last; ++row) {
        for (int column = 0; column < CityListModel::ColumnCount; ++column) {
            const QModelIndex index = model()->index(row, column);
            const Fitted text = fitted(font(), column, index.data().toString());
            const QRect room = textRect(visualRect(index), column);
            const bool clipped =
                QFontMetrics(text.font).horizontalAdvance(text.shown) > room.width();
            rects << NamedRect{names[column].arg(row),
                               clipped ? QStringLiteral("label-clipped") : QStringLiteral("label"),
                               room.translated(origin), text.shown};
        }
        rects << NamedRect{QStringLiteral("worldClockDelete-%1").arg(row),
                           QStringLiteral("button"),
                           deleteRect(row).translated(origin),
                           {}};
    }
    return rects;
}

}  // namespace pendra
