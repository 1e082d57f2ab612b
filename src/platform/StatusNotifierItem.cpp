#include "platform/StatusNotifierItem.h"

#include <QAction>
#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QImage>
#include <QMenu>
#include <QTimer>
#include <QtEndian>

#include "platform/Log.h"
#include "platform/SniTypes.h"

namespace pendra::sni {

namespace {

const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kItemPath = QStringLiteral("/StatusNotifierItem");
const QString kMenuPath = QStringLiteral("/MenuBar");

Pixmaps pixmapsOf(const QIcon& icon) {
    Pixmaps out;
    if (icon.isNull()) {
        return out;
    }
    for (int size : {16, 22, 24, 32, 48, 64}) {
        QImage image = icon.pixmap(size, size).toImage().convertToFormat(QImage::Format_ARGB32);
        if (image.isNull()) {
            continue;
        }
        Pixmap p{image.width(), image.height(), {}};
        p.argb.resize(qsizetype(image.width()) * image.height() * 4);
        auto* dst = reinterpret_cast<quint32*>(p.argb.data());
        for (int y = 0; y < image.height(); ++y) {
            const auto* row = reinterpret_cast<const quint32*>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                *dst++ = qToBigEndian<quint32>(row[x]);
            }
        }
        out.append(p);
    }
    return out;
}

// Menu item ids are the action's position plus one; 0 is the root.
QList<QAction*> actionsOf(QMenu* menu) {
    return menu ? menu->actions() : QList<QAction*>();
}

QVariantMap propertiesOf(QAction* action) {
    QVariantMap p;
    if (action->isSeparator()) {
        p.insert(QStringLiteral("type"), QStringLiteral("separator"));
    } else {
        QString label = action->text();
        label.replace(QLatin1Char('_'), QStringLiteral("__"));
        label.replace(QLatin1Char('&'), QLatin1Char('_'));
        p.insert(QStringLiteral("label"), label);
    }
    p.insert(QStringLiteral("enabled"), action->isEnabled());
    p.insert(QStringLiteral("visible"), action->isVisible());
    return p;
}

QVariantMap filtered(QVariantMap p, const QStringList& names) {
    if (names.isEmpty()) {
        return p;
    }
    for (auto it = p.begin(); it != p.end();) {
        it = names.contains(it.key()) ? std::next(it) : p.erase(it);
    }
    return p;
}

}  // namespace

class ItemAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ category)
    Q_PROPERTY(QString Id READ id)
    Q_PROPERTY(QString Title READ title)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(int WindowId READ windowId)
    Q_PROPERTY(QString IconThemePath READ empty)
    Q_PROPERTY(QString IconName READ empty)
    Q_PROPERTY(pendra::sni::Pixmaps IconPixmap READ iconPixmap)
    Q_PROPERTY(QString OverlayIconName READ empty)
    Q_PROPERTY(pendra::sni::Pixmaps OverlayIconPixmap READ noPixmaps)
    Q_PROPERTY(QString AttentionIconName READ empty)
    Q_PROPERTY(pendra::sni::Pixmaps AttentionIconPixmap READ noPixmaps)
    Q_PROPERTY(QString AttentionMovieName READ empty)
    Q_PROPERTY(pendra::sni::ToolTip ToolTip READ toolTip)
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu)
    Q_PROPERTY(QDBusObjectPath Menu READ menu)
public:
    ItemAdaptor(QObject* holder, StatusNotifierItem* item, QString id)
        : QDBusAbstractAdaptor(holder), item_(item), id_(std::move(id)) {
        setAutoRelaySignals(false);
        connect(item, &StatusNotifierItem::newIcon, this, &ItemAdaptor::NewIcon);
        connect(item, &StatusNotifierItem::newToolTip, this, &ItemAdaptor::NewToolTip);
        connect(item, &StatusNotifierItem::newTitle, this, &ItemAdaptor::NewTitle);
    }

    QString category() const { return QStringLiteral("ApplicationStatus"); }
    QString id() const { return id_; }
    QString title() const { return item_->title(); }
    QString status() const { return QStringLiteral("Active"); }
    int windowId() const { return 0; }
    QString empty() const { return {}; }
    Pixmaps iconPixmap() const { return pixmapsOf(item_->icon()); }
    Pixmaps noPixmaps() const { return {}; }
    ToolTip toolTip() const { return {QString(), {}, item_->title(), item_->toolTip()}; }
    bool itemIsMenu() const { return false; }
    QDBusObjectPath menu() const { return QDBusObjectPath(kMenuPath); }

public slots:
    void Activate(int x, int y) { item_->handleActivate(x, y); }
    void SecondaryActivate(int x, int y) { item_->handleActivate(x, y); }
    void ContextMenu(int x, int y) {
        // Hosts without dbusmenu ask the item to show its own menu.
        if (QMenu* m = item_->menu()) {
            QTimer::singleShot(0, m, [m, x, y] { m->popup(QPoint(x, y)); });
        }
    }
    void Scroll(int, const QString&) {}

