#include "mainwindow/interface_language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <memory>

#include "resources/pictures.h"

namespace {

// Qt's own translations, installed in the application for the rest of the
// run; owned here so a later language replaces them.
std::unique_ptr<QTranslator>& QtTranslator() {
    static std::unique_ptr<QTranslator> translator;
    return translator;
}

}  // namespace

void UseInterfaceLanguage(const QString& localeName) {
    const QLocale locale(localeName);
    QLocale::setDefault(locale);
    SetPictureLanguage(PictureLanguageFor(localeName));

    std::unique_ptr<QTranslator>& installed = QtTranslator();
    if (installed) {
        QCoreApplication::removeTranslator(installed.get());
        installed.reset();
    }
    // Debian keeps them in qt6-translations-l10n; without it Qt's dialogs
    // simply stay English.
    auto translator = std::make_unique<QTranslator>();
    if (translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
        QCoreApplication::installTranslator(translator.get())) {
        installed = std::move(translator);
    }
}
