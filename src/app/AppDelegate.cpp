#include "app/AppDelegate.h"

#include <QApplication>
#include <QCheckBox>
#include <QCursor>
#include <QIcon>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWindow>

#include "alarms/AlarmRules.h"
#include "alarms/AlarmViewController.h"
#include "app/EventMonitor.h"
#include "app/Popover.h"
#include "app/TabViewController.h"
#include "app/ViewController.h"
#include "common/Ask.h"
#include "common/Preferences.h"
#include "platform/Log.h"
#include "platform/StatusNotifierItem.h"
#include "platform/UserDefaults.h"
#include "timer/TimerViewController.h"

namespace pendra {

namespace {
constexpr int kPanelsAtTheLatestMs = 250;
}  // namespace

UserNotificationCenter& AppDelegate::notificationCenter() {
    return UserNotificationCenter::defaultCenter();
}

AppDelegate::AppDelegate(UserNotificationCenter& center, QObject* parent)
    : QObject(parent), center_(center) {}

AppDelegate::~AppDelegate() {
    if (center_.delegate() == this) {
        center_.setDelegate(nullptr);
    }
    eventMonitor_.reset();
    delete popover_;
}

// A button needs a tray host that has the icon: a StatusNotifierItem
// watcher that took the item, or on X11 an XEmbed tray.
bool AppDelegate::hasStatusButton() const {
    if (notifierItem_ != nullptr && notifierItem_->isRegistered()) {
        return true;
    }
    return statusItem_ != nullptr && statusItem_->isVisible() &&
           QSystemTrayIcon::isSystemTrayAvailable();
}

QIcon AppDelegate::statusImage() const {
    return QIcon(QStringLiteral(":/StatusBarButtonImage.svg"));
}

void AppDelegate::createXEmbedIcon() {
    // Qt picks XEmbed or its own D-Bus icon once, at the first icon, by
    // whether a watcher is there: made only while none is, this one is
    // always XEmbed, and the watcher path stays with notifierItem_.
    statusItem_ = new QSystemTrayIcon(statusImage(), this);
    statusItem_->setToolTip(notifierItem_ ? notifierItem_->toolTip() : QStringLiteral("Pendra"));
    statusItem_->setContextMenu(statusMenu_);
    connect(statusItem_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                // A second click soon after the first arrives as a double
                // click; it is still a click on the icon.
                if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) {
                    togglePopover();
                }
            });
}

void AppDelegate::trayChanged() {
    const bool watcher = notifierItem_ != nullptr && notifierItem_->watcherPresent();
    if (!watcher && statusItem_ == nullptr &&
        QGuiApplication::platformName() == QLatin1String("xcb")) {
        createXEmbedIcon();
    }
    if (statusItem_ != nullptr) {
        statusItem_->setVisible(!watcher);
    }
    if (eventMonitor_) {
        // A host calls Activate only after the click that deactivated the
        // popover: wait for it before calling that click an outside one.
        eventMonitor_->setSettleDelay(notifierItem_ && notifierItem_->isRegistered() ? 300 : 0);
    }
    // A pending registration counts: the watcher answers within moments.
    const bool tray = hasStatusButton() || watcher;
    if (!launchDecided_) {
        launchDecided_ = true;
        hadTray_ = tray;
        if (!tray) {
            // Without a tray the program would be unreachable: open as a window.
            loadPanels();
            showPopover();
        } else {
            // From the event loop, once the icon's requests have gone out.
            QTimer::singleShot(0, this, [this] { loadPanels(); });
        }
        watchXEmbedTray();
        return;
    }
    if (tray && !hadTray_ && isPopoverShown() && popover_->isFramed()) {
        // The no-tray window gives way to the icon, as at a launch with a tray.
        closePopover();
    }
    hadTray_ = tray;
    watchXEmbedTray();
}

