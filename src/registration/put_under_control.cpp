#include "registration/put_under_control.h"

#include "registration/record_packages.h"
#include "rows/registration.h"
#include "rows/walk_rows.h"
#include "storage/dm1.h"

RecordedChange PutUnderControl(TDM1& dm, const QString& dir, const QString& list, Progress* progress)
{
    const qint32 id = AddRegistration(dm.IBQuery1, dir, list);
    RecordedChange recorded{{id}, ScanToBaseline(dm, dir, list, progress, id)};
    RecordPackages(dm.IBQuery1, {id, dir, list});
    return recorded;
}
