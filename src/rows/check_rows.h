#pragma once

#include "scan/fingerprint.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <string>
#include <vector>

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

// One file row with the columns a check compares, packed. Names and texts
// live in the CheckRows that holds the row, and so does its fingerprint.
struct CheckRow {
    quint32 dir = 0;     // in the DirectoryTable
    quint32 nameAt = 0;  // the name's UTF-8 bytes in the rows' name store
    quint16 nameSize = 0;
    quint16 atr = 0;     // in the rows' attribute texts
    qint32 size = 0;
    qint32 crc1 = 0;
    qint32 crc2 = 0;
    qint32 id = 0;       // the table1 row's, where read
    qint32 owner = 0;    // the registration (tab id) that owns the row; 0 for none
    qint32 print = -1;   // in the rows' fingerprints; -1 for none
    qint32 data = 0;     // the packed date-time, which only a seal reads
};

// The rows of one side of a check, in the order they were read or walked.
// Rows do not move once added, and nothing is allocated per row but the room
// of its name and its fingerprint.
class CheckRows {
public:
    explicit CheckRows(DirectoryTable& dirs) : m_dirs(&dirs) {}

    // Adds a row; print, when given, is its fingerprint.
    void append(const QString& dir, const QString& name, qint32 size, const QString& atr, qint32 crc1, qint32 crc2,
                const Fingerprint* print = nullptr, qint32 id = 0, qint32 data = 0);
    // Gives a row its fingerprint and its owner.
    void setPrint(qsizetype row, const Fingerprint& print, qint32 owner);
    // Gives a row another directory and name.
    void rename(qsizetype row, const QString& dir, const QString& name);
    // Drops every row but those keep is true of, the order kept.
    void keepOnly(const std::function<bool(const CheckRow&)>& keep);

    qsizetype size() const { return qsizetype(m_rows.size()); }
    bool isEmpty() const { return m_rows.empty(); }
    const CheckRow& operator[](qsizetype row) const { return m_rows[std::size_t(row)]; }

    QByteArrayView name(const CheckRow& row) const { return {m_names.data() + row.nameAt, row.nameSize}; }
    const QString& atr(const CheckRow& row) const { return m_atrs[row.atr]; }
    // The row's fingerprint; null for none.
    const Fingerprint* print(const CheckRow& row) const
    {
        return row.print < 0 ? nullptr : &m_prints[std::size_t(row.print)];
    }
    // The directory, "/" and the name.
    QString fullName(const CheckRow& row) const;

private:
    DirectoryTable* m_dirs;
    std::deque<CheckRow> m_rows;
    std::string m_names;
    QStringList m_atrs;
    std::deque<Fingerprint> m_prints;
};
