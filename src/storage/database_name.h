#pragma once

#include <QString>

// A name like "host:/path" or "host/port:path" goes to a server; anything else
// is a file that the embedded engine opens.
bool IsServerDatabaseName(const QString& name);
