#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// What gpgv made of a clear-signed file (an InRelease), checked against the
// given keyrings as apt checks it.
struct ReleaseSignature {
    bool good = false;
    // The fingerprint of the key that made the good signature.
    QString signer;
    // The text that the signature covers, as gpgv wrote it out; empty unless good.
    QByteArray signedText;
    // Why it is not good: one line, empty when good.
    QString failure;
};

// Runs gpgv (never a shell) on file with every keyring given; armoured
// keyrings (*.asc) are dearmoured first, since gpgv reads binary ones only.
// Good only if gpgv reports a good signature by a key of the keyrings and no
// bad one; a signature by an expired or revoked key is not good.
ReleaseSignature VerifyClearSigned(const QString& file, const QStringList& keyrings);
