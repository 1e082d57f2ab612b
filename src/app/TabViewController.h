#pragma once

#include <QTabWidget>

namespace pendra {

class Panel;
class AlarmViewController;
class TimerViewController;
class UserNotificationCenter;

// The popover's tab view: World Clock, Alarms, Timer, Stopwatch, opening on the
// tab chosen last.
class TabViewController : public QTabWidget {
    Q_OBJECT
public:
    static constexpr int kAlarmsTab = 1;
    static constexpr int kTimerTab = 2;

    explicit TabViewController(UserNotificationCenter& center, QWidget* parent = nullptr);

    // Loads every panel, in tab order, then selects the remembered tab.
    void viewDidLoad();
    // The shown tab's panel appears.
    void viewDidAppear();

    Panel* panel(int index) const;
    AlarmViewController* alarmsPanel() const;
    TimerViewController* timerPanel() const;
    int selectedItem() const { return selectedItem_; }

    const QString lastSelectedKey = QStringLiteral("lastSelected");

private:
    void tabSelected(int index);

    int selectedItem_ = 0;
    bool appearing_ = false;
};

}  // namespace pendra
