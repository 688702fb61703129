#include "cli/console_options.h"

#include "common/exception.h"
#include "storage/dm1.h"

namespace {

// The value of an option given as "--name VALUE" or "--name=VALUE".
bool takeValue(const QStringList& args, qsizetype& i, const QString& name, QString& value)
{
    const QString& arg = args.at(i);
    if (arg == name) {
        if (i + 1 >= args.size())
            throw Exception(QStringLiteral("Не указано значение параметра ") + name);
        value = args.at(++i);
        return true;
    }
    if (arg.startsWith(name + u'=')) {
        value = arg.mid(name.size() + 1);
        return true;
    }
    return false;
}

} // namespace

ConsoleOptions ParseConsoleOptions(const QStringList& args)
{
    ConsoleOptions options;
    options.database = qEnvironmentVariable("KVAREN_DATABASE");
    qsizetype i = 0;
    for (; i < args.size() && args.at(i).startsWith(QLatin1String("--")); ++i) {
        if (args.at(i) == u"--help" || args.at(i) == u"--version")
            break; // answered as commands are
        QString value;
        if (takeValue(args, i, QStringLiteral("--database"), value)) {
            if (value.isEmpty())
                throw Exception(QStringLiteral("Не указано значение параметра --database"));
            options.database = value;
        } else if (takeValue(args, i, QStringLiteral("--wait"), value)) {
            bool ok = false;
            options.waitSeconds = value.toInt(&ok);
            if (!ok || options.waitSeconds < 0)
                throw Exception(QStringLiteral("Значение --wait должно быть целым числом секунд: ") + value);
        } else {
            throw Exception(QStringLiteral("Неизвестный параметр: ") + args.at(i));
        }
    }
    if (options.database.isEmpty())
        options.database = kDatabaseFileName;
    options.command = args.mid(i);
    return options;
}
