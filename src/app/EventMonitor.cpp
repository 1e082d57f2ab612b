#include "app/EventMonitor.h"

#include <QApplication>
#include <QEvent>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include "platform/LayerShell.h"

namespace pendra {

namespace {
class OutsideClickCatcher : public QWidget {
public:
    explicit OutsideClickCatcher(std::function<void()> onClick)
        : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint), onClick_(std::move(onClick)) {
        setObjectName(QStringLiteral("outsideClickCatcher"));
        setAttribute(Qt::WA_TranslucentBackground);
        setAttribute(Qt::WA_NoSystemBackground);
        LayerShell::instance()->manage(this, [] {
            LayerShell::Placement p;
            p.layer = LayerShell::Layer::Top;
            p.edges = LayerShell::Top | LayerShell::Bottom | LayerShell::Left | LayerShell::Right;
            p.keyboard = LayerShell::Keyboard::None;
            p.exclusiveZone = -1;  // over the panels too
            return p;
        });
    }

protected:
    void mousePressEvent(QMouseEvent*) override { onClick_(); }

private:
    std::function<void()> onClick_;
};

bool isOtherWindow(QObject* object, const QWidget* watched, const QWidget* catcher) {
    auto* w = qobject_cast<QWidget*>(object);
    return w != nullptr && w->isWindow() && w != watched && w != catcher &&
           w->windowType() != Qt::Popup && w->windowType() != Qt::ToolTip;
}
}  // namespace

EventMonitor::EventMonitor(int mask, std::function<void()> handler, QWidget* watched,
                           std::function<bool()> isOwnClick)
    : mask_(mask),
      handler_(std::move(handler)),
      watched_(watched),
      isOwnClick_(std::move(isOwnClick)) {}

EventMonitor::~EventMonitor() {
    stop();
    delete catcher_;
}

void EventMonitor::start() {
    if (monitor_ || !watched_) {
        return;
    }
    watched_->installEventFilter(this);
    monitor_ = true;
    if ((watched_->windowFlags() & Qt::BypassWindowManagerHint) && LayerShell::instance()) {
        if (!catcher_) {
            catcher_ = new OutsideClickCatcher([this] {
                if (monitor_ && watched_ && watched_->isVisible() && handler_) {
                    handler_();
                }
            });
        }
        qApp->installEventFilter(this);
        showCatcher(true);
    }
}

void EventMonitor::showCatcher(bool show) {
    if (!catcher_) {
        return;
    }
    if (show && watched_ && watched_->screen()) {
        catcher_->resize(watched_->screen()->geometry().size());
    }
    catcher_->setVisible(show);
}

void EventMonitor::stop() {
    if (!monitor_) {
        return;
    }
    if (watched_) {
        watched_->removeEventFilter(this);
    }
    qApp->removeEventFilter(this);
    showCatcher(false);
    monitor_ = false;
}

bool EventMonitor::eventFilter(QObject* object, QEvent* event) {
    // Another window of ours (the quit warning) must stay reachable.
    if (catcher_ && (event->type() == QEvent::Show || event->type() == QEvent::Hide) &&
        isOtherWindow(object, watched_, catcher_)) {
        showCatcher(event->type() == QEvent::Hide && monitor_);
        return false;
    }
    if (object == watched_ && event->type() == QEvent::WindowDeactivate) {
        // Activation may move to one of our own dialogs (the quit warning).
        QTimer::singleShot(settleMs_, this, [this] {
            if (!monitor_ || !watched_ || !watched_->isVisible()) {
                return;
            }
            QWidget* active = QApplication::activeWindow();
            if (active != nullptr && active != watched_.data()) {
                return;
            }
            if (isOwnClick_ && isOwnClick_()) {
                return;
            }
            if (handler_) {
                handler_();
            }
        });
    }
    return false;
}

}  // namespace pendra
