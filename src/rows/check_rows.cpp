#include "rows/check_rows.h"

#include "common/file_name_codec.h"

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

// Which parts of a packed fingerprint are there, above the mode's bits.
enum Known : quint32 { kHasPrint = 1u << 16, kSha256 = 1u << 17, kFlags = 1u << 18, kXattrs = 1u << 19 };
constexpr quint32 kModeBits = 0xFFFFu;

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

void CheckRows::appendCopy(const CheckRows& other, const CheckRow& row)
{
    CheckRow& copy = m_rows.emplace_back(row);
    addName(copy, other.name(row));
    copy.atr = atrIndex(other.atr(row));
    if (row.print.rare >= 0) { // the rest of the packed fingerprint comes as it is
        copy.print.rare = qint32(m_rare.size());
        m_rare.push_back(other.m_rare[std::size_t(row.print.rare)]);
    }
}

void CheckRows::clear()
{
    m_rows.clear();
    m_names.clear();
    m_rare.clear();
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
    packed.mode = (print.mode & kModeBits) | kHasPrint;
    packed.owner = print.owner;
    packed.group = print.group;
    if (print.sha256) {
        packed.sha256 = *print.sha256;
        packed.mode |= kSha256;
    }
    if (print.flags) {
        packed.flags = *print.flags;
        packed.mode |= kFlags;
    }
    if (print.xattrs)
        packed.mode |= kXattrs;
    const bool rareAttributes = print.xattrs && !print.xattrs->empty();
    if (!print.linkTarget.isEmpty() || rareAttributes || print.device) {
        packed.rare = qint32(m_rare.size());
        m_rare.push_back({print.linkTarget, rareAttributes ? print.xattrs : SharedAttributes(), print.device});
    }
}

std::optional<Fingerprint> CheckRows::print(const CheckRow& row) const
{
    const PackedPrint& packed = row.print;
    if (!(packed.mode & kHasPrint))
        return std::nullopt;
    Fingerprint print;
    print.mode = packed.mode & kModeBits;
    print.owner = packed.owner;
    print.group = packed.group;
    if (packed.mode & kSha256)
        print.sha256 = packed.sha256;
    if (packed.mode & kFlags)
        print.flags = packed.flags;
    const RareParts* rare = packed.rare < 0 ? nullptr : &m_rare[std::size_t(packed.rare)];
    if (rare) {
        print.linkTarget = rare->linkTarget;
        print.device = rare->device;
    }
    if (rare && rare->xattrs)
        print.xattrs = rare->xattrs;
    else if (packed.mode & kXattrs)
        print.xattrs = ShareAttributes({});
    return print;
}

void CheckRows::rename(qsizetype at, const QString& dir, const QString& name)
{
    CheckRow& row = m_rows[std::size_t(at)];
    row.dir = m_dirs->intern(dir);
    addName(row, EncodeFileName(name));
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

QString CheckRows::fullName(const CheckRow& row) const
{
    const QByteArrayView bytes = name(row);
    return DecodeFileName(m_dirs->path(row.dir)) + u'/' + DecodeFileName(bytes);
}

