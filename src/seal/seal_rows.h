#pragma once

#include "bits/sha256_accumulator.h"
#include "rows/check_rows.h"
#include "rows/directory_prints.h"
#include "rows/event_log.h"
#include "rows/package_records.h"
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
// before a field existed still holds after it is kept. Then the packages its
// baseline recorded, by name and architecture, each with its version and the
// digest of what dpkg recorded of its files. Then each accept of its log (see
// ReadAccepts): who accepted what, and when. A registration without packages
// or accepts encodes as it did before they were kept.
Sha256Digest RegistrationDigest(const Registration& registration, const CheckRows& rows,
                                const DirectoryPrints& directories, int fieldSet,
                                const PackageRecords& packages = {}, const LogEntries& accepts = {});

// The same, reading the rows first.
Sha256Digest RegistrationDigest(TIBQuery& query, const Registration& registration, int fieldSet);
// The same of the file rows given, reading the rest.
Sha256Digest RegistrationDigest(TIBQuery& query, const Registration& registration, const CheckRows& rows,
                                int fieldSet);

// One row of the seal table: a registration's digest and the signature over
// it; without a registration, the list's row: the digest of the list's
// message (see ListSealMessage) and the signature over it. A database kept
// without a key has the digests alone, no signatures.
struct SealRow {
    std::optional<qint32> registration;
    QByteArray digest;    // hex; empty in a list's row written before lists had digests
    QByteArray signature; // hex; empty where no key signed
    int fieldSet = 1;     // of the digest's encoding; 1 in rows written before there were more
};

// The seal table as a whole: the registrations' rows and the list's, with
// what the list's row says of the database: its identity, made when it is
// first sealed, the generation each sealed change raises by one, and the time
// it was sealed (both missing in rows written before they were kept).
struct SealTable {
    QList<SealRow> registrations;
    std::optional<SealRow> list;
    QByteArray database; // hex
    qint64 generation = 0;
    QString sealedAt;    // ISO 8601, UTC

    // Whether a key signed it; a database kept without one has digests alone.
    bool isSigned() const { return list && !list->signature.isEmpty(); }
    // The row of the registration, or none.
    const SealRow* of(qint32 registration) const;
};

// What a registration's signature signs: its field set, its id and its
// digest (hex).
QByteArray RegistrationSealMessage(const SealRow& row);

// What the list's row digests and signs: the database's identity, generation
// and time where the table keeps them, then every registration, its
// directory, its types and its digest from the table, in the order of their
// ids.
QByteArray ListSealMessage(QList<Registration> registrations, const SealTable& table);

// Whether the database is sealed: a key signed its list.
bool IsSealed(TIBQuery& query);

// The seal table's rows.
SealTable ReadSealTable(TIBQuery& query);

// Replaces the seal table's rows with table's.
void WriteSealTable(TIBQuery& query, const SealTable& table);
