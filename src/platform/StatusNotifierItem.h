#pragma once

#include <QIcon>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>

#include <QMenu>

namespace pendra {

// A status icon exported over D-Bus as a StatusNotifierItem, its context menu
// as a com.canonical.dbusmenu. Qt's own D-Bus tray icon decides once, at the
// first icon, whether a watcher is there, and drops the position a host passes
// to Activate; this one registers with every watcher that appears for the
// whole run (a tray started late or restarted) and reports that position.
class StatusNotifierItem : public QObject {
    Q_OBJECT
public:
    explicit StatusNotifierItem(const QString& id, QObject* parent = nullptr);
    ~StatusNotifierItem() override;

    void setIcon(const QIcon& icon);
    void setToolTip(const QString& text);
    void setTitle(const QString& title);
    // The menu's actions are exported as they are when a host asks; the
    // menu itself is never shown by this object.
    void setContextMenu(QMenu* menu);

    // Whether a watcher on the bus has accepted the item.
    bool isRegistered() const { return registered_; }
    // Whether a watcher is on the bus at all (known after the first answer).
    bool watcherPresent() const { return watcherPresent_; }
    // The service name hosts call the item by.
    QString serviceName() const { return service_; }

    // Internal: called by the D-Bus adaptors.
    void handleActivate(int x, int y);
    QIcon icon() const { return icon_; }
    QString toolTip() const { return toolTip_; }
    QString title() const { return title_; }
    QMenu* menu() const { return menu_; }

signals:
    // Activate or SecondaryActivate from a host, at the screen position it
    // gave (the icon, or the pointer on it).
    void activated(QPoint position);
    // A watcher took the item, or the one that had it went away.
    void registrationChanged(bool registered);
    // The first answer about the watcher arrived, or it came or went.
    void watcherChanged(bool present);

    // For the adaptors.
    void newIcon();
    void newToolTip();
    void newTitle();
    void layoutUpdated();

private slots:
    void itemUnregistered(const QString& item);

private:
    void registerWithWatcher();
    void confirmRegistration();
    void setRegistered(bool registered);

    QString id_;
    QString service_;
    QIcon icon_;
    QString toolTip_;
    QString title_;
    QPointer<QMenu> menu_;
    bool registered_ = false;
    bool watcherPresent_ = false;
    int retries_ = 0;
};

}  // namespace pendra