void AppDelegate::watchXEmbedTray() {
    // Qt embeds the icon in an XEmbed tray that comes later by itself but
    // tells nobody: while there is no tray, look for one now and then.
    if (hadTray_ || statusItem_ == nullptr || !statusItem_->isVisible()) {
        if (xembedPoll_ != nullptr) {
            xembedPoll_->stop();
        }
        return;
    }
    if (xembedPoll_ == nullptr) {
        xembedPoll_ = new QTimer(this);
        xembedPoll_->setInterval(500);
        connect(xembedPoll_, &QTimer::timeout, this, [this] {
            if (QSystemTrayIcon::isSystemTrayAvailable()) {
                trayChanged();
            }
        });
    }
    xembedPoll_->start();
}

void AppDelegate::applicationDidFinishLaunching() {
    {
        statusMenu_ = new QMenu();
        statusMenu_->setParent(nullptr);
        connect(this, &QObject::destroyed, statusMenu_, &QObject::deleteLater);
        statusMenu_->addAction(tr("Open Pendra"), this, [this] {
            if (!isPopoverShown()) {
                showPopover();
            }
        });
        statusMenu_->addAction(tr("Quit"), this, &AppDelegate::requestTermination);
        notifierItem_ = new StatusNotifierItem(QStringLiteral("pendra"), this);
        notifierItem_->setTitle(QStringLiteral("Pendra"));
        notifierItem_->setIcon(statusImage());
        notifierItem_->setToolTip(QStringLiteral("Pendra"));
        notifierItem_->setContextMenu(statusMenu_);
        connect(notifierItem_, &StatusNotifierItem::activated, this, [this](QPoint at) {
            activationPoint_ = at;
            togglePopover();
        });
        connect(notifierItem_, &StatusNotifierItem::registrationChanged, this,
                &AppDelegate::trayChanged);
        connect(notifierItem_, &StatusNotifierItem::watcherChanged, this,
                &AppDelegate::trayChanged);
    }

    viewController_ = new ViewController(center_);
    popover_ = new Popover(viewController_);
    connect(viewController_, &ViewController::quitPressed, this, &AppDelegate::requestTermination);
    connect(popover_, &Popover::escapePressed, this, &AppDelegate::closePopover);
    connect(popover_, &Popover::shown, viewController_, &ViewController::viewDidAppear);

    center_.setDelegate(this);
    center_.removeAllDeliveredNotifications();
    center_.setScheduledNotifications({});

    eventMonitor_ = std::make_unique<EventMonitor>(
        EventMonitor::LeftMouseDown | EventMonitor::RightMouseDown,
        [self = QPointer<AppDelegate>(this)] {
            if (self && self->isPopoverShown()) {
                self->closePopover();
            }
        },
        popover_,
        [this] {
            return statusItem_ != nullptr && statusItem_->isVisible() &&
                   statusItem_->geometry().contains(QCursor::pos());
        });

    // Every panel loads at launch, not when first shown: alarms must be read
    // and scheduled even if the user never opens the popover. It waits only
    // for the tray to be settled, so that the icon goes out before a long list
    // is built, and not beyond a moment.
    QTimer::singleShot(kPanelsAtTheLatestMs, this, [this] { loadPanels(); });
    if (notifierItem_->serviceName().isEmpty()) {
        // No session bus: no answer about a watcher will come.
        trayChanged();
    }
}

void AppDelegate::loadPanels() {
    if (panelsLoaded_) {
        return;
    }
    panelsLoaded_ = true;
    viewController_->viewDidLoad();
    if (AlarmViewController* alarms = viewController_->tabViewController()->alarmsPanel()) {
        auto update = [this, alarms] {
            const QString tip = nextAlarmToolTip(alarms->nextAlarm(), do24HourTimePreference());
            notifierItem_->setToolTip(tip);
            if (statusItem_ != nullptr) {
                statusItem_->setToolTip(tip);
            }
        };
        connect(alarms, &AlarmViewController::alarmsChanged, this, update);
        update();
    }
    emit panelsLoaded();
}

