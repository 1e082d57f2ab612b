#pragma once

#include <QObject>
#include <QPointer>
#include <functional>

class QWidget;
class QEvent;

namespace pendra {

// Reports a click outside the popover while it is installed. X11 does not let
// a client see other applications' clicks, so the stand-in is the popover's
// window losing activation; a click on the program's own tray icon is not an
// outside click (the tray toggles the popover itself). A popover placed as a
// Wayland layer surface need not be active at all: there a clear surface
// over the rest of the screen, below the popover, takes the outside click.
class EventMonitor : public QObject {
    Q_OBJECT
public:
    enum Mask { LeftMouseDown = 1 << 1, RightMouseDown = 1 << 3 };

    // `isOwnClick` tells whether the pointer is on the program's own controls
    // (its tray icon) at the moment of the deactivation.
    EventMonitor(int mask, std::function<void()> handler, QWidget* watched,
                 std::function<bool()> isOwnClick = {});
    ~EventMonitor() override;

    void start();
    void stop();
    bool isStarted() const { return monitor_; }
    // How long after a deactivation to decide that it was an outside click:
    // a tray that reports its clicks over D-Bus does so after the
    // deactivation, and its click on our icon toggles the popover itself.
    void setSettleDelay(int ms) { settleMs_ = ms; }
    int mask() const { return mask_; }

protected:
    bool eventFilter(QObject* object, QEvent* event) override;

private:
    void showCatcher(bool show);

    bool monitor_ = false;
    QPointer<QWidget> catcher_;
    int settleMs_ = 0;
    int mask_;
    std::function<void()> handler_;
    QPointer<QWidget> watched_;
    std::function<bool()> isOwnClick_;
};

}  // namespace pendra
