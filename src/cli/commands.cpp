#include "cli/commands.h"

#include "check/check_run.h"
#include "cli/console_progress.h"
#include "cli/exit_status.h"
#include "cli/sum_command.h"
#include "common/exception.h"
#include "registration/directory_text.h"
#include "registration/existing_directory.h"
#include "registration/extension_list.h"
#include "registration/put_under_control.h"
#include "registration/remove_from_control.h"
#include "shell/directory_list.h"
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
    RequireExistingDirectory(dir);
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

const std::vector<Command>& commands()
{
    static const std::vector<Command> table = {
        {QStringLiteral("init"), QString(), false, initCommand},
        {QStringLiteral("list"), QString(), true, listCommand},
        {QStringLiteral("add"), QStringLiteral("DIR [TYPE...]"), true, addCommand},
        {QStringLiteral("remove"), QStringLiteral("DIR"), true, removeCommand},
        {QStringLiteral("check"), QStringLiteral("DIR"), true, checkCommand},
        {QStringLiteral("sum"), QStringLiteral("FILE..."), false, sumCommand},
    };
    return table;
}

} // namespace

QString UsageText()
{
    QString text = QStringLiteral("Использование: kvaren-cli КОМАНДА [АРГУМЕНТЫ]\nКоманды:\n");
    for (const Command& command : commands())
        text += QStringLiteral("  ") + command.name + u' ' + command.arguments + u'\n';
    return text;
}

int RunCommand(const QStringList& args, Console& console)
{
    if (args.isEmpty())
        throw Exception(UsageText().trimmed());
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
