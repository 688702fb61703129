#include "rows/check_rows.h"

#include "common/file_name_codec.h"
#include "scan/fingerprint_fields.h"

#include <algorithm>
#include <cstring>

quint32 DirectoryTable::intern(const QString& path)
{
    if (!m_paths.empty() && path == m_last)
        return m_lastId;
    const QByteArray bytes = EncodeFileName(path);
    auto found = m_ids.constFind(bytes);
    if (found == m_ids.constEnd()) {
        found = m_ids.insert(bytes, quint32(m_paths.size()));
        m_paths.push_back(bytes);
    }
    m_last = path;
    m_lastId = *found;
    return m_lastId;
}

quint32 DirectoryTable::intern(QByteArrayView bytes)
{
    if (m_lastBytesId < m_paths.size() && m_paths[m_lastBytesId] == bytes)
        return m_lastBytesId;
    auto found = m_ids.constFind(bytes.toByteArray());
    if (found == m_ids.constEnd()) {
        found = m_ids.insert(bytes.toByteArray(), quint32(m_paths.size()));
        m_paths.push_back(bytes.toByteArray());
    }
    m_lastBytesId = *found;
    return m_lastBytesId;
}

quint32 NameStore::add(QByteArrayView bytes)
{
    const quint32 size = quint32(bytes.size());
    // A name never straddles two blocks.
    if ((m_end & kInBlock) + size > kInBlock + 1)
        m_end = ((m_end >> kBlockBits) + 1) << kBlockBits;
    const std::size_t block = m_end >> kBlockBits;
    if (block == m_blocks.size())
        m_blocks.push_back(std::make_unique_for_overwrite<char[]>(kInBlock + 1));
    const quint32 at = m_end;
    std::memcpy(m_blocks[block].get() + (at & kInBlock), bytes.data(), size);
    m_end += size;
    return at;
}

void NameStore::clear()
{
    m_blocks.resize(std::min<std::size_t>(m_blocks.size(), 1));
    m_end = 0;
}

namespace {

// Above the bits of the fields packed as a word or a bit, in field order.
constexpr quint32 kHasPrint = 1u << 31;
constexpr quint32 kDigest = 1u << 30;

// Where each field goes in a packed print: its bit of known, and its word.
struct Place {
    const FingerprintField* field;
    quint32 bit;
    int word; // -1 for a field packed as a bit
};

const std::vector<Place>& places()
{
    static const std::vector<Place> places = [] {
        std::vector<Place> list;
        int bits = 0;
        int words = 0;
        for (const FingerprintField& field : FingerprintFields()) {
            if (field.packing != FingerprintField::Word && field.packing != FingerprintField::Bit)
                continue;
            const int word = field.packing == FingerprintField::Word ? words++ : -1;
            list.push_back({&field, 1u << bits++, word});
        }
        if (words > PackedPrint::kWords || bits > 30)
            qFatal("a packed print has no room for its fields");
        return list;
    }();
    return places;
}

} // namespace

void CheckRows::addName(CheckRow& row, QByteArrayView bytes)
{
    row.nameAt = m_names.add(bytes);
    row.nameSize = quint16(bytes.size());
}

quint16 CheckRows::atrIndex(const QString& atr)
{
    // Few texts ever stand in atr.
    qsizetype at = m_atrs.indexOf(atr);
    if (at < 0) {
        at = m_atrs.size();
        m_atrs.append(atr);
    }
    return quint16(at);
}

void CheckRows::append(const QString& dir, const QString& name, qint64 size, const QString& atr, qint32 crc1,
                       qint32 crc2, const Fingerprint* print, qint32 id, qint32 data)
{
    CheckRow& row = m_rows.emplace_back();
    row.dir = m_dirs->intern(dir);
    addName(row, EncodeFileName(name));
    row.atr = atrIndex(atr);
    row.size = size;
    row.crc1 = crc1;
    row.crc2 = crc2;
    row.id = id;
    row.data = data;
    if (print)
        pack(*print, row.print);
}

