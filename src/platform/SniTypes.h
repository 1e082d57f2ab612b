#pragma once

#include <QByteArray>
#include <QDBusArgument>
#include <QDBusVariant>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

// The D-Bus types of the StatusNotifierItem and dbusmenu interfaces.
namespace pendra::sni {

struct Pixmap {
    int width = 0;
    int height = 0;
    QByteArray argb;  // ARGB32, network byte order
};
using Pixmaps = QList<Pixmap>;

struct ToolTip {
    QString iconName;
    Pixmaps image;
    QString title;
    QString text;
};

// One dbusmenu node; children hold MenuLayout values wrapped in variants.
struct MenuLayout {
    int id = 0;
    QVariantMap properties;
    QVariantList children;
};

struct MenuProperties {
    int id = 0;
    QVariantMap properties;
};
using MenuPropertiesList = QList<MenuProperties>;

struct MenuEvent {
    int id = 0;
    QString eventId;
    QDBusVariant data;
    uint timestamp = 0;
};
using MenuEvents = QList<MenuEvent>;

}  // namespace pendra::sni

Q_DECLARE_METATYPE(pendra::sni::Pixmap)
Q_DECLARE_METATYPE(pendra::sni::ToolTip)
Q_DECLARE_METATYPE(pendra::sni::MenuLayout)
Q_DECLARE_METATYPE(pendra::sni::MenuProperties)
Q_DECLARE_METATYPE(pendra::sni::MenuEvent)

namespace pendra::sni {

QDBusArgument& operator<<(QDBusArgument& a, const Pixmap& p);
const QDBusArgument& operator>>(const QDBusArgument& a, Pixmap& p);
QDBusArgument& operator<<(QDBusArgument& a, const ToolTip& t);
const QDBusArgument& operator>>(const QDBusArgument& a, ToolTip& t);
QDBusArgument& operator<<(QDBusArgument& a, const MenuLayout& l);
const QDBusArgument& operator>>(const QDBusArgument& a, MenuLayout& l);
QDBusArgument& operator<<(QDBusArgument& a, const MenuProperties& p);
const QDBusArgument& operator>>(const QDBusArgument& a, MenuProperties& p);
QDBusArgument& operator<<(QDBusArgument& a, const MenuEvent& e);
const QDBusArgument& operator>>(const QDBusArgument& a, MenuEvent& e);

}  // namespace pendra::sni
