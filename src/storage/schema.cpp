#include "storage/schema.h"

#include "common/exception.h"
#include "storage/database_error.h"
#include "storage/ib_database.h"

#include <QFile>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace {

// Splits "a integer, b varchar(10) character set octets" at the commas that
// stand outside parentheses.
QStringList columnDefinitions(QStringView list)
{
    QStringList definitions;
    int depth = 0;
    qsizetype from = 0;
    for (qsizetype i = 0; i <= list.size(); ++i) {
        if (i == list.size() || (list[i] == u',' && depth == 0)) {
            definitions.append(list.mid(from, i - from).trimmed().toString());
            from = i + 1;
        } else if (list[i] == u'(') {
            ++depth;
        } else if (list[i] == u')') {
            --depth;
        }
    }
    return definitions;
}

QList<SchemaTable> parseTables()
{
    const QString create = QStringLiteral("create table ");
    QList<SchemaTable> tables;
    for (const QString& statement : SchemaStatements()) {
        if (!statement.startsWith(create))
            continue;
        const qsizetype open = statement.indexOf(u'(');
        const qsizetype close = statement.lastIndexOf(u')');
        SchemaTable table{statement.mid(create.size(), open - create.size()).trimmed(), statement, {}};
        for (const QString& definition : columnDefinitions(QStringView(statement).mid(open + 1, close - open - 1))) {
            const qsizetype blank = definition.indexOf(u' ');
            table.columns.append({definition.left(blank), definition.mid(blank + 1)});
        }
        tables.append(table);
    }
    return tables;
}

const QString kBytes = QStringLiteral(" character set octets");
constexpr int kOctets = 1; // the engine's number of the character set
// The engine's numbers of the integer types (rdb$fields.rdb$field_type).
constexpr int kSmallint = 7;
constexpr int kInteger = 8;

void exec(const TIBDatabase& database, QSqlQuery& query, const QString& statement)
{
    if (!query.exec(statement))
        throw EDatabaseError::fromSql(query.lastError(), database.shownName());
}

// A column as the database has it.
struct DatabaseColumn {
    int type = 0;     // rdb$field_type
    int charset = -1; // -1 for a column of no character set
};

// The columns of a table in the database; none when there is no such table.
QHash<QString, DatabaseColumn> databaseColumns(const TIBDatabase& database, const QString& table)
{
    QSqlQuery query(database.handle());
    exec(database, query,
         QStringLiteral("select trim(r.rdb$field_name), f.rdb$field_type, coalesce(f.rdb$character_set_id, -1)"
                        " from rdb$relation_fields r join rdb$fields f on f.rdb$field_name=r.rdb$field_source"
                        " where r.rdb$relation_name='%1'")
             .arg(table.toUpper()));
    QHash<QString, DatabaseColumn> columns;
    while (query.next())
        columns.insert(query.value(0).toString().toLower(), {query.value(1).toInt(), query.value(2).toInt()});
    // A row that fails to be read ends the rows too.
    if (query.lastError().isValid())
        throw EDatabaseError::fromSql(query.lastError(), database.shownName());
    return columns;
}

// What the database lacks of the schema: the statements that add it (or widen
// an integer column to the bigint declared), and apart from them those that
// convert text columns to bytes.
struct Upgrade {
    QStringList additions;
    QStringList conversions;
    QStringList lacking; // what the additions add (see TIBDatabase::lacks)
};

