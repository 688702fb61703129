#include "rows/seal_rows.h"

#include "common/file_name_codec.h"
#include "rows/fingerprint_columns.h"
#include "rows/owned_rows.h"
#include "storage/ib_query.h"

#include <QtEndian>

#include <algorithm>
#include <utility>
#include <vector>

namespace {

constexpr char kFormat[] = "kvaren seal 1";

// Each value as its kind and its bytes, so that no two rows encode alike.
void append(QByteArray& out, const QVariant& value)
{
    auto bytes = [&](char kind, const QByteArray& data) {
        out.append(kind);
        const quint32 size = qToLittleEndian(quint32(data.size()));
        out.append(reinterpret_cast<const char*>(&size), sizeof size).append(data);
    };
    if (value.isNull()) {
        out.append('N');
    } else if (value.typeId() == QMetaType::QString) {
        bytes('T', EncodeFileName(value.toString()));
    } else if (value.typeId() == QMetaType::QByteArray) {
        bytes('B', value.toByteArray());
    } else {
        const qint64 number = qToLittleEndian(value.toLongLong());
        out.append('I').append(reinterpret_cast<const char*>(&number), sizeof number);
    }
}

// The columns of the current row of query from first on, encoded.
QByteArray encodeRow(const TIBQuery& query, int first, int count)
{
    QByteArray row;
    for (int i = first; i < first + count; ++i)
        append(row, query.field(i));
    return row;
}

bool mangled(const TIBQuery& query, int first, int count)
{
    for (int i = first; i < first + count; ++i)
        if (query.field(i).typeId() == QMetaType::QString && query.field(i).toString().contains(QChar::ReplacementCharacter))
            return true;
    return false;
}

// Rows of select keyed by their first column, each encoded from its second
// column on; keep says which keys count. The keys of rows with a text that
// came back with bytes that are not UTF-8 replaced are added to mangled.
std::vector<std::pair<qint32, QByteArray>> keyedRows(TIBQuery& query, const Statement& select, int columns,
                                                    const std::vector<qint32>& keep,
                                                    std::vector<qint32>* mangledKeys = nullptr)
{
    std::vector<std::pair<qint32, QByteArray>> rows;
    query.openStatement(select);
    if (query.hasRow()) {
        do {
            const qint32 key = query.fieldAsInteger(0);
            if (!std::binary_search(keep.begin(), keep.end(), key))
                continue;
            rows.emplace_back(key, encodeRow(query, 1, columns));
            if (mangledKeys && mangled(query, 1, columns))
                mangledKeys->push_back(key);
        } while (query.next());
    }
    query.close();
    std::sort(rows.begin(), rows.end());
    return rows;
}

} // namespace

