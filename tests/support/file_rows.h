#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class TDM1;

// One row of table1 or table2, as stored.
struct FileRow {
    qint32 id = 0;
    QString name;
    QString path;
    qint64 size = 0;
    QString data;
    QString atr;
    qint32 crc1 = 0;
    qint32 crc2 = 0;

    QString fullName() const { return path + u'/' + name; }
    friend bool operator==(const FileRow&, const FileRow&) = default;
};

// Every row of the table (table1 or table2), in id order.
QList<FileRow> ReadFileRows(TDM1& dm, const QString& table);

// The full names of a table's rows with prefix cut from each, sorted.
QStringList SortedFullNames(TDM1& dm, const QString& table, const QString& prefix);

// The number of rows of a table.
qint32 CountRows(TDM1& dm, const QString& table);


// Makes every row of table1 a row without an owner, as a database written
// before registrations owned their rows holds them.
void ForgetOwners(TDM1& dm);
