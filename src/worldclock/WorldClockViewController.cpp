#include "worldclock/WorldClockViewController.h"

namespace pendra {

WorldClockViewController::WorldClockViewController(QWidget* parent) : Panel(parent) {}
WorldClockViewController::~WorldClockViewController() = default;
void WorldClockViewController::viewDidLoad() {}
void WorldClockViewController::viewDidAppear() {}

}  // namespace pendra
