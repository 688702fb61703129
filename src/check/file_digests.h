#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

#include <sys/stat.h>

// A name as an explanation looks at it again: what lstat says, the text of
// a link, and of a regular file the MD5 dpkg records and the SHA-256 the
// archive and the check record, both lower-case hex.
struct LookedAt {
    struct stat self {};
    QString linkTarget;
    QByteArray md5;
    QByteArray sha256;
};

// Looks at path, which lies below root: every directory on the way opened
// from root without following a link, the name itself neither followed nor
// read unless it is a regular file, and never waited on. None where it is
// not there or may not be read.
std::optional<LookedAt> LookAgain(const QString& root, const QString& path);