signals:
    void NewTitle();
    void NewIcon();
    void NewAttentionIcon();
    void NewOverlayIcon();
    void NewToolTip();
    void NewStatus(const QString& status);

private:
    StatusNotifierItem* item_;
    QString id_;
};

class MenuAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
    Q_PROPERTY(uint Version READ version)
    Q_PROPERTY(QString TextDirection READ textDirection)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(QStringList IconThemePath READ iconThemePath)
public:
    MenuAdaptor(QObject* holder, StatusNotifierItem* item)
        : QDBusAbstractAdaptor(holder), item_(item) {
        setAutoRelaySignals(false);
        connect(item, &StatusNotifierItem::layoutUpdated, this,
                [this] { emit LayoutUpdated(++revision_, 0); });
    }

    uint version() const { return 3; }
    QString textDirection() const { return QStringLiteral("ltr"); }
    QString status() const { return QStringLiteral("normal"); }
    QStringList iconThemePath() const { return {}; }

public slots:
    uint GetLayout(int parentId, int depth, const QStringList& names,
                   pendra::sni::MenuLayout& out) {
        const QList<QAction*> actions = actionsOf(item_->menu());
        out = MenuLayout{};
        out.id = parentId;
        if (parentId == 0) {
            out.properties.insert(QStringLiteral("children-display"), QStringLiteral("submenu"));
            out.properties = filtered(out.properties, names);
            if (depth != 0) {
                for (qsizetype i = 0; i < actions.size(); ++i) {
                    MenuLayout child{int(i) + 1, filtered(propertiesOf(actions[i]), names), {}};
                    out.children.append(QVariant::fromValue(child));
                }
            }
        } else if (parentId > 0 && parentId <= actions.size()) {
            out.properties = filtered(propertiesOf(actions[parentId - 1]), names);
        }
        return revision_;
    }

    pendra::sni::MenuPropertiesList GetGroupProperties(const QList<int>& ids,
                                                       const QStringList& names) {
        const QList<QAction*> actions = actionsOf(item_->menu());
        MenuPropertiesList out;
        for (int id : ids) {
            if (id > 0 && id <= actions.size()) {
                out.append({id, filtered(propertiesOf(actions[id - 1]), names)});
            }
        }
        return out;
    }

    QDBusVariant GetProperty(int id, const QString& name) {
        const QList<QAction*> actions = actionsOf(item_->menu());
        if (id > 0 && id <= actions.size()) {
            return QDBusVariant(propertiesOf(actions[id - 1]).value(name));
        }
        return QDBusVariant(QVariant());
    }

    void Event(int id, const QString& eventId, const QDBusVariant&, uint) {
        if (eventId != QLatin1String("clicked")) {
            return;
        }
        const QList<QAction*> actions = actionsOf(item_->menu());
        if (id > 0 && id <= actions.size()) {
            // After the reply: the action may open a dialog.
            QPointer<QAction> action = actions[id - 1];
            QTimer::singleShot(0, this, [action] {
                if (action && action->isEnabled()) {
                    action->trigger();
                }
            });
        }
    }

    QList<int> EventGroup(const pendra::sni::MenuEvents& events) {
        for (const MenuEvent& e : events) {
            Event(e.id, e.eventId, e.data, e.timestamp);
        }
        return {};
    }

    bool AboutToShow(int) { return false; }
    QList<int> AboutToShowGroup(const QList<int>&, QList<int>& idErrors) {
        idErrors.clear();
        return {};
    }

signals:
    void LayoutUpdated(uint revision, int parent);
    void ItemActivationRequested(int id, uint timestamp);

private:
    StatusNotifierItem* item_;
    uint revision_ = 1;
};

}  // namespace pendra::sni

namespace pendra {

using namespace sni;

StatusNotifierItem::StatusNotifierItem(const QString& id, QObject* parent)
    : QObject(parent), id_(id) {
    static const bool typesRegistered = [] {
        qDBusRegisterMetaType<Pixmap>();
        qDBusRegisterMetaType<Pixmaps>();
        qDBusRegisterMetaType<ToolTip>();
        qDBusRegisterMetaType<MenuLayout>();
        qDBusRegisterMetaType<MenuProperties>();
        qDBusRegisterMetaType<MenuPropertiesList>();
        qDBusRegisterMetaType<MenuEvent>();
        qDBusRegisterMetaType<MenuEvents>();
        return true;
    }();
    Q_UNUSED(typesRegistered);

    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return;
    }
    service_ =
        QStringLiteral("org.kde.StatusNotifierItem-%1-1").arg(QCoreApplication::applicationPid());
    auto* itemHolder = new QObject(this);
    new ItemAdaptor(itemHolder, this, id_);
    auto* menuHolder = new QObject(this);
    new MenuAdaptor(menuHolder, this);
    if (!bus.registerObject(kItemPath, itemHolder, QDBusConnection::ExportAdaptors) ||
        !bus.registerObject(kMenuPath, menuHolder, QDBusConnection::ExportAdaptors)) {
        printLine(QStringLiteral("Cannot export the status item on the session bus"));
        return;
    }
    if (!bus.registerService(service_)) {
        // Hosts can call the item by the connection's own name as well.
        service_ = bus.baseService();
    }

