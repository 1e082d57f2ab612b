#include "platform/AlertWindowPresenter.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace pendra {

namespace {

// Closing the window from the window manager is the same as "Dismiss".
class AlertWindow : public QWidget {
public:
    std::function<void()> onClose;

protected:
    void closeEvent(QCloseEvent* event) override {
        if (onClose) {
            auto f = std::move(onClose);
            onClose = nullptr;
            f();
        }
        event->accept();
    }
};

}  // namespace

AlertWindowPresenter::AlertWindowPresenter(QObject* parent) : QObject(parent) {}

AlertWindowPresenter::~AlertWindowPresenter() {
    for (auto& s : shown_) {
        if (s.window) {
            static_cast<AlertWindow*>(s.window.data())->onClose = nullptr;
            delete s.window;
        }
    }
}

void AlertWindowPresenter::setCallbacks(Callbacks callbacks) {
    callbacks_ = std::move(callbacks);
}

void AlertWindowPresenter::present(const UserNotificationPtr& n) {
    withdraw(n);
    auto* w = new AlertWindow();
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->setWindowFlags(Qt::Window | Qt::WindowStaysOnTopHint | Qt::Dialog);
    w->setWindowTitle(QStringLiteral("Pendra"));
    w->setObjectName(QStringLiteral("alertWindow"));
    auto* layout = new QVBoxLayout(w);
    auto* title = new QLabel(n->title);
    title->setTextFormat(Qt::PlainText);
    title->setObjectName(QStringLiteral("alertTitle"));
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    auto* subtitle = new QLabel(n->subtitle);
    subtitle->setTextFormat(Qt::PlainText);
    subtitle->setObjectName(QStringLiteral("alertSubtitle"));
    subtitle->setWordWrap(true);
    layout->addWidget(title);
    layout->addWidget(subtitle);
    auto* buttons = new QHBoxLayout();
    buttons->addStretch(1);
    auto* other = new QPushButton(n->otherButtonTitle);
    other->setObjectName(QStringLiteral("alertOtherButton"));
    buttons->addWidget(other);
    QPushButton* action = nullptr;
    if (n->hasActionButton) {
        action = new QPushButton(n->actionButtonTitle);
        action->setObjectName(QStringLiteral("alertActionButton"));
        action->setDefault(true);
        buttons->addWidget(action);
    }
    layout->addLayout(buttons);
    const QString id = n->identifier;
    connect(other, &QPushButton::clicked, this, [this, id] { answer(id, false); });
    if (action != nullptr) {
        connect(action, &QPushButton::clicked, this, [this, id] { answer(id, true); });
    }
    w->onClose = [this, id] { answer(id, false); };
    shown_.insert(id, {n, w});
    w->setMinimumWidth(280);
    w->show();
    w->raise();
    w->activateWindow();
}

void AlertWindowPresenter::answer(const QString& identifier, bool action) {
    auto it = shown_.find(identifier);
    if (it == shown_.end()) {
        return;
    }
    const Shown s = *it;
    shown_.erase(it);
    if (s.window) {
        static_cast<AlertWindow*>(s.window.data())->onClose = nullptr;
        s.window->close();
    }
    if (action) {
        if (callbacks_.activated) {
            callbacks_.activated(s.notification, ActivationType::ActionButtonClicked);
        }
    } else if (callbacks_.dismissed) {
        callbacks_.dismissed(s.notification);
    }
}

void AlertWindowPresenter::withdraw(const UserNotificationPtr& n) {
    auto it = shown_.find(n->identifier);
    if (it == shown_.end()) {
        return;
    }
    if (it->window) {
        static_cast<AlertWindow*>(it->window.data())->onClose = nullptr;
        it->window->close();
    }
    shown_.erase(it);
}

void AlertWindowPresenter::withdrawAll() {
    const auto all = shown_.values();
    for (const auto& s : all) {
        withdraw(s.notification);
    }
}

QWidget* AlertWindowPresenter::windowFor(const QString& identifier) const {
    auto it = shown_.find(identifier);
    return it == shown_.end() ? nullptr : it->window.data();
}

}  // namespace pendra
