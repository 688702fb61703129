#pragma once

#include "check/explanation.h"
#include "scan/fingerprint.h"

#include <QJsonValue>
#include <QList>
#include <QString>
#include <optional>

// A field of a file as recorded and as found, as the reports show it; an
// undefined value on a side that has no such field, or does not know it.
struct FieldChange {
    QString key;
    QJsonValue before{QJsonValue::Undefined};
    QJsonValue after{QJsonValue::Undefined};
    bool name = false; // a name (a link's text), which each report shows its own way
};

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

    // What the package manager's records say made the change, where they
    // explain it (see ExplainFindings); none for a finding nothing explains.
    std::optional<Explanation> explanation;

    static Finding of(Kind kind, QString file)
    {
        Finding finding;
        finding.kind = kind;
        finding.file = std::move(file);
        return finding;
    }

    // Gives the finding what was and is of its file.
    void setStates(qint64 oldSize, const std::optional<Fingerprint>& old, qint64 size,
                   const std::optional<Fingerprint>& now);
    // Every field of those, changed or not, in the order the reports show
    // them (see FingerprintFields); none for a finding without states. Made
    // when a report asks: the text lists, which most checks print, need none.
    QList<FieldChange> changes() const;
};
