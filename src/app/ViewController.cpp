#include "app/ViewController.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/TabViewController.h"
#include "common/Preferences.h"
#include "platform/Autostart.h"
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
      startAtLogin_(new QCheckBox(tr("Start at Login"), this)),
      quitBtn_(new QPushButton(tr("Quit"), this)) {
    setObjectName(QStringLiteral("ViewController"));
    quitBtn_->setObjectName(QStringLiteral("quitButton"));
    quitBtn_->setAutoDefault(false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(6);
    layout->addWidget(tabView_);
    startAtLogin_->setObjectName(QStringLiteral("startAtLoginCheckbox"));
    // A clock that must ring after a reboot has to be running: offer it here.
    connect(startAtLogin_, &QCheckBox::clicked, this, [this](bool on) {
        if (!Autostart::setEnabled(on)) {
            startAtLogin_->setChecked(Autostart::isEnabled());
        }
    });
    auto* bar = new QHBoxLayout();
    bar->addWidget(startAtLogin_);
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
    // The entry is the only state: the user may have removed it by hand.
    startAtLogin_->setChecked(Autostart::isEnabled());
    tabView_->viewDidAppear();
}

}  // namespace pendra
