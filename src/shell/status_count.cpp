#include "shell/status_count.h"

#include "storage/dm1.h"

qint32 CountFilesUnderControl(TDM1& dm)
{
    dm.IBQuery1.openStatement(Statement(u"select count(*) from table1"));
    return dm.IBQuery1.fieldAsInteger(QStringLiteral("count"));
}

QString StatusCountText(qint32 count)
{
    return QStringLiteral("На учете находится: ") + QString::number(count) + QStringLiteral("  файлов.");
}
