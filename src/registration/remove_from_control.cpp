#include "registration/remove_from_control.h"

#include "common/exception.h"
#include "common/progress.h"
#include "rows/delete_file_rows.h"
#include "rows/directory_prints.h"
#include "rows/event_log.h"
#include "rows/owned_rows.h"
#include "rows/package_records.h"
#include "rows/registration.h"
#include "storage/dm1.h"

void RemoveFromControl(TDM1& dm, const QString& dir, Progress* progress, std::optional<qint32> registration)
{
    TIBQuery& query = dm.IBQuery1;
    const Registration removed = FindRegistration(query, dir, registration);
    DeleteRegistration(query, removed.id);
    DeleteDirectoryPrints(query, removed.id);
    DeletePackageRecords(query, removed.id);
    DeleteLog(query, removed.id);

    DeleteFileRows(query, RegistrationRows(query, removed.id, dir), [&](qint64 done, qint64 total) {
        if (progress)
            progress->judging(QStringLiteral("Удалено записей"), done, total);
    });
}
