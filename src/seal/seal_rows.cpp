#include "seal/seal_rows.h"

#include "common/file_name_codec.h"
#include "rows/baseline_rows.h"
#include "rows/fingerprint_columns.h"
#include "storage/ib_database.h"
#include "storage/ib_query.h"

#include <QHash>
#include <QtEndian>

#include <algorithm>
#include <vector>

namespace {

// What each encoding begins with: "kvaren seal 1" for the first field set,
// which seals made before field sets were told apart used.
QByteArray format(int fieldSet)
{
    return QByteArrayLiteral("kvaren seal ") + QByteArray::number(fieldSet);
}

// Each value as its kind and its bytes, so that no two rows encode alike:
// 'T' for a text's bytes (see EncodeFileName), 'B' for bytes, 'I' for a
// number, 'N' for null.
void appendBytes(QByteArray& out, char kind, QByteArrayView data)
{
    out.append(kind);
    const quint32 size = qToLittleEndian(quint32(data.size()));
    out.append(reinterpret_cast<const char*>(&size), sizeof size).append(data);
}

void appendNumber(QByteArray& out, qint64 value)
{
    const qint64 number = qToLittleEndian(value);
    out.append('I').append(reinterpret_cast<const char*>(&number), sizeof number);
}

void append(QByteArray& out, const QVariant& value)
{
    if (value.isNull())
        out.append('N');
    else if (value.typeId() == QMetaType::QString)
        appendBytes(out, 'T', EncodeFileName(value.toString()));
    else if (value.typeId() == QMetaType::QByteArray)
        appendBytes(out, 'B', value.toByteArray());
    else
        appendNumber(out, value.toLongLong());
}

// What a fingerprint holds, as its columns hold it: the contents' digest
// first, then the attributes in their order, of the fields the field set
// knows; "-" for none.
void appendPrint(QByteArray& out, const Fingerprint* print, int fieldSet)
{
    if (!print) {
        out.append('-');
        return;
    }
    out.append('F');
    for (const FingerprintField::Change change : {FingerprintField::Contents, FingerprintField::Attributes})
        for (const FingerprintField& field : FingerprintFields()) {
            if (field.change != change || field.sealSince > fieldSet)
                continue;
            // The digest's column holds its hex, as text: encoded here
            // straight from the digest, as it is for every row.
            if (field.packing == FingerprintField::Digest && print->sha256)
                appendBytes(out, 'T', DigestHex(*print->sha256));
            else
                append(out, field.value(*print));
        }
}

} // namespace

Sha256Digest RegistrationDigest(const Registration& registration, const CheckRows& rows,
                                const DirectoryPrints& directories, int fieldSet, const PackageRecords& packages,
                                const LogEntries& accepts)
{
    Sha256Accumulator digest;
    auto add = [&](const QByteArray& bytes) {
        digest.add(reinterpret_cast<const quint8*>(bytes.constData()), std::size_t(bytes.size()));
    };
    QByteArray head = format(fieldSet);
    head.append('\0');
    append(head, QVariant(registration.id));
    append(head, QVariant(registration.dir));
    append(head, QVariant(registration.list));
    add(head);

    std::vector<qsizetype> order(std::size_t(rows.size()));
    for (qsizetype i = 0; i < rows.size(); ++i)
        order[std::size_t(i)] = i;
    std::sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) { return rows[a].id < rows[b].id; });
    QByteArray encoded;
    QByteArray fullName;
    QHash<quint16, QByteArray> atrs; // each attribute text's bytes, made once
    for (const qsizetype at : order) {
        const CheckRow& row = rows[at];
        encoded.resize(0); // its room is kept for the next row
        encoded.append('R');
        // Each number goes in as eight bytes, as it did when sizes were
        // 32-bit: a row sealed then encodes as it did (widening the column
        // keeps its values), and a size past 32 bits, which no such row
        // holds, is told apart by its upper bytes; so seals made before
        // hold.
        for (const qint64 number : {qint64(row.id), row.size, qint64(row.data), qint64(row.crc1), qint64(row.crc2),
                                    qint64(row.owner)})
            appendNumber(encoded, number);
        // The full name's bytes: the directory's, "/" and the name's.
        fullName.resize(0);
        fullName.append(rows.directories().path(row.dir)).append('/').append(rows.name(row));
        appendBytes(encoded, 'B', fullName);
        auto atr = atrs.find(row.atr);
        if (atr == atrs.end())
            atr = atrs.insert(row.atr, EncodeFileName(rows.atr(row)));
        appendBytes(encoded, 'T', *atr);
        const std::optional<Fingerprint> print = rows.print(row);
        appendPrint(encoded, print ? &*print : nullptr, fieldSet);
        add(encoded);
    }

    std::vector<std::pair<QByteArray, const DirectoryPrint*>> byPath;
    for (const DirectoryPrint& directory : directories)
        byPath.emplace_back(EncodeFileName(directory.path), &directory);
    std::sort(byPath.begin(), byPath.end());
    for (const auto& [path, directory] : byPath) {
        encoded = QByteArray(1, 'D');
        append(encoded, QVariant(path));
        appendPrint(encoded, directory->print ? &*directory->print : nullptr, fieldSet);
        add(encoded);
    }
    // In the order ReadPackageRecords gives them.
    for (const PackageRecord& package : packages) {
        encoded = QByteArray(1, 'P');
        for (const QString& text : {package.package, package.architecture, package.version})
            append(encoded, QVariant(text));
        append(encoded, QVariant(package.filesDigest));
        add(encoded);
    }
    // In the order ReadAccepts gives them: the order they were made in.
    for (const LogEntry& accepted : accepts) {
        encoded = QByteArray(1, 'A');
        for (const QString& text : {LogKindKey(accepted.kind), accepted.at.toUTC().toString(Qt::ISODateWithMs),
                                    accepted.user, accepted.host})
            append(encoded, QVariant(text));
        append(encoded, QVariant(qint64(accepted.names.size())));
        for (const QString& name : accepted.names)
            append(encoded, QVariant(EncodeFileName(name)));
        add(encoded);
    }
    return digest.result();
}

