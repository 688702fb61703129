#include "cli/commands.h"

#include "check/check_run.h"
#include "check/report_json.h"
#include "cli/console_options.h"
#include "cli/console_progress.h"
#include "cli/exit_status.h"
#include "cli/sum_command.h"
#include "common/exception.h"
#include "common/version.h"
#include "registration/directory_text.h"
#include "registration/existing_directory.h"
#include "registration/extension_list.h"
#include "registration/put_under_control.h"
#include "registration/remove_from_control.h"
#include "registration/update_control.h"
#include "shell/directory_list.h"
#include "shell/option_table.h"
#include "shell/status_count.h"
#include "storage/command_savepoint.h"
#include "storage/commit_at_end.h"
#include "storage/connect.h"
#include "storage/database_file.h"
#include "storage/dm1.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <functional>

namespace {

struct Command {
    QString name;
    QString arguments;
    bool needsDatabase;
    std::function<int(TDM1*, const QStringList&, Console&, const ConsoleOptions&)> run;
};

void printStatus(TDM1& dm, Console& console)
{
    console.out << StatusCountText(CountFilesUnderControl(dm)) << '\n';
}

int initCommand(TDM1*, const QStringList&, Console&, const ConsoleOptions& options)
{
    CreateDatabaseFile(options.database);
    return kExitSuccess;
}

int listCommand(TDM1* dm, const QStringList&, Console& console, const ConsoleOptions&)
{
    ReadDirectoryList(*dm, [&](const QString& dir, const QString&) { console.out << dir << '\n'; });
    printStatus(*dm, console);
    return kExitSuccess;
}

QString directoryArgument(const QStringList& args, const QString& usage)
{
    if (args.isEmpty())
        throw Exception(QStringLiteral("Не указана директория: ") + usage);
    return CleanDirectoryText(args.first());
}

int addCommand(TDM1* dm, const QStringList& args, Console& console, const ConsoleOptions&)
{
    const QString dir = directoryArgument(args, QStringLiteral("kvaren-cli add DIR [TYPE...]"));
    RequireExistingDirectory(dir);
    ConsoleProgress progress(console.err, console.errIsTerminal, QStringLiteral("Постановка на учет"));
    PutUnderControl(*dm, dir, BuildExtensionList(args.mid(1), {}), &progress);
    printStatus(*dm, console);
    return kExitSuccess;
}

// The one directory argument of the command that usage shows.
QString soleDirectory(const QStringList& args, const QString& usage)
{
    if (args.size() > 1)
        throw Exception(QStringLiteral("Лишние аргументы: ") + usage);
    return directoryArgument(args, usage);
}

// Runs a command that changes what is under control, with its progress on a
// terminal, then prints the status line.
int changeCommand(TDM1& dm, Console& console, const QString& caption, const std::function<void(Progress&)>& change)
{
    {
        ConsoleProgress progress(console.err, console.errIsTerminal, caption);
        change(progress);
    }
    printStatus(dm, console);
    return kExitSuccess;
}

int removeCommand(TDM1* dm, const QStringList& args, Console& console, const ConsoleOptions&)
{
    const QString dir = soleDirectory(args, QStringLiteral("kvaren-cli remove DIR"));
    return changeCommand(*dm, console, QStringLiteral("Снятие с учета"),
                         [&](Progress& progress) { RemoveFromControl(*dm, dir, &progress); });
}

int updateCommand(TDM1* dm, const QStringList& args, Console& console, const ConsoleOptions&)
{
    const QString dir = soleDirectory(args, QStringLiteral("kvaren-cli update DIR"));
    return changeCommand(*dm, console, QStringLiteral("Принятие изменений"),
                         [&](Progress& progress) { UpdateControl(*dm, dir, &progress); });
}

void printReport(Console& console, const CheckReport& report)
{
    const QStringList captions = ReportCaptions();
    const QStringList* lists[] = {&report.deleted, &report.moved, &report.added, &report.changed};
    for (int i = 0; i < 4; ++i) {
        if (i > 0)
            console.out << '\n';
        console.out << captions[i] << '\n';
        for (const QString& line : ShownLines(*lists[i]))
            console.out << line << '\n';
    }
}

CheckReport checkWithProgress(TDM1& dm, Console& console, const QString& dir)
{
    ConsoleProgress progress(console.err, console.errIsTerminal, QStringLiteral("Проверка целостности"));
    return RunCheck(dm, dir, &progress);
}

// check --all: every directory under control in the list's order, one report
// after another. A directory whose check fails is named on stderr with its
// error and adds 16 to the status; the others are checked all the same.
int checkAll(TDM1& dm, Console& console, bool json)
{
    QStringList dirs;
    ReadDirectoryList(dm, [&](const QString& dir, const QString&) { dirs.append(dir); });
    int status = kExitSuccess;
    QJsonArray documents;
    for (qsizetype i = 0; i < dirs.size(); ++i) {
        const QString& dir = dirs[i];
        try {
            const CheckReport report = checkWithProgress(dm, console, dir);
            status |= report.foundBits();
            if (json) {
                documents.append(ReportJsonObject(dir, report));
                continue;
            }
            if (i > 0)
                console.out << '\n';
            console.out << QStringLiteral("Директория ") << dir << QStringLiteral("\n\n");
            printReport(console, report);
        } catch (const ECommandStopped&) {
            throw;
        } catch (const Exception& error) {
            status |= kExitFailure;
            console.out.flush();
            console.err << dir << QStringLiteral(": ") << error.message() << '\n';
            console.err.flush();
            if (json)
                documents.append(QJsonObject{{QStringLiteral("directory"), dir}, {QStringLiteral("error"), error.message()}});
        }
    }
    if (json)
        console.out << QString::fromUtf8(QJsonDocument(QJsonObject{{QStringLiteral("directories"), documents}}).toJson());
    return status;
}

int checkCommand(TDM1* dm, const QStringList& arguments, Console& console, const ConsoleOptions&)
{
    QStringList args = arguments;
    const bool json = args.removeAll(QStringLiteral("--json")) > 0;
    if (args.removeAll(QStringLiteral("--all")) > 0) {
        if (!args.isEmpty())
            throw Exception(QStringLiteral("Лишние аргументы: kvaren-cli check [--json] --all"));
        return checkAll(*dm, console, json);
    }
    const QString dir = soleDirectory(args, QStringLiteral("kvaren-cli check [--json] DIR"));
    const CheckReport report = checkWithProgress(*dm, console, dir);
    if (json) {
        console.out.flush();
        console.out << QString::fromUtf8(ReportJson(dir, report));
        return report.foundBits();
    }
    printReport(console, report);
    return report.foundBits();
}

int sumCommand(TDM1*, const QStringList& args, Console& console, const ConsoleOptions&)
{
    return runSum(args, console.out, console.err);
}

int helpCommand(TDM1*, const QStringList&, Console& console, const ConsoleOptions&)
{
    console.out << UsageText();
    return kExitSuccess;
}

const std::vector<Command>& commands()
{
    static const std::vector<Command> table = {
        {QStringLiteral("init"), QString(), false, initCommand},
        {QStringLiteral("list"), QString(), true, listCommand},
        {QStringLiteral("add"), QStringLiteral("DIR [TYPE...]"), true, addCommand},
        {QStringLiteral("remove"), QStringLiteral("DIR"), true, removeCommand},
        {QStringLiteral("check"), QStringLiteral("[--json] DIR | [--json] --all"), true, checkCommand},
        {QStringLiteral("update"), QStringLiteral("DIR"), true, updateCommand},
        {QStringLiteral("sum"), QStringLiteral("FILE..."), false, sumCommand},
        {QStringLiteral("help"), QString(), false, helpCommand},
    };
    return table;
}

} // namespace

