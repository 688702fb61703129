#include "cli/commands.h"

#include "cli/exit_status.h"
#include "common/exception.h"
#include "shell/directory_list.h"
#include "shell/status_count.h"
#include "storage/connect.h"
#include "storage/database_file.h"
#include "storage/dm1.h"

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

const std::vector<Command>& commands()
{
    static const std::vector<Command> table = {
        {QStringLiteral("init"), QString(), false, initCommand},
        {QStringLiteral("list"), QString(), true, listCommand},
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
        int status = kExitFailure;
        try {
            status = command.run(&dm, rest, console);
        } catch (...) {
            // What the command did before its error stays, as in the window,
            // where the next commit makes it durable.
            try {
                dm.finish();
            } catch (...) {
            }
            throw;
        }
        dm.finish();
        return status;
    }
    throw Exception(QStringLiteral("Неизвестная команда: ") + args.first() + u'\n' + UsageText().trimmed());
}
