#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class TIBDatabase;

// The tables of file.gdb as schema.sql declares them. The schema is the one
// description of every table and column: a new database is made from it, and a
// database made by an earlier version is brought up to it when it is opened.

// The statements of the schema, in order.
QStringList SchemaStatements();

struct SchemaColumn {
    QString name; // lower case, as declared: "file_name"
    QString type; // as declared: "varchar(1020) character set octets"
};

struct SchemaTable {
    QString name;      // lower case, as declared: "table1"
    QString statement; // its create statement
    QList<SchemaColumn> columns;
};

// The tables the schema creates, in order.
const QList<SchemaTable>& SchemaTables();

// The declared type of a column of the schema; raises Exception when the
// schema has no such column.
QString SchemaColumnType(const QString& table, const QString& column);

// Brings the database on database's connection (just opened, no transaction
// started yet: a transaction sees no table made after it began) up to the
// schema, in one transaction of its own, committed before this returns:
// - a table the schema declares and the database lacks (the fingerprint
//   table, to a database made before it) is made;
// - a column the schema declares and the table lacks is added at its end (the
//   inserts that rely on the order of columns are those of tables that have
//   never gained one);
// - an integer column the schema declares bigint (the file sizes, 32-bit in
//   databases made before) is widened, its values kept as they are;
// - a column declared "character set octets" that holds text of another
//   character set (databases made before names were kept as bytes) is
//   converted, its values kept byte for byte as their UTF-8: its names then
//   compare byte for byte, as every check compares them.
// A database without the table tab is no database of this program and is
// left as it is, for its first statement to fail. Where the conversion cannot
// be made (a database the user may not alter: read-only, or another owner's on
// a server), everything else is still done, the database is used as it is,
// and the returned text says so on one line, for the front end to show once;
// else it is empty. Where not even the rest may be done (an account that may
// only read, a read-only database), the database is used as it is too, its
// statements reading what it has (see TIBDatabase::lacks), and the text says
// so. Raises EDatabaseError when the rest cannot be done for another reason.
QString UpgradeSchema(TIBDatabase& database);
