#pragma once

#include <QMap>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include "platform/NotificationPresenter.h"

class QPushButton;

namespace pendra {

// The program's own alert: a small always-on-top window per notification
// with its title, subtitle and two buttons, shown until answered.
class AlertWindowPresenter : public QObject, public NotificationPresenter {
    Q_OBJECT
public:
    explicit AlertWindowPresenter(QObject* parent = nullptr);
    ~AlertWindowPresenter() override;

    void setCallbacks(Callbacks callbacks) override;
    void present(const UserNotificationPtr& n) override;
    void withdraw(const UserNotificationPtr& n) override;
    void withdrawAll() override;

    QWidget* windowFor(const QString& identifier) const;

private:
    void answer(const QString& identifier, bool action);

    Callbacks callbacks_;
    struct Shown {
        UserNotificationPtr notification;
        QPointer<QWidget> window;
    };
    QMap<QString, Shown> shown_;
};

}  // namespace pendra
