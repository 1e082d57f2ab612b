#include "app/KeyboardActivation.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

namespace pendra {

namespace {

bool isActivationKey(const QKeyEvent* e) {
    const Qt::KeyboardModifiers mods = e->modifiers() & ~Qt::KeypadModifier;
    return mods == Qt::NoModifier &&
           (e->key() == Qt::Key_Space || e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter);
}

}  // namespace

KeyboardActivation::KeyboardActivation(QWidget* window) : QObject(window), window_(window) {
    // Key events go to the focused widget, deep inside the window; only an
    // application-wide filter sees them before the shortcut map does.
    qApp->installEventFilter(this);
}

KeyboardActivation::~KeyboardActivation() {
    qApp->removeEventFilter(this);
}

bool KeyboardActivation::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::ShortcutOverride && type != QEvent::KeyPress && type != QEvent::Polish) {
        return false;
    }
    auto* button = qobject_cast<QAbstractButton*>(watched);
    if (button == nullptr || button->window() != window_) {
        return false;
    }
    if (type == QEvent::Polish) {
        // A click leaves the focus where it was, so that after clicking Start
        // the panel's own keys (Return for a lap) still work; Tab still
        // reaches every button.
        if (button->focusPolicy() == Qt::StrongFocus) {
            button->setFocusPolicy(Qt::TabFocus);
        }
        return false;
    }
    if (!button->isEnabled()) {
        return false;
    }
    auto* key = static_cast<QKeyEvent*>(event);
    if (!isActivationKey(key)) {
        return false;
    }
    if (type == QEvent::ShortcutOverride) {
        // Claimed for the button: the key press comes to it, not to a shortcut.
        event->accept();
        return true;
    }
    if (key->key() == Qt::Key_Space) {
        return false;  // buttons press on Space themselves
    }
    button->click();
    return true;
}

}  // namespace pendra
