#include "rows/file_row_values.h"

#include "scan/attr_text.h"

#include <QVariant>

#include <iterator>

FileRowCasts::FileRowCasts(qsizetype nameWidth, qsizetype pathWidth)
    : name(QStringLiteral("varchar(%1) character set octets").arg(nameWidth)),
      path(QStringLiteral("varchar(%1) character set octets").arg(pathWidth))
{
}

Statement& AppendFileRowValues(Statement& insert, qint32 id, const QString& dir, const TSearchRec& entry,
                               const FileSums& sums, const FileRowCasts* casts)
{
    const QVariant values[] = {id, entry.Name, dir, entry.Size, QString::number(entry.Time), AttrToText(entry.Attr),
                               sums.crc1, sums.crc2};
    if (!casts) {
        for (std::size_t i = 0; i < std::size(values); ++i)
            (i == 0 ? insert : insert.sql(u",")).value(values[i]);
        return insert;
    }
    const QStringView types[std::size(values)] = {u"integer", casts->name, casts->path, u"bigint", u"varchar(11)",
                                                  u"varchar(3)", u"integer", u"integer"};
    for (std::size_t i = 0; i < std::size(values); ++i)
        insert.sql(i == 0 ? u"cast(" : u",cast(").value(values[i]).sql(u" as ").sql(types[i]).sql(u")");
    return insert;
}
