#include "platform/UserNotificationCenter.h"

#include <sys/timerfd.h>
#include <unistd.h>

#include <QFile>
#include <QFileSystemWatcher>
#include <QMetaObject>
#include <QSocketNotifier>
#include <QThread>
#include <cerrno>

#include "platform/Clock.h"
#include "platform/DesktopPresenter.h"
#include "platform/NotificationPresenter.h"

namespace pendra {

namespace {

bool sameId(const UserNotificationPtr& a, const UserNotificationPtr& b) {
    return a->identifier == b->identifier;
}

// The local wall time `days` calendar days after `date`: a weekly 07:00 stays
// 07:00 across a change of daylight-saving time.
QDateTime addCalendarDays(const QDateTime& date, const QTime& wallTime, qint64 days) {
    return localDateTime(date.date().addDays(days), wallTime);
}

QTime wallTimeOf(const UserNotification& n) {
    return n.repeatWallTime.isValid() ? n.repeatWallTime : n.deliveryDate->time();
}

}  // namespace

struct UserNotificationCenter::Impl {
    std::unique_ptr<NotificationPresenter> presenter;
    UserNotificationCenterDelegate* delegate = nullptr;
    struct Entry {
        UserNotificationPtr notification;
        QTime wallTime;        // the time of day of the date it was scheduled with
        bool noticed = false;  // the delegate has heard that its date is near
    };
    QList<Entry> scheduled;
    QList<UserNotificationPtr> delivered;
    int timerFd = -1;
    QSocketNotifier* notifier = nullptr;
    QFileSystemWatcher* zoneWatcher = nullptr;
};

UserNotificationCenter& UserNotificationCenter::defaultCenter() {
    static UserNotificationCenter* center = new UserNotificationCenter(makeDesktopPresenter());
    return *center;
}

UserNotificationCenter::UserNotificationCenter(std::unique_ptr<NotificationPresenter> presenter,
                                               QObject* parent)
    : QObject(parent), d(std::make_unique<Impl>()) {
    d->presenter = std::move(presenter);
    NotificationPresenter::Callbacks callbacks;
    callbacks.activated = [this](const UserNotificationPtr& n, ActivationType type) {
        n->activationType = type;
        if (d->delegate) {
            d->delegate->userNotificationCenterDidActivate(*this, n);
        }
    };
    callbacks.dismissed = [this](const UserNotificationPtr& n) {
        if (d->delegate) {
            d->delegate->userNotificationCenterDidDismissAlert(*this, n);
        }
    };
    d->presenter->setCallbacks(std::move(callbacks));

    // One timer on the wall clock for the earliest pending date. Setting the
    // clock cancels it (TFD_TIMER_CANCEL_ON_SET), which re-evaluates at once.
    d->timerFd = timerfd_create(CLOCK_REALTIME, TFD_CLOEXEC | TFD_NONBLOCK);
    if (d->timerFd >= 0) {
        d->notifier = new QSocketNotifier(d->timerFd, QSocketNotifier::Read, this);
        connect(d->notifier, &QSocketNotifier::activated, this, [this] {
            std::uint64_t expirations = 0;
            [[maybe_unused]] const ssize_t n = read(d->timerFd, &expirations, sizeof expirations);
            reevaluate();
        });
    }
    // A change of the system time zone moves every local date.
    d->zoneWatcher = new QFileSystemWatcher(this);
    for (const char* f : {"/etc/localtime", "/etc/timezone"}) {
        if (QFile::exists(QString::fromLatin1(f))) {
            d->zoneWatcher->addPath(QString::fromLatin1(f));
        }
    }
    connect(d->zoneWatcher, &QFileSystemWatcher::fileChanged, this, [this](const QString& path) {
        // A replaced file leaves the watch list.
        if (!d->zoneWatcher->files().contains(path) && QFile::exists(path)) {
            d->zoneWatcher->addPath(path);
        }
        reevaluate();
    });
}

UserNotificationCenter::~UserNotificationCenter() {
    if (d->timerFd >= 0) {
        close(d->timerFd);
    }
}

void UserNotificationCenter::setDelegate(UserNotificationCenterDelegate* delegate) {
    d->delegate = delegate;
}

UserNotificationCenterDelegate* UserNotificationCenter::delegate() const {
    return d->delegate;
}

void UserNotificationCenter::scheduleNotification(const UserNotificationPtr& n) {
    if (!n) {
        return;
    }
    d->scheduled.removeIf([&](const Impl::Entry& e) { return sameId(e.notification, n); });
    if (n->deliveryDate) {
        d->scheduled.append({n, wallTimeOf(*n)});
    } else {
        // Without a date it can never come due; it is kept so that removing
        // it by identifier works the same.
        d->scheduled.append({n, QTime()});
    }
    reevaluate();
}

void UserNotificationCenter::deliverNotification(const UserNotificationPtr& n) {
    if (!n) {
        return;
    }
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(
            this, [this, n] { deliverNotification(n); }, Qt::QueuedConnection);
        return;
    }
    d->delivered.removeIf([&](const UserNotificationPtr& x) { return sameId(x, n); });
    d->delivered.append(n);
    if (!d->delegate || d->delegate->userNotificationCenterShouldPresent(*this, n)) {
        d->presenter->present(n);
    }
    if (d->delegate) {
        d->delegate->userNotificationCenterDidDeliver(*this, n);
    }
}

