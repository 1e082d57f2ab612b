#pragma once

#include <QList>
#include <QString>

#include "platform/NotificationPresenter.h"
#include "platform/UserNotificationCenter.h"

namespace pendra::test {

// A presenter that records what the center shows and lets a test answer.
class RecordingPresenter : public NotificationPresenter {
public:
    void setCallbacks(Callbacks callbacks) override { callbacks_ = std::move(callbacks); }
    void present(const UserNotificationPtr& n) override { presented.append(n); }
    void withdraw(const UserNotificationPtr& n) override { withdrawn.append(n->identifier); }
    void withdrawAll() override {}

    void activate(const UserNotificationPtr& n, ActivationType type) {
        callbacks_.activated(n, type);
    }
    void dismiss(const UserNotificationPtr& n) { callbacks_.dismissed(n); }

    QList<UserNotificationPtr> presented;
    QList<QString> withdrawn;

private:
    Callbacks callbacks_;
};

}  // namespace pendra::test
