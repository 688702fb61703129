#include "registration/extension_list.h"

QString BuildExtensionList(const QStringList& checkedTypes, const QStringList& memoLines)
{
    QStringList items = checkedTypes;
    for (const QString& line : memoLines)
        if (!line.isEmpty())
            items.append(line);
    QString list = items.join(u',');
    return list.isEmpty() ? QStringLiteral("*") : list;
}
