#include "rows/package_records.h"

#include "storage/ib_database.h"
#include "storage/ib_query.h"

#include <QCryptographicHash>
#include <QHash>

#include <algorithm>

namespace {

bool kept(TIBQuery& query)
{
    return !query.database().lacks(QStringLiteral("package_record"));
}

void dropUnreferenced(TIBQuery& query)
{
    query.executeStatement(Statement(
        u"delete from package_files f where not exists (select 1 from package_record r where r.files_digest=f.digest)"));
}

} // namespace

PackageRecords ReadPackageRecords(TIBQuery& query, qint32 registration)
{
    PackageRecords records;
    if (!kept(query))
        return records;
    ForEachRow(query,
               Statement(u"select package,architecture,version,files_digest from package_record where tab_id=")
                   .number(registration),
               [&] {
                   records.append({query.field(0).toString(), query.field(1).toString(), query.field(2).toString(),
                                   query.field(3).toString().toLatin1()});
               });
    std::sort(records.begin(), records.end(), [](const PackageRecord& a, const PackageRecord& b) {
        return std::tie(a.package, a.architecture) < std::tie(b.package, b.architecture);
    });
    return records;
}

void WritePackageRecords(TIBQuery& query, qint32 registration, const PackageRecords& records,
                         const QHash<QByteArray, QByteArray>& files)
{
    query.executeStatement(Statement(u"delete from package_record where tab_id=").number(registration));
    for (const PackageRecord& record : records) {
        // A package with no files here has no text kept: null.
        query.executeStatement(Statement(u"insert into package_record (tab_id,package,architecture,version,files_digest) values (")
                                   .number(registration)
                                   .sql(u",")
                                   .quoted(record.package)
                                   .sql(u",")
                                   .quoted(record.architecture)
                                   .sql(u",")
                                   .quoted(record.version)
                                   .sql(u",")
                                   .value(record.filesDigest.isEmpty() ? QVariant(QString()) : QVariant(QString::fromLatin1(record.filesDigest)))
                                   .sql(u")"));
    }
    for (auto text = files.begin(); text != files.end(); ++text) {
        const Statement present =
            Statement(u"select first 1 1 from package_files where digest=").quoted(QString::fromLatin1(text.key()));
        if (!Scalar(query, present))
            query.executeStatement(Statement(u"insert into package_files (digest,files) values (")
                                       .quoted(QString::fromLatin1(text.key()))
                                       .sql(u",")
                                       .bytes(qCompress(text.value()))
                                       .sql(u")"));
    }
    dropUnreferenced(query);
}

void DeletePackageRecords(TIBQuery& query, qint32 registration)
{
    if (!kept(query))
        return;
    query.executeStatement(Statement(u"delete from package_record where tab_id=").number(registration));
    dropUnreferenced(query);
}

std::optional<QByteArray> ReadPackageFiles(TIBQuery& query, const QByteArray& digest)
{
    std::optional<QByteArray> found;
    ForEachRow(query, Statement(u"select files from package_files where digest=").quoted(QString::fromLatin1(digest)),
               [&] { found = qUncompress(query.field(0).toByteArray()); });
    if (found && QCryptographicHash::hash(*found, QCryptographicHash::Sha256).toHex() != digest)
        return std::nullopt;
    return found;
}
