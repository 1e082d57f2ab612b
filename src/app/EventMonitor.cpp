#include "app/EventMonitor.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace pendra {

EventMonitor::EventMonitor(int mask, std::function<void()> handler, QWidget* watched,
                           std::function<bool()> isOwnClick)
    : mask_(mask),
      handler_(std::move(handler)),
      watched_(watched),
      isOwnClick_(std::move(isOwnClick)) {}

EventMonitor::~EventMonitor() {
    stop();
}

void EventMonitor::start() {
    if (monitor_ || !watched_) {
        return;
    }
    watched_->installEventFilter(this);
    monitor_ = true;
}

void EventMonitor::stop() {
    if (!monitor_) {
        return;
    }
    if (watched_) {
        watched_->removeEventFilter(this);
    }
    monitor_ = false;
}

bool EventMonitor::eventFilter(QObject* object, QEvent* event) {
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
