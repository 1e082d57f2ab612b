#pragma once

#include <QMargins>
#include <QObject>
#include <functional>
#include <memory>

class QWindow;
class QWidget;

namespace pendra {

// Places windows as wlr-layer-shell surfaces, where the Wayland compositor
// offers that protocol (sway, Hyprland, KDE Plasma, labwc, ...): anchored to
// screen edges by margins, above normal windows.
//
// Qt 6.4 has no public way to give a window another role than xdg_toplevel,
// and Debian ships no Qt 6 LayerShellQt nor Qt's private Wayland headers. A
// window with Qt::BypassWindowManagerHint gets a bare wl_surface from Qt when
// QT_WAYLAND_USE_BYPASSWINDOWMANAGERHINT is set; this class gives that
// surface the layer role, on Qt's own connection, when the window is first
// exposed, before Qt draws into it. Popups of a placed window (a combo box's
// list) are placed the same way beside it, since an xdg_popup needs an
// xdg_surface for a parent.
class LayerShell : public QObject {
    Q_OBJECT
public:
    enum class Layer { Top = 2, Overlay = 3 };
    enum class Keyboard { None = 0, Exclusive = 1, OnDemand = 2 };
    enum Edge { Top = 1, Bottom = 2, Left = 4, Right = 8 };

    struct Placement {
        Layer layer = Layer::Overlay;
        int edges = Top | Left;  // what the margins are measured from
        QMargins margins;
        Keyboard keyboard = Keyboard::OnDemand;
        // -1: over panels too, margins from the screen's edges; 0: inside
        // the area panels leave.
        int exclusiveZone = 0;
    };

    // The one instance, or null when the platform is not Wayland or the
    // compositor offers no layer shell.
    static LayerShell* instance();
    ~LayerShell() override;

    // Places the top-level `widget` as a layer surface each time it is shown,
    // where `placement` says at that moment. Call while it is hidden.
    void manage(QWidget* widget, std::function<Placement()> placement);

    struct State;

protected:
    bool eventFilter(QObject* object, QEvent* event) override;

private:
    explicit LayerShell(std::unique_ptr<State> state);
    bool attach(QWindow* window, const Placement& placement);
    void detach(QWindow* window);
    void setLayer(QWindow* window, Layer layer);
    std::unique_ptr<State> s_;
};

}  // namespace pendra
