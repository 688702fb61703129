#include "registration/update_control.h"

#include "common/exception.h"
#include "scan/directory_walk.h"
#include "storage/delete_directory_rows.h"
#include "storage/directory_rows.h"
#include "storage/dm1.h"

#include <QList>
#include <algorithm>

namespace {

struct Registration {
    QString dir;
    QString list;
};

// The registrations at dir or below it, in the order of the directory list.
QList<Registration> registrationsAtOrBelow(TDM1& dm, const QString& dir)
{
    TIBQuery& query = dm.IBQuery1;
    query.openStatement(Statement(u"select count(*) from tab"));
    const qint32 count = query.fieldAsInteger(QStringLiteral("count"));
    QList<Registration> found;
    query.openStatement(Statement(u"select file_name, ext from tab"));
    for (qint32 i = 0; i < count; ++i) {
        if (i > 0)
            query.next();
        const QString name = query.fieldAsString(QStringLiteral("file_name"));
        if (InDirectory(name, dir))
            found.append({name, query.fieldAsString(QStringLiteral("ext"))});
    }
    return found;
}

} // namespace

NotExaminedList UpdateControl(TDM1& dm, const QString& dir, Progress* progress)
{
    const QList<Registration> registrations = registrationsAtOrBelow(dm, dir);
    if (std::none_of(registrations.begin(), registrations.end(), [&](const Registration& r) { return r.dir == dir; }))
        throw Exception(QStringLiteral("Директория не стоит на учете: ") + dir);
    DeleteDirectoryRows(dm.IBQuery1, dir);
    NotExaminedList notExamined;
    for (const Registration& registration : registrations)
        notExamined += ScanToBaseline(dm, registration.dir, registration.list, progress);
    return notExamined;
}
