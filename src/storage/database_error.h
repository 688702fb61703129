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
