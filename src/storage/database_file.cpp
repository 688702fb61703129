#include "storage/database_file.h"

#include "common/exception.h"
#include "storage/database_error.h"
#include "storage/firebird_lock.h"
#include "storage/ib_database.h"
#include "storage/ib_transaction.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

#include <cerrno>
#include <cstring>
#include <cstdio>
#include <fcntl.h>
#include <ibase.h>
#include <unistd.h>

static QString firebirdStatusText(const ISC_STATUS* status)
{
    QString text;
    char buffer[1024];
    const ISC_STATUS* cursor = status;
    while (fb_interpret(buffer, sizeof buffer, &cursor) > 0) {
        if (!text.isEmpty())
            text += u' ';
        text += QString::fromLocal8Bit(buffer);
    }
    return text;
}

// The engine itself creates the file: the page size and default character set
// can only be given to CREATE DATABASE, which needs no connection.
static void createEmptyDatabase(const QString& path)
{
    QByteArray quoted = QFile::encodeName(path).replace('\'', "''");
    QByteArray sql = "CREATE DATABASE '" + quoted
        + "' USER 'sysdba' PASSWORD 'qorvintex' PAGE_SIZE 16384 DEFAULT CHARACTER SET UTF8";
    ISC_STATUS_ARRAY status{};
    isc_db_handle db = 0;
    isc_tr_handle tr = 0;
    if (isc_dsql_execute_immediate(status, &db, &tr, 0, sql.constData(), 3, nullptr))
        throw EDatabaseError(QStringLiteral("Не удалось создать базу данных ") + path + QStringLiteral(": ")
                             + firebirdStatusText(status));
    isc_detach_database(status, &db);
}

// The page cache every connection to the file gets, kept in its header: with
// the engine's default of 2048 pages, a transaction that records 100,000 files
// spills pages to disk before it commits.
static void setPageBuffers(const QString& path, quint32 pages)
{
    QByteArray dpb;
    dpb.append(char(isc_dpb_version1));
    auto add = [&](char tag, const QByteArray& value) {
        dpb.append(tag);
        dpb.append(char(value.size()));
        dpb.append(value);
    };
    add(char(isc_dpb_user_name), "sysdba");
    add(char(isc_dpb_password), "qorvintex");
    add(char(isc_dpb_set_page_buffers), QByteArray(reinterpret_cast<const char*>(&pages), 4));
    const QByteArray name = QFile::encodeName(path);
    ISC_STATUS_ARRAY status{};
    isc_db_handle db = 0;
    if (isc_attach_database(status, 0, name.constData(), &db, short(dpb.size()), dpb.constData()))
        throw EDatabaseError(QStringLiteral("Не удалось настроить базу данных ") + path + QStringLiteral(": ")
                             + firebirdStatusText(status));
    isc_detach_database(status, &db);
}

QStringList SchemaStatements()
{
    Q_INIT_RESOURCE(storage);
    QFile file(QStringLiteral(":/storage/schema.sql"));
    if (!file.open(QIODevice::ReadOnly))
        throw Exception(QStringLiteral("Схема базы данных не найдена"));
    QStringList statements;
    QString current;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(u'\n')) {
        if (line.trimmed().startsWith(u"--"))
            continue;
        current += line + u'\n';
        if (line.trimmed().endsWith(u';')) {
            statements.append(current.trimmed().chopped(1));
            current.clear();
        }
    }
    if (!current.trimmed().isEmpty())
        statements.append(current.trimmed());
    return statements;
}

static void applySchema(const QString& path)
{
    TIBDatabase database(QStringLiteral("schema-") + QString::number(getpid()));
    database.Params = {QStringLiteral("user_name=sysdba"), QStringLiteral("password=qorvintex"),
                       QStringLiteral("lc_ctype=UTF8")};
    database.setDatabaseName(path);
    database.open();
    TIBTransaction transaction(database);
    transaction.startTransaction();
    {
        QSqlQuery query(database.handle());
        for (const QString& statement : SchemaStatements())
            if (!query.exec(statement))
                throw EDatabaseError::fromSql(query.lastError());
    }
    transaction.commit();
}

static QString alreadyExists(const QString& path)
{
    return QStringLiteral("Файл базы данных уже существует: ") + QFileInfo(path).absoluteFilePath();
}

void CreateDatabaseFile(const QString& path)
{
    if (QFileInfo::exists(path) || QFileInfo(path).isSymLink())
        throw Exception(alreadyExists(path));
    EnsureFirebirdLockDirectory();

    const QString building = path + QStringLiteral(".new-") + QString::number(getpid());
    QFile::remove(building);
    try {
        createEmptyDatabase(building);
        setPageBuffers(building, 8192);
        applySchema(building);
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
