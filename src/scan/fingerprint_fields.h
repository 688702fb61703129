#pragma once

#include "common/stored_value.h"
#include "scan/fingerprint.h"

#include <QJsonValue>
#include <QList>
#include <QString>
#include <QVariant>

#include <optional>
#include <vector>

// One value of a fingerprint as the reports show it, under its JSON key;
// undefined where the field is not known or not had, so that every print
// shows the same keys in the same order. A name (a link's text) is kept as it
// is: each report shows names its own way.
struct ShownValue {
    QString key;
    QJsonValue value;
    bool name = false;
};

// Every field of a Fingerprint, each described once: its column in the
// fingerprint and directory_print tables, how a check's rows keep it, what a
// difference in it is a change of, from which of the seal's field sets on a
// seal digests it, and what the reports show of it. A new field is a member
// of Fingerprint, an entry here, a column in schema.sql, and the walk that
// fills it in.
//
// A row written before a field's column existed reads null there: its read
// leaves the field unknown, and an unknown field compares with anything.
struct FingerprintField {
    // What a difference in the field is a change of.
    enum Change { Attributes, Contents };
    // How the rows of a check keep it: a word of 32 bits, one bit that says
    // it is known, the contents' digest, or nothing (see usual).
    enum Packing { Word, Bit, Digest, Apart };

    QString column;
    Change change;
    Packing packing;
    // The first of the seal's field sets (see SealFieldSet) that digests the
    // column: a seal made before the field existed still holds.
    int sealSince;
    // As the column holds it; a null text or byte array for SQL's null, so
    // that a statement's shape is the same whatever its values.
    QVariant (*value)(const Fingerprint&);
    // From the column's value as stored.
    void (*read)(Fingerprint&, const StoredValue&);
    bool (*same)(const Fingerprint&, const Fingerprint&);
    // Word and Bit: the word when the field is known, and back.
    std::optional<quint32> (*pack)(const Fingerprint&);
    void (*unpack)(Fingerprint&, quint32);
    // Whether the packed form holds all of the field; null for always. The
    // few prints it does not are kept whole beside the rows.
    bool (*usual)(const Fingerprint&);
    // Appends what the reports show of the field.
    void (*show)(const Fingerprint&, QList<ShownValue>&);
};

// In the order the reports show them.
const std::vector<FingerprintField>& FingerprintFields();

// Whether two fingerprints agree in every field of that change.
bool SameFingerprint(const Fingerprint& a, const Fingerprint& b, FingerprintField::Change change);

// The field set of the seal's encoding that this program writes: every
// field's.
int SealFieldSet();

// What the reports show of print, field by field in order.
QList<ShownValue> ShownFingerprint(const Fingerprint& print);
