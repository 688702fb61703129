#pragma once

#include "seal/seal_key.h"
#include "scan/fingerprint_fields.h"

#include <QSet>

#include <functional>

class TDM1;
class TIBQuery;

// Seals the database as it stands with key, in the open transaction: each
// registration's digest (see RegistrationDigest), signed, and the list of
// registrations, signed. With changed, only those registrations and those
// without a seal yet are read and signed again; the others keep theirs. The
// digests encode fieldSet's fields: every field this program keeps, but in a
// test of what an earlier version sealed.
void SealDatabase(TIBQuery& query, const SealKey& key, const QSet<qint32>* changed = nullptr,
                  int fieldSet = SealFieldSet());

// Runs change, a command that changes what is under control, as every such
// command runs: first table2 is emptied of what an interrupted check left
// (a check writes nothing); on a sealed database key() gives the private key
// before anything changes (raising where there is none, or where the list of
// registrations no longer holds its seal), and the database is sealed again
// after the change, in the same transaction: the registrations whose rows
// change says it wrote, and the list. A registration that lost its seal
// behind the program's back stays without one until the next seal command.
void RunChange(TDM1& dm, const std::function<SealKey()>& key, const std::function<QSet<qint32>()>& change);
