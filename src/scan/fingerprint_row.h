#pragma once

#include "scan/fingerprint.h"

#include <QVariant>

class TIBQuery;

// How the fingerprint table keeps a fingerprint: file_id, sha256 as hex (null
// for a name not read), mode, owner_id, group_id, and link_target (null for a
// name that is no link; a link's own text is never empty), tab_id (the
// registration, null for none).

// The digest as the sha256 column holds it.
QString DigestColumnText(const Fingerprint& print);
// The link's text as the link_target blob holds it: null for no link.
QByteArray LinkColumnBytes(const Fingerprint& print);

// Adds the fingerprint row of the file row fileId through query.
void InsertFingerprint(TIBQuery& query, qint32 fileId, const Fingerprint& print);

// The fingerprint from the columns of a row read back; nothing when mode is
// null (a file row without a fingerprint row).
std::optional<Fingerprint> FingerprintFromColumns(const QVariant& sha256, const QVariant& mode, const QVariant& owner,
                                                  const QVariant& group, const QVariant& linkTarget,
                                                  const QVariant& registration = {});
