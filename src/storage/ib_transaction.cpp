#include "storage/ib_transaction.h"

#include "storage/database_error.h"
#include "storage/ib_database.h"
#include "storage/ib_query.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>

void TIBTransaction::startTransaction()
{
    if (m_active)
        throw EDatabaseError(QStringLiteral("Транзакция уже начата"));
    QSqlDatabase db = m_database.handle();
    if (!db.isOpen())
        throw EDatabaseError(QStringLiteral("Нет соединения с базой данных"));
    if (!db.transaction())
        throw EDatabaseError::fromSql(db.lastError());
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
        throw EDatabaseError::fromSql(query.lastError());
}

void TIBTransaction::end(bool keep)
{
    if (!m_active)
        throw EDatabaseError(QStringLiteral("Транзакция не начата"));
    // Prepared statements belong to the transaction they were prepared in, so
    // the queries give them up along with their results.
    for (TIBQuery* query : m_queries)
        query->releaseStatements();
    QSqlDatabase db = m_database.handle();
    if (keep) {
        if (!db.commit())
            throw EDatabaseError::fromSql(db.lastError());
        m_active = false;
        return;
    }
    m_active = false; // a rollback ends it whatever the engine answers
    if (!db.rollback())
        throw EDatabaseError::fromSql(db.lastError());
}

void TIBTransaction::detach(TIBQuery* query)
{
    m_queries.erase(std::remove(m_queries.begin(), m_queries.end(), query), m_queries.end());
}
