#include "platform/FreedesktopPresenter.h"

#include <QTimer>

#include "platform/Log.h"

namespace pendra {

namespace {
constexpr uint kClosedByUser = 2;
}  // namespace

QString escapeNotificationBody(const QString& text) {
    return text.toHtmlEscaped();
}

FreedesktopPresenter::FreedesktopPresenter(std::unique_ptr<NotificationServer> server,
                                           std::chrono::milliseconds answerWithin, QObject* parent)
    : QObject(parent), server_(std::move(server)), answerWithin_(answerWithin) {
    NotificationServer::Handlers h;
    h.capabilities = [this](std::optional<QStringList> caps) { capabilitiesAnswered(caps); };
    h.notified = [this](quint64 ticket, std::optional<uint> id, const QString& error) {
        notified(ticket, id, error);
    };
    h.actionInvoked = [this](uint id, const QString& key) { actionInvoked(id, key); };
    h.closed = [this](uint id, uint reason) { closed(id, reason); };
    h.ownerChanged = [this](bool present) { ownerChanged(present); };
    server_->setHandlers(std::move(h));
    // Asked ahead, so that the first alert need not wait for the answer.
    askingCapabilities_ = true;
    server_->getCapabilities();
}

FreedesktopPresenter::~FreedesktopPresenter() {
    // The server's answers must not reach a presenter that is gone.
    server_->setHandlers({});
}

void FreedesktopPresenter::setCallbacks(Callbacks callbacks) {
    callbacks_ = std::move(callbacks);
}

void FreedesktopPresenter::present(const UserNotificationPtr& n) {
    abandonPending(n->identifier);
    const quint64 ticket = nextTicket_++;
    Request r{n, 0, new QTimer(this)};
    for (auto it = shown_.cbegin(); it != shown_.cend(); ++it) {
        if (it.value()->identifier == n->identifier) {
            r.replaces = it.key();
            break;
        }
    }
    r.deadline->setSingleShot(true);
    connect(r.deadline, &QTimer::timeout, this, [this, ticket] {
        if (!pending_.contains(ticket)) {
            return;
        }
        printLine(QStringLiteral("The notification server did not answer in time; ") +
                  QStringLiteral("Pendra shows the alert itself"));
        stalled_ = true;
        lose(ticket);
    });
    pending_.insert(ticket, r);
    if (hasActions_ == false || stalled_) {
        lose(ticket);
        return;
    }
    r.deadline->start(answerWithin_);
    if (hasActions_) {
        send(ticket);
    } else if (!askingCapabilities_) {
        askingCapabilities_ = true;
        server_->getCapabilities();
    }
}

void FreedesktopPresenter::send(quint64 ticket) {
    const Request& r = pending_[ticket];
    const UserNotification& n = *r.notification;
    NotificationServer::Message m;
    m.replaces = r.replaces;
    m.summary = n.title;
    m.body = escapeNotificationBody(n.subtitle);
    m.actions = QStringList{QStringLiteral("default"), QString()};
    if (n.hasActionButton) {
        m.actions << QStringLiteral("action") << n.actionButtonTitle;
    }
    m.actions << QStringLiteral("other") << n.otherButtonTitle;
    m.hints.insert(QStringLiteral("urgency"), QVariant::fromValue<uchar>(2));
    m.hints.insert(QStringLiteral("suppress-sound"), true);
    m.hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("pendra"));
    server_->notify(ticket, m);
}

// Gives the request up and hands its notification on to be shown elsewhere.
void FreedesktopPresenter::lose(quint64 ticket) {
    const UserNotificationPtr n = pending_.value(ticket).notification;
    abandon(ticket);
    if (n && onLost) {
        onLost(n);
    }
}

// Forgets the request; should the server answer it after all, what it showed
// is closed at once.
void FreedesktopPresenter::abandon(quint64 ticket) {
    const Request r = pending_.take(ticket);
    if (r.deadline != nullptr) {
        r.deadline->stop();
        r.deadline->deleteLater();
    }
}

void FreedesktopPresenter::abandonPending(const QString& identifier) {
    const QList<quint64> tickets = pending_.keys();
    for (quint64 t : tickets) {
        if (pending_.value(t).notification->identifier == identifier) {
            abandon(t);
        }
    }
}

