#pragma once

#include "support/temp_tree.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <utility>
#include <vector>

// Runs program and gives what it wrote on stdout; throws, with what it wrote
// on stderr, where it fails. With gnupgHome, gpg's files are there.
QByteArray RunProgram(const QString& program, const QStringList& arguments, const QString& gnupgHome = {});

// Builds with dpkg-deb, in work, a .deb of files (path below the root,
// contents); conffiles among them are left out of md5sums, as dh_md5sums
// does. Returns the .deb's path.
QString BuildPackage(TempTree& work, const QString& name, const QString& version, const QString& architecture,
                     const std::vector<std::pair<QString, QByteArray>>& files, const QStringList& conffiles = {},
                     const QString& control = {});

// A root that dpkg --root manages: its database made empty at first.
class DpkgRoot {
public:
    explicit DpkgRoot(const TempTree& root);
    // Runs dpkg on the root with arguments (-i DEB..., --purge NAME...).
    void dpkg(const QStringList& arguments) const;
    static QString architecture();

private:
    const TempTree& m_root;
    QTemporaryDir m_log;
};

// A signing key in a GNUPGHOME of its own; made in 2020 to expire a day
// later, and signing then, if past.
class Signer {
public:
    explicit Signer(const QString& name, bool past = false);
    // The agent gpg started would hold the home until it notices it gone.
    ~Signer();
    Signer(const Signer&) = delete;
    Signer& operator=(const Signer&) = delete;

    void exportTo(const QString& keyring, bool armoured) const;
    void clearSign(const QString& text, const QString& signedFile) const;

    QString fingerprint;

private:
    QStringList options() const;

    QTemporaryDir m_home;
    bool m_past;
};

// Leaves root as apt leaves it after fetching debs from an archive signed by
// signer: the key trusted, the signed InRelease and the Packages list in
// var/lib/apt/lists, the .debs in var/cache/apt/archives.
void PublishArchive(const TempTree& root, const Signer& signer, const QStringList& debs);
