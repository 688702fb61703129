#pragma once

#include "common/exception.h"

class QSqlError;

// An error of the database layer: a failed connection, a rejected statement,
// a lost connection. Its text is the database's own.
class EDatabaseError : public Exception {
public:
    using Exception::Exception;
    static EDatabaseError fromSql(const QSqlError& error);
};

// The database is held by another program: the embedded engine opens a
// database file for one process at a time.
class EDatabaseBusy : public EDatabaseError {
public:
    using EDatabaseError::EDatabaseError;
};

// Raises the error of a connection that failed: EDatabaseBusy when another
// program holds the database, else EDatabaseError with a first line naming the
// database, then the engine's own text.
[[noreturn]] void ThrowConnectionError(const QString& shownName, const QSqlError& error);
