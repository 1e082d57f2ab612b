#include "app/Popover.h"

#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

#include "app/KeyboardActivation.h"
#include "platform/LayerShell.h"
#include "platform/WindowHints.h"

namespace pendra {

namespace {
constexpr int kGap = 4;

int clampInto(int pos, int length, int lo, int hi) {
    if (length >= hi - lo) {
        return lo;
    }
    return std::clamp(pos, lo, hi - length);
}
}  // namespace

QRect popoverGeometry(QSize size, QRect anchor, QRect screen, QRect available, QPoint pointer) {
    if (!anchor.isValid() || anchor.isEmpty()) {
        anchor = QRect(pointer, QSize(1, 1));
    }
    if (!available.isValid() || available.isEmpty()) {
        available = screen;
    }
    const int w = size.width();
    const int h = size.height();
    const QPoint c = anchor.center();
    int x = c.x() - w / 2;
    int y = 0;

    // A side panel reserves a strip beside the available area; otherwise the
    // panel is at the top or the bottom, whichever half holds the icon.
    if (c.x() < available.left()) {
        x = anchor.right() + 1 + kGap;
        y = c.y() - h / 2;
    } else if (c.x() > available.right()) {
        x = anchor.left() - kGap - w;
        y = c.y() - h / 2;
    } else if (c.y() < screen.center().y()) {
        y = anchor.bottom() + 1 + kGap;
    } else {
        y = anchor.top() - kGap - h;
    }
    x = clampInto(x, w, available.left(), available.right() + 1);
    y = clampInto(y, h, available.top(), available.bottom() + 1);
    return QRect(x, y, w, h);
}

namespace {
// A frameless window still needs an edge on a panel of the same colour.
QMargins edgeMargins(bool framed) {
    return framed ? QMargins() : QMargins(1, 1, 1, 1);
}

Qt::WindowFlags flagsFor(bool framed) {
    return framed ? Qt::WindowFlags(Qt::Window)
                  : Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint;
}
}  // namespace

Popover::Popover(QWidget* content, bool framed)
    : QWidget(nullptr, flagsFor(framed)), framed_(framed) {
    setWindowTitle(QStringLiteral("Pendra"));
    setObjectName(QStringLiteral("popover"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(edgeMargins(framed));
    layout->addWidget(content);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    // Painted rather than styled: a style sheet here would put every widget
    // of every panel under the style-sheet style, which costs a good part of
    // each opening and of the memory of long lists.
    setAutoFillBackground(true);
    new KeyboardActivation(this);
}

void Popover::setFramed(bool framed) {
    if (framed == framed_) {
        return;
    }
    framed_ = framed;
    const bool wasVisible = isVisible();
    setWindowFlags(flagsFor(framed));
    layout()->setContentsMargins(edgeMargins(framed));
    if (wasVisible) {
        show();
    }
}

void Popover::paintEvent(QPaintEvent*) {
    if (!framed_) {
        QPainter p(this);
        p.setPen(palette().color(QPalette::Mid));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void Popover::showRelativeTo(const QRect& anchor) {
    adjustSize();
    if (showAsLayer(anchor)) {
        return;
    }
    const QPoint pointer = QCursor::pos();
    QScreen* screen = nullptr;
    if (anchor.isValid() && !anchor.isEmpty()) {
        screen = QGuiApplication::screenAt(anchor.center());
    }
    if (screen == nullptr) {
        screen = QGuiApplication::screenAt(pointer);
    }
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen != nullptr) {
        const QRect g = popoverGeometry(sizeHint().expandedTo(size()), anchor, screen->geometry(),
                                        screen->availableGeometry(), pointer);
        move(g.topLeft());
    }
    show();
    raise();
    activateWindow();
}

bool Popover::showAsLayer(const QRect& anchor) {
    LayerShell* layer = framed_ ? nullptr : LayerShell::instance();
    QScreen* screen = QGuiApplication::primaryScreen();
    if (layer == nullptr || screen == nullptr) {
        return false;
    }
    const QSize size = sizeHint().expandedTo(this->size());
    const QRect area = screen->geometry();
    // From the panel's edge (the layer's margins count from inside the zone
    // panels reserve), beside the icon; with no position for it, top right.
    layerEdges_ = LayerShell::Top | LayerShell::Right;
    layerMargins_ = QMargins(0, kGap, kGap, 0);
    if (anchor.isValid() && !anchor.isEmpty()) {
        const QRect g = popoverGeometry(size, anchor, area, area, anchor.center());
        const bool top = anchor.center().y() < area.center().y();
        layerEdges_ = (top ? LayerShell::Top : LayerShell::Bottom) | LayerShell::Left;
        layerMargins_ = QMargins(g.x() - area.x(), top ? kGap : 0, 0, top ? 0 : kGap);
    }
    if (!layered_) {
        layered_ = true;
        layer->manage(this, [this] {
            LayerShell::Placement p;
            p.edges = layerEdges_;
            p.margins = layerMargins_;
            return p;
        });
    }
    setWindowFlag(Qt::BypassWindowManagerHint, true);
    // Where Qt should think it is, for its popups' own placement.
    const int x = (layerEdges_ & LayerShell::Left)
                      ? area.x() + layerMargins_.left()
                      : area.right() + 1 - layerMargins_.right() - size.width();
    const int y = (layerEdges_ & LayerShell::Top)
                      ? area.y() + layerMargins_.top()
                      : area.bottom() + 1 - layerMargins_.bottom() - size.height();
    resize(size);
    move(x, y);
    show();
    raise();
    activateWindow();
    return true;
}

void Popover::performClose() {
    hide();
}

void Popover::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        emit escapePressed();
        return;
    }
    QWidget::keyPressEvent(event);
}

void Popover::showEvent(QShowEvent* event) {
    // Sent before the window is mapped: a popover is no task of its own.
    if (!framed_) {
        skipTaskbarAndPager(this);
    }
    QWidget::showEvent(event);
    emit shown();
}

}  // namespace pendra
