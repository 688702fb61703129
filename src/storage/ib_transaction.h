#pragma once

#include <QString>
#include <vector>

class TIBDatabase;
class TIBQuery;

// The one transaction of the program. It is started once after connecting and
// committed; a command that is stopped or fails is undone, back to the
// savepoint set when it began, and only where that cannot be done is the whole
// transaction rolled back. A commit closes every query that works in it, as their
// results end with the transaction.
class TIBTransaction {
public:
    explicit TIBTransaction(TIBDatabase& database) : m_database(database) {}

    void startTransaction();
    void commit() { end(true); }
    void rollback() { end(false); }
    bool active() const { return m_active; }
    // Counts the transactions started, so a savepoint can tell whether the
    // transaction it was set in is still the open one.
    int generation() const { return m_generation; }

    // Whether a statement that changes data (any but a select or a savepoint's)
    // has run since the transaction started: until then, another connection
    // sees the same rows as this transaction does.
    bool changedData() const { return m_changedData; }
    // Called by the queries for every statement that changes data.
    void noteDataChanged() { m_changedData = true; }

    // Runs a statement that has no result and no parameters, such as a
    // savepoint's, in the open transaction.
    void executeControl(const QString& sql);

    // Called by the queries that work in this transaction.
    void attach(TIBQuery* query) { m_queries.push_back(query); }
    void detach(TIBQuery* query);

private:
    void end(bool keep);

    TIBDatabase& m_database;
    std::vector<TIBQuery*> m_queries;
    bool m_active = false;
    bool m_changedData = false;
    int m_generation = 0;
};
