#pragma once

#include <QMargins>
#include <QRect>
#include <QWidget>

namespace pendra {

// Where the popover goes: hanging below an icon in a top panel, standing above
// one in a bottom panel (beside one in a side panel), centred on it and always
// fully inside the available area of its screen. Without an icon geometry it
// opens at the pointer.
QRect popoverGeometry(QSize size, QRect anchor, QRect screen, QRect available, QPoint pointer);

// The frameless top-level window that holds the whole interface.
class Popover : public QWidget {
    Q_OBJECT
public:
    explicit Popover(QWidget* content, bool framed = false);

    // Framed: an ordinary window, for desktops without a tray. Takes effect
    // the next time the popover is shown.
    void setFramed(bool framed);
    bool isFramed() const { return framed_; }

    void showRelativeTo(const QRect& anchor);
    void performClose();
    bool isShown() const { return isVisible(); }

signals:
    void escapePressed();
    void shown();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // Where the compositor offers a layer shell (Wayland): hangs the popover
    // from the panel's edge by the anchor; without one, from the top right,
    // where trays mostly sit. False when it could not be placed so.
    bool showAsLayer(const QRect& anchor);

    bool framed_ = false;
    bool layered_ = false;
    QMargins layerMargins_;
    int layerEdges_ = 0;
};

}  // namespace pendra
