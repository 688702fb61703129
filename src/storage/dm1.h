#pragma once

#include "storage/ib_database.h"
#include "storage/ib_query.h"
#include "storage/ib_transaction.h"

#include <QSet>

// The storage object: the one connection, the one transaction and the two
// query objects. Every statement of the program runs through IBQuery1; the
// second query object, IBQuery2, is the design's, and runs the lookups of the
// tests' reference check. Created not connected; the program sets the database
// name, connects and starts the transaction.
class TDM1 {
public:
    TDM1();
    ~TDM1();

    TIBDatabase IBDatabase1;
    TIBTransaction IBTransaction1;
    TIBQuery IBQuery1;
    TIBQuery IBQuery2;

    // The registrations whose rows the running change wrote (see
    // ScanToBaseline), for a seal to sign again; the others keep theirs.

    // The transaction's default action when the program ends while it is still
    // active: commit. Raises when the commit fails.
    void finish();
};

// The database file every front end works on, in the working directory.
inline const QString kDatabaseFileName = QStringLiteral("file.gdb");
