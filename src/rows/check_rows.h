#pragma once

#include "rows/block_list.h"
#include "scan/fingerprint.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <array>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The directories of a check's rows, each kept once as its UTF-8 bytes, and
// shared by the baseline and the scan: a place then compares as a number and
// a name.
class DirectoryTable {
public:
    quint32 intern(const QString& path);
    // The same for a path's bytes, as the database holds them.
    quint32 intern(QByteArrayView bytes);
    const QByteArray& path(quint32 id) const { return m_paths[id]; }

private:
    std::vector<QByteArray> m_paths;
    QHash<QByteArray, quint32> m_ids;
    QString m_last; // most rows follow one of their own directory
    quint32 m_lastId = 0;
    quint32 m_lastBytesId = ~0u; // the path interned last by its bytes
};

// A fingerprint as the rows of a check hold it: each field as
// FingerprintField::packing says, in words that are there when a bit of known
// says so; a print that holds what few names have (a link's text, extended
// attributes, a device number) is kept whole in the rows that hold it.
struct PackedPrint {
    static constexpr int kWords = 5; // room for the fields packed as a word

    Sha256Digest sha256{};
    quint32 known = 0;
    std::array<quint32, kWords> words{};
    qint32 whole = -1; // in the rows' whole prints; -1 for none
};

// One file row with the columns a check compares, packed. Names and texts
// live in the CheckRows that holds the row, and so do the prints kept whole.
struct CheckRow {
    quint32 dir = 0;     // in the DirectoryTable
    quint32 nameAt = 0;  // the name's UTF-8 bytes in the rows' name store
    quint16 nameSize = 0;
    quint16 atr = 0;     // in the rows' attribute texts
    qint64 size = 0;     // as stored (see schema.sql)
    qint32 crc1 = 0;
    qint32 crc2 = 0;
    qint32 id = 0;       // the table1 row's, where read
    qint32 owner = 0;    // the registration (tab id) that owns the row; 0 for none
    qint32 data = 0;     // the packed date-time, which only a seal reads
    PackedPrint print;   // its fingerprint, where it has one
};

// Names' bytes one after another, in blocks that never move, so that the
// store grows without ever holding a copy of itself.
class NameStore {
public:
    // Where bytes are put.
    quint32 add(QByteArrayView bytes);
    QByteArrayView at(quint32 at, quint16 size) const { return {m_blocks[at >> kBlockBits].get() + (at & kInBlock), size}; }
    void clear();

private:
    static constexpr int kBlockBits = 20;
    static constexpr quint32 kInBlock = (1u << kBlockBits) - 1;
    std::vector<std::unique_ptr<char[]>> m_blocks;
    quint32 m_end = 0;
};

// The rows of one side of a check, in the order they were read or walked.
// Rows do not move once added (but for keepOnly), and nothing is allocated per
// row: a row holds its packed fingerprint, and its name is added to a store.
class CheckRows {
public:
    explicit CheckRows(DirectoryTable& dirs) : m_dirs(&dirs) {}

    // Adds a row; print, when given, is its fingerprint.
    void append(const QString& dir, const QString& name, qint64 size, const QString& atr, qint32 crc1, qint32 crc2,
                const Fingerprint* print = nullptr, qint32 id = 0, qint32 data = 0);
    // Adds a row as the database holds it: the directory's, the name's and
    // the attribute text's bytes.
    void appendStored(QByteArrayView dir, QByteArrayView name, qint64 size, QByteArrayView atr, qint32 crc1,
                      qint32 crc2, qint32 id, qint32 data);
    // Adds a copy of a row of other, which shares this one's DirectoryTable.
    void appendCopy(const CheckRows& other, const CheckRow& row);
    // Drops every row, keeping the room they took for the next ones.
    void clear();
    // Gives a row its fingerprint and its owner.
    void setPrint(qsizetype row, const Fingerprint& print, qint32 owner);
    // Drops every row but those keep is true of, the order kept.
    void keepOnly(const std::function<bool(const CheckRow&)>& keep);

    qsizetype size() const { return qsizetype(m_rows.size()); }
    bool isEmpty() const { return m_rows.empty(); }
    const CheckRow& operator[](qsizetype row) const { return m_rows[std::size_t(row)]; }

    QByteArrayView name(const CheckRow& row) const { return m_names.at(row.nameAt, row.nameSize); }
    const QString& atr(const CheckRow& row) const { return m_atrs[row.atr]; }
    // The row's fingerprint; none where it has none.
    std::optional<Fingerprint> print(const CheckRow& row) const;
    DirectoryTable& directories() const { return *m_dirs; }
    // The directory, "/" and the name.
    QString fullName(const CheckRow& row) const;

private:
    DirectoryTable* m_dirs;
    BlockList<CheckRow> m_rows;
    NameStore m_names;
    QStringList m_atrs;
    void pack(const Fingerprint& print, PackedPrint& packed);
    void addName(CheckRow& row, QByteArrayView bytes);
    quint16 atrIndex(const QString& atr);
    quint16 atrIndex(QByteArrayView atr);
    QByteArray m_lastAtr; // the bytes atrIndex() was given last, and their index
    quint16 m_lastAtrIndex = 0xFFFF; // none yet

    std::deque<Fingerprint> m_whole;
};

// Whether now, a file at none of the recorded places, may be the file old
// recorded elsewhere: the same name and checksums, and, where both rows have
// a fingerprint, the same digest or none. It moved when, besides, nothing
// stands at old's place (a copy whose original stays is new).
bool SameMovedFile(const CheckRows& recorded, const CheckRow& old, const CheckRows& found, const CheckRow& now);
