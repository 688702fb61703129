#include "scan/ext_matches.h"

bool ExtMatches(const QString& extension, const QString& list)
{
    if (list == u"*")
        return true;
    // Every item, the last one included, is compared with a dot before it; an
    // empty item therefore compares as "." and "*" inside a longer list is an
    // ordinary item.
    qsizetype start = 0;
    while (true) {
        qsizetype comma = list.indexOf(u',', start);
        QStringView item = QStringView(list).mid(start, comma < 0 ? -1 : comma - start);
        if (extension.size() == item.size() + 1 && extension.startsWith(u'.')
            && QStringView(extension).mid(1) == item)
            return true;
        if (comma < 0)
            return false;
        start = comma + 1;
    }
}

QString FileExtension(const QString& name)
{
    qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? QString() : name.mid(dot);
}