void AppDelegate::togglePopover() {
    if (isPopoverShown()) {
        closePopover();
    } else {
        showPopover();
    }
}

void AppDelegate::showPopover() {
    loadPanels();
    const bool tray = hasStatusButton();
    popover_->setFramed(!tray);
    if (tray) {
        QRect anchor;
        if (statusItem_ != nullptr && statusItem_->isVisible()) {
            anchor = statusItem_->geometry();
        }
        // Not every host on Wayland knows where its icon is on screen:
        // waybar passes the click's place within the icon, which a point
        // that close to the corner is taken for.
        const bool local = activationPoint_ &&
                           QGuiApplication::platformName().startsWith(QLatin1String("wayland")) &&
                           activationPoint_->x() < 48 && activationPoint_->y() < 48;
        if ((!anchor.isValid() || anchor.isEmpty()) && activationPoint_ && !local) {
            // The host's click on its icon: the best anchor short of a geometry.
            anchor = QRect(*activationPoint_, QSize(1, 1));
        }
        popover_->showRelativeTo(anchor);
    } else {
        popover_->show();
        popover_->raise();
        popover_->activateWindow();
    }
    if (eventMonitor_) {
        eventMonitor_->start();
    }
}

void AppDelegate::closePopover() {
    // The window without a tray is the program's only window: it closes like
    // any other, and the program keeps running until asked to quit.
    popover_->performClose();
    if (eventMonitor_) {
        eventMonitor_->stop();
    }
}

bool AppDelegate::isPopoverShown() const {
    return popover_ != nullptr && popover_->isShown();
}

void AppDelegate::requestTermination() {
    if (applicationShouldTerminate() == TerminateReply::TerminateNow) {
        terminateNow();
    }
}

TerminateReply AppDelegate::applicationShouldTerminate() {
    if (UserDefaults::standard().boolForKey(alertSuppressionKey)) {
        reply_ = TerminateReply::TerminateNow;
    } else if (reply_ == TerminateReply::TerminateCancel) {
        QPointer<AppDelegate> self(this);
        areYouSureQuit([self](bool answer, bool suppress) {
            if (!self) {
                return;
            }
            self->reply_ = answer ? TerminateReply::TerminateNow : TerminateReply::TerminateCancel;
            UserDefaults::standard().setBool(self->alertSuppressionKey, suppress);
            if (answer) {
                self->requestTermination();
            }
        });
    }
    printLine(QStringLiteral("self.reply: ") +
              (reply_ == TerminateReply::TerminateNow ? "true" : "false"));
    return reply_;
}

void AppDelegate::areYouSureQuit(std::function<void(bool, bool)> completion) {
    // One warning at a time: a further request brings the shown one forward
    // instead of stacking a second, identical dialog.
    if (quitAlert_) {
        quitAlert_->raise();
        quitAlert_->activateWindow();
        return;
    }
    const bool onPopover = isPopoverShown();
    auto* alert = new QMessageBox(onPopover ? static_cast<QWidget*>(popover_) : nullptr);
    alert->setObjectName(QStringLiteral("quitAlert"));
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setWindowTitle(QStringLiteral("Pendra"));
    alert->setIcon(QMessageBox::Warning);
    alert->setText(tr("Are you sure you want to quit?"));
    alert->setInformativeText(tr("Alarms and timers will not go off if the app is closed."));
    alert->setTextFormat(Qt::PlainText);
    QPushButton* quit = alert->addButton(tr("Quit"), QMessageBox::AcceptRole);
    QPushButton* cancel = alert->addButton(tr("Cancel"), QMessageBox::RejectRole);
    quit->setObjectName(QStringLiteral("quitAlertQuit"));
    cancel->setObjectName(QStringLiteral("quitAlertCancel"));
    alert->setDefaultButton(quit);
    alert->setEscapeButton(cancel);
    auto* suppression = new QCheckBox(tr("Don't show this again"));
    suppression->setObjectName(QStringLiteral("quitAlertSuppression"));
    alert->setCheckBox(suppression);
    useDialogButtons(alert);
    alert->setWindowModality(onPopover ? Qt::WindowModal : Qt::ApplicationModal);

    QStringList windows;
    for (QWindow* w : QGuiApplication::topLevelWindows()) {
        windows << QStringLiteral("%1(%2%3)")
                       .arg(w->title().isEmpty() ? w->objectName() : w->title(),
                            QString::fromLatin1(w->metaObject()->className()),
                            w->isVisible() ? QStringLiteral(", visible") : QString());
    }
    printLine(QStringLiteral("windows: [") + windows.join(QStringLiteral(", ")) + "]");

    quitAlert_ = alert;
    connect(alert, &QMessageBox::finished, this,
            [alert, quit, suppression, completion = std::move(completion)](int) {
                const bool answer = alert->clickedButton() == quit;
                completion(answer, suppression->isChecked());
            });
    alert->open();
}

