#include "registration/accept_files.h"

#include "bits/bit_errors.h"
#include "common/exception.h"
#include "common/shown_name.h"
#include "registration/directory_text.h"
#include "rows/bulk_insert.h"
#include "rows/delete_file_rows.h"
#include "rows/directory_prints.h"
#include "rows/directory_rows.h"
#include "rows/insert_record.h"
#include "rows/owned_rows.h"
#include "storage/ib_database.h"
#include "rows/registration.h"
#include "scan/directory_entries.h"
#include "scan/ext_matches.h"
#include "scan/pseudo_file_systems.h"
#include "storage/dm1.h"

#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <sys/stat.h>
#include <cerrno>
#include <vector>

namespace {

// A name to accept: the directory that holds it and its own name, or a
// directory itself.
struct Accepted {
    QString dir;
    QString name;
    bool directory = false;
    QString path() const { return directory ? dir : JoinPath(dir, name); }
};

// A baseline row the registration acts on, as far as accepting needs it.
struct BaselineRow {
    qint32 id = 0;
    QString dir;
    QString name;
    qint32 crc1 = 0;
    qint32 crc2 = 0;
    QString sha256;
};

// Whether the registration recorded a directory at path.
bool recordedDirectory(TIBQuery& query, const Registration& registration, const QString& path)
{
    if (query.database().lacks(QStringLiteral("directory_print")))
        return false;
    // tab_id equals a number in the row found: a value is a row.
    return Scalar(query, Statement(u"select first 1 tab_id from directory_print where tab_id=")
                             .number(registration.id)
                             .sql(u" and full_path=")
                             .quoted(path))
        .has_value();
}

Accepted resolve(TIBQuery& query, const Registration& registration, const QString& given)
{
    const QString path = CleanDirectoryText(given.startsWith(u'/') ? given : registration.dir + u'/' + given);
    if (!InDirectory(path, registration.dir))
        throw Exception(QStringLiteral("Имя вне директории ") + ShownName(registration.dir) + QStringLiteral(": ")
                        + ShownName(given));
    const QFileInfo now(path);
    const bool there = now.exists() || now.isSymLink();
    if (path == registration.dir || (now.isDir() && !now.isSymLink())
        || (!there && recordedDirectory(query, registration, path)))
        return {path, QString(), true};
    const QString name = NameOf(path);
    if (!ExtMatches(FileExtension(name).toLower(), registration.list.toLower()))
        throw Exception(QStringLiteral("Файлы такого типа не стоят на учете в ") + ShownName(registration.dir)
                        + QStringLiteral(": ") + ShownName(given));
    return {ParentOf(path), name, false};
}

// The baseline rows of those names (wherever they stand below the
// registration's directory) that the registration acts on (see
// RegistrationRows), in one pass through each table for every list of values
// (the engine takes at most 1,500 in one).
std::vector<BaselineRow> rowsNamed(TIBQuery& query, const Registration& registration, bool owns,
                                   const QList<Accepted>& names)
{
    constexpr qsizetype kList = 1000;
    std::vector<BaselineRow> rows;
    for (qsizetype from = 0; from < names.size(); from += kList) {
        Statement select(u"select id,full_path,file_name,crc1,crc2 from table1 where file_name in (");
        for (qsizetype i = from; i < std::min(names.size(), from + kList); ++i) {
            const Accepted& accepted = names[i];
            // A directory's own name too: a file of that name it replaced.
            (i == from ? select : select.sql(u",")).quoted(accepted.directory ? NameOf(accepted.dir) : accepted.name);
        }
        ForEachRow(query, AppendDirectoryRows(select.sql(u") and "), registration.dir), [&] {
            rows.push_back({query.fieldAsInteger(0), query.field(1).toString(), query.field(2).toString(),
                            query.fieldAsInteger(3), query.fieldAsInteger(4), QString()});
        });
    }
    QHash<qint32, std::size_t> at;
    for (std::size_t i = 0; i < rows.size(); ++i)
        at.insert(rows[i].id, i);
    std::vector<qint32> owners(rows.size(), 0);
    for (std::size_t from = 0; from < rows.size(); from += std::size_t(kList)) {
        Statement prints(u"select file_id,tab_id,sha256 from fingerprint where file_id in (");
        for (std::size_t i = from; i < std::min(rows.size(), from + std::size_t(kList)); ++i)
            (i == from ? prints : prints.sql(u",")).number(rows[i].id);
        ForEachRow(query, prints.sql(u")"), [&] {
            const std::size_t i = at.value(query.fieldAsInteger(0));
            owners[i] = query.field(1).isNull() ? 0 : query.fieldAsInteger(1);
            rows[i].sha256 = query.field(2).toString();
        });
    }
    std::vector<BaselineRow> acted;
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (owners[i] == (owns ? registration.id : 0))
            acted.push_back(rows[i]);
    return acted;
}

} // namespace