Sha256Digest RegistrationDigest(TIBQuery& query, const Registration& registration, int fieldSet)
{
    DirectoryTable dirs;
    CheckRows rows(dirs);
    ReadBaselineRows(query, registration, rows);
    return RegistrationDigest(query, registration, rows, fieldSet);
}

Sha256Digest RegistrationDigest(TIBQuery& query, const Registration& registration, const CheckRows& rows,
                                int fieldSet)
{
    return RegistrationDigest(registration, rows, ReadDirectoryPrints(query, registration.id), fieldSet,
                              ReadPackageRecords(query, registration.id), ReadAccepts(query, registration.id));
}

QByteArray RegistrationSealMessage(const SealRow& row)
{
    return format(row.fieldSet) + QByteArrayLiteral("\nregistration ") + QByteArray::number(*row.registration) + '\n'
        + row.digest;
}

QByteArray ListSealMessage(QList<Registration> registrations, const SealTable& table)
{
    std::sort(registrations.begin(), registrations.end(),
              [](const Registration& a, const Registration& b) { return a.id < b.id; });
    // Lists sealed before the database had an identity keep their message.
    QByteArray message = table.database.isEmpty()
        ? QByteArrayLiteral("kvaren seal 1\nlist\n")
        : QByteArrayLiteral("kvaren seal 2\nlist\ndatabase ") + table.database + QByteArrayLiteral("\ngeneration ")
            + QByteArray::number(table.generation) + QByteArrayLiteral("\nsealed ") + table.sealedAt.toLatin1() + '\n';
    for (const Registration& registration : registrations) {
        const SealRow* row = table.of(registration.id);
        message += QByteArray::number(registration.id) + '\t' + EncodeFileName(registration.dir).toHex() + '\t'
            + registration.list.toUtf8().toHex() + '\t' + (row ? row->digest : QByteArray()) + '\n';
    }
    return message;
}

const SealRow* SealTable::of(qint32 registration) const
{
    for (const SealRow& row : registrations)
        if (row.registration == registration)
            return &row;
    return nullptr;
}

bool IsSealed(TIBQuery& query)
{
    if (query.database().lacks(QStringLiteral("seal")))
        return false;
    return Scalar(query, Statement(u"select first 1 1 from seal where tab_id is null and signature > ''")).has_value();
}

SealTable ReadSealTable(TIBQuery& query)
{
    SealTable table;
    const TIBDatabase& database = query.database();
    if (database.lacks(QStringLiteral("seal")))
        return table;
    const QString fieldSet = database.lacks(QStringLiteral("seal"), QStringLiteral("field_set")) ? QStringLiteral("1")
                                                                                                 : QStringLiteral("field_set");
    const QString identity = database.lacks(QStringLiteral("seal"), QStringLiteral("database_id"))
        ? QStringLiteral("null,null,null")
        : QStringLiteral("database_id,generation,sealed_at");
    ForEachRow(query, Statement(u"select tab_id,digest,signature,").sql(fieldSet).sql(u",").sql(identity).sql(u" from seal"),
               [&] {
                   SealRow row;
                   if (!query.field(0).isNull())
                       row.registration = query.fieldAsInteger(0);
                   row.digest = query.field(1).toString().toLatin1();
                   row.signature = query.field(2).toString().toLatin1();
                   if (!query.field(3).isNull())
                       row.fieldSet = query.fieldAsInteger(3);
                   if (row.registration) {
                       table.registrations.append(row);
                       return;
                   }
                   table.list = row;
                   table.database = query.field(4).toString().toLatin1();
                   table.generation = query.field(5).toLongLong();
                   table.sealedAt = query.field(6).toString();
               });
    return table;
}

void WriteSealTable(TIBQuery& query, const SealTable& table)
{
    query.executeStatement(Statement(u"delete from seal"));
    auto text = [](Statement& insert, const QByteArray& value) -> Statement& {
        return value.isEmpty() ? insert.sql(u"null") : insert.quoted(QString::fromLatin1(value));
    };
    for (const SealRow& row : table.registrations) {
        Statement insert(u"insert into seal (tab_id,digest,signature,field_set) values (");
        insert.number(*row.registration).sql(u",");
        text(insert, row.digest).sql(u",");
        text(insert, row.signature).sql(u",").number(row.fieldSet).sql(u")");
        query.executeStatement(insert);
    }
    if (!table.list)
        return;
    Statement insert(u"insert into seal (tab_id,digest,signature,field_set,database_id,generation,sealed_at) values (null,");
    text(insert, table.list->digest).sql(u",");
    text(insert, table.list->signature).sql(u",").number(table.list->fieldSet).sql(u",");
    text(insert, table.database).sql(u",").bigNumber(table.generation).sql(u",");
    text(insert, table.sealedAt.toLatin1()).sql(u")");
    query.executeStatement(insert);
}
