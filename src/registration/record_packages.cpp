#include "registration/record_packages.h"

#include "common/file_name_codec.h"
#include "packages/dpkg_database.h"
#include "packages/package_files.h"
#include "packages/package_root.h"
#include "rows/package_records.h"
#include "storage/ib_database.h"
#include "storage/ib_query.h"

#include <QCryptographicHash>
#include <QHash>

void RecordPackages(TIBQuery& query, const Registration& registration, const QString& root)
{
    if (query.database().lacks(QStringLiteral("package_record")))
        return;
    PackageRecords records;
    QHash<QByteArray, QByteArray> files;
    const std::optional<QByteArray> inside = InsideRoot(root, registration.dir);
    const std::optional<DpkgDatabase> dpkg = inside ? DpkgDatabase::open(root) : std::nullopt;
    if (dpkg) {
        const QByteArray dir = dpkg->canonical(DecodeFileName(*inside));
        for (const InstalledPackage& package : dpkg->packages()) {
            // Most packages have no file here: their lists alone tell.
            if (!dpkg->listsBelow(package, dir)) {
                // Its version alone: a package that later puts files here
                // was upgraded, not installed.
                records.append({package.name, package.architecture, package.version, QByteArray()});
                continue;
            }
            const QByteArray text = dpkg->filesText(package);
            const QByteArray digest = QCryptographicHash::hash(text, QCryptographicHash::Sha256).toHex();
            records.append({package.name, package.architecture, package.version, digest});
            files.insert(digest, text);
        }
    }
    WritePackageRecords(query, registration.id, records, files);
}
