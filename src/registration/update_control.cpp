#include "registration/update_control.h"

#include "rows/delete_file_rows.h"
#include "rows/directory_prints.h"
#include "rows/directory_rows.h"
#include "rows/event_log.h"
#include "rows/owned_rows.h"
#include "rows/registration.h"
#include "rows/walk_rows.h"
#include "registration/record_packages.h"
#include "storage/dm1.h"

#include <QList>

QList<Registration> UpdatedRegistrations(TIBQuery& query, const QString& dir, std::optional<qint32> registration)
{
    const Registration updated = FindRegistration(query, dir, registration);
    QList<Registration> walked{updated};
    if (!OwnsRows(query, updated.id)) {
        // Its rows are those of its directory that no registration owns, and
        // so are those of every registration at or below it that owns none:
        // each of those is recorded again too, as it always was.
        for (const Registration& other : ReadRegistrations(query))
            if (other.id != updated.id && InDirectory(other.dir, dir) && !OwnsRows(query, other.id))
                walked.append(other);
    }
    return walked;
}

RecordedChange UpdateControl(TDM1& dm, const QString& dir, Progress* progress, std::optional<qint32> registration)
{
    TIBQuery& query = dm.IBQuery1;
    const QList<Registration> walked = UpdatedRegistrations(query, dir, registration);
    const Registration& updated = walked.first();
    DeleteFileRows(query, RegistrationRows(query, updated.id, dir));
    RecordedChange recorded;
    for (const Registration& each : walked) {
        DeleteDirectoryPrints(query, each.id);
        recorded.notExamined += ScanToBaseline(dm, each.dir, each.list, progress, each.id);
        RecordPackages(query, each);
        WriteLogEntry(query, NewLogEntry(LogEntry::Accept, each.id));
        recorded.registrations.insert(each.id);
    }
    return recorded;
}
