#include "scan/fingerprint_row.h"

#include "common/file_name_codec.h"
#include "storage/ib_query.h"

#include <algorithm>

QString DigestColumnText(const Fingerprint& print)
{
    return print.sha256 ? QString::fromLatin1(DigestHex(*print.sha256)) : QString();
}

QByteArray LinkColumnBytes(const Fingerprint& print)
{
    return print.linkTarget.isEmpty() ? QByteArray() : EncodeFileName(print.linkTarget);
}

void InsertFingerprint(TIBQuery& query, qint32 fileId, const Fingerprint& print)
{
    query.executeStatement(Statement(u"insert into fingerprint values (")
                               .number(fileId)
                               .sql(u",")
                               .quoted(DigestColumnText(print))
                               .sql(u",")
                               .number(qint32(print.mode))
                               .sql(u",")
                               .bigNumber(print.owner)
                               .sql(u",")
                               .bigNumber(print.group)
                               .sql(u",")
                               .bytes(LinkColumnBytes(print))
                               .sql(u",")
                               .sql(print.registration > 0 ? QString::number(print.registration) : QStringLiteral("null"))
                               .sql(u")"));
}

std::optional<Fingerprint> FingerprintFromColumns(const QVariant& sha256, const QVariant& mode, const QVariant& owner,
                                                  const QVariant& group, const QVariant& linkTarget,
                                                  const QVariant& registration)
{
    if (mode.isNull())
        return std::nullopt;
    Fingerprint print;
    print.mode = quint32(mode.toInt());
    print.owner = quint32(owner.toLongLong());
    print.group = quint32(group.toLongLong());
    const QByteArray hex = sha256.toString().toLatin1();
    if (hex.size() == 64) {
        const QByteArray bytes = QByteArray::fromHex(hex);
        Sha256Digest digest{};
        std::copy_n(reinterpret_cast<const quint8*>(bytes.constData()), std::min<qsizetype>(bytes.size(), 32),
                    digest.begin());
        print.sha256 = digest;
    }
    print.linkTarget = DecodeFileName(linkTarget.toByteArray());
    print.registration = registration.isNull() ? 0 : registration.toInt();
    return print;
}
