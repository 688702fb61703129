#include "storage/database_file.h"

#include "common/exception.h"
#include "common/program_signals.h"
#include "storage/database_error.h"
#include "storage/statement_handle.h"
#include "storage/database_name.h"
#include "storage/firebird_login.h"
#include "storage/ib_database.h"
#include "storage/ib_transaction.h"
#include "storage/schema.h"
#include "storage/shared_engine.h"

#include <QCoreApplication>
#include <QFile>
#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

#include <cerrno>
#include <cstring>
#include <cstdio>
#include <csignal>
#include <limits>
#include <fcntl.h>
#include <ibase.h>
#include <unistd.h>

static QString firebirdStatusText(const ISC_STATUS* status)
{
    return StatusVectorError(QString(), status).databaseText();
}

// The DPB of an attachment with the login, and tail after it.
static QByteArray loginDpb(const QByteArray& tail = QByteArray())
{
    const FirebirdLogin login = LoginFromEnvironment();
    QByteArray dpb;
    dpb.append(char(isc_dpb_version1));
    auto add = [&](char tag, const QByteArray& value) {
        dpb.append(tag);
        dpb.append(char(value.size()));
        dpb.append(value);
    };
    add(char(isc_dpb_user_name), login.user.toLocal8Bit());
    add(char(isc_dpb_password), login.password.toLocal8Bit());
    return dpb + tail;
}

static QByteArray quotedLiteral(const QByteArray& text)
{
    return '\'' + QByteArray(text).replace('\'', "''") + '\'';
}

// Whether a database answers at name. A server tells why it could not create
// a file only in words, so after such an I/O error it is asked instead.
static bool databaseAnswers(const QString& name)
{
    const QByteArray dpb = loginDpb();
    const QByteArray encoded = QFile::encodeName(name);
    ISC_STATUS_ARRAY status{};
    isc_db_handle db = 0;
    if (isc_attach_database(status, 0, encoded.constData(), &db, short(dpb.size()), dpb.constData()))
        return false;
    isc_detach_database(status, &db);
    return true;
}

// The engine itself creates the file: the page size and default character set
// can only be given to CREATE DATABASE, which needs no connection.
static void createEmptyDatabase(const QString& path)
{
    const FirebirdLogin login = LoginFromEnvironment();
    QByteArray sql = "CREATE DATABASE " + quotedLiteral(QFile::encodeName(path)) + " USER "
        + quotedLiteral(login.user.toLocal8Bit()) + " PASSWORD " + quotedLiteral(login.password.toLocal8Bit())
        + " PAGE_SIZE 16384 DEFAULT CHARACTER SET UTF8";
    ISC_STATUS_ARRAY status{};
    isc_db_handle db = 0;
    isc_tr_handle tr = 0;
    if (isc_dsql_execute_immediate(status, &db, &tr, 0, sql.constData(), 3, nullptr)) {
        if (IsServerDatabaseName(path) && status[1] == isc_io_error && databaseAnswers(path))
            throw Exception(QStringLiteral("База данных уже существует: ") + path + u'\n'
                            + firebirdStatusText(status));
        throw EDatabaseError(QStringLiteral("Не удалось создать базу данных ") + path + QStringLiteral(": ")
                             + firebirdStatusText(status));
    }
    isc_detach_database(status, &db);
}

// The page cache every connection to a database on a server gets, kept in its
// header: with the engine's default of 2048 pages, a transaction that records
// 100,000 files spills pages to disk before it commits. (A local database's
// header names none: the engine's configuration sizes its cache for what a
// process does, see shared_engine.h.)
static void setPageBuffers(const QString& path, quint32 pages)
{
    QByteArray setting;
    setting.append(char(isc_dpb_set_page_buffers));
    setting.append(char(4));
    setting.append(reinterpret_cast<const char*>(&pages), 4);
    const QByteArray dpb = loginDpb(setting);
    const QByteArray name = QFile::encodeName(path);
    ISC_STATUS_ARRAY status{};
    isc_db_handle db = 0;
    if (isc_attach_database(status, 0, name.constData(), &db, short(dpb.size()), dpb.constData()))
        throw EDatabaseError(QStringLiteral("Не удалось настроить базу данных ") + path + QStringLiteral(": ")
                             + firebirdStatusText(status));
    isc_detach_database(status, &db);
}

// Removes a database that was made but not finished; what made it failed, and
// that error is the one to show, so a failure here is let be.
static void dropDatabase(const QString& name)
{
    const QByteArray dpb = loginDpb();
    const QByteArray encoded = QFile::encodeName(name);
    ISC_STATUS_ARRAY status{};
    isc_db_handle db = 0;
    if (isc_attach_database(status, 0, encoded.constData(), &db, short(dpb.size()), dpb.constData()) == 0)
        isc_drop_database(status, &db);
}