Sha256Digest RegistrationDigest(TIBQuery& query, const Registration& registration)
{
    QByteArray head(kFormat, sizeof kFormat);
    append(head, QVariant(registration.id));
    append(head, QVariant(registration.dir));
    append(head, QVariant(registration.list));
    Sha256Accumulator digest;
    digest.add(reinterpret_cast<const quint8*>(head.constData()), std::size_t(head.size()));
    auto add = [&](const QByteArray& bytes) {
        digest.add(reinterpret_cast<const quint8*>(bytes.constData()), std::size_t(bytes.size()));
    };

    const std::vector<qint32> ids = RegistrationRows(query, registration.id, registration.dir);
    if (!ids.empty()) {
        const QString range = QStringLiteral(" between %1 and %2").arg(ids.front()).arg(ids.back());
        std::vector<qint32> mangledIds;
        auto files = keyedRows(query,
                               Statement(QStringLiteral("select id,id,file_name,full_path,file_size,data,atr,crc1,crc2"
                                                        " from table1 where id")
                                         + range),
                               8, ids, &mangledIds);
        // Names and paths as blobs where a text did not carry their bytes.
        for (const qint32 id : mangledIds) {
            query.openStatement(Statement(u"select id,cast(file_name as blob sub_type binary),"
                                          u"cast(full_path as blob sub_type binary),file_size,data,atr,crc1,crc2"
                                          u" from table1 where id=")
                                    .number(id));
            const QByteArray exact = encodeRow(query, 0, 8);
            query.close();
            for (auto& [key, row] : files)
                if (key == id)
                    row = exact;
        }
        const auto prints = keyedRows(query,
                                      Statement(QStringLiteral("select file_id,tab_id,") + FingerprintColumnNames()
                                                + QStringLiteral(" from fingerprint where file_id") + range),
                                      1 + int(FingerprintColumns().size()), ids);
        auto print = prints.begin();
        for (const auto& [id, row] : files) {
            add(row);
            // A row's fingerprint, or a mark that it has none; duplicates
            // (never written by the program) count too.
            for (; print != prints.end() && print->first < id; ++print) {
            }
            QByteArray marks;
            for (; print != prints.end() && print->first == id; ++print)
                marks.append('F').append(print->second);
            add(marks.isEmpty() ? QByteArray(1, '-') : marks);
        }
    }

    std::vector<QByteArray> directories;
    query.openStatement(Statement(QStringLiteral("select cast(full_path as blob sub_type binary),")
                                  + FingerprintColumnNames()
                                  + QStringLiteral(" from directory_print where tab_id="))
                            .number(registration.id));
    if (query.hasRow()) {
        do
            directories.push_back(encodeRow(query, 0, 1 + int(FingerprintColumns().size())));
        while (query.next());
    }
    query.close();
    std::sort(directories.begin(), directories.end());
    for (const QByteArray& directory : directories)
        add(QByteArray(1, 'D') + directory);
    return digest.result();
}

QByteArray RegistrationSealMessage(qint32 id, const QByteArray& digest)
{
    return QByteArrayLiteral("kvaren seal 1\nregistration ") + QByteArray::number(id) + '\n' + digest;
}

QByteArray ListSealMessage(QList<Registration> registrations, const QList<SealRow>& rows)
{
    std::sort(registrations.begin(), registrations.end(),
              [](const Registration& a, const Registration& b) { return a.id < b.id; });
    QByteArray message = QByteArrayLiteral("kvaren seal 1\nlist\n");
    for (const Registration& registration : registrations) {
        QByteArray digest;
        for (const SealRow& row : rows)
            if (row.registration == registration.id)
                digest = row.digest;
        message += QByteArray::number(registration.id) + '\t' + EncodeFileName(registration.dir).toHex() + '\t'
            + registration.list.toUtf8().toHex() + '\t' + digest + '\n';
    }
    return message;
}

bool IsSealed(TIBQuery& query)
{
    query.openStatement(Statement(u"select first 1 signature from seal"));
    const bool sealed = query.hasRow();
    query.close();
    return sealed;
}

QList<SealRow> ReadSealRows(TIBQuery& query)
{
    QList<SealRow> rows;
    query.openStatement(Statement(u"select tab_id,digest,signature from seal"));
    if (query.hasRow()) {
        do {
            SealRow row;
            if (!query.field(0).isNull())
                row.registration = query.fieldAsInteger(0);
            row.digest = query.field(1).toString().toLatin1();
            row.signature = query.field(2).toString().toLatin1();
            rows.append(row);
        } while (query.next());
    }
    query.close();
    return rows;
}

void WriteSealRows(TIBQuery& query, const QList<SealRow>& rows)
{
    query.executeStatement(Statement(u"delete from seal"));
    for (const SealRow& row : rows) {
        Statement insert(u"insert into seal (tab_id,digest,signature) values (");
        (row.registration ? insert.number(*row.registration) : insert.sql(u"null")).sql(u",");
        insert.quoted(QString::fromLatin1(row.digest)).sql(u",").quoted(QString::fromLatin1(row.signature)).sql(u")");
        query.executeStatement(insert);
    }
}
