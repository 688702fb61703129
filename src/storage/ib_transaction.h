#pragma once

#include <vector>

class TIBDatabase;
class TIBQuery;

// The one transaction of the program. It is started once after connecting and
// only ever committed, never rolled back. A commit closes every query that works
// in it, as their results end with the transaction.
class TIBTransaction {
public:
    explicit TIBTransaction(TIBDatabase& database) : m_database(database) {}

    void startTransaction();
    void commit();
    bool active() const { return m_active; }

    // Called by the queries that work in this transaction.
    void attach(TIBQuery* query) { m_queries.push_back(query); }
    void detach(TIBQuery* query);

private:
    TIBDatabase& m_database;
    std::vector<TIBQuery*> m_queries;
    bool m_active = false;
};
