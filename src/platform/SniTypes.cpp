#include "platform/SniTypes.h"

namespace pendra::sni {

QDBusArgument& operator<<(QDBusArgument& a, const Pixmap& p) {
    a.beginStructure();
    a << p.width << p.height << p.argb;
    a.endStructure();
    return a;
}
const QDBusArgument& operator>>(const QDBusArgument& a, Pixmap& p) {
    a.beginStructure();
    a >> p.width >> p.height >> p.argb;
    a.endStructure();
    return a;
}
QDBusArgument& operator<<(QDBusArgument& a, const ToolTip& t) {
    a.beginStructure();
    a << t.iconName << t.image << t.title << t.text;
    a.endStructure();
    return a;
}
const QDBusArgument& operator>>(const QDBusArgument& a, ToolTip& t) {
    a.beginStructure();
    a >> t.iconName >> t.image >> t.title >> t.text;
    a.endStructure();
    return a;
}
QDBusArgument& operator<<(QDBusArgument& a, const MenuLayout& l) {
    a.beginStructure();
    a << l.id << l.properties;
    a.beginArray(qMetaTypeId<QDBusVariant>());
    for (const QVariant& child : l.children) {
        a << QDBusVariant(child);
    }
    a.endArray();
    a.endStructure();
    return a;
}
const QDBusArgument& operator>>(const QDBusArgument& a, MenuLayout& l) {
    a.beginStructure();
    a >> l.id >> l.properties;
    a.beginArray();
    while (!a.atEnd()) {
        QDBusVariant child;
        a >> child;
    }
    a.endArray();
    a.endStructure();
    return a;
}
QDBusArgument& operator<<(QDBusArgument& a, const MenuProperties& p) {
    a.beginStructure();
    a << p.id << p.properties;
    a.endStructure();
    return a;
}
const QDBusArgument& operator>>(const QDBusArgument& a, MenuProperties& p) {
    a.beginStructure();
    a >> p.id >> p.properties;
    a.endStructure();
    return a;
}
QDBusArgument& operator<<(QDBusArgument& a, const MenuEvent& e) {
    a.beginStructure();
    a << e.id << e.eventId << e.data << e.timestamp;
    a.endStructure();
    return a;
}
const QDBusArgument& operator>>(const QDBusArgument& a, MenuEvent& e) {
    a.beginStructure();
    a >> e.id >> e.eventId >> e.data >> e.timestamp;
    a.endStructure();
    return a;
}

}  // namespace pendra::sni