QString UsageText()
{
    QString text = QStringLiteral("Использование: kvaren-cli [ПАРАМЕТРЫ] КОМАНДА [АРГУМЕНТЫ]\nКоманды:\n");
    for (const Command& command : commands())
        text += QStringLiteral("  ") + command.name + u' ' + command.arguments + u'\n';
    return text + QStringLiteral("Параметры:\n") + OptionTableText({
        {QStringLiteral("--database ИМЯ"),
         QStringLiteral("база данных: файл или host:/путь/file.gdb на сервере Firebird "
                        "(по умолчанию KVAREN_DATABASE или file.gdb)")},
        {QStringLiteral("--wait СЕКУНДЫ"),
         QStringLiteral("ждать до стольких секунд базу данных, занятую другой программой")},
        {QStringLiteral("--help"), QStringLiteral("показать эту справку")},
        {QStringLiteral("--version"), QStringLiteral("показать версию программы")},
    }) + QStringLiteral("Код возврата: 0 успех; у check сумма найденного: 1 новые, 2 удаленные, 4 измененные, "
                        "8 перемещенные файлы; 16 ошибка; 129, 130, 143 остановлено сигналом HUP, INT, TERM.\n");
}

int RunCommand(const QStringList& arguments, Console& console)
{
    const ConsoleOptions options = ParseConsoleOptions(arguments);
    const QStringList& args = options.command;
    if (args.isEmpty())
        throw Exception(UsageText().trimmed());
    if (args.first() == QLatin1StringView("--help"))
        return helpCommand(nullptr, {}, console, options);
    if (args.first() == QLatin1StringView("--version")) {
        console.out << QStringLiteral("kvaren-cli " KVAREN_VERSION "\n");
        return kExitSuccess;
    }
    for (const Command& command : commands()) {
        if (args.first() != command.name)
            continue;
        const QStringList rest = args.mid(1);
        if (!command.needsDatabase)
            return command.run(nullptr, rest, console, options);
        TDM1 dm;
        ConnectDM1Waiting(dm, options.database, options.waitSeconds, [&] {
            if (console.errIsTerminal) {
                console.err << QStringLiteral("Ожидание базы данных, занятой другой программой (до %1 с)…").arg(options.waitSeconds) << '\n';
                console.err.flush();
            }
        });
        return CommitAtEnd(dm, [&] {
            // Signals stop the command from here on; a stopped command is undone,
            // and what is committed after it is only what came before it.
            CommandStop::Running stoppable;
            return UndoIfStopped(dm, [&] { return command.run(&dm, rest, console, options); });
        });
    }
    throw Exception(QStringLiteral("Неизвестная команда: ") + args.first() + u'\n' + UsageText().trimmed());
}
