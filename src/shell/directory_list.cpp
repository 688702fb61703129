#include "shell/directory_list.h"

#include "storage/dm1.h"

void ReadDirectoryList(TDM1& dm,
                       const std::function<void(const QString& dir, const QString& types, qint32 id)>& append)
{
    TIBQuery& query = dm.IBQuery1;
    query.openStatement(Statement(u"select count(*) from tab"));
    const qint32 count = query.fieldAsInteger(QStringLiteral("count"));
    query.openStatement(Statement(u"select file_name, ext, id from tab"));
    const auto hand = [&] {
        append(query.fieldAsString(QStringLiteral("file_name")), query.fieldAsString(QStringLiteral("ext")),
               query.fieldAsInteger(QStringLiteral("id")));
    };
    if (!query.fieldIsNull(QStringLiteral("file_name")))
        hand();
    for (qint32 i = 1; i < count; ++i) {
        query.next();
        hand();
    }
}
