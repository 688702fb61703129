#include "storage/name_columns.h"

#include "storage/ib_query.h"

bool NamesComparedByteForByte(TIBQuery& query)
{
    // Character set 1 is octets.
    query.openStatement(Statement(u"select count(*) from rdb$relation_fields r join rdb$fields f"
                                  u" on f.rdb$field_name=r.rdb$field_source"
                                  u" where r.rdb$relation_name in ('TABLE1','TABLE2')"
                                  u" and r.rdb$field_name in ('FILE_NAME','FULL_PATH') and f.rdb$character_set_id=1"));
    return query.fieldAsInteger(QStringLiteral("count")) == 4;
}
