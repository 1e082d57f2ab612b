#include "app/TabViewController.h"

#include "alarms/AlarmViewController.h"
#include "platform/UserDefaults.h"
#include "stopwatch/StopwatchViewController.h"
#include "timer/TimerViewController.h"
#include "worldclock/WorldClockViewController.h"

namespace pendra {

TabViewController::TabViewController(UserNotificationCenter& center, QWidget* parent)
    : QTabWidget(parent) {
    setObjectName(QStringLiteral("tabView"));
    const qint64 stored = UserDefaults::standard().integerForKey(lastSelectedKey);
    auto add = [this](Panel* p, const QString& title, const QString& name) {
        p->setObjectName(name);
        p->setFixedSize(kPanelWidth, kPanelHeight);
        addTab(p, title);
    };
    add(new WorldClockViewController(), tr("World Clock"),
        QStringLiteral("WorldClockViewController"));
    add(new AlarmViewController(center), tr("Alarms"), QStringLiteral("AlarmViewController"));
    add(new TimerViewController(center), tr("Timer"), QStringLiteral("TimerViewController"));
    add(new StopwatchViewController(), tr("Stopwatch"), QStringLiteral("StopwatchViewController"));
    // A stored index that names no tab cannot come from the program; open the first.
    selectedItem_ = (stored >= 0 && stored < count()) ? int(stored) : 0;
}

void TabViewController::viewDidLoad() {
    for (int i = 0; i < count(); ++i) {
        panel(i)->viewDidLoad();
    }
    setCurrentIndex(selectedItem_);
    UserDefaults::standard().setInteger(lastSelectedKey, currentIndex());
    connect(this, &QTabWidget::currentChanged, this, &TabViewController::tabSelected);
}

void TabViewController::viewDidAppear() {
    appearing_ = true;
    if (Panel* p = panel(currentIndex())) {
        p->viewDidAppear();
    }
}

void TabViewController::tabSelected(int index) {
    if (index < 0) {
        return;
    }
    UserDefaults::standard().setInteger(lastSelectedKey, index);
    if (window()->isVisible()) {
        if (Panel* p = panel(index)) {
            p->viewDidAppear();
        }
    }
}

Panel* TabViewController::panel(int index) const {
    return qobject_cast<Panel*>(widget(index));
}

AlarmViewController* TabViewController::alarmsPanel() const {
    return qobject_cast<AlarmViewController*>(widget(kAlarmsTab));
}

TimerViewController* TabViewController::timerPanel() const {
    return qobject_cast<TimerViewController*>(widget(kTimerTab));
}

}  // namespace pendra
