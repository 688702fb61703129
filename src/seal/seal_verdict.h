#pragma once

#include "seal/seal_key.h"
#include "bits/sha256_accumulator.h"
#include "rows/registration.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class TIBQuery;

// A seal makes a baseline that nobody can rewrite unseen: every registration
// and every row it acts on signed with the administrator's private key (see
// RegistrationDigest), and the list of registrations signed as a whole, with
// the database's identity, generation and time. A check verifies it with the
// public key, which never comes from the database. A database kept without a
// key has the same digests unsigned: rows changed behind the program, or
// damaged, are told all the same, by anyone who can read it.

// What verifying the seal found.
struct SealVerdict {
    QString keyFingerprint; // of the key that verified it; empty when none did
    QStringList problems;   // one line each, in Russian; empty when it holds
    QStringList notes;      // what the report says besides, the seal holding or not
    QByteArray database;    // the identity, generation and time a verified seal signed
    qint64 generation = 0;
    QString sealedAt;
    bool broken() const { return !problems.isEmpty(); }
};

// Verifies the seal (or, without one, the digests) of the list of
// registrations and of the rows of each of registrations, whose digest (see
// RegistrationDigest) digest gives when it is needed, with key (none when no
// public key is set up), and against what this checker remembers of the
// database (see SealMemory). A seal that holds is remembered. A database never
// sealed nor digested, with no key, gives an empty verdict.
SealVerdict VerifySeal(TIBQuery& query, const SealKey* key, const QList<qint32>& registrations = {},
                       const std::function<Sha256Digest(const Registration&, int fieldSet)>& digest = {});

// The same for every registration.
SealVerdict VerifyWholeSeal(TIBQuery& query, const SealKey* key);

// The lines a report shows of a verdict, before its lists: the problems, or
// the key that verified the seal, and the generation and time it was sealed;
// none for a database never sealed.
QStringList SealLines(const SealVerdict& verdict);

// What a JSON report says of a seal that holds: its key, generation, time and
// database.
QJsonObject SealStamp(const SealVerdict& verdict);

// The public key a check of the database verifies with: given (--public-key),
// else $KVAREN_PUBLIC_KEY, else /etc/kvaren/seal.pub for root and
// $XDG_CONFIG_HOME/kvaren/seal.pub (~/.config/...) for a user where that file
// exists, but only for a database that is sealed or that this checker saw
// sealed before: one key set up serves every sealed database of its user and
// fails none that was never sealed. None when no key applies.
std::optional<SealKey> ConfiguredPublicKey(const QString& given, TIBQuery& query);
