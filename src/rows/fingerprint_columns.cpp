#include "rows/fingerprint_columns.h"

#include "common/file_name_codec.h"
#include "storage/ib_database.h"
#include "storage/ib_query.h"
#include "storage/schema.h"

#include <algorithm>
#include <cstring>

#include <sys/stat.h>

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

// Extended attributes as a column holds them: null for none, which is most
// names' (a blob written or read for every row would cost more than the rest
// of it); else a format byte, then for each attribute its name's length (16
// bits) and name, and its value's length (32 bits; all ones for a value not
// read) and value. Whether a null is "none" or "not known" the kept column
// column says.
constexpr char kXattrFormat = 1;
constexpr quint32 kNotRead = 0xFFFFFFFF;

QByteArray encodeXattrs(const ExtendedAttributes& xattrs)
{
    if (xattrs.empty())
        return QByteArray();
    QByteArray bytes(1, kXattrFormat);
    for (const auto& [name, value] : xattrs) {
        const quint16 nameSize = quint16(name.size());
        const quint32 valueSize = value ? quint32(value->size()) : kNotRead;
        bytes.append(reinterpret_cast<const char*>(&nameSize), sizeof nameSize).append(name);
        bytes.append(reinterpret_cast<const char*>(&valueSize), sizeof valueSize);
        if (value)
            bytes.append(*value);
    }
    return bytes;
}

SharedAttributes decodeXattrs(const QByteArray& bytes)
{
    ExtendedAttributes xattrs;
    if (bytes.isEmpty())
        return ShareAttributes({});
    if (bytes[0] != kXattrFormat)
        return nullptr;
    qsizetype at = 1;
    auto take = [&](auto& number) {
        if (at + qsizetype(sizeof number) > bytes.size())
            return false;
        std::memcpy(&number, bytes.data() + at, sizeof number);
        at += sizeof number;
        return true;
    };
    while (at < bytes.size()) {
        quint16 nameSize = 0;
        quint32 valueSize = 0;
        if (!take(nameSize) || at + nameSize > bytes.size())
            return nullptr;
        const QByteArray name = bytes.mid(at, nameSize);
        at += nameSize;
        if (!take(valueSize))
            return nullptr;
        if (valueSize == kNotRead) {
            xattrs.emplace(name, std::nullopt);
            continue;
        }
        if (at + qsizetype(valueSize) > bytes.size())
            return nullptr;
        xattrs.emplace(name, bytes.mid(at, qsizetype(valueSize)));
        at += qsizetype(valueSize);
    }
    return ShareAttributes(std::move(xattrs));
}

// The same names, and the same values where both were read.
bool sameXattrs(const SharedAttributes& a, const SharedAttributes& b)
{
    if (!a || !b || a == b)
        return true;
    return std::equal(a->begin(), a->end(), b->begin(), b->end(), [](const auto& x, const auto& y) {
        return x.first == y.first && (!x.second || !y.second || x.second == y.second);
    });
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
        // Capabilities, ACLs and every other extended attribute.
        {QStringLiteral("xattrs"), FingerprintColumn::Attributes,
         [](const Fingerprint& print) { return QVariant(print.xattrs ? encodeXattrs(*print.xattrs) : QByteArray()); },
         [](Fingerprint& print, const QVariant& value) { print.xattrs = decodeXattrs(value.toByteArray()); },
         [](const Fingerprint& a, const Fingerprint& b) { return sameXattrs(a.xattrs, b.xattrs); }},
        // What the inode holds beyond the mode: a device's number, or the
        // flags of a regular file or directory (the mode, read before it,
        // says which); -1 for neither. Null only in rows written before this
        // column and xattrs were kept, read last: then neither the flags nor
        // the extended attributes are known (a null xattrs is "none" in every
        // later row).
        {QStringLiteral("device_or_flags"), FingerprintColumn::Attributes,
         [](const Fingerprint& print) {
             return QVariant::fromValue(print.device ? qint64(*print.device) : print.flags ? qint64(*print.flags) : qint64(-1));
         },
         [](Fingerprint& print, const QVariant& value) {
             if (value.isNull()) {
                 print.xattrs.reset();
                 return;
             }
             const qint64 word = value.toLongLong();
             if (word == -1)
                 return;
             if (S_ISBLK(print.mode) || S_ISCHR(print.mode))
                 print.device = quint64(word);
             else
                 print.flags = quint32(word);
         },
         [](const Fingerprint& a, const Fingerprint& b) {
             return (!a.flags || !b.flags || a.flags == b.flags) && (!a.device || !b.device || a.device == b.device);
         }},
    };
}

Statement& appendOwner(Statement& statement, qint32 owner)
{
    return owner > 0 ? statement.number(owner) : statement.sql(u"null");
}

// What follows each column's value as a batch casts them: " as <type>)",
// and ",cast(" before the next.
const QStringList& castEnds()
{
    static const QStringList ends = [] {
        QStringList list;
        for (const FingerprintColumn& column : FingerprintColumns())
            list.append(QStringLiteral(" as ") + SchemaColumnType(QStringLiteral("fingerprint"), column.name)
                        + QStringLiteral("),cast("));
        list.last().chop(6);
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

QString FingerprintSelectList(const TIBQuery& query, const QString& table)
{
    QStringList names;
    for (const FingerprintColumn& column : FingerprintColumns())
        names.append(query.database().lacks(table, column.name)
                         ? QStringLiteral("cast(null as ") + SchemaColumnType(table, column.name) + u')'
                         : column.name);
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
    statement.sql(u",cast(");
    for (std::size_t i = 0; i < FingerprintColumns().size(); ++i)
        statement.value(FingerprintColumns()[i].value(print)).sql(castEnds()[qsizetype(i)]);
    return statement;
}

Fingerprint FingerprintFromRow(const TIBQuery& query, int first)
{
    Fingerprint print;
    for (const FingerprintColumn& column : FingerprintColumns())
        column.read(print, query.field(first++));
    return print;
}
