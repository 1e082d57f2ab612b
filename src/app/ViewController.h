#pragma once

#include <QString>
#include <QWidget>
#include <optional>

class QCheckBox;
class QPushButton;

namespace pendra {

class TabViewController;
class UserNotificationCenter;

// True when times are to be shown in 24-hour form: there is no clock format,
// or it has no "a" (the AM/PM field) anywhere in it.
bool do24HourTimeFromFormat(const std::optional<QString>& format);

// The popover's content: the tab view and the row of program controls below it.
class ViewController : public QWidget {
    Q_OBJECT
public:
    explicit ViewController(UserNotificationCenter& center, QWidget* parent = nullptr);

    void viewDidLoad();
    // Each time the popover's content is shown.
    void viewDidAppear();

    TabViewController* tabViewController() const { return tabView_; }
    QPushButton* quitButton() const { return quitBtn_; }
    QCheckBox* startAtLoginCheckbox() const { return startAtLogin_; }

signals:
    void quitPressed();

private:
    TabViewController* tabView_;
    QCheckBox* startAtLogin_;
    QPushButton* quitBtn_;
};

}  // namespace pendra
