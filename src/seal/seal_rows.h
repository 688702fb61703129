#pragma once

#include "bits/sha256_accumulator.h"
#include "rows/check_rows.h"
#include "rows/directory_prints.h"
#include "rows/registration.h"

#include <QByteArray>
#include <QList>
#include <optional>

class TIBQuery;

// What a seal signs of a registration: the SHA-256 of a canonical, versioned
// encoding of its tab row, of every row it acts on, as a check reads them
// (see ReadBaselineRows: table1's columns, the fingerprint and its owner), in
// the order of their ids, and of its directory rows, in the order of their
// paths. Any row added, removed, changed or given to another registration
// behind the program's back changes it. A fingerprint is encoded with the
// fields of fieldSet alone (see FingerprintField::sealSince): what was sealed
// before a field existed still holds after it is kept.
Sha256Digest RegistrationDigest(const Registration& registration, const CheckRows& rows,
                                const DirectoryPrints& directories, int fieldSet);

// The same, reading the rows first.
Sha256Digest RegistrationDigest(TIBQuery& query, const Registration& registration, int fieldSet);

// One row of the seal table: a registration's digest and the signature over
// it; without a registration, the signature over the list of registrations
// with their digests.
struct SealRow {
    std::optional<qint32> registration;
    QByteArray digest;    // hex; empty for the list's row
    QByteArray signature; // hex
    int fieldSet = 1;     // of the digest's encoding; 1 in rows written before there were more
};

// What a registration's signature signs: its field set, its id and its
// digest (hex).
QByteArray RegistrationSealMessage(const SealRow& row);

// What the list's signature signs: every registration, its directory, its
// types and its digest from rows, in the order of their ids.
QByteArray ListSealMessage(QList<Registration> registrations, const QList<SealRow>& rows);

// Whether the database is sealed: the seal table holds any row.
bool IsSealed(TIBQuery& query);

// Every row of the seal table.
QList<SealRow> ReadSealRows(TIBQuery& query);

// Replaces the seal table's rows with rows.
void WriteSealRows(TIBQuery& query, const QList<SealRow>& rows);
