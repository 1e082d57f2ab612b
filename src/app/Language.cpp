#include "app/Language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace pendra {

void installTranslations() {
    // The desktop's languages in its order of preference (LANGUAGE, else
    // LC_ALL, LC_MESSAGES or LANG). English is the source text: a preference
    // for it stops the search rather than falling through to a later language.
    for (QString name : QLocale::system().uiLanguages()) {
        name.replace(QLatin1Char('-'), QLatin1Char('_'));
        if (name == QLatin1String("C") || name.startsWith(QLatin1String("en"))) {
            return;
        }
        // Built from translations/*.ts and embedded by the build; "de_AT"
        // falls back to "de".
        auto* own = new QTranslator(QCoreApplication::instance());
        if (!own->load(QStringLiteral("pendra_") + name, QStringLiteral(":/i18n"))) {
            delete own;
            continue;
        }
        QCoreApplication::installTranslator(own);
        // Qt's own texts (the standard dialogs' buttons, text field menus)
        // where the system has them.
        auto* qt = new QTranslator(QCoreApplication::instance());
        if (qt->load(QStringLiteral("qtbase_") + name,
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
            QCoreApplication::installTranslator(qt);
        } else {
            delete qt;
        }
        return;
    }
}

}  // namespace pendra
