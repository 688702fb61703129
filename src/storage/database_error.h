#pragma once

#include "common/exception.h"

class QSqlError;

// An error of the database layer: a failed connection, a rejected statement,
// a lost connection. Its text is the database's own.
class EDatabaseError : public Exception {
public:
    using Exception::Exception;
    // The error of a statement or transaction of the database shownName (see
    // TIBDatabase::shownName): the engine's text, but for damage of the file
    // (see DamagedDatabaseText) and refused access, said in the user's words.
    static EDatabaseError fromSql(const QSqlError& error, const QString& shownName);
};

// The database is held by another program: the embedded engine opens a
// database file for one process at a time.
class EDatabaseBusy : public EDatabaseError {
public:
    using EDatabaseError::EDatabaseError;
};

// Raises the error of a connection that failed: EDatabaseBusy when another
// program holds the database, the line of DamagedDatabaseText when its file
// is damaged, one line when the engine could open the file only for reading
// (it opens even a reader's for writing), else EDatabaseError with a first
// line naming the database, then the engine's own text.
[[noreturn]] void ThrowConnectionError(const QString& shownName, const QSqlError& error);

// The one line that answers the engine finding the database's pages not as
// it wrote them: the file, and the commands that check and mend it.
QString DamagedDatabaseText(const QString& shownName);
