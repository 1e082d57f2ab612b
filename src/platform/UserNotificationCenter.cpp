// Placeholder implementation: a QTimer per scheduled notification, no wall-clock
// re-arming yet. Replaced by the timerfd-based center.
#include "platform/UserNotificationCenter.h"

#include <QMetaObject>
#include <QThread>
#include <QTimer>
#include <map>

#include "platform/Clock.h"
#include "platform/NotificationPresenter.h"

namespace pendra {

namespace {
class NullPresenter : public NotificationPresenter {
public:
    void setCallbacks(Callbacks) override {}
    void present(const UserNotificationPtr&) override {}
    void withdraw(const UserNotificationPtr&) override {}
    void withdrawAll() override {}
};
}  // namespace

struct UserNotificationCenter::Impl {
    std::unique_ptr<NotificationPresenter> presenter;
    UserNotificationCenterDelegate* delegate = nullptr;
    QList<UserNotificationPtr> scheduled;
    QList<UserNotificationPtr> delivered;
    std::map<QString, std::unique_ptr<QTimer>> timers;
};

UserNotificationCenter& UserNotificationCenter::defaultCenter() {
    static UserNotificationCenter* center =
        new UserNotificationCenter(std::make_unique<NullPresenter>());
    return *center;
}

UserNotificationCenter::UserNotificationCenter(std::unique_ptr<NotificationPresenter> presenter,
                                               QObject* parent)
    : QObject(parent), d(std::make_unique<Impl>()) {
    d->presenter = std::move(presenter);
}

UserNotificationCenter::~UserNotificationCenter() = default;

void UserNotificationCenter::setDelegate(UserNotificationCenterDelegate* delegate) {
    d->delegate = delegate;
}

UserNotificationCenterDelegate* UserNotificationCenter::delegate() const { return d->delegate; }

void UserNotificationCenter::scheduleNotification(const UserNotificationPtr& n) {
    removeScheduledNotification(n);
    d->scheduled.append(n);
    if (!n->deliveryDate) {
        return;
    }
    auto timer = std::make_unique<QTimer>();
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    const qint64 ms = std::max<qint64>(0, Clock::now().msecsTo(*n->deliveryDate));
    timer->setInterval(int(std::min<qint64>(ms, INT_MAX)));
    connect(timer.get(), &QTimer::timeout, this, [this, n] {
        d->scheduled.removeAll(n);
        d->timers.erase(n->identifier);
        deliverNotification(n);
    });
    timer->start();
    d->timers[n->identifier] = std::move(timer);
}

void UserNotificationCenter::deliverNotification(const UserNotificationPtr& n) {
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(this, [this, n] { deliverNotification(n); },
                                  Qt::QueuedConnection);
        return;
    }
    d->delivered.append(n);
    d->presenter->present(n);
    if (d->delegate) {
        d->delegate->userNotificationCenterDidDeliver(*this, n);
    }
}

void UserNotificationCenter::removeScheduledNotification(const UserNotificationPtr& n) {
    d->timers.erase(n->identifier);
    d->scheduled.removeIf([&](const auto& s) { return s->identifier == n->identifier; });
}

void UserNotificationCenter::removeDeliveredNotification(const UserNotificationPtr& n) {
    d->presenter->withdraw(n);
    d->delivered.removeIf([&](const auto& s) { return s->identifier == n->identifier; });
}

void UserNotificationCenter::removeAllDeliveredNotifications() {
    d->presenter->withdrawAll();
    d->delivered.clear();
}

QList<UserNotificationPtr> UserNotificationCenter::scheduledNotifications() const {
    return d->scheduled;
}

void UserNotificationCenter::setScheduledNotifications(const QList<UserNotificationPtr>& list) {
    d->timers.clear();
    d->scheduled.clear();
    for (const auto& n : list) {
        scheduleNotification(n);
    }
}

QList<UserNotificationPtr> UserNotificationCenter::deliveredNotifications() const {
    return d->delivered;
}

NotificationPresenter& UserNotificationCenter::presenter() { return *d->presenter; }

}  // namespace pendra
