#include "registration/accept_files.h"

#include "bits/bit_errors.h"
#include "common/exception.h"
#include "common/file_name_codec.h"
#include "common/shown_name.h"
#include "registration/directory_text.h"
#include "rows/baseline_rows.h"
#include "rows/bulk_insert.h"
#include "rows/check_rows.h"
#include "rows/delete_file_rows.h"
#include "rows/directory_prints.h"
#include "rows/directory_rows.h"
#include "rows/insert_record.h"
#include "rows/owned_rows.h"
#include "rows/registration.h"
#include "scan/directory_entries.h"
#include "scan/ext_matches.h"
#include "scan/pseudo_file_systems.h"
#include "seal/kept_rows.h"
#include "storage/dm1.h"

#include <QFileInfo>

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

Accepted resolve(TIBQuery& query, const Registration& registration, const QString& given)
{
    const QString path = CleanDirectoryText(given.startsWith(u'/') ? given : registration.dir + u'/' + given);
    if (!InDirectory(path, registration.dir))
        throw Exception(QStringLiteral("Имя вне директории ") + ShownName(registration.dir) + QStringLiteral(": ")
                        + ShownName(given));
    const QFileInfo now(path);
    const bool there = now.exists() || now.isSymLink();
    if (path == registration.dir || (now.isDir() && !now.isSymLink())
        || (!there && RecordedDirectory(query, registration.id, path)))
        return {path, QString(), true};
    const QString name = NameOf(path);
    if (!ExtMatches(FileExtension(name).toLower(), registration.list.toLower()))
        throw Exception(QStringLiteral("Файлы такого типа не стоят на учете в ") + ShownName(registration.dir)
                        + QStringLiteral(": ") + ShownName(given));
    return {ParentOf(path), name, false};
}

} // namespace

RecordedChange AcceptFiles(TDM1& dm, const QString& dir, const QStringList& names, std::optional<qint32> registration,
                           std::optional<LogEntry::Kind> logAs)
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
    // The rows of those names wherever they stand below the directory, a
    // directory's own name too: a file of that name it replaced.
    BaselineNames named;
    for (const Accepted& place : places)
        named.anywhere.append(place.directory ? NameOf(place.dir) : place.name);
    // Picked from the rows read to verify the seal, where they were kept.
    const CheckRows* kept = KeptBaseline(accepted.id);
    DirectoryTable ownDirs;
    DirectoryTable& dirs = kept ? kept->directories() : ownDirs;
    CheckRows baseline(dirs);
    if (kept)
        PickBaselineRowsNamed(*kept, named, baseline);
    else
        ReadBaselineRowsNamed(query, accepted, named, baseline);
    const auto dirOf = [&](const CheckRow& row) { return DecodeFileName(dirs.path(row.dir)); };
    const auto nameOf = [&](const CheckRow& row) { return DecodeFileName(baseline.name(row)); };
    const auto at = [&](const CheckRow& row, const QString& dir, const QString& name) {
        return dirOf(row) == dir && nameOf(row) == name;
    };
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
            for (qsizetype b = 0; b < baseline.size(); ++b)
                if (at(baseline[b], ParentOf(place.dir), NameOf(place.dir)))
                    gone.push_back(baseline[b].id);
            if (!owns)
                continue;
            DirectoryHandle itself;
            struct stat self {};
            if (DirectoryHandle::openBeneath(accepted.dir, place.dir, itself, self) == 0)
                rows.addDirectory(place.dir, DirectoryFingerprint(itself, self));
            continue;
        }
        for (qsizetype b = 0; b < baseline.size(); ++b)
            if (at(baseline[b], place.dir, place.name))
                gone.push_back(baseline[b].id);
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
        // Its old place, where the check found it moved from: a row of the
        // same file (see SameMovedFile) whose place is empty now.
        CheckRows found(dirs);
        found.append(place.dir, place.name, entry.rec.Size, QString(), sums.crc1, sums.crc2, &entry.print);
        bool atItsPlace = false;
        for (qsizetype b = 0; b < baseline.size(); ++b)
            atItsPlace = atItsPlace || at(baseline[b], place.dir, place.name);
        for (qsizetype b = 0; b < baseline.size() && !atItsPlace; ++b) {
            const QString old = JoinPath(dirOf(baseline[b]), nameOf(baseline[b]));
            if (SameMovedFile(baseline, baseline[b], found, found[0]) && !QFileInfo::exists(old)
                && !QFileInfo(old).isSymLink())
                gone.push_back(baseline[b].id);
        }
        rows.add(place.dir, entry.rec, sums, entry.print);
    }
    std::sort(gone.begin(), gone.end());
    gone.erase(std::unique(gone.begin(), gone.end()), gone.end());
    DeleteFileRowsNamed(query, gone);
    TellRowsDeleted(accepted.id, gone);
    rows.flush();
    if (logAs) {
        LogEntry logged = NewLogEntry(*logAs, accepted.id);
        for (const Accepted& place : places)
            logged.names.append(place.path());
        WriteLogEntry(query, logged);
    }
    return {{accepted.id}, {}};
}
