#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

class TIBQuery;

// A package as a registration's baseline recorded it (see package_record).
struct PackageRecord {
    QString package;
    QString architecture;
    QString version;
    QByteArray filesDigest; // SHA-256 in hex of its PackageFiles text; empty for one with no files here

    bool operator==(const PackageRecord&) const = default;
};
using PackageRecords = QList<PackageRecord>;

// The registration's packages, by name and architecture; none in a database
// made before they were kept.
PackageRecords ReadPackageRecords(TIBQuery& query, qint32 registration);

// Replaces the registration's packages with records, and keeps each text of
// files by its digest where the database has none yet. What no registration
// refers to any more is dropped.
void WritePackageRecords(TIBQuery& query, qint32 registration, const PackageRecords& records,
                         const QHash<QByteArray, QByteArray>& files);
// Drops the registration's packages, as taking it out of control does.
void DeletePackageRecords(TIBQuery& query, qint32 registration);

// The text kept under digest, none where there is none or it is not what its
// digest says (it was changed behind the program's back).
std::optional<QByteArray> ReadPackageFiles(TIBQuery& query, const QByteArray& digest);