static void applySchema(const QString& path)
{
    TIBDatabase database(QStringLiteral("schema-") + QString::number(getpid()), LoginFromEnvironment());
    database.setDatabaseName(path);
    database.open();
    TIBTransaction transaction(database);
    transaction.startTransaction();
    {
        QSqlQuery query(database.handle());
        for (const QString& statement : SchemaStatements())
            if (!query.exec(statement))
                throw EDatabaseError::fromSql(query.lastError(), database.shownName());
    }
    transaction.commit();
}

static QString alreadyExists(const QString& path)
{
    return QStringLiteral("Файл базы данных уже существует: ") + QFileInfo(path).absoluteFilePath();
}

// A server makes the file where only it can look, so there is no temporary
// name to build under: the database gets its name at once and is dropped again
// when a later step fails.
static void createOnServer(const QString& name)
{
    createEmptyDatabase(name);
    try {
        setPageBuffers(name, 8192);
        applySchema(name);
    } catch (...) {
        dropDatabase(name);
        throw;
    }
}

// Says in the user's words why no file can be made in the folder of path,
// before the engine tries and answers in its own.
static void requireWritableFolder(const QString& path)
{
    const QString folder = QFileInfo(path).absolutePath();
    const QFileInfo info(folder);
    const QString failed = QStringLiteral("Не удалось создать базу данных ") + path + QStringLiteral(": ");
    if (!info.exists())
        throw Exception(failed + QStringLiteral("папка %1 не существует").arg(folder));
    if (!info.isDir())
        throw Exception(failed + QStringLiteral("%1 не папка, а файл").arg(folder));
    const QByteArray encoded = QFile::encodeName(folder);
    if (access(encoded.constData(), W_OK | X_OK) == 0)
        return;
    QString why;
    switch (errno) {
    case EACCES:
    case EPERM:
        why = QStringLiteral("нет права записи в папку %1");
        break;
    case EROFS:
        why = QStringLiteral("папка %1 на диске только для чтения");
        break;
    default:
        why = QStringLiteral("папка %1 недоступна (") + QString::fromLocal8Bit(strerror(errno)) + u')';
    }
    throw Exception(failed + why.arg(folder));
}

// Removes the files that an init of path killed before it finished left
// behind (path.new-PID, of a process that is gone), where they are this
// user's own.
static void removeAbandonedBuilds(const QString& path)
{
    const QFileInfo target(path);
    const QString prefix = target.fileName() + QStringLiteral(".new-");
    const QDir folder = target.absoluteDir();
    for (const QString& name : folder.entryList({prefix + u'*'}, QDir::Files | QDir::Hidden | QDir::System)) {
        bool isNumber = false;
        const qint64 pid = name.mid(prefix.size()).toLongLong(&isNumber);
        if (!isNumber || pid <= 0 || pid > std::numeric_limits<pid_t>::max())
            continue;
        if (kill(pid_t(pid), 0) == 0 || errno != ESRCH)
            continue; // its init may still be running
        const QFileInfo left(folder.filePath(name));
        if (left.ownerId() == getuid())
            QFile::remove(left.filePath());
    }
}

void CreateDatabaseFile(const QString& path)
{
    EngineSection creating;
    if (IsServerDatabaseName(path)) {
        PrepareEmbeddedEngine();
        createOnServer(path);
        return;
    }
    if (QFileInfo::exists(path) || QFileInfo(path).isSymLink())
        throw Exception(alreadyExists(path));
    PrepareEmbeddedEngine();

    requireWritableFolder(path);
    removeAbandonedBuilds(path);

    const QString building = path + QStringLiteral(".new-") + QString::number(getpid());
    QFile::remove(building);
    try {
        createEmptyDatabase(building);
        applySchema(building);
    } catch (const Exception& error) {
        QFile::remove(building);
        // The file the user named is the one that could not be made; the
        // engine's own words follow on the next line.
        QString reason = error.message();
        reason.replace(building, path);
        const QString heading = QStringLiteral("Не удалось создать базу данных ") + path;
        if (reason.startsWith(heading + QStringLiteral(": ")))
            reason = reason.mid(heading.size() + 2);
        throw EDatabaseError(heading + u'\n' + reason);
    } catch (...) {
        QFile::remove(building);
        throw;
    }
    // Give the finished file its name unless one appeared meanwhile.
    const QByteArray from = QFile::encodeName(building), to = QFile::encodeName(path);
    int renamed = renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE);
    if (renamed != 0 && errno == EINVAL) // a file system without the flag: a hard link never replaces either
        renamed = link(from.constData(), to.constData());
    if (renamed != 0) {
        const int error = errno;
        QFile::remove(building);
        if (error == EEXIST)
            throw Exception(alreadyExists(path));
        throw Exception(QStringLiteral("Не удалось создать файл базы данных ") + path + QStringLiteral(": ")
                        + QString::fromLocal8Bit(strerror(error)));
    }
    QFile::remove(building); // still there after the hard link
}
