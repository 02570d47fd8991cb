#include "platform/qt/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace platform {

std::string InstallQtTranslations(QCoreApplication& application) {
    const QLocale locale;
    if (locale.language() == QLocale::English || locale.language() == QLocale::C) return {};
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    // Owned by the application, which keeps it for as long as it runs.
    auto* translator = new QTranslator(&application);
    if (!translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), folder)) {
        delete translator;
        return "Qt's texts stay in English: no translation for " + locale.name().toStdString() +
               " in " + folder.toStdString() + " (package qt6-translations-l10n)";
    }
    QCoreApplication::installTranslator(translator);
    return {};
}

}  // namespace platform
