#pragma once

#include "scan/fingerprint.h"

#include <QString>
#include <optional>

// What a check found of one file.
struct Finding {
    enum Kind { Deleted, Moved, New, Changed };

    Kind kind = New;
    QString file; // its full name; for a moved file, the new one
    QString from; // a moved file's old full name
    bool directory = false; // a directory's finding; its full name ends in "/"

    // What changed, of a file at its place; of a moved file, only attributes.
    bool size = false;
    bool attributes = false;
    bool contents = false;

    // The file as recorded and as found, for a changed or moved file judged
    // from rows read: the size, and the fingerprint where the row has one.
    std::optional<qint64> sizeBefore;
    std::optional<qint64> sizeAfter;
    std::optional<Fingerprint> before;
    std::optional<Fingerprint> after;

    static Finding of(Kind kind, QString file)
    {
        Finding finding;
        finding.kind = kind;
        finding.file = std::move(file);
        return finding;
    }
};
