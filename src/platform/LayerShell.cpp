#include "platform/LayerShell.h"

#include <poll.h>
#include <qpa/qplatformnativeinterface.h>
#include <wayland-client.h>
#include <QApplication>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QHash>
#include <QPlatformSurfaceEvent>
#include <QPointer>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/Log.h"
#include "wlr-layer-shell-unstable-v1-client-protocol.h"

namespace pendra {

struct LayerShell::State {
    wl_display* display = nullptr;
    // Our own queue: dispatching it never runs Qt's handlers.
    wl_event_queue* queue = nullptr;
    wl_display* wrapper = nullptr;
    wl_registry* registry = nullptr;
    zwlr_layer_shell_v1* shell = nullptr;
    uint32_t version = 0;
    struct Surface {
        zwlr_layer_surface_v1* role = nullptr;
        LayerShell::Placement placement;
        QSize configured;          // what the compositor gave; empty until it answered
        QPointer<QWindow> parent;  // of a popup
    };
    QHash<QWindow*, Surface*> surfaces;
    QHash<QWidget*, std::function<LayerShell::Placement()>> managed;

    ~State() {
        for (Surface* surface : std::as_const(surfaces)) {
            zwlr_layer_surface_v1_destroy(surface->role);
            delete surface;
        }
        if (shell != nullptr) {
            if (version >= 3) {
                zwlr_layer_shell_v1_destroy(shell);
            } else {
                wl_proxy_destroy(reinterpret_cast<wl_proxy*>(shell));
            }
        }
        if (registry != nullptr) {
            wl_registry_destroy(registry);
        }
        if (wrapper != nullptr) {
            wl_proxy_wrapper_destroy(wrapper);
        }
        if (queue != nullptr) {
            wl_event_queue_destroy(queue);
        }
    }
};

namespace {

void onGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface,
              uint32_t version) {
    auto* s = static_cast<LayerShell::State*>(data);
    if (std::strcmp(interface, zwlr_layer_shell_v1_interface.name) == 0 && s->shell == nullptr) {
        s->version = std::min<uint32_t>(version, 4);
        s->shell = static_cast<zwlr_layer_shell_v1*>(
            wl_registry_bind(registry, name, &zwlr_layer_shell_v1_interface, s->version));
    }
}

void onGlobalRemove(void*, wl_registry*, uint32_t) {}

const wl_registry_listener kRegistryListener = {onGlobal, onGlobalRemove};

void onConfigure(void* data, zwlr_layer_surface_v1* role, uint32_t serial, uint32_t width,
                 uint32_t height) {
    auto* surface = static_cast<LayerShell::State::Surface*>(data);
    zwlr_layer_surface_v1_ack_configure(role, serial);
    surface->configured = QSize(int(width), int(height));
}

// The compositor dropped the surface (its output went away); it stays
// unmapped until the window is shown again.
void onClosed(void*, zwlr_layer_surface_v1*) {}

const zwlr_layer_surface_v1_listener kSurfaceListener = {onConfigure, onClosed};

void onSyncDone(void* data, wl_callback*, uint32_t) {
    *static_cast<bool*>(data) = true;
}

const wl_callback_listener kSyncListener = {onSyncDone};

// Everything the compositor sends on our queue up to its answer to a sync,
// waiting at most `timeoutMs`: a compositor that hangs must not hang us.
bool roundtrip(LayerShell::State* s, int timeoutMs) {
    bool done = false;
    wl_callback* sync = wl_display_sync(s->wrapper);
    wl_callback_add_listener(sync, &kSyncListener, &done);
    const QDeadlineTimer deadline(timeoutMs);
    bool ok = true;
    while (!done && ok) {
        if (wl_display_prepare_read_queue(s->display, s->queue) != 0) {
            ok = wl_display_dispatch_queue_pending(s->display, s->queue) >= 0;
            continue;
        }
        wl_display_flush(s->display);
        pollfd fd{wl_display_get_fd(s->display), POLLIN, 0};
        const int left = int(deadline.remainingTime());
        if (left <= 0 || poll(&fd, 1, left) <= 0) {
            wl_display_cancel_read(s->display);
            ok = false;
            break;
        }
        ok = wl_display_read_events(s->display) >= 0 &&
             wl_display_dispatch_queue_pending(s->display, s->queue) >= 0;
    }
    wl_callback_destroy(sync);
    return done;
}

}  // namespace

