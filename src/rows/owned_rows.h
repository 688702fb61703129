#pragma once

#include <QString>
#include <vector>

class TIBQuery;

// A registration acts on the table1 rows it owns: those whose fingerprint
// holds its tab id. One that owns none (its rows were written before rows had
// owners, until its next add or update) acts, as it always has, on every row
// at its directory or below it (see AppendDirectoryRows) that no registration
// owns.

// Whether the registration owns any row.
bool OwnsRows(TIBQuery& query, qint32 registration);

// The ids of the rows the registration of dir acts on, ascending.
std::vector<qint32> RegistrationRows(TIBQuery& query, qint32 registration, const QString& dir);
