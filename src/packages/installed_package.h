#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

// A file the package manager keeps an administrator's changes to, with the
// MD5 (in hex) of the version the package shipped.
struct Conffile {
    QByteArray path;
    QByteArray md5;
};

// A package as the dpkg status file records it.
struct InstalledPackage {
    QString name;
    QString architecture;
    QString version;
    // The Status field's three words: wanted, flag, state ("install ok installed").
    QString status;
    // Multi-Arch: same packages keep their files lists under name:arch.
    bool multiArchSame = false;
    std::vector<Conffile> conffiles;
};
