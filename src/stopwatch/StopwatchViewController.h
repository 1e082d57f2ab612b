#pragma once

#include "common/Panel.h"

namespace pendra {

class StopwatchViewController : public Panel {
    Q_OBJECT
public:
    explicit StopwatchViewController(QWidget* parent = nullptr);
    ~StopwatchViewController() override;

    void viewDidLoad() override;
    void viewDidAppear() override;
};

}  // namespace pendra
