#include "storage/ib_database.h"

#include "storage/bounded_detach.h"
#include "storage/database_error.h"
#include "storage/database_file_locks.h"
#include "storage/database_name.h"

#include "common/program_signals.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The first directory on the way to path that this user may not enter.
QString closedDirectory(const QString& path)
{
    const QString absolute = QFileInfo(path).absolutePath();
    QString dir = QStringLiteral("/");
    for (const QString& part : absolute.split(u'/', Qt::SkipEmptyParts)) {
        dir = QDir(dir).filePath(part);
        if (access(QFile::encodeName(dir).constData(), X_OK) != 0)
            return dir;
    }
    return absolute;
}

// Says in the user's words why a local database file cannot be opened, before
// the engine says it in its own: it is missing, behind a directory this user
// may not enter, or not to be read.
void requireOpenable(const QString& path, const QString& shownName)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    if (stat(name.constData(), &info) != 0) {
        if (errno == EACCES)
            throw EDatabaseError(QStringLiteral("Нет доступа к базе данных %1: нет права входить в директорию %2")
                                     .arg(shownName, closedDirectory(path)));
        throw EDatabaseError(QStringLiteral("Файл базы данных не найден: ") + shownName);
    }
    if (access(name.constData(), R_OK) != 0 && errno == EACCES)
        throw EDatabaseError(QStringLiteral("Нет доступа к базе данных %1: нет права на чтение файла").arg(shownName));
}

} // namespace

TIBDatabase::TIBDatabase(QString connectionName, FirebirdLogin login)
    : m_connectionName(std::move(connectionName)), m_login(std::move(login))
{
}

TIBDatabase::~TIBDatabase()
{
    EngineSection detaching;
    bool closed = true;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        if (db.isValid() && db.isOpen()) {
            if (m_fileLocks)
                m_fileLocks->beginAttaching();
            closed = CloseWithinLimit(db);
        }
    }
    m_fileLocks.reset();
    // A detach left running still uses the connection.
    if (closed && QSqlDatabase::contains(m_connectionName))
        QSqlDatabase::removeDatabase(m_connectionName);
}

void TIBDatabase::open()
{
    if (connected())
        return;
    const bool local = !IsServerDatabaseName(m_databaseName);
    const QString shownName = this->shownName();
    if (local)
        requireOpenable(m_databaseName, shownName);
    // Before the engine opens the file: it lets in programs it cannot keep
    // apart.
    if (local)
        m_fileLocks = std::make_unique<DatabaseFileLocks>(m_databaseName, shownName);

    QSqlDatabase db = QSqlDatabase::contains(m_connectionName)
        ? QSqlDatabase::database(m_connectionName, false)
        : QSqlDatabase::addDatabase(QStringLiteral("QIBASE"), m_connectionName);
    if (!db.isValid())
        throw EDatabaseError(QStringLiteral("Не найден драйвер базы данных QIBASE"));
    db.setDatabaseName(m_databaseName);
    // Without surrounding blanks, as a connection has always been given them
    // (CREATE DATABASE is given them as they are).
    db.setUserName(m_login.user.trimmed());
    db.setPassword(m_login.password.trimmed());
    db.setConnectOptions(QStringLiteral("ISC_DPB_LC_CTYPE=UTF8"));
    const bool opened = [&] {
        EngineSection attaching;
        if (m_fileLocks)
            m_fileLocks->beginAttaching();
        const bool done = db.open();
        if (m_fileLocks)
            m_fileLocks->endAttaching();
        return done;
    }();
    ReclaimProgramSignals();
    if (!opened) {
        m_fileLocks.reset();
        ThrowConnectionError(shownName, db.lastError());
    }
}

QString TIBDatabase::shownName() const
{
    return IsServerDatabaseName(m_databaseName) ? m_databaseName : QFileInfo(m_databaseName).absoluteFilePath();
}

bool TIBDatabase::connected() const
{
    return QSqlDatabase::contains(m_connectionName) && QSqlDatabase::database(m_connectionName, false).isOpen();
}

QSqlDatabase TIBDatabase::handle() const
{
    return QSqlDatabase::database(m_connectionName, false);
}
