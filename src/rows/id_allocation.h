#pragma once

#include <QString>

class TIBQuery;

// The id allocation idiom: "select max(id) from" the table on the query; an
// empty table gives 1, otherwise the largest id plus 1. Ids are only unique as
// long as nothing else writes to the table between this and the insert. The
// query is left closed with an empty statement text.
qint32 NextId(TIBQuery& query, const QString& table);
