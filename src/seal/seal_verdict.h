#pragma once

#include "seal/seal_key.h"
#include "bits/sha256_accumulator.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class TIBQuery;

// A seal makes a baseline that nobody can rewrite unseen: every registration
// and every row it acts on signed with the administrator's private key (see
// RegistrationDigest), and the list of registrations signed as a whole. A
// check verifies it with the public key, which never comes from the database.

// What verifying the seal found.
struct SealVerdict {
    QString keyFingerprint; // of the key that verified it; empty when none did
    QStringList problems;   // one line each, in Russian; empty when it holds
    bool broken() const { return !problems.isEmpty(); }
};

// Verifies the seal of the list of registrations and, where given, of the
// registration's rows, whose digest (see RegistrationDigest) digest gives
// when it is needed, with publicKey (none when no public key is set up). A
// database never sealed, with no public key, gives an empty verdict.
SealVerdict VerifySeal(TIBQuery& query, const SealKey* publicKey, std::optional<qint32> registration = std::nullopt,
                       const std::function<Sha256Digest(int fieldSet)>& digest = {});

// The lines a report shows of a verdict, before its lists: the problems, or
// the key that verified the seal; none for a database never sealed with no
// key set up.
QStringList SealLines(const SealVerdict& verdict);

// The public key a check verifies with: given (--public-key), else
// $KVAREN_PUBLIC_KEY, else /etc/kvaren/seal.pub for root and
// $XDG_CONFIG_HOME/kvaren/seal.pub (~/.config/...) for a user where that file
// exists; none when no key is set up.
std::optional<SealKey> ConfiguredPublicKey(const QString& given);
