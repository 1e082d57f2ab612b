#include "app/ViewController.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/TabViewController.h"
#include "platform/DateFormatSource.h"
#include "platform/Log.h"
#include "platform/UserDefaults.h"

namespace pendra {

bool do24HourTimeFromFormat(const std::optional<QString>& format) {
    return !format || !format->contains(QLatin1Char('a'));
}

ViewController::ViewController(UserNotificationCenter& center, QWidget* parent)
    : QWidget(parent),
      tabView_(new TabViewController(center, this)),
      quitBtn_(new QPushButton(QStringLiteral("Quit"), this)) {
    setObjectName(QStringLiteral("ViewController"));
    quitBtn_->setObjectName(QStringLiteral("quitButton"));
    quitBtn_->setAutoDefault(false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(6);
    layout->addWidget(tabView_);
    auto* bar = new QHBoxLayout();
    bar->addStretch(1);
    bar->addWidget(quitBtn_);
    layout->addLayout(bar);
    connect(quitBtn_, &QPushButton::clicked, this, &ViewController::quitPressed);
}

void ViewController::viewDidLoad() {
    tabView_->viewDidLoad();
}

void ViewController::viewDidAppear() {
    const bool flag = do24HourTimeFromFormat(systemClockDateFormat());
    printLine(QStringLiteral("24 hour time: ") + (flag ? "true" : "false"));
    UserDefaults::standard().setBool(do24HourTimeKey, flag);
    tabView_->viewDidAppear();
}

}  // namespace pendra
