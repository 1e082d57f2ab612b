#pragma once

#include <QList>
#include <QObject>
#include <chrono>
#include <memory>

#include "platform/UserNotification.h"

namespace pendra {

class UserNotificationCenter;
class NotificationPresenter;

// Receives the center's callbacks, always on the main thread.
class UserNotificationCenterDelegate {
public:
    virtual ~UserNotificationCenterDelegate() = default;
    virtual void userNotificationCenterDidDeliver(UserNotificationCenter& center,
                                                  const UserNotificationPtr& n) = 0;
    virtual void userNotificationCenterDidActivate(UserNotificationCenter& center,
                                                   const UserNotificationPtr& n) = 0;
    virtual void userNotificationCenterDidDismissAlert(UserNotificationCenter& center,
                                                       const UserNotificationPtr& n) = 0;
    virtual bool userNotificationCenterShouldPresent(UserNotificationCenter& center,
                                                     const UserNotificationPtr& n) = 0;
    // A scheduled notification comes due within deliveryNoticeLead: the time
    // to ready what its delivery needs. Told once per date.
    virtual void userNotificationCenterWillDeliver(UserNotificationCenter&,
                                                   const UserNotificationPtr&) {}
};

// The program's one notification center: the scheduled list delivered on
// wall-clock time, the delivered list, and presentation through a presenter
// (desktop notifications, or the program's own alert window).
//
// Every member is called on the main thread, except deliverNotification(),
// which may be called from any thread.
class UserNotificationCenter : public QObject {
    Q_OBJECT
public:
    // How long before a scheduled delivery the delegate hears of it.
    static constexpr std::chrono::seconds deliveryNoticeLead{10};

    // The process-wide center, created on first use with the desktop presenter.
    static UserNotificationCenter& defaultCenter();

    // A center with the given presenter (tests pass a recording one). The
    // center does not own the presenter unless it is given as unique_ptr.
    explicit UserNotificationCenter(std::unique_ptr<NotificationPresenter> presenter,
                                    QObject* parent = nullptr);
    ~UserNotificationCenter() override;

    void setDelegate(UserNotificationCenterDelegate* delegate);
    UserNotificationCenterDelegate* delegate() const;

    // A notification with the identifier of a pending one replaces it.
    void scheduleNotification(const UserNotificationPtr& n);
    // Delivered at once. Safe from any thread; the callbacks still arrive on the main thread.
    void deliverNotification(const UserNotificationPtr& n);
    // Matched by identifier.
    void removeScheduledNotification(const UserNotificationPtr& n);
    void removeDeliveredNotification(const UserNotificationPtr& n);
    // Shows a delivered notification again with what has changed in it,
    // without another delivery.
    void updateDeliveredNotification(const UserNotificationPtr& n);
    void removeAllDeliveredNotifications();

    QList<UserNotificationPtr> scheduledNotifications() const;
    void setScheduledNotifications(const QList<UserNotificationPtr>& list);
    QList<UserNotificationPtr> deliveredNotifications() const;

    NotificationPresenter& presenter();

    // Delivers what has come due by Clock::now() and re-arms. Callers about to
    // replace pending notifications call it first, so that one whose moment
    // has just come is delivered rather than replaced; tests call it after
    // moving their injected clock.
    void deliverDueNotifications();

private:
    void reevaluate();
    void arm();

    struct Impl;
    std::unique_ptr<Impl> d;
};

}  // namespace pendra
