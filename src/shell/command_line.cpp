#include "shell/command_line.h"

#include "common/version.h"
#include "shell/option_table.h"

#include <QCommandLineParser>
#include <QTextStream>

QString WindowUsageText()
{
    return QStringLiteral("Использование: kvaren [ПАРАМЕТРЫ]\n"
                          "Окно контроля за изменениями в файловой системе.\n"
                          "Параметры:\n")
        + OptionTableText({
            {QStringLiteral("--database ИМЯ"),
             QStringLiteral("база данных: файл или host:/путь/file.gdb на сервере Firebird "
                            "(по умолчанию KVAREN_DATABASE или file.gdb)")},
            {QStringLiteral("--user-database"),
             QStringLiteral("своя база данных пользователя, ~/.local/share/kvaren/file.gdb, "
                            "созданная при первом запуске (так окно запускается из меню)")},
            {QStringLiteral("--help"), QStringLiteral("показать эту справку")},
            {QStringLiteral("--version"), QStringLiteral("показать версию программы")},
        });
}

std::optional<int> AnswerHelpOrVersion(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));

    QCommandLineParser parser;
    const QCommandLineOption help(QStringLiteral("help"));
    const QCommandLineOption version(QStringLiteral("version"));
    // Known here so that its value is never taken for an option.
    const QCommandLineOption database(QStringLiteral("database"), QString(), QStringLiteral("NAME"));
    const QCommandLineOption userDatabase(QStringLiteral("user-database"));
    parser.addOptions({help, version, database, userDatabase});
    // Fails on Qt's own options, which are the application's to read.
    parser.parse(arguments);

    QTextStream out(stdout);
    if (parser.isSet(help)) {
        out << WindowUsageText();
        return 0;
    }
    if (parser.isSet(version)) {
        out << QStringLiteral("kvaren " KVAREN_VERSION "\n");
        return 0;
    }
    return std::nullopt;
}
