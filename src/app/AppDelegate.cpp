#include "app/AppDelegate.h"

#include <QApplication>
#include <QCheckBox>
#include <QCursor>
#include <QIcon>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QWindow>

#include "alarms/AlarmRules.h"
#include "alarms/AlarmViewController.h"
#include "app/EventMonitor.h"
#include "app/Popover.h"
#include "app/TabViewController.h"
#include "app/ViewController.h"
#include "common/Ask.h"
#include "platform/Log.h"
#include "platform/UserDefaults.h"
#include "timer/TimerViewController.h"

namespace pendra {

std::optional<QString> notificationKind(const QString& identifier) {
    const qsizetype dash = identifier.indexOf(QLatin1Char('-'));
    if (dash < 0) {
        return std::nullopt;
    }
    return identifier.left(dash);
}

UserNotificationCenter& AppDelegate::notificationCenter() {
    return UserNotificationCenter::defaultCenter();
}

AppDelegate::AppDelegate(UserNotificationCenter& center, QObject* parent)
    : QObject(parent), center_(center), statusItem_(new QSystemTrayIcon(this)) {}

AppDelegate::~AppDelegate() {
    if (center_.delegate() == this) {
        center_.setDelegate(nullptr);
    }
    eventMonitor_.reset();
    delete popover_;
}

// The icon is always there; it has a button only while a tray host embeds it
// (a panel that starts after the program still gets it).
bool AppDelegate::hasStatusButton() const {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void AppDelegate::applicationDidFinishLaunching() {
    {
        statusItem_->setIcon(QIcon(QStringLiteral(":/StatusBarButtonImage.svg")));
        statusItem_->setToolTip(QStringLiteral("Pendra"));
        connect(
            statusItem_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                // A second click soon after the first arrives as a double
                // click; it is still a click on the icon.
                if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) {
                    togglePopover();
                }
            });
        statusMenu_ = new QMenu();
        statusMenu_->setParent(nullptr);
        connect(this, &QObject::destroyed, statusMenu_, &QObject::deleteLater);
        statusMenu_->addAction(QStringLiteral("Open Pendra"), this, [this] {
            if (!isPopoverShown()) {
                showPopover();
            }
        });
        statusMenu_->addAction(QStringLiteral("Quit"), this, &AppDelegate::requestTermination);
        statusItem_->setContextMenu(statusMenu_);
        statusItem_->show();
    }

    viewController_ = new ViewController(center_);
    popover_ = new Popover(viewController_, /*framed=*/!hasStatusButton());
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
        [this] { return hasStatusButton() && statusItem_->geometry().contains(QCursor::pos()); });

    // Every panel loads now, not when first shown: alarms must be read and
    // scheduled at launch, even if the user never opens the popover.
    viewController_->viewDidLoad();
    if (AlarmViewController* alarms = viewController_->tabViewController()->alarmsPanel()) {
        auto update = [this, alarms] {
            statusItem_->setToolTip(nextAlarmToolTip(
                alarms->nextAlarm(),
                UserDefaults::standard().boolForKey(QStringLiteral("com.Zentho.Do24HourTime"))));
        };
        connect(alarms, &AlarmViewController::alarmsChanged, this, update);
        update();
    }

    if (!hasStatusButton()) {
        // Without a tray the program would be unreachable: open as a window.
        showPopover();
    }
}

void AppDelegate::togglePopover() {
    if (isPopoverShown()) {
        closePopover();
    } else {
        showPopover();
    }
}

void AppDelegate::showPopover() {
    const bool tray = hasStatusButton();
    popover_->setFramed(!tray);
    if (tray) {
        popover_->showRelativeTo(statusItem_->geometry());
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
    alert->setText(QStringLiteral("Are you sure you want to quit?"));
    alert->setInformativeText(
        QStringLiteral("Alarms and timers will not go off if the app is closed."));
    alert->setTextFormat(Qt::PlainText);
    QPushButton* quit = alert->addButton(QStringLiteral("Quit"), QMessageBox::AcceptRole);
    QPushButton* cancel = alert->addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    quit->setObjectName(QStringLiteral("quitAlertQuit"));
    cancel->setObjectName(QStringLiteral("quitAlertCancel"));
    alert->setDefaultButton(quit);
    alert->setEscapeButton(cancel);
    auto* suppression = new QCheckBox(QStringLiteral("Don't show this again"));
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