void CheckRows::appendStored(QByteArrayView dir, QByteArrayView name, qint64 size, QByteArrayView atr, qint32 crc1,
                             qint32 crc2, qint32 id, qint32 data)
{
    CheckRow& row = m_rows.emplace_back();
    row.dir = m_dirs->intern(dir);
    addName(row, name);
    row.atr = atrIndex(atr);
    row.size = size;
    row.crc1 = crc1;
    row.crc2 = crc2;
    row.id = id;
    row.data = data;
}

quint16 CheckRows::atrIndex(QByteArrayView atr)
{
    if (m_lastAtrIndex == 0xFFFF || m_lastAtr != atr) {
        m_lastAtrIndex = atrIndex(QString::fromUtf8(atr));
        m_lastAtr = atr.toByteArray();
    }
    return m_lastAtrIndex;
}

void CheckRows::appendCopy(const CheckRows& other, const CheckRow& row)
{
    CheckRow& copy = m_rows.emplace_back(row);
    addName(copy, other.name(row));
    copy.atr = atrIndex(other.atr(row));
    if (row.print.whole >= 0) { // the rest of the packed fingerprint comes as it is
        copy.print.whole = qint32(m_whole.size());
        m_whole.push_back(other.m_whole[std::size_t(row.print.whole)]);
    }
}

void CheckRows::clear()
{
    m_rows.clear();
    m_names.clear();
    m_whole.clear();
}

void CheckRows::setPrint(qsizetype at, const Fingerprint& print, qint32 owner)
{
    CheckRow& row = m_rows[std::size_t(at)];
    row.owner = owner;
    pack(print, row.print);
}

void CheckRows::pack(const Fingerprint& print, PackedPrint& packed)
{
    packed = PackedPrint();
    packed.known = kHasPrint;
    if (print.sha256) {
        packed.sha256 = *print.sha256;
        packed.known |= kDigest;
    }
    for (const Place& place : places())
        if (const std::optional<quint32> word = place.field->pack(print)) {
            packed.known |= place.bit;
            if (place.word >= 0)
                packed.words[std::size_t(place.word)] = *word;
        }
    const bool usual = std::all_of(FingerprintFields().begin(), FingerprintFields().end(),
                                   [&](const FingerprintField& field) { return !field.usual || field.usual(print); });
    if (!usual) {
        packed.whole = qint32(m_whole.size());
        m_whole.push_back(print);
    }
}

std::optional<Fingerprint> CheckRows::print(const CheckRow& row) const
{
    const PackedPrint& packed = row.print;
    if (!(packed.known & kHasPrint))
        return std::nullopt;
    if (packed.whole >= 0)
        return m_whole[std::size_t(packed.whole)];
    Fingerprint print;
    if (packed.known & kDigest)
        print.sha256 = packed.sha256;
    for (const Place& place : places())
        if (packed.known & place.bit)
            place.field->unpack(print, place.word >= 0 ? packed.words[std::size_t(place.word)] : 0);
    return print;
}

void CheckRows::keepOnly(const std::function<bool(const CheckRow&)>& keep)
{
    // In place: the rows are the larger part of a check's memory.
    std::size_t kept = 0;
    for (std::size_t row = 0; row < m_rows.size(); ++row)
        if (keep(m_rows[row]))
            m_rows[kept++] = m_rows[row];
    m_rows.truncate(kept);
}

bool SameMovedFile(const CheckRows& recorded, const CheckRow& old, const CheckRows& found, const CheckRow& now)
{
    if (old.crc1 != now.crc1 || old.crc2 != now.crc2 || recorded.name(old) != found.name(now))
        return false;
    const quint32 a = old.print.known;
    const quint32 b = now.print.known;
    if (!(a & kHasPrint) || !(b & kHasPrint))
        return true;
    return (a & kDigest) == (b & kDigest) && (!(a & kDigest) || old.print.sha256 == now.print.sha256);
}

QString CheckRows::fullName(const CheckRow& row) const
{
    const QByteArrayView bytes = name(row);
    return DecodeFileName(m_dirs->path(row.dir)) + u'/' + DecodeFileName(bytes);
}

