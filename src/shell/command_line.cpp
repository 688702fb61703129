#include "shell/command_line.h"

#include "common/option_table.h"
#include "common/version.h"

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
            {QStringLiteral("--help, -h"), QStringLiteral("показать эту справку")},
            {QStringLiteral("--version"), QStringLiteral("показать версию программы")},
        });
}

namespace {

// The options Qt's application object reads itself (-platform, -style ...),
// known here so that they, and their values, are not refused.
void addQtOptions(QCommandLineParser& parser)
{
    for (const char* name : {"platform", "platformpluginpath", "platformtheme", "plugin", "qmljsdebugger",
                             "qwindowgeometry", "qwindowicon", "qwindowtitle", "session", "style", "stylesheet",
                             "display", "geometry", "title", "name", "visual", "fn", "font", "bg", "background",
                             "fg", "foreground", "btn", "button", "im", "inputstyle"})
        parser.addOption(QCommandLineOption(QString::fromLatin1(name), QString(), QStringLiteral("VALUE")));
    for (const char* name : {"reverse", "widgetcount", "nograb", "dograb", "sync"})
        parser.addOption(QCommandLineOption(QString::fromLatin1(name)));
}

// The option called name as the command line wrote it, with its dashes.
QString givenAs(const QStringList& arguments, const QString& name)
{
    for (const QString& argument : arguments.mid(1))
        for (const QString& dashes : {QStringLiteral("--"), QStringLiteral("-")})
            if (argument == dashes + name || argument.startsWith(dashes + name + u'='))
                return dashes + name;
    return name;
}

} // namespace

std::variant<int, WindowOptions> ReadWindowCommandLine(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));

    QCommandLineParser parser;
    // Qt's options are single words after one dash, as -platform offscreen.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("help"), QStringLiteral("h")});
    const QCommandLineOption version(QStringLiteral("version"));
    const QCommandLineOption database(QStringLiteral("database"), QString(), QStringLiteral("NAME"));
    const QCommandLineOption userDatabase(QStringLiteral("user-database"));
    parser.addOptions({help, version, database, userDatabase});
    addQtOptions(parser);

    QTextStream out(stdout);
    QTextStream err(stderr);
    if (!parser.parse(arguments)) {
        // Only a value option at the very end lacks its value.
        const QStringList unknown = parser.unknownOptionNames();
        err << (unknown.isEmpty() ? QStringLiteral("Не указано значение параметра ") + arguments.last()
                                  : QStringLiteral("Неизвестный параметр: ") + givenAs(arguments, unknown.first()))
            << QStringLiteral(" (справка: kvaren --help)\n");
        return 16;
    }
    if (parser.isSet(help)) {
        out << WindowUsageText();
        return 0;
    }
    if (parser.isSet(version)) {
        out << QStringLiteral("kvaren " KVAREN_VERSION "\n");
        return 0;
    }
    if (!parser.positionalArguments().isEmpty()) {
        err << QStringLiteral("Лишние аргументы: ") << parser.positionalArguments().join(u' ')
            << QStringLiteral(" (справка: kvaren --help)\n");
        return 16;
    }
    return WindowOptions{parser.value(database), parser.isSet(userDatabase)};
}
