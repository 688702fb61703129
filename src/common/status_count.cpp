#include "common/status_count.h"

QString StatusCountText(qint32 count)
{
    return QStringLiteral("На учете находится: ") + QString::number(count) + QStringLiteral("  файлов.");
}