RecordedChange AcceptFiles(TDM1& dm, const QString& dir, const QStringList& names, std::optional<qint32> registration)
{
    TIBQuery& query = dm.IBQuery1;
    const Registration accepted = FindRegistration(query, dir, registration);
    QList<Accepted> places;
    for (const QString& name : names)
        places.append(resolve(query, accepted, name));

    // A registration recorded before rows had owners keeps its rows without
    // one, and has no directory rows: an owned row would take the others
    // from it.
    const bool owns = OwnsRows(query, accepted.id);
    const qint32 owner = owns ? accepted.id : 0;
    const std::vector<BaselineRow> baseline = rowsNamed(query, accepted, owns, places);
    std::vector<qint32> gone;
    // A directory's row is deleted first: its new one may be written with
    // the batch of another.
    for (const Accepted& place : places)
        if (place.directory && owns)
            DeleteDirectoryPrint(query, accepted.id, place.dir);
    BulkInsert rows(query, QStringLiteral("table1"), InsertBaselineRecord, true, owner);
    for (const Accepted& place : places) {
        if (place.directory) {
            // A file it replaced loses its row.
            for (const BaselineRow& row : baseline)
                if (row.dir == ParentOf(place.dir) && row.name == NameOf(place.dir))
                    gone.push_back(row.id);
            if (!owns)
                continue;
            DirectoryHandle itself;
            struct stat self {};
            if (DirectoryHandle::openBeneath(accepted.dir, place.dir, itself, self) == 0)
                rows.addDirectory(place.dir, DirectoryFingerprint(itself, self));
            continue;
        }
        for (const BaselineRow& row : baseline)
            if (row.dir == place.dir && row.name == place.name)
                gone.push_back(row.id);
        // Named by the user: one that cannot be read is an error.
        DirectoryEntry entry;
        FileSums sums{0, 0};
        const int error = ExamineNameIn(accepted.dir, place.path(), entry, sums);
        if (error == ENOENT)
            continue;
        if (error != 0 && entry.readContents)
            throw EFileBitError(place.path());
        if (error != 0)
            throw Exception(NotExaminedReason(error) + QStringLiteral(": ") + ShownName(place.path()));
        if (entry.walkInto)
            continue;
        // Its old place, where the check found it moved from: a row of its
        // name and contents whose file is gone.
        const bool atItsPlace = std::any_of(baseline.begin(), baseline.end(), [&](const BaselineRow& row) {
            return row.dir == place.dir && row.name == place.name;
        });
        const QString sha256 = entry.print.sha256 ? QString::fromLatin1(DigestHex(*entry.print.sha256)) : QString();
        for (const BaselineRow& row : baseline)
            if (!atItsPlace && row.name == place.name && row.crc1 == sums.crc1 && row.crc2 == sums.crc2
                && (row.sha256.isEmpty() || sha256.isEmpty() || row.sha256 == sha256)
                && !QFileInfo::exists(JoinPath(row.dir, row.name)) && !QFileInfo(JoinPath(row.dir, row.name)).isSymLink())
                gone.push_back(row.id);
        rows.add(place.dir, entry.rec, sums, entry.print);
    }
    std::sort(gone.begin(), gone.end());
    gone.erase(std::unique(gone.begin(), gone.end()), gone.end());
    DeleteFileRowsNamed(query, gone);
    rows.flush();
    return {{accepted.id}, {}};
}
