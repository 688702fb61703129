#include "check/check_rows.h"

#include "common/file_name_codec.h"
#include "scan/fingerprint_row.h"
#include "storage/ib_query.h"

#include <algorithm>

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
                       qint32 crc2, const std::optional<Fingerprint>& print, qint32 id)
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
    m_rows.push_back(row);
    if (print)
        setPrint(qsizetype(m_rows.size()) - 1, *print);
}

void CheckRows::setPrint(qsizetype at, const Fingerprint& print)
{
    CheckRow& row = m_rows[std::size_t(at)];
    row.hasPrint = true;
    row.registration = print.registration;
    row.mode = print.mode;
    row.owner = print.owner;
    row.group = print.group;
    row.hasDigest = print.sha256.has_value();
    row.sha256 = print.sha256.value_or(Sha256Digest{});
    row.link = -1;
    if (!print.linkTarget.isEmpty()) {
        row.link = qint32(m_links.size());
        m_links.append(print.linkTarget);
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

std::optional<Fingerprint> CheckRows::print(const CheckRow& row) const
{
    if (!row.hasPrint)
        return std::nullopt;
    Fingerprint print;
    print.mode = row.mode;
    print.owner = row.owner;
    print.group = row.group;
    print.registration = row.registration;
    if (row.hasDigest)
        print.sha256 = row.sha256;
    if (row.link >= 0)
        print.linkTarget = m_links[row.link];
    return print;
}

QString CheckRows::fullName(const CheckRow& row) const
{
    const QByteArrayView bytes = name(row);
    return DecodeFileName(m_dirs->path(row.dir)) + u'/' + DecodeFileName(bytes);
}

void ReadCheckRows(TIBQuery& query, const Statement& statement, CheckRows& rows,
                   const std::function<void(qint64 read)>& read)
{
    query.openStatement(statement);
    const int name = query.fieldIndex(QStringLiteral("File_name"));
    const int path = query.fieldIndex(QStringLiteral("full_path"));
    const int size = query.fieldIndex(QStringLiteral("file_size"));
    const int atr = query.fieldIndex(QStringLiteral("atr"));
    const int crc1 = query.fieldIndex(QStringLiteral("crc1"));
    const int crc2 = query.fieldIndex(QStringLiteral("crc2"));
    const int id = query.hasField(QStringLiteral("id")) ? query.fieldIndex(QStringLiteral("id")) : -1;
    qint64 count = 0;
    // Rows whose names came back with bytes that are not UTF-8 replaced: the
    // database client hands texts over as UTF-8.
    std::vector<qsizetype> mangled;
    if (query.hasRow()) {
        do {
            const QString dir = query.field(path).toString(), file = query.field(name).toString();
            if (id >= 0 && (dir.contains(QChar::ReplacementCharacter) || file.contains(QChar::ReplacementCharacter)))
                mangled.push_back(rows.size());
            rows.append(dir, file, query.fieldAsInteger(size), query.field(atr).toString(), query.fieldAsInteger(crc1),
                        query.fieldAsInteger(crc2), std::nullopt, id >= 0 ? query.fieldAsInteger(id) : 0);
            if (++count % 256 == 0)
                read(count);
        } while (query.next());
    }
    read(count);
    query.close();
    // Read again as bytes, through blobs, which come back as they are.
    for (const qsizetype at : mangled) {
        query.openStatement(Statement(u"select cast(full_path as blob sub_type binary),"
                                      u" cast(file_name as blob sub_type binary) from table1 where id=")
                                .number(rows[at].id));
        if (query.hasRow())
            rows.rename(at, DecodeFileName(query.field(0).toByteArray()), DecodeFileName(query.field(1).toByteArray()));
        query.close();
    }
}

void AttachFingerprints(TIBQuery& query, CheckRows& rows)
{
    if (rows.isEmpty())
        return;
    // The rows by id, to look each fingerprint's row up in.
    std::vector<std::pair<qint32, quint32>> byId;
    byId.reserve(std::size_t(rows.size()));
    for (qsizetype i = 0; i < rows.size(); ++i)
        byId.emplace_back(rows[i].id, quint32(i));
    std::sort(byId.begin(), byId.end());
    query.openStatement(Statement(u"select file_id,sha256,mode,owner_id,group_id,link_target,tab_id from fingerprint"
                                  u" where file_id between ")
                            .number(byId.front().first)
                            .sql(u" and ")
                            .number(byId.back().first));
    if (query.hasRow()) {
        do {
            const qint32 fileId = query.fieldAsInteger(0);
            auto at = std::lower_bound(byId.begin(), byId.end(), std::pair(fileId, quint32(0)));
            if (at == byId.end() || at->first != fileId)
                continue;
            const std::optional<Fingerprint> print =
                FingerprintFromColumns(query.field(1), query.field(2), query.field(3), query.field(4), query.field(5),
                                       query.field(6));
            for (; print && at != byId.end() && at->first == fileId; ++at)
                rows.setPrint(at->second, *print);
        } while (query.next());
    }
    query.close();
}
