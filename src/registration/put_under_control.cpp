#include "registration/put_under_control.h"

#include "rows/registration.h"
#include "rows/walk_rows.h"
#include "storage/dm1.h"

NotExaminedList PutUnderControl(TDM1& dm, const QString& dir, const QString& list, Progress* progress,
                                qint32* registered)
{
    const qint32 id = AddRegistration(dm.IBQuery1, dir, list);
    if (registered)
        *registered = id;
    return ScanToBaseline(dm, dir, list, progress, id);
}
