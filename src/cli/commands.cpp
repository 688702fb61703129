#include "cli/commands.h"

#include "check/check_run.h"
#include "cli/console_progress.h"
#include "cli/exit_status.h"
#include "cli/sum_command.h"
#include "common/exception.h"
#include "common/version.h"
#include "registration/directory_text.h"
#include "registration/extension_list.h"
#include "registration/put_under_control.h"
#include "registration/remove_from_control.h"
#include "shell/directory_list.h"
#include "shell/option_table.h"
#include "shell/status_count.h"
#include "storage/commit_at_end.h"
#include "storage/connect.h"
#include "storage/database_file.h"
#include "storage/dm1.h"

#include <QFileInfo>
#include <functional>

namespace {

struct Command {
    QString name;
    QString arguments;
    bool needsDatabase;
    std::function<int(TDM1*, const QStringList&, Console&)> run;
};

void printStatus(TDM1& dm, Console& console)
{
    console.out << StatusCountText(CountFilesUnderControl(dm)) << '\n';
}

int initCommand(TDM1*, const QStringList&, Console&)
{
    CreateDatabaseFile(kDatabaseFileName);
    return kExitSuccess;
}

int listCommand(TDM1* dm, const QStringList&, Console& console)
{
    ReadDirectoryList(*dm, [&](const QString& dir) { console.out << dir << '\n'; });
    printStatus(*dm, console);
    return kExitSuccess;
}

QString directoryArgument(const QStringList& args, const QString& usage)
{
    if (args.isEmpty())
        throw Exception(QStringLiteral("Не указана директория: ") + usage);
    return CleanDirectoryText(args.first());
}

int addCommand(TDM1* dm, const QStringList& args, Console& console)
{
    const QString dir = directoryArgument(args, QStringLiteral("kvaren-cli add DIR [TYPE...]"));
    // The dialog only offers existing directories; a mistyped one would be put
    // under control with no files at all.
    if (!QFileInfo(dir).isDir())
        throw Exception(QStringLiteral("Директория не найдена: ") + dir);
    ConsoleProgress progress(console.err, console.errIsTerminal, QStringLiteral("Постановка на учет"));
    PutUnderControl(*dm, dir, BuildExtensionList(args.mid(1), {}), &progress);
    printStatus(*dm, console);
    return kExitSuccess;
}

int removeCommand(TDM1* dm, const QStringList& args, Console& console)
{
    if (args.size() > 1)
        throw Exception(QStringLiteral("Лишние аргументы: kvaren-cli remove DIR"));
    RemoveFromControl(*dm, directoryArgument(args, QStringLiteral("kvaren-cli remove DIR")));
    printStatus(*dm, console);
    return kExitSuccess;
}

int checkCommand(TDM1* dm, const QStringList& args, Console& console)
{
    if (args.size() > 1)
        throw Exception(QStringLiteral("Лишние аргументы: kvaren-cli check DIR"));
    const QString dir = directoryArgument(args, QStringLiteral("kvaren-cli check DIR"));
    CheckReport report;
    {
        ConsoleProgress progress(console.err, console.errIsTerminal, QStringLiteral("Проверка целостности"));
        report = RunCheck(*dm, dir, &progress);
    }
    const QStringList captions = ReportCaptions();
    const QStringList* lists[] = {&report.deleted, &report.moved, &report.added, &report.changed};
    for (int i = 0; i < 4; ++i) {
        if (i > 0)
            console.out << '\n';
        console.out << captions[i] << '\n';
        for (const QString& line : ShownLines(*lists[i]))
            console.out << line << '\n';
    }
    return report.foundBits();
}

int sumCommand(TDM1*, const QStringList& args, Console& console)
{
    return runSum(args, console.out, console.err);
}

int helpCommand(TDM1*, const QStringList&, Console& console)
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
        {QStringLiteral("check"), QStringLiteral("DIR"), true, checkCommand},
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

int RunCommand(const QStringList& args, Console& console)
{
    if (args.isEmpty())
        throw Exception(UsageText().trimmed());
    if (args.first() == QLatin1StringView("--help"))
        return helpCommand(nullptr, {}, console);
    if (args.first() == QLatin1StringView("--version")) {
        console.out << QStringLiteral("kvaren-cli " KVAREN_VERSION "\n");
        return kExitSuccess;
    }
    for (const Command& command : commands()) {
        if (args.first() != command.name)
            continue;
        const QStringList rest = args.mid(1);
        if (!command.needsDatabase)
            return command.run(nullptr, rest, console);
        TDM1 dm;
        ConnectDM1(dm, kDatabaseFileName);
        return CommitAtEnd(dm, [&] { return command.run(&dm, rest, console); });
    }
    throw Exception(QStringLiteral("Неизвестная команда: ") + args.first() + u'\n' + UsageText().trimmed());
}
