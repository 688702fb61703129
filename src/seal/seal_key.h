#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

struct bio_st;
struct evp_pkey_st;

// The halves of an Ed25519 key pair that seals a database: the private key
// signs, the public key verifies. Kept as OpenSSL keeps them; every failure
// raises Exception with the message the one error display shows.
class SealKey {
public:
    // A new key pair.
    static SealKey generate();
    // The private key in the PEM file, decrypted with the passphrase asked
    // once the file is read: a regular file, not a link, owned by root or the
    // user, that nobody else may read or write. The file is named before
    // anyone is asked for a passphrase it could not open.
    static SealKey readPrivate(const QString& file, const std::function<QByteArray()>& passphrase);
    // The public key in the PEM file: a regular file, not a link, owned by
    // root or the user, that nobody else may write; never a private key.
    static SealKey readPublic(const QString& file);

    // Writes the private key in PKCS#8 PEM, encrypted with passphrase
    // (AES-256-CBC, its key from PBKDF2-SHA256 of 600,000 rounds), readable
    // by its owner alone, and the public key in PEM; neither over a file or
    // link that exists.
    void writePrivate(const QString& file, const QByteArray& passphrase) const;
    void writePublic(const QString& file) const;

    // The Ed25519 signature of message; a private key's only.
    QByteArray sign(const QByteArray& message) const;
    // Whether signature is the key's signature of message.
    bool verify(const QByteArray& message, const QByteArray& signature) const;

    // The SHA-256 of the raw 32-byte public key, in hex: what the
    // administrator writes down to know the key again.
    QString fingerprint() const;

private:
    struct Free {
        void operator()(evp_pkey_st* key) const;
    };
    SealKey() = default;
    // The Ed25519 key that read takes from pem, the text of file; raises
    // Exception with refusal and the file's name where there is none.
    static SealKey fromPem(const QString& file, const QByteArray& pem,
                           const std::function<evp_pkey_st*(bio_st*)>& read, const QString& refusal);
    std::shared_ptr<evp_pkey_st> m_key;
};
