#pragma once

#include <QString>
#include <functional>

class QMessageBox;
class QWidget;

namespace pendra {

// Window flags for the program's small dialogs: a title and a close button,
// nothing to maximise.
void useDialogButtons(QWidget* dialog);

// Asks, window-modal on `parent`'s window, before something that cannot be
// undone; `confirmed` runs only when the user picks `action`. The box is
// named `name` (its buttons `name` + "Confirm" and `name` + "Cancel").
QMessageBox* askBefore(QWidget* parent, const QString& name, const QString& question,
                       const QString& action, std::function<void()> confirmed);

}  // namespace pendra
