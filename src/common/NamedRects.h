#pragma once

#include <QList>
#include <QRect>
#include <QString>

namespace pendra {

// A part of a widget that is painted rather than being a widget of its own (a
// list row's text or button), named as a widget would be, so that whatever
// finds controls by name finds these too.
struct NamedRect {
    QString name;
    QString kind;  // as for widgets: label, label-clipped, button
    QRect rect;    // in the widget's own coordinates
    QString text;  // what is shown, after any eliding
};

class NamedRectSource {
public:
    virtual ~NamedRectSource() = default;
    // The named parts now on screen.
    virtual QList<NamedRect> namedRects() const = 0;
    // Clicks the named part as a user would (also one scrolled out of
    // sight); false when there is no such part that can be clicked.
    virtual bool clickNamed(const QString& name) {
        Q_UNUSED(name);
        return false;
    }
};

}  // namespace pendra
