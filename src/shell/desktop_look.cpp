#include "shell/desktop_look.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

QIcon ProgramIcon()
{
    Q_INIT_RESOURCE(shell);
    return QIcon::fromTheme(QStringLiteral("kvaren"), QIcon(QStringLiteral(":/shell/kvaren.svg")));
}

void InstallDesktopLook(QApplication& application)
{
    application.setWindowIcon(ProgramIcon());
    auto* translator = new QTranslator(&application);
    if (translator->load(QLocale(QLocale::Russian), QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(translator);
    else
        delete translator;
}
