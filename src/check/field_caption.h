#pragma once

#include "check/finding.h"

#include <QList>
#include <QString>

// The caption the report window gives a field of the details, by its key in
// the JSON's terms (see FingerprintFields): "size" is "размер", "mode"
// "права". A key it does not know is its own caption.
QString FieldCaption(const QString& key);

// A field of a finding as the report window shows it: captioned, each
// side's value (see ShownFieldValue; a file's type in words), and whether
// they differ.
struct CaptionedField {
    QString key;
    QString caption;
    QString before;
    QString after;
    bool differs = false;
};
// The fields of finding.changes() that either side has, in their order.
QList<CaptionedField> CaptionedFields(const Finding& finding);
