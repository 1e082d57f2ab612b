// The settings file as any editor may leave it: every panel's reads of
// every key, then the whole tab tree built and loaded from it.
#include <QFile>
#include <QSettings>

#include "FuzzSupport.h"
#include "app/TabViewController.h"
#include "platform/UserDefaults.h"
#include "platform/UserNotificationCenter.h"
#include "support/RecordingPresenter.h"

using namespace pendra;

namespace {
const char* const kKeys[] = {
    "com.Zentho.Do24HourTime",
    "QuitAlertSuppression",
    "lastSelected",
    "cities",
    "hour",
    "minute",
    "second",
    "ringtone",
    "countdown",
};
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    fuzz::setUpProcess(argc, argv, true);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString path = QSettings(QStringLiteral("Zentho"), QStringLiteral("Pendra")).fileName();
    {
        QFile f(path);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    UserDefaults& d = UserDefaults::standard();
    for (const char* k : kKeys) {
        const QString key = QString::fromLatin1(k);
        d.boolForKey(key);
        d.integerForKey(key);
        const auto s = d.stringForKey(key);
        const auto list = d.stringArrayForKey(key);
        // A value is a string or a list, never both.
        PENDRA_FUZZ_CHECK(!(s && list));
    }
    {
        UserNotificationCenter center(std::make_unique<test::RecordingPresenter>());
        TabViewController tabs(center);
        tabs.viewDidLoad();
        tabs.viewDidAppear();
    }
    return 0;
}