LayerShell* LayerShell::instance() {
    static LayerShell* shell = []() -> LayerShell* {
        if (!QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
            return nullptr;
        }
        QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
        auto* display = native ? static_cast<wl_display*>(native->nativeResourceForIntegration(
                                     QByteArrayLiteral("wl_display")))
                               : nullptr;
        if (display == nullptr) {
            return nullptr;
        }
        auto s = std::make_unique<State>();
        s->display = display;
        s->queue = wl_display_create_queue(display);
        s->wrapper = static_cast<wl_display*>(wl_proxy_create_wrapper(display));
        wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(s->wrapper), s->queue);
        s->registry = wl_display_get_registry(s->wrapper);
        wl_registry_add_listener(s->registry, &kRegistryListener, s.get());
        if (!roundtrip(s.get(), 500) || s->shell == nullptr) {
            return nullptr;
        }
        // Read by Qt at each show: only windows with the hint lose their
        // xdg_toplevel, and only the ones placed here have it.
        qputenv("QT_WAYLAND_USE_BYPASSWINDOWMANAGERHINT", "1");
        return new LayerShell(std::move(s));
    }();
    return shell;
}

LayerShell::LayerShell(std::unique_ptr<State> state) : s_(std::move(state)) {
    qApp->installEventFilter(this);
}

LayerShell::~LayerShell() = default;

void LayerShell::manage(QWidget* widget, std::function<Placement()> placement) {
    s_->managed.insert(widget, std::move(placement));
    connect(widget, &QObject::destroyed, this, [this, widget] { s_->managed.remove(widget); });
    widget->setWindowFlag(Qt::BypassWindowManagerHint, true);
}

namespace {
QWidget* widgetOf(QWindow* window) {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->windowHandle() == window) {
            return w;
        }
    }
    return nullptr;
}
}  // namespace

bool LayerShell::eventFilter(QObject* object, QEvent* event) {
    auto* window = qobject_cast<QWindow*>(object);
    if (window == nullptr) {
        return false;
    }
    switch (event->type()) {
        case QEvent::PlatformSurface:
            if (static_cast<QPlatformSurfaceEvent*>(event)->surfaceEventType() ==
                QPlatformSurfaceEvent::SurfaceCreated) {
                // A popup of a placed window: an xdg_popup would need an
                // xdg_surface for a parent, so it is placed too.
                QWidget* popup = window->type() == Qt::Popup ? widgetOf(window) : nullptr;
                QWidget* parent =
                    popup && popup->parentWidget() ? popup->parentWidget()->window() : nullptr;
                if (parent != nullptr && parent->windowHandle() != nullptr &&
                    s_->surfaces.contains(parent->windowHandle())) {
                    window->setFlag(Qt::BypassWindowManagerHint, true);
                }
            } else {
                detach(window);
            }
            break;
        case QEvent::Expose:
            if (window->isVisible() && (window->flags() & Qt::BypassWindowManagerHint) &&
                !s_->surfaces.contains(window)) {
                QWidget* widget = widgetOf(window);
                if (widget != nullptr && s_->managed.contains(widget)) {
                    attach(window, s_->managed.value(widget)());
                } else if (widget != nullptr && widget->parentWidget() != nullptr) {
                    QWindow* parent = widget->parentWidget()->window()->windowHandle();
                    if (State::Surface* p = s_->surfaces.value(parent)) {
                        // Beside the parent as Qt laid it out, by the same edges.
                        Placement placement = p->placement;
                        const QRect pg = parent->geometry();
                        const QRect g = window->geometry();
                        QMargins& m = placement.margins;
                        if (placement.edges & Left) {
                            m.setLeft(m.left() + g.left() - pg.left());
                        } else {
                            m.setRight(m.right() + pg.right() - g.right());
                        }
                        if (placement.edges & Top) {
                            m.setTop(m.top() + g.top() - pg.top());
                        } else {
                            m.setBottom(m.bottom() + pg.bottom() - g.bottom());
                        }
                        placement.layer = Layer::Overlay;
                        placement.keyboard = Keyboard::None;
                        placement.exclusiveZone = p->placement.exclusiveZone;
                        if (attach(window, placement)) {
                            s_->surfaces.value(window)->parent = parent;
                            // Which of two surfaces of one layer is above is
                            // the compositor's choice: the parent steps down
                            // a layer while its popup is open.
                            setLayer(parent, Layer::Top);
                        }
                    }
                }
            }
            break;
        case QEvent::Hide:
            detach(window);
            break;
        default:
            break;
    }
    return false;
}

