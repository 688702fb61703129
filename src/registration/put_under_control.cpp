#include "registration/put_under_control.h"

#include "scan/directory_walk.h"
#include "storage/dm1.h"
#include "storage/id_allocation.h"

NotExaminedList PutUnderControl(TDM1& dm, const QString& dir, const QString& list, Progress* progress,
                                qint32* registered)
{
    const qint32 id = NextId(dm.IBQuery1, QStringLiteral("tab"));
    if (registered)
        *registered = id;
    dm.IBQuery1.executeStatement(
        Statement(u"insert into tab values(").number(id).sql(u",").quoted(dir).sql(u",").quoted(list).sql(u")"));
    return ScanToBaseline(dm, dir, list, progress, id);
}
