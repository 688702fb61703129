#include "registration/sealed_change.h"

#include "rows/registration.h"
#include "rows/seal_rows.h"
#include "rows/walk_rows.h"
#include "storage/dm1.h"

#include <optional>

void SealDatabase(TIBQuery& query, const SealKey& key)
{
    const QList<Registration> registrations = ReadRegistrations(query);
    QList<SealRow> rows;
    for (const Registration& registration : registrations) {
        const QByteArray digest = DigestHex(RegistrationDigest(query, registration));
        rows.append({registration.id, digest, key.sign(RegistrationSealMessage(registration.id, digest)).toHex()});
    }
    rows.append({std::nullopt, QByteArray(), key.sign(ListSealMessage(registrations, rows)).toHex()});
    WriteSealRows(query, rows);
}

void RunChange(TDM1& dm, const std::function<SealKey()>& key, const std::function<void()>& change)
{
    if (Table2HasRows(dm))
        EmptyTable2(dm);
    std::optional<SealKey> sealing;
    if (IsSealed(dm.IBQuery1))
        sealing = key();
    change();
    if (sealing)
        SealDatabase(dm.IBQuery1, *sealing);
}
