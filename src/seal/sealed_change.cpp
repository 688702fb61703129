#include "seal/sealed_change.h"

#include "common/exception.h"
#include "rows/registration.h"
#include "rows/walk_rows.h"
#include "seal/kept_rows.h"
#include "seal/seal_memory.h"
#include "seal/seal_rows.h"
#include "seal/seal_verdict.h"
#include "storage/dm1.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QRandomGenerator>

#include <algorithm>
#include <optional>

void SealDatabase(TIBQuery& query, const SealKey* key, const QSet<qint32>* changed, int fieldSet,
                  const std::function<std::optional<Sha256Digest>(const Registration&, int)>& digestOf)
{
    const QList<Registration> registrations = ReadRegistrations(query);
    const SealTable kept = ReadSealTable(query);
    SealTable table;
    for (const Registration& registration : registrations) {
        const SealRow* row = kept.of(registration.id);
        // One the change did not write keeps its seal; one without a seal
        // stays so until the next seal command: a change never blesses what
        // was done behind the program's back. Without a key, a registration
        // recorded before digests were kept gets its first.
        if (changed && !changed->contains(registration.id) && (row || key)) {
            if (row)
                table.registrations.append(*row);
            continue;
        }
        std::optional<Sha256Digest> digest = digestOf ? digestOf(registration, fieldSet) : std::nullopt;
        if (!digest)
            digest = RegistrationDigest(query, registration, fieldSet);
        SealRow made{registration.id, DigestHex(*digest), {}, fieldSet};
        if (key)
            made.signature = key->sign(RegistrationSealMessage(made)).toHex();
        table.registrations.append(made);
    }
    // The identity is made when the database is first sealed; an earlier
    // layout, sealed as it is, keeps none.
    if (key && !query.database().lacks(QStringLiteral("seal"), QStringLiteral("database_id"))) {
        table.database = kept.database;
        if (table.database.isEmpty()) {
            quint32 random[4];
            QRandomGenerator::system()->fillRange(random);
            table.database = QByteArray(reinterpret_cast<const char*>(random), sizeof random).toHex();
        }
        // Past what any checker here has seen of it: a copy put back on
        // purpose and sealed again counts on from there.
        table.generation = std::max(kept.generation, SealMemory().generationOf(table.database).value_or(0)) + 1;
        table.sealedAt = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
    }
    SealRow list;
    const QByteArray message = ListSealMessage(registrations, table);
    list.digest = QCryptographicHash::hash(message, QCryptographicHash::Sha256).toHex();
    if (key)
        list.signature = key->sign(message).toHex();
    table.list = list;
    WriteSealTable(query, table);
    if (key && !table.database.isEmpty())
        SealMemory().remember(query.database().shownName(), table.database, table.generation);
}

QString RefusedChange(const QStringList& problems, bool isSigned)
{
    return problems.join(QStringLiteral("; "))
        + (isSigned ? QStringLiteral(". Ничего не изменено: посмотрите, что изменено (check), и если база данных верна, "
                                     "запечатайте ее заново: kvaren-cli seal --force КЛЮЧ")
                    : QStringLiteral(". Ничего не изменено: посмотрите, что изменено (check), и если база данных верна, "
                                     "примите ее такой: kvaren-cli seal --force"));
}

void RunChange(TDM1& dm, const std::function<SealKey()>& key, const std::function<QSet<qint32>()>& willWrite,
               const std::function<QSet<qint32>()>& change, ChangeReach reach)
{
    TIBQuery& query = dm.IBQuery1;
    if (Table2HasRows(dm))
        EmptyTable2(dm);
    const SealTable before = ReadSealTable(query);
    std::optional<SealKey> sealing;
    if (before.isSigned())
        sealing = key();
    const QSet<qint32> declared = willWrite();
    KeptRows kept;
    std::function<Sha256Digest(const Registration&, int)> keeping;
    if (reach == ChangeReach::NamedFiles)
        keeping = [&](const Registration& registration, int fieldSet) {
            return RegistrationDigest(query, registration, kept.read(query, registration), fieldSet);
        };
    const SealVerdict verdict = VerifySeal(query, sealing ? &*sealing : nullptr, declared.values(), keeping);
    if (verdict.broken())
        throw Exception(RefusedChange(verdict.problems, before.isSigned()));
    const QSet<qint32> written = [&] {
        KeptRows::Listening listening(kept);
        return change();
    }();
    // What it wrote besides what was verified must be new.
    for (const qint32 id : written)
        if (!declared.contains(id) && before.of(id))
            throw Exception(QStringLiteral("Изменены записи директории, печать которой не проверена: ")
                            + QString::number(id));
    SealDatabase(query, sealing ? &*sealing : nullptr, &written, SealFieldSet(),
                 [&](const Registration& registration, int fieldSet) {
                     return kept.digestAfter(query, registration, fieldSet);
                 });
}