void UserNotificationCenter::removeScheduledNotification(const UserNotificationPtr& n) {
    if (!n) {
        return;
    }
    d->scheduled.removeIf([&](const Impl::Entry& e) { return sameId(e.notification, n); });
    arm();
}

void UserNotificationCenter::removeDeliveredNotification(const UserNotificationPtr& n) {
    if (!n) {
        return;
    }
    d->presenter->withdraw(n);
    d->delivered.removeIf([&](const UserNotificationPtr& x) { return sameId(x, n); });
}

void UserNotificationCenter::updateDeliveredNotification(const UserNotificationPtr& n) {
    if (n && d->delivered.contains(n)) {
        d->presenter->present(n);
    }
}

void UserNotificationCenter::removeAllDeliveredNotifications() {
    d->presenter->withdrawAll();
    d->delivered.clear();
}

QList<UserNotificationPtr> UserNotificationCenter::scheduledNotifications() const {
    QList<UserNotificationPtr> out;
    for (const auto& e : d->scheduled) {
        out.append(e.notification);
    }
    return out;
}

void UserNotificationCenter::setScheduledNotifications(const QList<UserNotificationPtr>& list) {
    d->scheduled.clear();
    for (const auto& n : list) {
        if (n) {
            d->scheduled.removeIf([&](const Impl::Entry& e) { return sameId(e.notification, n); });
            d->scheduled.append({n, n->deliveryDate ? wallTimeOf(*n) : QTime()});
        }
    }
    reevaluate();
}

QList<UserNotificationPtr> UserNotificationCenter::deliveredNotifications() const {
    return d->delivered;
}

NotificationPresenter& UserNotificationCenter::presenter() {
    return *d->presenter;
}

void UserNotificationCenter::deliverDueNotifications() {
    reevaluate();
}

void UserNotificationCenter::reevaluate() {
    const QDateTime now = Clock::now();
    const qint64 leadMs = std::chrono::milliseconds(deliveryNoticeLead).count();
    QList<UserNotificationPtr> due;
    QList<UserNotificationPtr> near;
    for (qsizetype i = 0; i < d->scheduled.size();) {
        Impl::Entry& e = d->scheduled[i];
        const UserNotificationPtr& n = e.notification;
        if (!n->deliveryDate) {
            ++i;
            continue;
        }
        if (*n->deliveryDate > now) {
            if (!e.noticed && now.msecsTo(*n->deliveryDate) <= leadMs) {
                e.noticed = true;
                near.append(n);
            }
            ++i;
            continue;
        }
        due.append(n);
        n->dueDate = n->deliveryDate;
        if (n->deliveryRepeatIntervalDays > 0) {
            // Delivered once however many repeats were missed (asleep, clock
            // set forwards); then on from the next date still ahead.
            QDateTime next = *n->deliveryDate;
            qint64 k = 1;
            do {
                next = addCalendarDays(*n->deliveryDate, e.wallTime,
                                       k * n->deliveryRepeatIntervalDays);
                ++k;
            } while (next <= now && k < 100000);
            n->deliveryDate = next;
            e.noticed = false;
            ++i;
        } else {
            d->scheduled.removeAt(i);
        }
    }
    arm();
    for (const auto& n : near) {
        if (d->delegate) {
            d->delegate->userNotificationCenterWillDeliver(*this, n);
        }
    }
    for (const auto& n : due) {
        deliverNotification(n);
    }
}

void UserNotificationCenter::arm() {
    if (d->timerFd < 0) {
        return;
    }
    // Woken at the earliest date, or that far ahead of it to give notice.
    std::optional<QDateTime> earliest;
    for (const auto& e : d->scheduled) {
        const auto& date = e.notification->deliveryDate;
        if (!date) {
            continue;
        }
        const QDateTime wake =
            e.noticed ? *date : date->addSecs(-std::chrono::seconds(deliveryNoticeLead).count());
        if (!earliest || wake < *earliest) {
            earliest = wake;
        }
    }
    itimerspec timerSpec{};
    if (earliest) {
        // The injected clock may differ from the system's; arm by the
        // distance from now, on the system's wall clock.
        const qint64 realNowMs = QDateTime::currentMSecsSinceEpoch();
        const qint64 waitMs = std::max<qint64>(0, Clock::now().msecsTo(*earliest));
        const qint64 atMs = realNowMs + waitMs;
        timerSpec.it_value.tv_sec = atMs / 1000;
        timerSpec.it_value.tv_nsec = (atMs % 1000) * 1'000'000 + 1;
    }
    timerfd_settime(d->timerFd, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &timerSpec, nullptr);
}

}  // namespace pendra
