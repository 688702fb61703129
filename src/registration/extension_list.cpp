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

QString PlainFileType(const QString& type)
{
    if (type.startsWith(QLatin1StringView("*.")))
        return type.mid(2);
    if (type.startsWith(u'.'))
        return type.mid(1);
    return type;
}
