#include "storage/ib_transaction.h"

#include "common/command_stop.h"
#include "common/program_signals.h"
#include "storage/database_error.h"
#include "storage/database_file_locks.h"
#include "storage/ib_database.h"
#include "storage/ib_query.h"

#include <QDeadlineTimer>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <algorithm>

void TIBTransaction::startTransaction()
{
    if (m_active)
        throw EDatabaseError(QStringLiteral("Транзакция уже начата"));
    QSqlDatabase db = m_database.handle();
    if (!db.isOpen())
        throw EDatabaseError(QStringLiteral("Нет соединения с базой данных"));
    if (!db.transaction())
        throw EDatabaseError::fromSql(db.lastError(), m_database.shownName());
    m_active = true;
    m_changedData = false;
    ++m_generation;
}

void TIBTransaction::executeControl(const QString& sql)
{
    if (!m_active)
        throw EDatabaseError(QStringLiteral("Транзакция не начата"));
    QSqlQuery query(m_database.handle());
    if (!query.exec(sql))
        throw EDatabaseError::fromSql(query.lastError(), m_database.shownName());
}

void TIBTransaction::end(bool keep, bool keepWriting)
{
    if (!m_active)
        throw EDatabaseError(QStringLiteral("Транзакция не начата"));
    // Prepared statements belong to the transaction they were prepared in, so
    // the queries give them up along with their results.
    for (TIBQuery* query : m_queries)
        query->releaseStatements();
    QSqlDatabase db = m_database.handle();
    EngineSection ending;
    const auto releaseWriting = [&] {
        DatabaseFileLocks* locks = m_database.fileLocks();
        if (locks && !keepWriting)
            locks->unlockWriting();
    };
    if (keep) {
        if (!db.commit())
            throw EDatabaseError::fromSql(db.lastError(), m_database.shownName());
        m_active = false;
        releaseWriting();
        return;
    }
    m_active = false; // a rollback ends it whatever the engine answers
    const bool rolledBack = db.rollback();
    releaseWriting();
    if (!rolledBack)
        throw EDatabaseError::fromSql(db.lastError(), m_database.shownName());
}

// Commits what nothing has changed yet and starts afresh, keeping the write
// lock if held.
void TIBTransaction::restart()
{
    end(true, true);
    startTransaction();
}

void TIBTransaction::setWriteWait(int seconds, std::function<void()> onWaiting)
{
    m_writeWaitSeconds = seconds;
    m_onWriteWaiting = std::move(onWaiting);
}

bool TIBTransaction::tryBeginWriting()
{
    if (!m_active)
        throw EDatabaseError(QStringLiteral("Транзакция не начата"));
    DatabaseFileLocks* locks = m_database.fileLocks();
    if (!locks || locks->writing())
        return true;
    if (!locks->tryLockWriting())
        return false;
    if (!m_changedData)
        restart();
    return true;
}

void TIBTransaction::beginWriting()
{
    const QDeadlineTimer deadline{std::chrono::seconds(m_writeWaitSeconds)};
    bool waited = false;
    while (!tryBeginWriting()) {
        if (deadline.hasExpired())
            throw EDatabaseBusy(QStringLiteral("База данных занята другой программой: ") + m_database.shownName());
        if (!waited && m_onWriteWaiting)
            m_onWriteWaiting();
        waited = true;
        StopIfAsked();
        QThread::msleep(std::min<qint64>(100, std::max<qint64>(1, deadline.remainingTime())));
    }
}

void TIBTransaction::seeCommitted()
{
    if (m_active && !m_changedData)
        restart();
}

void TIBTransaction::detach(TIBQuery* query)
{
    m_queries.erase(std::remove(m_queries.begin(), m_queries.end(), query), m_queries.end());
}