void AppDelegate::terminateNow() {
    applicationWillTerminate();
    emit terminated();
    QCoreApplication::quit();
}

void AppDelegate::applicationWillTerminate() {
    if (terminated_) {
        return;
    }
    terminated_ = true;
    printLine(QStringLiteral("test"));
    if (viewController_) {
        if (AlarmViewController* alarms = viewController_->tabViewController()->alarmsPanel()) {
            alarms->recordRun();
        }
    }
    center_.setScheduledNotifications({});
    // What is still on screen would outlive the program and could not be answered.
    center_.removeAllDeliveredNotifications();
}

bool AppDelegate::route(Route route, UserNotificationCenter& center, const UserNotificationPtr& n) {
    if (!n) {
        return true;
    }
    const std::optional<QString> kind = notificationKind(n->identifier);
    if (!kind) {
        if (route != Route::ShouldPresent) {
            printLine(QStringLiteral("notification without a kind: ") + n->identifier);
        }
        return true;
    }
    TabViewController* tabs = viewController_ ? viewController_->tabViewController() : nullptr;
    NotificationReceiver* receiver = nullptr;
    if (*kind == QLatin1String("alarm") || *kind == QLatin1String("missed")) {
        receiver = tabs ? tabs->alarmsPanel() : nullptr;
    } else if (*kind == QLatin1String("timer")) {
        receiver = tabs ? tabs->timerPanel() : nullptr;
    }
    if (receiver == nullptr) {
        return true;
    }
    switch (route) {
        case Route::ShouldPresent:
            return receiver->notificationShouldPresent(n);
        case Route::WillDeliver:
            receiver->notificationWillDeliver(center, n);
            break;
        case Route::Deliver:
            receiver->notificationDidDeliver(center, n);
            break;
        case Route::Activate:
            receiver->notificationDidActivate(center, n);
            break;
        case Route::Dismiss:
            receiver->notificationDidDismissAlert(center, n);
            break;
    }
    return true;
}

void AppDelegate::userNotificationCenterWillDeliver(UserNotificationCenter& center,
                                                    const UserNotificationPtr& n) {
    route(Route::WillDeliver, center, n);
}

void AppDelegate::userNotificationCenterDidDeliver(UserNotificationCenter& center,
                                                   const UserNotificationPtr& n) {
    route(Route::Deliver, center, n);
}

void AppDelegate::userNotificationCenterDidActivate(UserNotificationCenter& center,
                                                    const UserNotificationPtr& n) {
    if (n && n->activationType == ActivationType::ActionButtonClicked) {
        route(Route::Activate, center, n);
    }
}

void AppDelegate::userNotificationCenterDidDismissAlert(UserNotificationCenter& center,
                                                        const UserNotificationPtr& n) {
    route(Route::Dismiss, center, n);
}

bool AppDelegate::userNotificationCenterShouldPresent(UserNotificationCenter& center,
                                                      const UserNotificationPtr& n) {
    return route(Route::ShouldPresent, center, n);
}

}  // namespace pendra
