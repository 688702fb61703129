#include "seal/seal_verdict.h"

#include "common/shown_name.h"
#include "rows/registration.h"
#include "seal/seal_rows.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <unistd.h>

namespace {

bool signs(const SealKey& key, const QByteArray& message, const QByteArray& signatureHex)
{
    return key.verify(message, QByteArray::fromHex(signatureHex));
}

} // namespace

SealVerdict VerifySeal(TIBQuery& query, const SealKey* publicKey, std::optional<qint32> registration,
                       const std::function<Sha256Digest(int fieldSet)>& digest)
{
    SealVerdict verdict;
    const QList<SealRow> rows = ReadSealRows(query);
    if (rows.isEmpty()) {
        if (publicKey)
            verdict.problems.append(QStringLiteral("База данных не запечатана, хотя задан открытый ключ ")
                                    + publicKey->fingerprint());
        return verdict;
    }
    if (!publicKey) {
        verdict.problems.append(QStringLiteral("База данных запечатана, но открытый ключ не задан: печать не проверена"));
        return verdict;
    }
    const QList<Registration> registrations = ReadRegistrations(query);
    const auto list = std::find_if(rows.begin(), rows.end(), [](const SealRow& row) { return !row.registration; });
    if (list == rows.end() || !signs(*publicKey, ListSealMessage(registrations, rows), list->signature))
        verdict.problems.append(QStringLiteral("Печать базы данных не совпадает: список директорий на учете или "
                                               "печать изменены помимо программы, или запечатано другим ключом"));
    if (registration) {
        const auto checked = std::find_if(registrations.begin(), registrations.end(),
                                          [&](const Registration& r) { return r.id == *registration; });
        const auto sealed = std::find_if(rows.begin(), rows.end(),
                                         [&](const SealRow& row) { return row.registration == *registration; });
        if (checked != registrations.end()) {
            const QString dir = ShownName(checked->dir);
            if (sealed == rows.end())
                verdict.problems.append(QStringLiteral("Директория не запечатана: ") + dir);
            else if (!signs(*publicKey, RegistrationSealMessage(*sealed), sealed->signature))
                verdict.problems.append(QStringLiteral("Печать директории не совпадает (изменена или сделана другим "
                                                       "ключом): ")
                                        + dir);
            else if (DigestHex(digest ? digest(sealed->fieldSet) : RegistrationDigest(query, *checked, sealed->fieldSet))
                     != sealed->digest)
                verdict.problems.append(QStringLiteral("Записи директории изменены помимо программы: ") + dir);
        }
    }
    if (!verdict.broken())
        verdict.keyFingerprint = publicKey->fingerprint();
    return verdict;
}

QStringList SealLines(const SealVerdict& verdict)
{
    if (verdict.broken())
        return verdict.problems;
    if (!verdict.keyFingerprint.isEmpty())
        return {QStringLiteral("Печать базы данных проверена ключом ") + verdict.keyFingerprint};
    return {};
}

std::optional<SealKey> ConfiguredPublicKey(const QString& given)
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
    if (QFileInfo::exists(usual))
        return SealKey::readPublic(usual);
    return std::nullopt;
}