void FreedesktopPresenter::capabilitiesAnswered(std::optional<QStringList> capabilities) {
    askingCapabilities_ = false;
    if (capabilities) {
        stalled_ = false;
        hasActions_ = capabilities->contains(QStringLiteral("actions"));
    }
    const QList<quint64> tickets = pending_.keys();
    for (quint64 t : tickets) {
        if (hasActions_.value_or(false)) {
            send(t);
        } else {
            lose(t);  // no server, or one without buttons
        }
    }
}

void FreedesktopPresenter::notified(quint64 ticket, std::optional<uint> id, const QString& error) {
    stalled_ = false;
    if (!pending_.contains(ticket)) {
        // Given up on, withdrawn or replaced meanwhile.
        if (id) {
            closeOnServer(*id);
        }
        return;
    }
    const Request r = pending_.value(ticket);
    abandon(ticket);
    if (!id) {
        printLine(QStringLiteral("Notification server did not show the notification: ") + error);
        if (onLost) {
            onLost(r.notification);
        }
        return;
    }
    if (r.replaces != 0 && r.replaces != *id) {
        shown_.remove(r.replaces);
        closing_.insert(r.replaces);
    }
    shown_.insert(*id, r.notification);
    closing_.remove(*id);
}

void FreedesktopPresenter::closeOnServer(uint id) {
    closing_.insert(id);
    shown_.remove(id);
    server_->close(id);
}

void FreedesktopPresenter::withdraw(const UserNotificationPtr& n) {
    abandonPending(n->identifier);
    const QList<uint> ids = shown_.keys();
    for (uint id : ids) {
        if (shown_.value(id)->identifier == n->identifier) {
            closeOnServer(id);
        }
    }
}

void FreedesktopPresenter::withdrawAll() {
    const QList<quint64> tickets = pending_.keys();
    for (quint64 t : tickets) {
        abandon(t);
    }
    const QList<uint> ids = shown_.keys();
    for (uint id : ids) {
        closeOnServer(id);
    }
}

void FreedesktopPresenter::actionInvoked(uint id, const QString& key) {
    stalled_ = false;
    const UserNotificationPtr n = shown_.value(id);
    if (!n) {
        return;  // someone else's, or one already answered or given up on
    }
    if (key == QLatin1String("default")) {
        if (callbacks_.activated) {
            callbacks_.activated(n, ActivationType::ContentsClicked);
        }
        return;
    }
    if (key != QLatin1String("action") && key != QLatin1String("other")) {
        printLine(QStringLiteral("Ignored an unknown notification action: ") + key);
        return;
    }
    // Answered: take it off the screen (some servers keep it after an action)
    // and do not read the close that follows as a second answer.
    closeOnServer(id);
    if (key == QLatin1String("action")) {
        if (callbacks_.activated) {
            callbacks_.activated(n, ActivationType::ActionButtonClicked);
        }
    } else if (callbacks_.dismissed) {
        callbacks_.dismissed(n);
    }
}

void FreedesktopPresenter::closed(uint id, uint reason) {
    stalled_ = false;
    if (closing_.remove(id)) {
        return;
    }
    const UserNotificationPtr n = shown_.take(id);
    if (!n) {
        return;
    }
    if (reason == kClosedByUser) {
        if (callbacks_.dismissed) {
            callbacks_.dismissed(n);
        }
        return;
    }
    // Expired or closed by someone else: still unanswered.
    if (onLost) {
        onLost(n);
    }
}

void FreedesktopPresenter::ownerChanged(bool serverThere) {
    // What the old server showed or was asked to show is gone with it; the
    // new one (or, with none, onLost) gets it again.
    QList<UserNotificationPtr> again = shown_.values();
    for (const auto& r : std::as_const(pending_)) {
        again.append(r.notification);
    }
    const QList<quint64> tickets = pending_.keys();
    for (quint64 t : tickets) {
        abandon(t);
    }
    shown_.clear();
    closing_.clear();
    hasActions_.reset();
    askingCapabilities_ = serverThere;
    stalled_ = false;
    if (serverThere) {
        server_->getCapabilities();
    }
    for (const auto& n : again) {
        present(n);
    }
}

}  // namespace pendra
