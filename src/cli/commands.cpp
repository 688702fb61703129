#include "cli/commands.h"

#include "seal/seal_key.h"
#include "check/accept_explained.h"
#include "check/check_log.h"
#include "check/check_run.h"
#include "check/log_text.h"
#include "check/explain_findings.h"
#include "check/explanation_text.h"
#include "check/report_json.h"
#include "check/report_text.h"
#include "seal/seal_verdict.h"
#include "cli/console_options.h"
#include "cli/console_progress.h"
#include "cli/exit_status.h"
#include "cli/confirmation.h"
#include "cli/passphrase.h"
#include "cli/sum_command.h"
#include "cli/system_init.h"
#include "cli/watch_command.h"
#include "common/exception.h"
#include "common/option_table.h"
#include "common/shown_name.h"
#include "common/status_count.h"
#include "common/version.h"
#include "packages/host_packages.h"
#include "packages/package_root.h"
#include "registration/accept_files.h"
#include "registration/directory_list_file.h"
#include "registration/directory_text.h"
#include "registration/existing_directory.h"
#include "registration/extension_list.h"
#include "registration/put_under_control.h"
#include "registration/remove_from_control.h"
#include "seal/sealed_change.h"
#include "registration/update_control.h"
#include "rows/registration.h"
#include "seal/seal_memory.h"
#include "seal/seal_rows.h"
#include "storage/ib_database.h"
#include "storage/command_savepoint.h"
#include "storage/commit_at_end.h"
#include "storage/connect.h"
#include "storage/database_file.h"
#include "storage/database_name.h"
#include "storage/dm1.h"
#include "storage/shared_engine.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScopeGuard>

#include <algorithm>
#include <functional>

namespace {

// A command's arguments: its words and the options it was given.
struct Arguments {
    QStringList words;
    QStringList flags;
    bool has(const char* flag) const { return flags.contains(QLatin1StringView(flag)); }
};

// What a command gives: its exit status and, of a change, the registrations
// whose rows it wrote (see RunChange).
struct CommandOutcome {
    CommandOutcome(int status, QSet<qint32> written = {}) : status(status), written(std::move(written)) {}
    int status;
    QSet<qint32> written;
};

using CommandRun = std::function<CommandOutcome(TDM1*, const Arguments&, Console&, const ConsoleOptions&)>;

struct Command {
    QString name;
    QString arguments; // as the usage shows them
    QString purpose;
    bool needsDatabase;
    qsizetype minWords;
    qsizetype maxWords; // -1: any number
    QStringList flags;  // the options the command knows
    QString missingWords; // the message when fewer than minWords are given
    CommandRun run;
    std::function<void(const Arguments&)> validate = {}; // what the counts cannot say
    CommandAccess access = CommandAccess::Reads;
    // Whether it changes what is under control, and so needs the private key
    // on a sealed database, which it seals again (see RunChange); the seal
    // command writes only the seal.
    bool sealedChange = access == CommandAccess::Writes;
    // The registrations whose rows it will write again, as it finds them
    // before it changes anything: their seal is verified first.
    std::function<QSet<qint32>(TIBQuery&, const Arguments&)> writes = {};
    // Whether it changes a few named files alone (see ChangeReach).
    std::function<bool(const Arguments&)> namedFiles = {};

