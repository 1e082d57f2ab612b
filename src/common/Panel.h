#pragma once

#include <QWidget>

namespace pendra {

// A panel of the popover's tab view. The tab controller loads every panel at
// launch (viewDidLoad, once) and tells the shown panel each time it appears.
class Panel : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
    virtual void viewDidLoad() {}
    virtual void viewDidAppear() {}
};

// The panel's content area, in the coordinates its frames are given in.
inline constexpr int kPanelWidth = 450;
inline constexpr int kPanelHeight = 300;

}  // namespace pendra