Upgrade upgradeOf(const TIBDatabase& database)
{
    Upgrade upgrade;
    for (const SchemaTable& table : SchemaTables()) {
        const QHash<QString, DatabaseColumn> present = databaseColumns(database, table.name);
        if (present.isEmpty()) {
            upgrade.additions.append(table.statement);
            upgrade.lacking.append(table.name);
            continue;
        }
        for (const SchemaColumn& column : table.columns) {
            const auto found = present.constFind(column.name);
            if (found == present.constEnd()) {
                upgrade.additions.append(QStringLiteral("alter table %1 add %2 %3").arg(table.name, column.name, column.type));
                upgrade.lacking.append(table.name + u'.' + column.name);
            } else if (column.type == u"bigint" && (found->type == kInteger || found->type == kSmallint)) {
                // Sizes were 32-bit before. The engine only records the new
                // type: rows stay as written and are read widened, every
                // value as it was (a seal over them still holds). A database
                // that may not be altered keeps the narrower column, which
                // every statement reads as well.
                upgrade.additions.append(
                    QStringLiteral("alter table %1 alter %2 type bigint").arg(table.name, column.name));
            } else if (column.type.endsWith(kBytes) && found->charset != kOctets) {
                // The engine keeps a column's character set through a change of
                // its type, but takes a domain's: through a domain of the new
                // type, then back to a type of the column's own, the domain
                // dropped again. Each row is converted as it is read, its text
                // becoming its UTF-8 bytes.
                const QString domain = QStringLiteral("kvaren_bytes_%1").arg(upgrade.conversions.size() / 4 + 1);
                const QString alter = QStringLiteral("alter table %1 alter %2 type ").arg(table.name, column.name);
                upgrade.conversions << QStringLiteral("create domain %1 as %2").arg(domain, column.type)
                                    << alter + domain << alter + column.type.chopped(kBytes.size())
                                    << QStringLiteral("drop domain ") + domain;
            }
        }
    }
    return upgrade;
}

void runInOneTransaction(const TIBDatabase& database, const QStringList& statements)
{
    if (statements.isEmpty())
        return;
    QSqlDatabase db = database.handle();
    if (!db.transaction())
        throw EDatabaseError::fromSql(db.lastError(), database.shownName());
    try {
        {
            QSqlQuery query(db);
            for (const QString& statement : statements)
                exec(database, query, statement);
        }
        if (!db.commit())
            throw EDatabaseError::fromSql(db.lastError(), database.shownName());
    } catch (...) {
        db.rollback();
        throw;
    }
}

} // namespace

QStringList SchemaStatements()
{
    Q_INIT_RESOURCE(storage);
    QFile file(QStringLiteral(":/storage/schema.sql"));
    if (!file.open(QIODevice::ReadOnly))
        throw Exception(QStringLiteral("Схема базы данных не найдена"));
    QStringList statements;
    QString current;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(u'\n')) {
        if (line.trimmed().startsWith(u"--"))
            continue;
        current += line + u'\n';
        if (line.trimmed().endsWith(u';')) {
            statements.append(current.trimmed().chopped(1));
            current.clear();
        }
    }
    if (!current.trimmed().isEmpty())
        statements.append(current.trimmed());
    return statements;
}

const QList<SchemaTable>& SchemaTables()
{
    static const QList<SchemaTable> tables = parseTables();
    return tables;
}

QString SchemaColumnType(const QString& table, const QString& column)
{
    for (const SchemaTable& each : SchemaTables())
        for (const SchemaColumn& declared : each.columns)
            if (each.name == table && declared.name == column)
                return declared.type;
    throw Exception(QStringLiteral("Нет столбца %1 в таблице %2").arg(column, table));
}

QString UpgradeSchema(TIBDatabase& database)
{
    if (databaseColumns(database, QStringLiteral("tab")).isEmpty())
        return QString();
    Upgrade upgrade = upgradeOf(database);
    try {
        runInOneTransaction(database, upgrade.additions + upgrade.conversions);
        return QString();
    } catch (const EDatabaseError& refused) {
        // Another program may have brought it up to date meanwhile; what is
        // still missing is asked again, and all but the conversion made.
        upgrade = upgradeOf(database);
        try {
            runInOneTransaction(database, upgrade.additions);
        } catch (const EDatabaseError& stillRefused) {
            // An account that may only read, as a nightly check's, or a
            // read-only database: the statements read what the database
            // has, and it stays as it is.
            if (!stillRefused.message().startsWith(QStringLiteral("Нет прав"))
                && !stillRefused.message().contains(QLatin1String("read-only database")))
                throw;
            database.setLacking(upgrade.lacking);
            return QStringLiteral("База данных %1 записана прежней версией, и изменить ее нельзя: она проверяется "
                                  "тем, что в ней есть (%2)")
                .arg(database.shownName(), stillRefused.message());
        }
        if (upgrade.conversions.isEmpty())
            return QString();
        return QStringLiteral("Имена в базе данных %1 не переведены в байты, она используется как есть: %2")
            .arg(database.shownName(), refused.message().split(u'\n', Qt::SkipEmptyParts).join(QStringLiteral("; ")));
    }
}