    QString usage() const
    {
        return QStringLiteral("kvaren-cli ") + name + (arguments.isEmpty() ? QString() : u' ' + arguments);
    }
};

void printStatus(TDM1& dm, Console& console)
{
    console.out << StatusCountText(CountFilesUnderControl(dm.IBQuery1)) << '\n';
}

// Names what a walk could not examine on stderr, one a line, and gives the
// status bit that says so.
int reportNotExamined(Console& console, const NotExaminedList& names)
{
    if (names.isEmpty())
        return kExitSuccess;
    console.out.flush();
    for (const QString& line : NotExaminedLines(names))
        console.err << NotExaminedCaption() << QStringLiteral(": ") << line << '\n';
    console.err.flush();
    return kExitNotExamined;
}

// Runs command on the database the options name: connected, within one
// transaction committed at its end, and on a sealed database sealed again.
int runOnDatabase(const Command& command, const Arguments& args, Console& console, const ConsoleOptions& options);

// A list file is init --system's alone.
void validateInit(const Arguments& args)
{
    if (!args.has("--system") && !args.words.isEmpty())
        throw Exception(QStringLiteral("Лишние аргументы: kvaren-cli init"));
}

// The database init --system works on: the one the options name, else the
// system's.
ConsoleOptions systemInitOptions(ConsoleOptions options)
{
    if (!options.databaseNamed)
        options.database = QString::fromLatin1(kSystemDatabase);
    return options;
}

// init --system [LIST], once the database is open: the list's directories
// under control, then the status line, what was not examined and what to do
// next.
CommandOutcome systemDirectoriesCommand(TDM1* dm, const Arguments& args, Console& console, const ConsoleOptions&)
{
    const QString list = SystemDirectoriesFile(args.words);
    console.out << QStringLiteral("Список директорий: ") << SystemDirectoriesFileText(list) << '\n';
    const RecordedChange recorded = PutListUnderControl(*dm, ReadDirectoryListFile(list), console);
    printStatus(*dm, console);
    return {reportNotExamined(console, recorded.notExamined), recorded.registrations};
}

// init makes the database. With --system it makes the system's (unless one
// is named) when it is missing, and puts the directories of the list under
// control in it; run again it adds only what is not under control yet. A
// database on a server is not looked for: make it with init first.
int initCommand(TDM1*, const Arguments& args, Console& console, const ConsoleOptions& given)
{
    if (!args.has("--system")) {
        CreateDatabaseFile(given.database);
        return kExitSuccess;
    }
    QElapsedTimer elapsed;
    elapsed.start();
    const ConsoleOptions options = systemInitOptions(given);
    // A list that cannot be read makes no database.
    const QStringList listed = ReadDirectoryListFile(SystemDirectoriesFile(args.words));
    if (!IsServerDatabaseName(options.database) && !QFileInfo(options.database).exists()
        && !QFileInfo(options.database).isSymLink()) {
        CreateDatabaseFile(options.database);
        console.out << QStringLiteral("Создана база данных ") << ShownName(options.database) << '\n';
    }
    static const Command putUnderControl = {
        QStringLiteral("init"), QStringLiteral("--system [СПИСОК]"), QString(), true, 0, 1,
        {QStringLiteral("--system")}, {}, systemDirectoriesCommand, {}, CommandAccess::Writes};
    const int status = runOnDatabase(putUnderControl, args, console, options);
    console.out << SystemInitClosing(options.database, elapsed.elapsed(), listed.contains(QStringLiteral("/etc")));
    return status;
}

// The public key a check of the database verifies with, where one applies.
std::optional<SealKey> publicKey(TDM1& dm, const ConsoleOptions& options)
{
    return ConfiguredPublicKey(options.publicKeyFile, dm.IBQuery1);
}

int listCommand(TDM1* dm, const Arguments&, Console& console, const ConsoleOptions& options)
{
    const std::optional<SealKey> key = publicKey(*dm, options);
    const SealVerdict seal = VerifyWholeSeal(dm->IBQuery1, key ? &*key : nullptr);
    for (const QString& line : SealLines(seal))
        console.out << line << '\n';
    // The directory stays the line's first field, for scripts that read it;
    // the types follow after a tab, as the window's tooltip words them.
    for (const Registration& registration : ReadRegistrations(dm->IBQuery1))
        console.out << ShownName(registration.dir) << QStringLiteral("\tТипы файлов: ") << ShownName(registration.list)
                    << '\n';
    printStatus(*dm, console);
    return seal.broken() ? int(kFoundSealBroken) : int(kExitSuccess);
}

// Where a new key file may go: nothing there, not even a dangling link, in a
// directory that exists.
void requireKeyFilePlace(const QString& file)
{
    const QFileInfo info(file);
    if (info.exists() || info.isSymLink())
        throw Exception(QStringLiteral("Файл уже существует: ") + file);
    const QFileInfo folder(info.absolutePath());
    const QString failed = QStringLiteral("Не удалось создать файл ключа: ") + file + QStringLiteral(": ");
    if (!folder.exists())
        throw Exception(failed + QStringLiteral("директория %1 не найдена").arg(folder.filePath()));
    if (!folder.isDir())
        throw Exception(failed + QStringLiteral("%1 не является директорией").arg(folder.filePath()));
}

int keyCommand(TDM1*, const Arguments& args, Console& console, const ConsoleOptions&)
{
    const QString privateFile = args.words.at(0);
    const QString publicFile = args.words.at(1);
    for (const QString& file : {privateFile, publicFile})
        requireKeyFilePlace(file);
    const QByteArray passphrase = KeyPassphrase(QStringLiteral("Пароль закрытого ключа"), true);
    if (passphrase.isEmpty())
        throw Exception(QStringLiteral("Пароль закрытого ключа не может быть пустым"));
    const SealKey key = SealKey::generate();
    key.writePrivate(privateFile, passphrase);
    // A private key left without its public one would only make the rerun
    // refuse: it goes when the public key cannot be written.
    auto unwrite = qScopeGuard([&] { QFile::remove(privateFile); });
    key.writePublic(publicFile);
    unwrite.dismiss();
    console.out << QStringLiteral("Отпечаток открытого ключа (SHA-256): ") << key.fingerprint() << '\n';
    return kExitSuccess;
}

// The private key in file; its passphrase is asked once the file is found fit.
SealKey privateKey(const QString& file)
{
    return SealKey::readPrivate(
        file, [&] { return KeyPassphrase(QStringLiteral("Пароль закрытого ключа ") + file, false); });
}

// seal [--force] [KEY]: verifies what is there first, and seals (without a
// key, digests) the database as it stands only once the administrator agreed
// to bless what does not hold: asked on the terminal, or --force.
int sealCommand(TDM1* dm, const Arguments& args, Console& console, const ConsoleOptions&)
{
    TIBQuery& query = dm->IBQuery1;
    const bool wasSigned = IsSealed(query);
    if (args.words.isEmpty() && wasSigned)
        throw Exception(QStringLiteral("База данных запечатана: запечатать ее заново можно только с закрытым ключом: "
                                       "kvaren-cli seal [--force] КЛЮЧ"));
    const std::optional<SealKey> key =
        args.words.isEmpty() ? std::nullopt : std::optional<SealKey>(privateKey(args.words.first()));
    SealVerdict verdict = VerifyWholeSeal(query, wasSigned ? &*key : nullptr);
    const std::optional<QByteArray> seenHere = SealMemory().databaseAt(query.database().shownName());
    if (!wasSigned && seenHere)
        verdict.problems.append(QStringLiteral("Здесь проверялась запечатанная база данных %1, а эта не запечатана")
                                    .arg(QString::fromLatin1(*seenHere)));
    if (verdict.broken()) {
        console.out.flush();
        for (const QString& line : verdict.problems)
            console.err << line << '\n';
        console.err.flush();
        if (!args.has("--force")
            && !Confirmed(QStringLiteral("Запечатать базу данных такой, какая она есть, с тем, что изменено помимо "
                                         "программы?")))
            throw Exception(QStringLiteral("Не запечатано: запечатать базу данных такой, какая она есть, можно с --force "
                                           "или ответив «да» на терминале"));
    }
    SealDatabase(query, key ? &*key : nullptr);
    if (!key) {
        console.out << QStringLiteral("Контрольные суммы базы данных записаны заново") << '\n';
        return kExitSuccess;
    }
    // What was just signed, without reading every row again.
    const SealTable table = ReadSealTable(query);
    SealVerdict sealed;
    sealed.keyFingerprint = key->fingerprint();
    sealed.database = table.database;
    sealed.generation = table.generation;
    sealed.sealedAt = table.sealedAt;
    console.out << QStringLiteral("База данных запечатана ключом ") << sealed.keyFingerprint << '\n';
    for (const QString& line : SealLines(sealed).mid(1))
        console.out << line << '\n';
    return kExitSuccess;
}

void validateAdd(const Arguments& args)
{
    RequireExistingDirectory(CleanDirectoryText(args.words.first()));
}

// Runs a command that changes what is under control, with its progress on a
// terminal, then prints the status line and what it could not examine.
CommandOutcome changeCommand(TDM1& dm, Console& console, const QString& caption,
                             const std::function<RecordedChange(Progress&)>& change)
{
    RecordedChange recorded;
    {
        ConsoleProgress progress(console.err, console.errIsTerminal, caption);
        recorded = change(progress);
    }
    printStatus(dm, console);
    return {reportNotExamined(console, recorded.notExamined), recorded.registrations};
}

// A directory already under control is put under control once more, as the
// window does, but not without a word.
CommandOutcome addCommand(TDM1* dm, const Arguments& args, Console& console, const ConsoleOptions&)
{
    const QString dir = CleanDirectoryText(args.words.first());
    QStringList types;
    for (const QString& type : args.words.mid(1))
        types.append(PlainFileType(type));
    const QList<Registration> before = ReadRegistrations(dm->IBQuery1);
    const bool again = std::any_of(before.begin(), before.end(), [&](const Registration& r) { return r.dir == dir; });
    CommandOutcome outcome = changeCommand(*dm, console, QStringLiteral("Постановка на учет"), [&](Progress& progress) {
        return PutUnderControl(*dm, dir, BuildExtensionList(types, {}), &progress);
    });
    if (again) {
        console.out.flush();
        console.err << QStringLiteral("Директория уже была на учете и поставлена на учет еще раз: ") << ShownName(dir)
                    << '\n';
        console.err.flush();
    }
    return outcome;
}

CommandOutcome removeCommand(TDM1* dm, const Arguments& args, Console& console, const ConsoleOptions&)
{
    const QString dir = CleanDirectoryText(args.words.first());
    return changeCommand(*dm, console, QStringLiteral("Снятие с учета"),
                         [&](Progress& progress) {
                             RemoveFromControl(*dm, dir, &progress);
                             return RecordedChange();
                         });
}

CommandOutcome updateCommand(TDM1* dm, const Arguments& args, Console& console, const ConsoleOptions&)
{
    const QString dir = CleanDirectoryText(args.words.first());
    if (args.has("--explained")) {
        if (args.words.size() > 1)
            throw Exception(QStringLiteral("Лишние аргументы: kvaren-cli update --explained DIR"));
        ExplainedAccept done;
        {
            ConsoleProgress progress(console.err, console.errIsTerminal, QStringLiteral("Принятие объясненных изменений"));
            done = AcceptExplained(*dm, dir, PackageRoot(), &progress);
        }
        console.out << QStringLiteral("Принято объясненных изменений: %1, не объяснено: %2").arg(done.accepted).arg(done.left)
                    << '\n';
        printStatus(*dm, console);
        return {reportNotExamined(console, done.recorded.notExamined), done.recorded.registrations};
    }
    if (args.words.size() > 1) {
        const RecordedChange recorded = AcceptFiles(*dm, dir, args.words.mid(1));
        printStatus(*dm, console);
        return {kExitSuccess, recorded.registrations};
    }
    return changeCommand(*dm, console, QStringLiteral("Принятие изменений"),
                         [&](Progress& progress) { return UpdateControl(*dm, dir, &progress); });
}

CheckReport checkWithProgress(TDM1& dm, Console& console, const QString& dir, const std::optional<SealKey>& key,
                              std::optional<qint32> registration = std::nullopt)
{
    ConsoleProgress progress(console.err, console.errIsTerminal, QStringLiteral("Проверка целостности"));
    return RunCheck(dm, dir, &progress, registration, key ? &*key : nullptr);
}

// What a check is to say of the package manager's part in what it found:
// nothing (as always), each finding's explanation after its line
// (--explain), or only what nothing explains, counted and listed, and the
// rest summed up by package (--unexplained).
struct Explaining {
    bool each = false;
    bool unexplainedOnly = false;