    auto* watcher = new QDBusServiceWatcher(
        kWatcherService, bus,
        QDBusServiceWatcher::WatchForRegistration | QDBusServiceWatcher::WatchForUnregistration,
        this);
    connect(watcher, &QDBusServiceWatcher::serviceRegistered, this, [this] {
        watcherPresent_ = true;
        retries_ = 0;
        emit watcherChanged(true);
        registerWithWatcher();
    });
    connect(watcher, &QDBusServiceWatcher::serviceUnregistered, this, [this] {
        watcherPresent_ = false;
        setRegistered(false);
        emit watcherChanged(false);
    });

    bus.connect(kWatcherService, QStringLiteral("/StatusNotifierWatcher"), kWatcherService,
                QStringLiteral("StatusNotifierItemUnregistered"), this,
                SLOT(itemUnregistered(QString)));

    QDBusMessage ask = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
    ask << kWatcherService;
    auto* pending = new QDBusPendingCallWatcher(bus.asyncCall(ask), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusPendingReply<bool> reply = *w;
        const bool present = reply.isValid() && reply.value();
        if (present && !watcherPresent_) {
            watcherPresent_ = true;
            registerWithWatcher();
        }
        emit watcherChanged(watcherPresent_);
    });
}

StatusNotifierItem::~StatusNotifierItem() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected() && !service_.isEmpty()) {
        bus.unregisterObject(kItemPath);
        bus.unregisterObject(kMenuPath);
        if (service_ != bus.baseService()) {
            bus.unregisterService(service_);
        }
    }
}

void StatusNotifierItem::registerWithWatcher() {
    QDBusMessage call = QDBusMessage::createMethodCall(
        kWatcherService, QStringLiteral("/StatusNotifierWatcher"), kWatcherService,
        QStringLiteral("RegisterStatusNotifierItem"));
    call << service_;
    auto* pending =
        new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        if (!w->isError()) {
            if (watcherPresent_) {
                setRegistered(true);
                QTimer::singleShot(1500, this, &StatusNotifierItem::confirmRegistration);
            }
            return;
        }
        // A watcher may own its name a moment before it answers on it
        // (GNOME's extension as it is enabled): ask again, a few times.
        if (watcherPresent_ && retries_ < 10) {
            ++retries_;
            QTimer::singleShot(300, this, [this] {
                if (watcherPresent_ && !registered_) {
                    registerWithWatcher();
                }
            });
            return;
        }
        printLine(QStringLiteral("The tray's watcher refused the status item: ") +
                  w->error().message());
    });
}

// GNOME's extension, as it is enabled, also looks for items on the bus by
// itself; when that search and our registration cross, it can drop the item
// after accepting it. It then no longer lists it: register again.
void StatusNotifierItem::confirmRegistration() {
    if (!registered_ || !watcherPresent_) {
        return;
    }
    QDBusMessage get = QDBusMessage::createMethodCall(
        kWatcherService, QStringLiteral("/StatusNotifierWatcher"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << kWatcherService << QStringLiteral("RegisteredStatusNotifierItems");
    auto* pending = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(get), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *w;
        if (!reply.isValid() || !registered_ || !watcherPresent_) {
            return;
        }
        const QString unique = QDBusConnection::sessionBus().baseService();
        const QStringList items = reply.value().variant().toStringList();
        for (const QString& item : items) {
            if (item.startsWith(service_) || item.startsWith(unique)) {
                retries_ = 0;
                return;
            }
        }
        if (retries_++ < 10) {
            setRegistered(false);
            registerWithWatcher();
        }
    });
}

// The host may also drop an item it listed for a while (GNOME's extension,
// when its own search for items and our registration created two): if the
// dropped one was ours and none is left, the icon is gone from the panel.
void StatusNotifierItem::itemUnregistered(const QString& item) {
    const QString unique = QDBusConnection::sessionBus().baseService();
    if (registered_ && watcherPresent_ && (item.startsWith(service_) || item.startsWith(unique))) {
        QTimer::singleShot(300, this, &StatusNotifierItem::confirmRegistration);
    }
}

void StatusNotifierItem::setRegistered(bool registered) {
    if (registered_ == registered) {
        return;
    }
    registered_ = registered;
    emit registrationChanged(registered);
}

void StatusNotifierItem::handleActivate(int x, int y) {
    emit activated(QPoint(x, y));
}

void StatusNotifierItem::setIcon(const QIcon& icon) {
    icon_ = icon;
    emit newIcon();
}

void StatusNotifierItem::setToolTip(const QString& text) {
    if (toolTip_ == text) {
        return;
    }
    toolTip_ = text;
    emit newToolTip();
}

void StatusNotifierItem::setTitle(const QString& title) {
    title_ = title;
    emit newTitle();
}

void StatusNotifierItem::setContextMenu(QMenu* menu) {
    menu_ = menu;
    emit layoutUpdated();
}

}  // namespace pendra

#include "StatusNotifierItem.moc"
