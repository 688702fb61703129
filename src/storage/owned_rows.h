#pragma once

#include <QString>
#include <vector>

class TIBQuery;

// The table1 rows at a directory or below it (see AppendDirectoryRows), each
// with the registration that owns it: the tab id its fingerprint holds, 0 for
// none (written before rows had owners).
//
// A registration acts on the rows it owns. One that owns none (its rows were
// written before rows had owners, until its next add or update) acts, as it
// always has, on every row of its directory that no registration owns.
struct OwnedRows {
    std::vector<qint32> ids;    // ascending
    std::vector<qint32> owners; // the owner of each row, 0 for none

    bool owns(qint32 registration) const;
    // The rows registration acts on, ascending.
    std::vector<qint32> of(qint32 registration) const;
};

OwnedRows ReadOwnedRows(TIBQuery& query, const QString& dir);