    explicit Explaining(const Arguments& args)
        : each(args.has("--explain"))
        , unexplainedOnly(args.has("--unexplained"))
    {
    }
    bool any() const { return each || unexplainedOnly; }
};

// The report as the check is to show it: explained where asked, and with
// --unexplained, only what nothing explains; explained gets the lines that
// sum up the rest.
// report is explained in place, for the log to count what nothing explains.
CheckReport shownReport(TDM1& dm, CheckReport& report, const Explaining& explaining, HostPackages& host,
                        QStringList& explained)
{
    if (!explaining.any())
        return report;
    ExplainFindings(report, dm.IBQuery1, host);
    if (!explaining.unexplainedOnly)
        return report;
    explained = ExplainedPackageLines(report);
    return report.unexplained();
}

QString explainedText(const QStringList& explained)
{
    if (explained.isEmpty())
        return QString();
    return QStringLiteral("\nОбъяснено изменениями пакетов:\n") + explained.join(u'\n') + u'\n';
}

// check --all: every directory under control in the list's order, one report
// after another. A directory whose check fails is named on stderr with its
// error and adds 16 to the status; the others are checked all the same.
int checkAll(TDM1& dm, Console& console, bool json, const std::optional<SealKey>& key, const Explaining& explaining)
{
    const QList<Registration> registrations = ReadRegistrations(dm.IBQuery1);
    int status = kExitSuccess;
    QJsonArray documents;
    HostPackages host(PackageRoot()); // read once for every directory
    for (qsizetype i = 0; i < registrations.size(); ++i) {
        const QString& dir = registrations[i].dir;
        try {
            QStringList explained;
            CheckReport found = checkWithProgress(dm, console, dir, key, registrations[i].id);
            const CheckReport report = shownReport(dm, found, explaining, host, explained);
            status |= report.foundBits() | reportNotExamined(console, report.notExamined);
            if (json) {
                documents.append(ReportJsonObject(dir, report, explaining.any()));
            } else {
                if (i > 0)
                    console.out << '\n';
                console.out << QStringLiteral("Директория ") << ShownName(dir) << QStringLiteral("\n\n");
                console.out << ReportText(report, explaining.each) << explainedText(explained);
            }
            console.out.flush();
            LogCheck(dm, CheckLogEntry(registrations[i].id, found, explaining.any()));
        } catch (const ECommandStopped&) {
            throw;
        } catch (const Exception& error) {
            status |= kExitFailure;
            console.out.flush();
            console.err << ShownName(dir) << QStringLiteral(": ") << error.message() << '\n';
            console.err.flush();
            if (json)
                documents.append(QJsonObject{{QStringLiteral("directory"), dir}, {QStringLiteral("error"), error.message()}});
        }
    }
    if (json)
        console.out << QString::fromUtf8(QJsonDocument(QJsonObject{{QStringLiteral("directories"), documents}}).toJson());
    return status;
}

// check takes one directory, or --all instead of it.
void validateCheck(const Arguments& args)
{
    if (args.has("--all") && !args.words.isEmpty())
        throw Exception(QStringLiteral("Лишние аргументы: kvaren-cli check [--json] --all"));
    if (!args.has("--all") && args.words.isEmpty())
        throw Exception(QStringLiteral("Не указана директория: kvaren-cli check [--json] DIR"));
    if (args.has("--explain") && args.has("--unexplained"))
        throw Exception(QStringLiteral("Укажите что-то одно: --explain или --unexplained"));
}

int checkCommand(TDM1* dm, const Arguments& args, Console& console, const ConsoleOptions& options)
{
    const bool json = args.has("--json");
    const Explaining explaining(args);
    const std::optional<SealKey> key = publicKey(*dm, options);
    if (args.has("--all"))
        return checkAll(*dm, console, json, key, explaining);
    const QString dir = CleanDirectoryText(args.words.first());
    const qint32 registration = FindRegistration(dm->IBQuery1, dir).id;
    QStringList explained;
    HostPackages host(PackageRoot());
    CheckReport found = checkWithProgress(*dm, console, dir, key, registration);
    const CheckReport report = shownReport(*dm, found, explaining, host, explained);
    const int notExamined = reportNotExamined(console, report.notExamined);
    console.out.flush();
    if (json)
        console.out << QString::fromUtf8(ReportJson(dir, report, explaining.any()));
    else
        console.out << ReportText(report, explaining.each) << explainedText(explained);
    // Logged once the report is out: a log that cannot be written never
    // hides what the check found.
    console.out.flush();
    LogCheck(*dm, CheckLogEntry(registration, found, explaining.any()));
    return report.foundBits() | notExamined;
}

// log: the entries of the registrations of DIR, or of all, oldest first.
int logCommand(TDM1* dm, const Arguments& args, Console& console, const ConsoleOptions&)
{
    QHash<qint32, QString> dirs;
    for (const Registration& registration : ReadRegistrations(dm->IBQuery1))
        dirs.insert(registration.id, registration.dir);
    LogEntries entries = ReadLog(dm->IBQuery1);
    if (!args.words.isEmpty()) {
        const QString dir = CleanDirectoryText(args.words.first());
        FindRegistration(dm->IBQuery1, dir); // names a directory not under control
        entries.removeIf([&](const LogEntry& entry) { return dirs.value(entry.registration) != dir; });
    } else {
        // Entries left by registrations since taken out of control have no
        // directory to show.
        entries.removeIf([&](const LogEntry& entry) { return !dirs.contains(entry.registration); });
    }
    console.out << (args.has("--json") ? QString::fromUtf8(LogJson(entries, dirs)) : LogText(entries, dirs));
    return kExitSuccess;
}

int watchCommand(TDM1* dm, const Arguments& args, Console& console, const ConsoleOptions& options)
{
    const std::optional<SealKey> key = publicKey(*dm, options);
    return RunWatch(*dm, args.words, args.has("--json"), args.has("--unexplained"), options.settleSeconds,
                    key ? &*key : nullptr, console);
}

int sumCommand(TDM1*, const Arguments& args, Console& console, const ConsoleOptions&)
{
    return runSum(args.words, console.out, console.err);
}

int helpCommand(TDM1*, const Arguments&, Console& console, const ConsoleOptions&)
{
    console.out << UsageText();
    return kExitSuccess;
}

const std::vector<Command>& commands()
{
    const QString noDirectory = QStringLiteral("Не указана директория");
    static const std::vector<Command> table = {
        {QStringLiteral("init"), QStringLiteral("[--system [СПИСОК]]"),
         QStringLiteral("создать пустую базу данных; --system: создать системную (/var/lib/kvaren/file.gdb, если база "
                        "не названа) и поставить на учет директории из списка (по умолчанию "
                        "/etc/kvaren/system-directories), какие еще не на учете"),
         false, 0, 1, {QStringLiteral("--system")}, {}, initCommand, validateInit},
        {QStringLiteral("list"), QString(), QStringLiteral("показать директории на учете и число файлов на учете"),
         true, 0, 0, {}, {}, listCommand},
        {QStringLiteral("add"), QStringLiteral("DIR [TYPE...]"),
         QStringLiteral("поставить директорию на учет: файлы данных типов (txt, .txt или *.txt) или все файлы"),
         true, 1, -1, {}, noDirectory, addCommand, validateAdd, CommandAccess::Writes},
        {QStringLiteral("remove"), QStringLiteral("DIR"), QStringLiteral("снять директорию с учета"), true, 1, 1, {},
         noDirectory, removeCommand, {}, CommandAccess::Writes},
        {QStringLiteral("check"), QStringLiteral("[--json] [--explain | --unexplained] DIR | [--json] [--explain | --unexplained] --all"),
         QStringLiteral("проверить целостность директории или всех директорий на учете; --explain: объяснить "
                        "найденное изменениями пакетов, --unexplained: показать и учесть только необъясненное"),
         true, 0, 1, {QStringLiteral("--json"), QStringLiteral("--all"), QStringLiteral("--explain"),
                      QStringLiteral("--unexplained")}, {}, checkCommand, validateCheck},
        {QStringLiteral("log"), QStringLiteral("[--json] [DIR]"),
         QStringLiteral("показать журнал проверок и принятых изменений директории или всех директорий на учете"),
         true, 0, 1, {QStringLiteral("--json")}, {}, logCommand},
        {QStringLiteral("watch"), QStringLiteral("[--json] [--unexplained] [--settle СЕКУНДЫ] [DIR...]"),
         QStringLiteral("следить за изменениями директорий на учете (всех, если не указаны), пока не остановят; "
                        "--unexplained: не показывать объясненное изменениями пакетов"),
         true, 0, -1, {QStringLiteral("--json"), QStringLiteral("--settle"), QStringLiteral("--unexplained")}, {},
         watchCommand},
        {QStringLiteral("update"), QStringLiteral("DIR [FILE...] | --explained DIR"),
         QStringLiteral("принять изменения: поставить директорию на учет заново, или только данные файлы, или только "
                        "объясненные изменениями пакетов"), true, 1,
         -1, {QStringLiteral("--explained")}, noDirectory,
         updateCommand, {}, CommandAccess::Writes, true,
         [](TIBQuery& query, const Arguments& args) {
             const QString dir = CleanDirectoryText(args.words.first());
             QSet<qint32> ids;
             if (args.words.size() > 1 || args.has("--explained"))
                 ids.insert(FindRegistration(query, dir).id);
             else
                 for (const Registration& registration : UpdatedRegistrations(query, dir))
                     ids.insert(registration.id);
             return ids;
         },
         [](const Arguments& args) { return args.words.size() > 1 && !args.has("--explained"); }},
        {QStringLiteral("key"), QStringLiteral("PRIVATE PUBLIC"),
         QStringLiteral("создать пару ключей Ed25519 для печати базы данных"), false, 2, 2, {},
         QStringLiteral("Не указаны файлы ключей"), keyCommand},
        {QStringLiteral("seal"), QStringLiteral("[--force] [PRIVATE]"),
         QStringLiteral("проверить и запечатать базу данных закрытым ключом (без ключа: записать ее контрольные "
                        "суммы заново)"),
         true, 0, 1, {QStringLiteral("--force")}, {}, sealCommand, {}, CommandAccess::Writes, false},
        {QStringLiteral("sum"), QStringLiteral("FILE..."),
         QStringLiteral("показать контрольные суммы файлов: CRC-16, XOR-32 и SHA-256"), false, 1, -1, {},
         QStringLiteral("Не указаны файлы"), sumCommand},
        {QStringLiteral("help"), QString(), QStringLiteral("показать эту справку"), false, 0, 0, {}, {}, helpCommand},
    };
    return table;
}

// Refuses options the command does not know and too few or too many words,
// before any database is opened.
void checkArguments(const Command& command, const Arguments& args)
{
    for (const QString& flag : args.flags)
        if (!command.flags.contains(flag))
            throw Exception(QStringLiteral("Неизвестный параметр: ") + flag + QStringLiteral(": ") + command.usage());
    if (args.words.size() < command.minWords)
        throw Exception(command.missingWords + QStringLiteral(": ") + command.usage());
    if (command.maxWords >= 0 && args.words.size() > command.maxWords)
        throw Exception(QStringLiteral("Лишние аргументы: ") + command.usage());
    if (command.validate)
        command.validate(args);
}

} // namespace

