#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class DatabaseFileLocks;
class QSqlDatabase;

// The one connection to the database. Params holds the connection parameters,
// one "name=value" per line (user_name, password, lc_ctype); there is no login
// prompt and the SQL dialect is 3.
class TIBDatabase {
public:
    explicit TIBDatabase(QString connectionName);
    ~TIBDatabase();
    TIBDatabase(const TIBDatabase&) = delete;
    TIBDatabase& operator=(const TIBDatabase&) = delete;

    QStringList Params;

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
    QString param(const QString& name) const;

    QString m_connectionName;
    QString m_databaseName;
    std::unique_ptr<DatabaseFileLocks> m_fileLocks;
    QStringList m_lacking;
};
