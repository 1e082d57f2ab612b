#include <QApplication>

#include "app/AppDelegate.h"
#include "app/Appearance.h"
#include "app/Language.h"
#include "app/Popover.h"
#include "app/SignalWatcher.h"
#include "app/SingleInstance.h"
#ifdef PENDRA_WITH_TESTS
#include "app/TestIntrospection.h"
#endif

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pendra"));
    QApplication::setOrganizationName(QStringLiteral("Zentho"));
    QApplication::setDesktopFileName(QStringLiteral("pendra"));
    QApplication::setQuitOnLastWindowClosed(false);
    pendra::installTranslations();

    pendra::SingleInstance instance;
    if (!instance.claim()) {
        return instance.notifyRunningInstance() ? 0 : 1;
    }

    pendra::applyDesktopAppearance();
    pendra::SignalWatcher signalWatcher;
    pendra::AppDelegate delegate;
    QObject::connect(&instance, &pendra::SingleInstance::showRequested, &delegate, [&delegate] {
        if (!delegate.isPopoverShown()) {
            delegate.showPopover();
        } else {
            delegate.popover()->raise();
            delegate.popover()->activateWindow();
        }
    });
    QObject::connect(&signalWatcher, &pendra::SignalWatcher::terminationRequested, &delegate,
                     &pendra::AppDelegate::terminateNow);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &delegate,
                     &pendra::AppDelegate::applicationWillTerminate);
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &delegate,
                     &pendra::AppDelegate::applicationWillTerminate);

#ifdef PENDRA_WITH_TESTS
    std::unique_ptr<pendra::TestIntrospection> introspection;
    if (pendra::TestIntrospection::enabledByEnvironment()) {
        introspection = std::make_unique<pendra::TestIntrospection>();
        QObject::connect(&delegate, &pendra::AppDelegate::panelsLoaded, introspection.get(),
                         &pendra::TestIntrospection::acceptCommands);
    }
#endif
    delegate.applicationDidFinishLaunching();
    return QApplication::exec();
}