QString UsageText()
{
    QList<OptionLine> commandLines;
    for (const Command& command : commands())
        commandLines.append({command.usage().mid(QStringLiteral("kvaren-cli ").size()), command.purpose});
    return QStringLiteral("Использование: kvaren-cli [ПАРАМЕТРЫ] КОМАНДА [АРГУМЕНТЫ]\nКоманды:\n")
        + OptionTableText(commandLines) + QStringLiteral("Параметры:\n") + OptionTableText({
        {QStringLiteral("--database ИМЯ"),
         QStringLiteral("база данных: файл или host:/путь/file.gdb на сервере Firebird "
                        "(по умолчанию KVAREN_DATABASE или file.gdb)")},
        {QStringLiteral("--wait СЕКУНДЫ"),
         QStringLiteral("ждать до стольких секунд базу данных, занятую другой программой")},
        {QStringLiteral("--key ФАЙЛ"),
         QStringLiteral("закрытый ключ, которым add, update и remove снова запечатывают запечатанную базу")},
        {QStringLiteral("--public-key ФАЙЛ"),
         QStringLiteral("открытый ключ для проверки печати (по умолчанию KVAREN_PUBLIC_KEY, "
                        "/etc/kvaren/seal.pub у root, ~/.config/kvaren/seal.pub)")},
        {QStringLiteral("--package-root ДИР"),
         QStringLiteral("дерево, чьи записи dpkg объясняют найденное (по умолчанию /; как у dpkg --root)")},
        {QStringLiteral("--help, -h"), QStringLiteral("показать эту справку")},
        {QStringLiteral("--version"), QStringLiteral("показать версию программы")},
        {QStringLiteral("--"), QStringLiteral("дальше только аргументы (для имен, начинающихся с -)")},
    }) + QStringLiteral("Параметры можно указывать и после команды.\n"
                        "Код возврата: 0 успех; у check сумма найденного: 1 новые, 2 удаленные, 4 измененные, "
                        "8 перемещенные файлы; 16 ошибка; 32 не все имена проверены (они названы в stderr); "
                        "64 печать базы данных не совпадает или не проверена; 129, 130, 143 остановлено сигналом HUP, INT, TERM.\n");
}

