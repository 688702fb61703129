#pragma once

#include "scan/fingerprint.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class Statement;
class TIBQuery;

// The directories of a check's rows, each kept once as its UTF-8 bytes, and
// shared by the baseline and the scan: a place then compares as a number and
// a name.
class DirectoryTable {
public:
    quint32 intern(const QString& path);
    const QByteArray& path(quint32 id) const { return m_paths[id]; }

private:
    std::vector<QByteArray> m_paths;
    QHash<QByteArray, quint32> m_ids;
    QString m_last; // most rows follow one of their own directory
    quint32 m_lastId = 0;
};

// One file row with the columns a check compares, packed: a million of them
// take some 80 MB. Names and texts live in the CheckRows that holds the row.
struct CheckRow {
    quint32 dir = 0;     // in the DirectoryTable
    quint32 nameAt = 0;  // the name's UTF-8 bytes in the rows' name store
    quint16 nameSize = 0;
    quint16 atr = 0;     // in the rows' attribute texts
    bool hasPrint = false;
    bool hasDigest = false;
    qint32 size = 0;
    qint32 crc1 = 0;
    qint32 crc2 = 0;
    qint32 id = 0;       // where read, to find the row's fingerprint by
    qint32 registration = 0; // the tab id that owns the row, 0 for none
    quint32 mode = 0;
    quint32 owner = 0;
    quint32 group = 0;
    qint32 link = -1;    // in the rows' link targets; -1 for no link
    Sha256Digest sha256{};
};

// The rows of one side of a check, in the order they were read or walked.
// Rows do not move once added, and nothing is allocated per row but the room
// of its name.
class CheckRows {
public:
    explicit CheckRows(DirectoryTable& dirs) : m_dirs(&dirs) {}

    // Adds a row; print, when given, is its fingerprint.
    void append(const QString& dir, const QString& name, qint32 size, const QString& atr, qint32 crc1, qint32 crc2,
                const std::optional<Fingerprint>& print = std::nullopt, qint32 id = 0);
    void setPrint(qsizetype row, const Fingerprint& print);
    // Gives a row another directory and name.
    void rename(qsizetype row, const QString& dir, const QString& name);
    // Drops every row but those keep is true of, the order kept.
    void keepOnly(const std::function<bool(const CheckRow&)>& keep);

    qsizetype size() const { return qsizetype(m_rows.size()); }
    bool isEmpty() const { return m_rows.empty(); }
    const CheckRow& operator[](qsizetype row) const { return m_rows[std::size_t(row)]; }

    QByteArrayView name(const CheckRow& row) const { return {m_names.data() + row.nameAt, row.nameSize}; }
    const QString& atr(const CheckRow& row) const { return m_atrs[row.atr]; }
    std::optional<Fingerprint> print(const CheckRow& row) const;
    // The directory, "/" and the name.
    QString fullName(const CheckRow& row) const;
    const DirectoryTable& dirs() const { return *m_dirs; }

private:
    DirectoryTable* m_dirs;
    std::deque<CheckRow> m_rows;
    std::string m_names;
    QStringList m_atrs;
    QStringList m_links;
};

// Every row of the result of statement (a select of at least those columns of
// table1 or table2, and of id when it has it), in the order the database
// returns them, read on query as the per-file routines read them (texts as
// texts, numbers as signed 32-bit integers), into rows. Names of table1 rows
// read with their ids come byte for byte, also where they are not UTF-8. read is told the
// number of rows read so far every few hundred rows.
void ReadCheckRows(TIBQuery& query, const Statement& statement, CheckRows& rows,
                   const std::function<void(qint64 read)>& read);

// Gives each of rows (table1 rows read with their ids) its fingerprint and
// owner, read from the fingerprint table in one statement; a row without one
// keeps none.
void AttachFingerprints(TIBQuery& query, CheckRows& rows);
