#include "storage/database_name.h"

bool IsServerDatabaseName(const QString& name)
{
    const qsizetype colon = name.indexOf(u':');
    return colon >= 0 && !name.startsWith(u'/') && !name.startsWith(u'.');
}
