#pragma once

#include <QObject>

class QWidget;

namespace pendra {

// Space, Return and Enter act on the focused button or checkbox of `window`,
// before any shortcut of its panels: with the focus on "Start at Login", Space
// must tick it rather than start the stopwatch, and Return on Cancel must
// cancel rather than start the timer. Plain QPushButtons outside dialogs and
// checkboxes ignore Return by themselves.
class KeyboardActivation : public QObject {
    Q_OBJECT
public:
    explicit KeyboardActivation(QWidget* window);
    ~KeyboardActivation() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* window_;
};

}  // namespace pendra