bool LayerShell::attach(QWindow* window, const Placement& placement) {
    QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
    auto* surface = static_cast<wl_surface*>(
        native->nativeResourceForWindow(QByteArrayLiteral("surface"), window));
    if (surface == nullptr) {
        printLine(QStringLiteral("A window has no Wayland surface to place"));
        return false;
    }
    auto* entry = new State::Surface;
    entry->placement = placement;
    entry->role = zwlr_layer_shell_v1_get_layer_surface(s_->shell, surface, nullptr,
                                                        uint32_t(placement.layer), "pendra");
    zwlr_layer_surface_v1_add_listener(entry->role, &kSurfaceListener, entry);
    s_->surfaces.insert(window, entry);
    const int edges = placement.edges;
    // Stretched between two opposite edges, the compositor gives the size.
    const bool fillX = (edges & Left) && (edges & Right);
    const bool fillY = (edges & Top) && (edges & Bottom);
    zwlr_layer_surface_v1_set_size(entry->role, fillX ? 0 : uint32_t(window->width()),
                                   fillY ? 0 : uint32_t(window->height()));
    zwlr_layer_surface_v1_set_anchor(entry->role, uint32_t(edges));
    const QMargins& m = placement.margins;
    zwlr_layer_surface_v1_set_margin(entry->role, m.top(), m.right(), m.bottom(), m.left());
    zwlr_layer_surface_v1_set_exclusive_zone(entry->role, placement.exclusiveZone);
    // Before version 4 only "exclusive" exists, which would keep the focus
    // from ever leaving.
    if (placement.keyboard != Keyboard::OnDemand || s_->version >= 4) {
        zwlr_layer_surface_v1_set_keyboard_interactivity(entry->role, uint32_t(placement.keyboard));
    }
    // The first commit carries no buffer; Qt attaches one once configured.
    wl_surface_commit(surface);
    if (!roundtrip(s_.get(), 500) || entry->configured.isNull()) {
        printLine(QStringLiteral("The compositor did not place a window in time"));
        return false;
    }
    const QSize size(
        entry->configured.width() > 0 ? entry->configured.width() : window->width(),
        entry->configured.height() > 0 ? entry->configured.height() : window->height());
    if (size != window->size()) {
        window->resize(size);
    }
    return true;
}

void LayerShell::detach(QWindow* window) {
    if (State::Surface* entry = s_->surfaces.take(window)) {
        zwlr_layer_surface_v1_destroy(entry->role);
        if (State::Surface* parent = entry->parent ? s_->surfaces.value(entry->parent) : nullptr) {
            setLayer(entry->parent, parent->placement.layer);
        }
        delete entry;
        wl_display_flush(s_->display);
    }
}

void LayerShell::setLayer(QWindow* window, Layer layer) {
    State::Surface* entry = s_->surfaces.value(window);
    if (entry == nullptr || s_->version < 2) {
        return;
    }
    zwlr_layer_surface_v1_set_layer(entry->role, uint32_t(layer));
    QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
    if (auto* surface = static_cast<wl_surface*>(
            native->nativeResourceForWindow(QByteArrayLiteral("surface"), window))) {
        wl_surface_commit(surface);
    }
    wl_display_flush(s_->display);
}

}  // namespace pendra
