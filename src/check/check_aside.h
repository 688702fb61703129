#pragma once

#include "check/check_rows.h"
#include "storage/statement.h"

#include <QString>

#include <functional>
#include <future>
#include <optional>

// The database work of a check that can be done on a connection and a thread
// of its own while the check's connection records the walk:
//
// 1. Sweeping table2. The engine removes the row versions that the last check
//    deleted when a later statement comes upon them; left alone, the check's
//    own first statement on table2 would pay for all of them. Reading the
//    table through once (a count) is enough and changes nothing a transaction
//    can see: rows it cannot clear away (deleted by a transaction still open)
//    stay for the check to meet, as without the sweep.
// 2. Reading the baseline, when given the reader of it: only right when
//    the check's own transaction has changed nothing yet, since this
//    connection sees only what is committed. First, before the sweep, it then
//    drops the indexes that databases of earlier versions keep on the file
//    tables (see FileTableIndexes): a transaction that has changed nothing
//    holds no lock on them, and another program using them makes the drop
//    give up at once, to be tried again by the next check.
//
// Nothing depends on this work being done here: a failure leaves it to the
// check's own connection (sweepDone() still returns, baseline() gives
// nothing), which then meets the same rows and the same errors.
class CheckAside {
public:
    using ReadBaseline = std::function<QList<CheckRow>(TIBQuery& query)>;

    // Starts at once on the database databaseName; readBaseline, when given,
    // reads the baseline there.
    CheckAside(const QString& databaseName, ReadBaseline readBaseline);
    // Waits for the work to end.
    ~CheckAside();
    CheckAside(const CheckAside&) = delete;
    CheckAside& operator=(const CheckAside&) = delete;

    // Waits until the sweep has ended.
    void waitForSweep();
    // Waits for the baseline rows: in the order the database returned them,
    // or nothing when none was asked for or reading them failed.
    std::optional<QList<CheckRow>> baseline();

private:
    std::promise<void> m_swept;
    std::future<void> m_sweptFuture = m_swept.get_future();
    std::future<std::optional<QList<CheckRow>>> m_baseline;
};
