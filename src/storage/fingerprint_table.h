#pragma once

class TIBDatabase;
class TIBQuery;

// Whether the database keeps fingerprints (the table "fingerprint"): made by
// this version, or written to by it once. Runs one statement on query.
bool HasFingerprintTable(TIBQuery& query);

// Makes the fingerprint table, empty, in a database made before it: on
// database's connection, right after connecting and before its transaction
// starts, each statement committed at once. A transaction sees no table made
// after it began, and the window keeps its one transaction open all day, so
// the table cannot wait for the first add. A table made before its rows had
// owners gets the column tab_id. Nothing when the table is complete.
// Raises EDatabaseError when the engine refuses.
void EnsureFingerprintTable(TIBDatabase& database);
