#include "rows/registration.h"

#include "common/exception.h"
#include "rows/id_allocation.h"
#include "storage/ib_query.h"

QList<Registration> ReadRegistrations(TIBQuery& query)
{
    QList<Registration> registrations;
    ForEachRow(query, Statement(u"select id, file_name, ext from tab"), [&] {
        registrations.append({query.fieldAsInteger(0), query.fieldAsString(QStringLiteral("file_name")),
                              query.fieldAsString(QStringLiteral("ext"))});
    });
    return registrations;
}

Registration FindRegistration(TIBQuery& query, const QString& dir, std::optional<qint32> id)
{
    Statement select(u"select * from tab where file_name=");
    select.quoted(dir);
    if (id)
        select.sql(u" and id=").number(*id);
    query.openStatement(select);
    if (query.fieldIsNull(QStringLiteral("id")))
        throw Exception(QStringLiteral("Директория не стоит на учете: ") + dir);
    return {query.fieldAsInteger(QStringLiteral("id")), query.fieldAsString(QStringLiteral("file_name")),
            query.fieldAsString(QStringLiteral("ext"))};
}

qint32 AddRegistration(TIBQuery& query, const QString& dir, const QString& list)
{
    const qint32 id = NextId(query, QStringLiteral("tab"));
    query.executeStatement(
        Statement(u"insert into tab values(").number(id).sql(u",").quoted(dir).sql(u",").quoted(list).sql(u")"));
    return id;
}

void DeleteRegistration(TIBQuery& query, qint32 id)
{
    query.executeStatement(Statement(u"delete from tab where id=").number(id));
}

qint32 CountFilesUnderControl(TIBQuery& query)
{
    return *Scalar(query, Statement(u"select count(*) from table1"));
}
