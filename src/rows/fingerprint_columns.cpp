#include "rows/fingerprint_columns.h"

#include "common/file_name_codec.h"
#include "storage/ib_query.h"
#include "storage/schema.h"

#include <algorithm>

namespace {

// An attribute that is a whole number, held in a column of type Column.
template<quint32 Fingerprint::*member, typename Column>
FingerprintColumn number(const char16_t* name)
{
    return {QString::fromUtf16(name), FingerprintColumn::Attributes,
            [](const Fingerprint& print) { return QVariant::fromValue(Column(print.*member)); },
            [](Fingerprint& print, const QVariant& value) { print.*member = quint32(value.value<Column>()); },
            [](const Fingerprint& a, const Fingerprint& b) { return a.*member == b.*member; }};
}

std::vector<FingerprintColumn> describe()
{
    return {
        // The digest in hex; null for a name that is not read.
        {QStringLiteral("sha256"), FingerprintColumn::Contents,
         [](const Fingerprint& print) {
             return QVariant(print.sha256 ? QString::fromLatin1(DigestHex(*print.sha256)) : QString());
         },
         [](Fingerprint& print, const QVariant& value) {
             const QByteArray hex = value.toString().toLatin1();
             if (hex.size() != 64)
                 return;
             const QByteArray bytes = QByteArray::fromHex(hex);
             Sha256Digest digest{};
             std::copy_n(reinterpret_cast<const quint8*>(bytes.constData()), std::min<qsizetype>(bytes.size(), 32),
                         digest.begin());
             print.sha256 = digest;
         },
         [](const Fingerprint& a, const Fingerprint& b) { return a.sha256 == b.sha256; }},
        // st_mode: the file type and the permission bits.
        number<&Fingerprint::mode, qint32>(u"mode"),
        number<&Fingerprint::owner, qint64>(u"owner_id"),
        number<&Fingerprint::group, qint64>(u"group_id"),
        // A link's own text, byte for byte; null for a name that is no link
        // (a link's text is never empty).
        {QStringLiteral("link_target"), FingerprintColumn::Attributes,
         [](const Fingerprint& print) {
             return QVariant(print.linkTarget.isEmpty() ? QByteArray() : EncodeFileName(print.linkTarget));
         },
         [](Fingerprint& print, const QVariant& value) { print.linkTarget = DecodeFileName(value.toByteArray()); },
         [](const Fingerprint& a, const Fingerprint& b) { return a.linkTarget == b.linkTarget; }},
    };
}

Statement& appendOwner(Statement& statement, qint32 owner)
{
    return owner > 0 ? statement.number(owner) : statement.sql(u"null");
}

// " as <type>)" of each column, as a batch casts its values.
const QStringList& castEnds()
{
    static const QStringList ends = [] {
        QStringList list;
        for (const FingerprintColumn& column : FingerprintColumns())
            list.append(QStringLiteral(" as ") + SchemaColumnType(QStringLiteral("fingerprint"), column.name) + u')');
        return list;
    }();
    return ends;
}

} // namespace

const std::vector<FingerprintColumn>& FingerprintColumns()
{
    static const std::vector<FingerprintColumn> columns = describe();
    return columns;
}

bool SameFingerprint(const Fingerprint& a, const Fingerprint& b, FingerprintColumn::Change change)
{
    return std::all_of(FingerprintColumns().begin(), FingerprintColumns().end(), [&](const FingerprintColumn& column) {
        return column.change != change || column.same(a, b);
    });
}

QString FingerprintColumnNames()
{
    QStringList names;
    for (const FingerprintColumn& column : FingerprintColumns())
        names.append(column.name);
    return names.join(u',');
}

void InsertFingerprint(TIBQuery& query, qint32 fileId, const Fingerprint& print, qint32 owner)
{
    Statement insert(QStringLiteral("insert into fingerprint (file_id,tab_id,") + FingerprintColumnNames()
                     + QStringLiteral(") values ("));
    appendOwner(insert.number(fileId).sql(u","), owner);
    for (const FingerprintColumn& column : FingerprintColumns())
        insert.sql(u",").value(column.value(print));
    query.executeStatement(insert.sql(u")"));
}

Statement& AppendFingerprintCasts(Statement& statement, const Fingerprint& print)
{
    for (std::size_t i = 0; i < FingerprintColumns().size(); ++i)
        statement.sql(u",cast(").value(FingerprintColumns()[i].value(print)).sql(castEnds()[qsizetype(i)]);
    return statement;
}

Fingerprint FingerprintFromRow(const TIBQuery& query, int first)
{
    Fingerprint print;
    for (const FingerprintColumn& column : FingerprintColumns())
        column.read(print, query.field(first++));
    return print;
}
