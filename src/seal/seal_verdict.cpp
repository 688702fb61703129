#include "seal/seal_verdict.h"

#include "common/shown_name.h"
#include "seal/seal_memory.h"
#include "seal/seal_rows.h"
#include "storage/ib_database.h"
#include "storage/ib_query.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QJsonValue>

#include <algorithm>
#include <unistd.h>

namespace {

bool signs(const SealKey& key, const QByteArray& message, const QByteArray& signatureHex)
{
    return key.verify(message, QByteArray::fromHex(signatureHex));
}

QByteArray sha256Hex(const QByteArray& bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

// Whether the rows of the registration still give the digest its row holds.
bool rowsHold(TIBQuery& query, const Registration& registration, const SealRow& row,
              const std::function<Sha256Digest(const Registration&, int)>& digest)
{
    const Sha256Digest now = digest ? digest(registration, row.fieldSet)
                                    : RegistrationDigest(query, registration, row.fieldSet);
    return DigestHex(now) == row.digest;
}

// What a database kept without a key tells: its list's digest and its
// registrations' digests, where it has them. The words claim no signature.
void verifyDigests(TIBQuery& query, const SealTable& table, const QList<Registration>& registrations,
                   const QList<qint32>& verified,
                   const std::function<Sha256Digest(const Registration&, int)>& digest, SealVerdict& verdict)
{
    if (!table.list)
        return; // kept by a version that made no digests: nothing to tell by
    if (sha256Hex(ListSealMessage(registrations, table)) != table.list->digest)
        verdict.problems.append(QStringLiteral("Список директорий на учете изменен помимо программы, или база данных "
                                               "повреждена"));
    for (const Registration& registration : registrations) {
        const SealRow* row = table.of(registration.id);
        if (row && verified.contains(registration.id) && !rowsHold(query, registration, *row, digest))
            verdict.problems.append(QStringLiteral("Записи директории изменены помимо программы: ")
                                    + ShownName(registration.dir));
    }
}

// What remembering the seals tells of a database whose seal holds: an older
// generation of it, or another database where it was seen.
void compareWithMemory(const SealMemory& memory, const QString& path, const SealTable& table, SealVerdict& verdict)
{
    const std::optional<QByteArray> here = memory.databaseAt(path);
    if (here && *here != table.database) {
        verdict.problems.append(
            table.database.isEmpty()
                ? QStringLiteral("Печать базы данных старше той, что уже проверялась здесь (база данных %1): "
                                 "это ее прежняя копия")
                      .arg(QString::fromLatin1(*here))
                : QStringLiteral("Это другая база данных (%1), а здесь проверялась база данных %2: она подменена")
                      .arg(QString::fromLatin1(table.database), QString::fromLatin1(*here)));
        return;
    }
    const std::optional<qint64> seen = memory.generationOf(table.database);
    if (!table.database.isEmpty() && seen && table.generation < *seen)
        verdict.problems.append(QStringLiteral("Поколение печати вернулось назад: %1, а уже проверялось поколение %2: "
                                               "это прежняя копия базы данных")
                                    .arg(table.generation)
                                    .arg(*seen));
}

void verifySigned(TIBQuery& query, const SealKey& key, const SealTable& table, const QList<Registration>& registrations,
                  const QList<qint32>& verified,
                  const std::function<Sha256Digest(const Registration&, int)>& digest, SealVerdict& verdict)
{
    if (!signs(key, ListSealMessage(registrations, table), table.list->signature))
        verdict.problems.append(QStringLiteral("Печать базы данных не совпадает: список директорий на учете или "
                                               "печать изменены помимо программы, или запечатано другим ключом"));
    for (const Registration& registration : registrations) {
        if (!verified.contains(registration.id))
            continue;
        const QString dir = ShownName(registration.dir);
        const SealRow* row = table.of(registration.id);
        if (!row)
            verdict.problems.append(QStringLiteral("Директория не запечатана: ") + dir);
        else if (!signs(key, RegistrationSealMessage(*row), row->signature))
            verdict.problems.append(QStringLiteral("Печать директории не совпадает (изменена или сделана другим "
                                                   "ключом): ")
                                    + dir);
        else if (!rowsHold(query, registration, *row, digest))
            verdict.problems.append(QStringLiteral("Записи директории изменены помимо программы: ") + dir);
    }
}

} // namespace

SealVerdict VerifySeal(TIBQuery& query, const SealKey* key, const QList<qint32>& registrations,
                       const std::function<Sha256Digest(const Registration&, int fieldSet)>& digest)
{
    SealVerdict verdict;
    const SealTable table = ReadSealTable(query);
    const QList<Registration> all = ReadRegistrations(query);
    const QString path = query.database().shownName();
    const SealMemory memory;
    if (!table.isSigned()) {
        if (key) {
            const std::optional<QByteArray> seen = memory.databaseAt(path);
            verdict.problems.append(
                seen ? QStringLiteral("База данных не запечатана, а здесь проверялась запечатанная база данных %1: "
                                      "печать снята")
                           .arg(QString::fromLatin1(*seen))
                     : QStringLiteral("База данных не запечатана, хотя задан открытый ключ ") + key->fingerprint());
        }
        verifyDigests(query, table, all, registrations, digest, verdict);
        return verdict;
    }
    if (!key) {
        verdict.problems.append(QStringLiteral("База данных запечатана, но открытый ключ не задан: печать не проверена"));
        return verdict;
    }
    verifySigned(query, *key, table, all, registrations, digest, verdict);
    if (verdict.broken())
        return verdict;
    compareWithMemory(memory, path, table, verdict);
    if (verdict.broken())
        return verdict;
    verdict.keyFingerprint = key->fingerprint();
    verdict.database = table.database;
    verdict.generation = table.generation;
    verdict.sealedAt = table.sealedAt;
    if (!table.database.isEmpty()) {
        const QString failed = SealMemory().remember(path, table.database, table.generation);
        if (!failed.isEmpty())
            verdict.notes.append(QStringLiteral("Поколение печати не запомнено: ") + failed);
    }
    return verdict;
}

SealVerdict VerifyWholeSeal(TIBQuery& query, const SealKey* key)
{
    QList<qint32> ids;
    for (const Registration& registration : ReadRegistrations(query))
        ids.append(registration.id);
    return VerifySeal(query, key, ids);
}

QStringList SealLines(const SealVerdict& verdict)
{
    QStringList lines = verdict.problems;
    if (!verdict.broken() && !verdict.keyFingerprint.isEmpty()) {
        lines.append(QStringLiteral("Печать базы данных проверена ключом ") + verdict.keyFingerprint);
        if (!verdict.database.isEmpty())
            lines.append(QStringLiteral("Запечатана %1, поколение %2, база данных %3")
                             .arg(QDateTime::fromString(verdict.sealedAt, Qt::ISODate).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss 'UTC'")))
                             .arg(verdict.generation)
                             .arg(QString::fromLatin1(verdict.database)));
    }
    return lines + verdict.notes;
}

QJsonObject SealStamp(const SealVerdict& verdict)
{
    if (verdict.broken() || verdict.keyFingerprint.isEmpty())
        return {};
    QJsonObject stamp{{QStringLiteral("key"), verdict.keyFingerprint}};
    if (!verdict.database.isEmpty()) {
        stamp.insert(QStringLiteral("database"), QString::fromLatin1(verdict.database));
        stamp.insert(QStringLiteral("generation"), verdict.generation);
        stamp.insert(QStringLiteral("sealed"), verdict.sealedAt);
    }
    return stamp;
}

std::optional<SealKey> ConfiguredPublicKey(const QString& given, TIBQuery& query)
{
    if (!given.isEmpty())
        return SealKey::readPublic(given);
    const QString fromEnvironment = qEnvironmentVariable("KVAREN_PUBLIC_KEY");
    if (!fromEnvironment.isEmpty())
        return SealKey::readPublic(fromEnvironment);
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty())
        config = QDir::homePath() + QStringLiteral("/.config");
    const QString usual = geteuid() == 0 ? QStringLiteral("/etc/kvaren/seal.pub") : config + QStringLiteral("/kvaren/seal.pub");
    if (!QFileInfo::exists(usual))
        return std::nullopt;
    // Kept for every database of its user: it applies to one that is sealed,
    // or was seen sealed here before (its seal removed), and to no other.
    if (!IsSealed(query) && !SealMemory().databaseAt(query.database().shownName()))
        return std::nullopt;
    return SealKey::readPublic(usual);
}
