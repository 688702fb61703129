#pragma once

#include "seal/seal_key.h"
#include "scan/fingerprint_fields.h"

#include <QSet>

#include <functional>
#include <optional>

class TDM1;
struct Registration;
class TIBQuery;

// Seals the database as it stands with key, in the open transaction: each
// registration's digest (see RegistrationDigest), signed, and the list of
// registrations with the database's identity (made on its first seal), its
// next generation and the time, signed. Without a key the same digests are
// kept unsigned. With changed, only those registrations and those without a
// digest yet (on a database kept without a key) are read and digested again;
// the others keep theirs. The digests encode fieldSet's fields: every field
// this program keeps, but in a test of what an earlier version sealed.
// digestOf, where given, gives a changed registration's digest where it can
// without reading it again (see KeptRows).
void SealDatabase(TIBQuery& query, const SealKey* key, const QSet<qint32>* changed = nullptr,
                  int fieldSet = SealFieldSet(),
                  const std::function<std::optional<Sha256Digest>(const Registration&, int)>& digestOf = {});

// Runs change, a command that changes what is under control, as every such
// command runs: first table2 is emptied of what an interrupted check left
// (a check writes nothing); on a sealed database key() gives the private key
// before anything changes (raising where there is none). Then the seal (or,
// on a database kept without a key, the digests) of the list and of each
// registration willWrite gives is verified, and the change refused, nothing
// changed, where any does not hold: signing them again would bless what was
// done behind the program's back. After the change the database is sealed
// again (or digested) in the same transaction: the registrations whose rows
// change says it wrote, and the list.
//
// A change of a few named files (ChangeReach::NamedFiles) keeps the rows
// read to verify its registrations, and seals them again from those rows and
// what it tells it did (see KeptRows), rather than reading them all again.
enum class ChangeReach { Registrations, NamedFiles };
void RunChange(TDM1& dm, const std::function<SealKey()>& key, const std::function<QSet<qint32>()>& willWrite,
               const std::function<QSet<qint32>()>& change, ChangeReach reach = ChangeReach::Registrations);

// The line a change refused by a seal that does not hold raises, with what
// to do about it.
QString RefusedChange(const QStringList& problems, bool isSigned);