int RunCommand(const QStringList& arguments, Console& console)
{
    const ConsoleOptions options = ParseConsoleOptions(arguments);
    if (!options.packageRoot.isEmpty()) {
        RequireExistingDirectory(options.packageRoot);
        SetPackageRoot(options.packageRoot);
    }
    if (options.help)
        return helpCommand(nullptr, {}, console, options);
    if (options.version) {
        console.out << QStringLiteral("kvaren-cli " KVAREN_VERSION "\n");
        return kExitSuccess;
    }
    if (options.command.isEmpty())
        throw Exception(UsageText().trimmed());
    const auto command = std::find_if(commands().begin(), commands().end(),
                                      [&](const Command& c) { return c.name == options.command; });
    if (command == commands().end())
        throw Exception(QStringLiteral("Неизвестная команда: ") + options.command
                        + QStringLiteral(" (справка: kvaren-cli --help)"));
    const Arguments args{options.words, options.commandFlags};
    checkArguments(*command, args);
    if (!command->needsDatabase)
        return command->run(nullptr, args, console, options).status;
    return runOnDatabase(*command, args, console, options);
}

namespace {

int runOnDatabase(const Command& command, const Arguments& args, Console& console, const ConsoleOptions& options)
{
    PrepareEmbeddedEngine(command.access == CommandAccess::Writes ? EngineUse::Writing : EngineUse::Reading);
    TDM1 dm;
    const auto sayWaiting = [&] {
        if (console.errIsTerminal) {
            console.err << QStringLiteral("Ожидание базы данных, занятой другой программой (до %1 с)…").arg(options.waitSeconds) << '\n';
            console.err.flush();
        }
    };
    const QString notice = ConnectDM1Waiting(dm, options.database, options.waitSeconds, sayWaiting);
    if (!notice.isEmpty()) {
        console.err << notice << '\n';
        console.err.flush();
    }
    dm.IBTransaction1.setWriteWait(options.waitSeconds, sayWaiting);
    return CommitAtEnd(dm, [&] {
        // Signals stop the command from here on; a stopped or failed command
        // is undone, and what is committed after it is what came before it.
        CommandStop::Running stoppable;
        return UndoIfFailed(dm, [&] {
            int status = kExitSuccess;
            if (command.sealedChange) {
                const auto key = [&] {
                    if (options.keyFile.isEmpty())
                        throw Exception(QStringLiteral("База данных запечатана: изменять ее можно только с закрытым "
                                                       "ключом (--key ФАЙЛ)"));
                    return privateKey(options.keyFile);
                };
                const auto writes = [&] {
                    return command.writes ? command.writes(dm.IBQuery1, args) : QSet<qint32>();
                };
                RunChange(
                    dm, key, writes,
                    [&] {
                        const CommandOutcome outcome = command.run(&dm, args, console, options);
                        status = outcome.status;
                        return outcome.written;
                    },
                    command.namedFiles && command.namedFiles(args) ? ChangeReach::NamedFiles
                                                                   : ChangeReach::Registrations);
            } else {
                status = command.run(&dm, args, console, options).status;
            }
            StopIfAsked(); // a stop asked as the command ended still undoes it
            return status;
        }, command.access);
    });
}

} // namespace
