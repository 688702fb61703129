#pragma once

#include "bits/sha256_accumulator.h"
#include "rows/registration.h"

#include <QByteArray>
#include <QList>
#include <optional>

class TIBQuery;

// What a seal signs of a registration: the SHA-256 of a canonical, versioned
// encoding of its tab row and of every row it acts on (see RegistrationRows),
// each with every column as stored (table1's, the fingerprint's with its
// owner, and its directory rows), in the order of their ids and paths. Any
// row added, removed, changed or given to another registration behind the
// program's back changes it.
Sha256Digest RegistrationDigest(TIBQuery& query, const Registration& registration);

// One row of the seal table: a registration's digest and the signature over
// it; without a registration, the signature over the list of registrations
// with their digests.
struct SealRow {
    std::optional<qint32> registration;
    QByteArray digest;    // hex; empty for the list's row
    QByteArray signature; // hex
};

// What a registration's signature signs: its id and its digest (hex).
QByteArray RegistrationSealMessage(qint32 id, const QByteArray& digest);

// What the list's signature signs: every registration, its directory, its
// types and its digest from rows, in the order of their ids.
QByteArray ListSealMessage(QList<Registration> registrations, const QList<SealRow>& rows);

// Whether the database is sealed: the seal table holds any row.
bool IsSealed(TIBQuery& query);

// Every row of the seal table.
QList<SealRow> ReadSealRows(TIBQuery& query);

// Replaces the seal table's rows with rows.
void WriteSealRows(TIBQuery& query, const QList<SealRow>& rows);
