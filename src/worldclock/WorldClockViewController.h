#pragma once

#include "common/Panel.h"

namespace pendra {

class WorldClockViewController : public Panel {
    Q_OBJECT
public:
    explicit WorldClockViewController(QWidget* parent = nullptr);
    ~WorldClockViewController() override;

    void viewDidLoad() override;
    void viewDidAppear() override;
};

}  // namespace pendra
