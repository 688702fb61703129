#pragma once

class TIBDatabase;
class TIBQuery;

// Whether the database keeps fingerprints (the table "fingerprint"): made by
// this version, or written to by it once. Runs one statement on query.
bool HasFingerprintTable(TIBQuery& query);

// Makes the fingerprint table in a database made before it, in a transaction
// of its own on database's connection, committed at once: the engine lets no
// transaction use a table that it created itself. Nothing when it is there.
// Raises EDatabaseError when the engine refuses.
void EnsureFingerprintTable(TIBDatabase& database, TIBQuery& query);
