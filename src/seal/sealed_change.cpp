#include "seal/sealed_change.h"

#include "common/exception.h"
#include "rows/registration.h"
#include "seal/seal_rows.h"
#include "rows/walk_rows.h"
#include "storage/dm1.h"

#include <algorithm>
#include <optional>

void SealDatabase(TIBQuery& query, const SealKey& key, const QSet<qint32>* changed, int fieldSet)
{
    const QList<Registration> registrations = ReadRegistrations(query);
    const QList<SealRow> sealed = changed ? ReadSealRows(query) : QList<SealRow>();
    QList<SealRow> rows;
    for (const Registration& registration : registrations) {
        const auto kept = std::find_if(sealed.begin(), sealed.end(),
                                       [&](const SealRow& row) { return row.registration == registration.id; });
        // One the change did not write keeps its seal, or stays without one:
        // a change never blesses what was done behind the program's back.
        if (changed && !changed->contains(registration.id)) {
            if (kept != sealed.end())
                rows.append(*kept);
            continue;
        }
        SealRow row{registration.id, DigestHex(RegistrationDigest(query, registration, fieldSet)), {}, fieldSet};
        row.signature = key.sign(RegistrationSealMessage(row)).toHex();
        rows.append(row);
    }
    rows.append({std::nullopt, QByteArray(), key.sign(ListSealMessage(registrations, rows)).toHex()});
    WriteSealRows(query, rows);
}

namespace {

// Refuses a change of a database whose list of registrations no longer holds
// its seal: signing it again would bless what was done behind the program's
// back.
void requireListSealed(TIBQuery& query, const SealKey& key)
{
    const QList<SealRow> rows = ReadSealRows(query);
    const auto list = std::find_if(rows.begin(), rows.end(), [](const SealRow& row) { return !row.registration; });
    if (list == rows.end()
        || !key.verify(ListSealMessage(ReadRegistrations(query), rows), QByteArray::fromHex(list->signature)))
        throw Exception(QStringLiteral("Печать базы данных не совпадает: список директорий на учете изменен помимо "
                                       "программы или запечатан другим ключом; проверьте базу данных и запечатайте ее "
                                       "заново (seal)"));
}

} // namespace

void RunChange(TDM1& dm, const std::function<SealKey()>& key, const std::function<QSet<qint32>()>& change)
{
    if (Table2HasRows(dm))
        EmptyTable2(dm);
    std::optional<SealKey> sealing;
    if (IsSealed(dm.IBQuery1)) {
        sealing = key();
        requireListSealed(dm.IBQuery1, *sealing);
    }
    const QSet<qint32> written = change();
    if (sealing)
        SealDatabase(dm.IBQuery1, *sealing, &written);
}
