#pragma once

#include <QString>
#include <functional>
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

    // Several programs may have the database open; one at a time may change
    // it. beginWriting() takes the database's write lock for the rest of this
    // transaction (a commit lets it go), waiting for it as long as
    // setWriteWait() allows, else raising EDatabaseBusy. A transaction that
    // has changed nothing yet then starts afresh, so that it reads what the
    // writers before it committed (the largest id above all); one that has,
    // already held the lock while it did. A database on a server needs no
    // lock: the server arbitrates.
    void setWriteWait(int seconds, std::function<void()> onWaiting);
    void beginWriting();
    // beginWriting() without waiting: false when another program writes.
    bool tryBeginWriting();
    // Starts afresh when nothing has changed yet, to read what other programs
    // have committed since the transaction began (the window's transaction
    // lives for hours).
    void seeCommitted();

    // Runs a statement that has no result and no parameters, such as a
    // savepoint's, in the open transaction.
    void executeControl(const QString& sql);

    // Called by the queries that work in this transaction.
    void attach(TIBQuery* query) { m_queries.push_back(query); }
    void detach(TIBQuery* query);

private:
    void end(bool keep, bool keepWriting = false);
    void restart();

    TIBDatabase& m_database;
    int m_writeWaitSeconds = 0;
    std::function<void()> m_onWriteWaiting;
    std::vector<TIBQuery*> m_queries;
    bool m_active = false;
    bool m_changedData = false;
    int m_generation = 0;
};
