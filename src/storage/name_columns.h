#pragma once

class TIBQuery;

// Whether the names and paths of table1 and table2 are kept as bytes
// (character set octets), so that the database compares them byte for byte as
// the check's in-memory judging does. Databases made before that keep text
// columns, whose equality ignores trailing blanks; they are judged by the
// statements themselves. Runs one statement on query.
bool NamesComparedByteForByte(TIBQuery& query);
