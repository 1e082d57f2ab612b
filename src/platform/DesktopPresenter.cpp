#include "platform/DesktopPresenter.h"

#include "platform/AlertWindowPresenter.h"
#include "platform/FreedesktopPresenter.h"

namespace pendra {

namespace {

class DesktopPresenter : public NotificationPresenter {
public:
    DesktopPresenter() {
        server_.onLost = [this](const UserNotificationPtr& n) { window_.present(n); };
    }
    void setCallbacks(Callbacks callbacks) override {
        server_.setCallbacks(callbacks);
        window_.setCallbacks(std::move(callbacks));
    }
    void present(const UserNotificationPtr& n) override {
        window_.withdraw(n);
        server_.present(n);
    }
    void withdraw(const UserNotificationPtr& n) override {
        server_.withdraw(n);
        window_.withdraw(n);
    }
    void withdrawAll() override {
        server_.withdrawAll();
        window_.withdrawAll();
    }

private:
    FreedesktopPresenter server_;
    AlertWindowPresenter window_;
};

}  // namespace

std::unique_ptr<NotificationPresenter> makeDesktopPresenter() {
    return std::make_unique<DesktopPresenter>();
}

}  // namespace pendra
