#pragma once

#include "storage/firebird_login.h"

#include <QString>
#include <QStringList>

#include <memory>

class DatabaseFileLocks;
class QSqlDatabase;

// The one connection to the database, made with login and UTF-8 texts; there
// is no login prompt and the SQL dialect is 3.
class TIBDatabase {
public:
    TIBDatabase(QString connectionName, FirebirdLogin login);
    ~TIBDatabase();
    TIBDatabase(const TIBDatabase&) = delete;
    TIBDatabase& operator=(const TIBDatabase&) = delete;

    void setDatabaseName(const QString& name) { m_databaseName = name; }
    const QString& databaseName() const { return m_databaseName; }

    // Connects; raises EDatabaseError with the reason when the database cannot
    // be opened. A local database file that does not exist is refused before the
    // database client is asked, with a message that names the file.
    void open();
    bool connected() const;

    const QString& connectionName() const { return m_connectionName; }
    QSqlDatabase handle() const;
    // The name shown in messages: a local file's absolute path.
    QString shownName() const;
    // This program's locks on a local database file while connected; none for
    // a database on a server, which arbitrates between its clients itself.
    DatabaseFileLocks* fileLocks() const { return m_fileLocks.get(); }

    // What this version's tables have and the database lacks, when it could
    // not be brought up to them (an account that may only read): "table" for
    // a table, "table.column" for a column. Statements read what there is.
    void setLacking(QStringList lacking) { m_lacking = std::move(lacking); }
    bool lacks(const QString& table, const QString& column = QString()) const
    {
        return !m_lacking.isEmpty()
            && (m_lacking.contains(table) || (!column.isEmpty() && m_lacking.contains(table + u'.' + column)));
    }

private:
    QString m_connectionName;
    FirebirdLogin m_login;
    QString m_databaseName;
    std::unique_ptr<DatabaseFileLocks> m_fileLocks;
    QStringList m_lacking;
};
