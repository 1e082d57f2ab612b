#include "stopwatch/StopwatchViewController.h"

namespace pendra {

StopwatchViewController::StopwatchViewController(QWidget* parent) : Panel(parent) {}
StopwatchViewController::~StopwatchViewController() = default;
void StopwatchViewController::viewDidLoad() {}
void StopwatchViewController::viewDidAppear() {}

}  // namespace pendra
