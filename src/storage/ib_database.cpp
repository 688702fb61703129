#include "storage/ib_database.h"

#include "storage/bounded_detach.h"
#include "storage/database_error.h"
#include "storage/database_file_locks.h"
#include "storage/database_name.h"

#include "common/program_signals.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>

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
    if (local && !QFileInfo::exists(m_databaseName))
        throw EDatabaseError(QStringLiteral("Файл базы данных не найден: ") + shownName);
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
