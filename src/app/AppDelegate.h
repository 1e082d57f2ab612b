#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <optional>

#include "platform/UserNotificationCenter.h"

class QSystemTrayIcon;
class QMenu;
class QTimer;
#include <QIcon>
#include <QMessageBox>
#include <QPoint>

namespace pendra {

class EventMonitor;
class Popover;
class StatusNotifierItem;
class ViewController;

enum class TerminateReply { TerminateCancel = 0, TerminateNow = 1 };

// The application object's delegate: the tray icon and its popover, launch and
// termination, the quit confirmation and the routing of notification callbacks
// to the panel that owns their kind.
class AppDelegate : public QObject, public UserNotificationCenterDelegate {
    Q_OBJECT
public:
    // The one notification center of the program, shared by the panels.
    static UserNotificationCenter& notificationCenter();

    explicit AppDelegate(UserNotificationCenter& center = notificationCenter(),
                         QObject* parent = nullptr);
    ~AppDelegate() override;

    void applicationDidFinishLaunching();
    void applicationWillTerminate();
    TerminateReply applicationShouldTerminate();
    // A quit request from the interface: asks, and ends the program when allowed.
    void requestTermination();
    // SIGINT, SIGTERM, the session ending: a confirmed quit, without a dialog.
    void terminateNow();

    void togglePopover();
    void showPopover();
    void closePopover();
    bool isPopoverShown() const;

    void areYouSureQuit(std::function<void(bool answer, bool suppress)> completion);

    void userNotificationCenterDidDeliver(UserNotificationCenter& center,
                                          const UserNotificationPtr& n) override;
    void userNotificationCenterDidActivate(UserNotificationCenter& center,
                                           const UserNotificationPtr& n) override;
    void userNotificationCenterDidDismissAlert(UserNotificationCenter& center,
                                               const UserNotificationPtr& n) override;
    void userNotificationCenterWillDeliver(UserNotificationCenter& center,
                                           const UserNotificationPtr& n) override;
    bool userNotificationCenterShouldPresent(UserNotificationCenter& center,
                                             const UserNotificationPtr& n) override;

    const QString alertSuppressionKey = QStringLiteral("QuitAlertSuppression");
    TerminateReply reply() const { return reply_; }
    Popover* popover() const { return popover_; }
    ViewController* viewController() const { return viewController_; }
    EventMonitor* eventMonitor() const { return eventMonitor_.get(); }
    // The XEmbed icon, made only on X11 while no StatusNotifierItem watcher
    // is there; null otherwise.
    QSystemTrayIcon* statusItem() const { return statusItem_; }
    StatusNotifierItem* notifierItem() const { return notifierItem_; }
    QMessageBox* quitAlert() const { return quitAlert_; }
    bool hasStatusButton() const;

signals:
    void terminated();
    // Every panel has loaded: alarms are read and scheduled.
    void panelsLoaded();

private:
    enum class Route { ShouldPresent, WillDeliver, Deliver, Activate, Dismiss };
    // What the receiver answers for ShouldPresent; true otherwise.
    bool route(Route route, UserNotificationCenter& center, const UserNotificationPtr& n);
    void createXEmbedIcon();
    // Follows trays coming and going: picks the icon that shows, and once the
    // first answer is in, opens the window when there is no tray at all.
    void trayChanged();
    void loadPanels();
    void watchXEmbedTray();

    QIcon statusImage() const;

    UserNotificationCenter& center_;
    QSystemTrayIcon* statusItem_ = nullptr;
    QMenu* statusMenu_ = nullptr;
    StatusNotifierItem* notifierItem_ = nullptr;
    // Where the last StatusNotifierItem host said its icon was clicked.
    std::optional<QPoint> activationPoint_;
    bool launchDecided_ = false;
    bool panelsLoaded_ = false;
    QTimer* xembedPoll_ = nullptr;
    bool hadTray_ = false;
    ViewController* viewController_ = nullptr;
    Popover* popover_ = nullptr;
    std::unique_ptr<EventMonitor> eventMonitor_;
    TerminateReply reply_ = TerminateReply::TerminateCancel;
    QPointer<QMessageBox> quitAlert_;
    bool terminated_ = false;
};

}  // namespace pendra
