#include "rows/check_rows.h"

#include "common/file_name_codec.h"

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

void CheckRows::append(const QString& dir, const QString& name, qint32 size, const QString& atr, qint32 crc1,
                       qint32 crc2, const Fingerprint* print, qint32 id, qint32 data)
{
    CheckRow row;
    row.dir = m_dirs->intern(dir);
    const QByteArray bytes = EncodeFileName(name);
    row.nameAt = quint32(m_names.size());
    row.nameSize = quint16(bytes.size());
    m_names.append(bytes.constData(), std::size_t(bytes.size()));
    // Few texts ever stand in atr; the last one found is most often the next.
    qsizetype atrAt = m_atrs.indexOf(atr);
    if (atrAt < 0) {
        atrAt = m_atrs.size();
        m_atrs.append(atr);
    }
    row.atr = quint16(atrAt);
    row.size = size;
    row.crc1 = crc1;
    row.crc2 = crc2;
    row.id = id;
    row.data = data;
    if (print) {
        row.print = qint32(m_prints.size());
        m_prints.push_back(*print);
    }
    m_rows.push_back(row);
}

void CheckRows::setPrint(qsizetype at, const Fingerprint& print, qint32 owner)
{
    CheckRow& row = m_rows[std::size_t(at)];
    row.owner = owner;
    if (row.print < 0) {
        row.print = qint32(m_prints.size());
        m_prints.push_back(print);
    } else {
        m_prints[std::size_t(row.print)] = print;
    }
}

void CheckRows::rename(qsizetype at, const QString& dir, const QString& name)
{
    CheckRow& row = m_rows[std::size_t(at)];
    row.dir = m_dirs->intern(dir);
    const QByteArray bytes = EncodeFileName(name);
    row.nameAt = quint32(m_names.size());
    row.nameSize = quint16(bytes.size());
    m_names.append(bytes.constData(), std::size_t(bytes.size()));
}

void CheckRows::keepOnly(const std::function<bool(const CheckRow&)>& keep)
{
    std::deque<CheckRow> kept;
    for (const CheckRow& row : m_rows)
        if (keep(row))
            kept.push_back(row);
    m_rows.swap(kept);
}

QString CheckRows::fullName(const CheckRow& row) const
{
    const QByteArrayView bytes = name(row);
    return DecodeFileName(m_dirs->path(row.dir)) + u'/' + DecodeFileName(bytes);
}

