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

bool isOption(const QString& arg)
{
    return arg.size() > 1 && arg.startsWith(u'-');
}

} // namespace

ConsoleOptions ParseConsoleOptions(const QStringList& args)
{
    ConsoleOptions options;
    options.database = qEnvironmentVariable("KVAREN_DATABASE");
    bool optionsEnded = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        QString value;
        if (optionsEnded || !isOption(arg)) {
            if (options.command.isEmpty())
                options.command = arg;
            else
                options.words.append(arg);
        } else if (arg == u"--") {
            optionsEnded = true;
        } else if (arg == u"--help" || arg == u"-h") {
            options.help = true;
        } else if (arg == u"--version") {
            options.version = true;
        } else if (takeValue(args, i, QStringLiteral("--database"), value)) {
            if (value.isEmpty())
                throw Exception(QStringLiteral("Не указано значение параметра --database"));
            options.database = value;
        } else if (takeValue(args, i, QStringLiteral("--wait"), value)) {
            bool ok = false;
            options.waitSeconds = value.toInt(&ok);
            if (!ok || options.waitSeconds < 0)
                throw Exception(QStringLiteral("Значение --wait должно быть целым числом секунд: ") + value);
        } else if (takeValue(args, i, QStringLiteral("--settle"), value)) {
            bool ok = false;
            options.settleSeconds = value.toDouble(&ok);
            if (!ok || !(options.settleSeconds > 0) || options.settleSeconds > 86400)
                throw Exception(QStringLiteral("Значение --settle должно быть числом секунд больше нуля: ") + value);
            // A command other than watch refuses it as one it does not know.
            options.commandFlags.append(QStringLiteral("--settle"));
        } else if (takeValue(args, i, QStringLiteral("--key"), value)) {
            options.keyFile = value;
        } else if (takeValue(args, i, QStringLiteral("--public-key"), value)) {
            options.publicKeyFile = value;
        } else if (takeValue(args, i, QStringLiteral("--package-root"), value)) {
            options.packageRoot = value;
        } else if (options.command.isEmpty()) {
            throw Exception(QStringLiteral("Неизвестный параметр: ") + arg + QStringLiteral(" (справка: kvaren-cli --help)"));
        } else {
            options.commandFlags.append(arg);
        }
    }
    options.databaseNamed = !options.database.isEmpty();
    if (options.database.isEmpty())
        options.database = kDatabaseFileName;
    return options;
}
