#include "rows/directory_rows.h"

#include "storage/statement.h"

Statement& AppendDirectoryRows(Statement& statement, const QString& dir)
{
    // STARTING WITH compares literally: LIKE would take "_" and "%" in names
    // for wildcards.
    if (dir == u"/")
        return statement.sql(u"full_path starting with ").quoted(dir);
    return statement.sql(u"(full_path=").quoted(dir).sql(u" or full_path starting with ").quoted(dir + u'/').sql(u")");
}

bool InDirectory(const QString& path, const QString& dir)
{
    if (dir == u"/")
        return path.startsWith(dir);
    return path.size() > dir.size() ? path.startsWith(dir) && path[dir.size()] == u'/' : path == dir;
}
