#pragma once

#include <QString>

// Creates a new database file at path with the program's tables: SQL dialect 3,
// UTF-8 texts and pages large enough for long paths. The file is built under a
// temporary name beside path and only then given its name, so a failure leaves
// nothing behind and an existing file is never overwritten. Raises Exception
// when path exists or the database cannot be created.
// A server's database name ("host/port:/path") is created there directly and
// dropped again if a later step fails; an existing database is refused.
void CreateDatabaseFile(const QString& path);
