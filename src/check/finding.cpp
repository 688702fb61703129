#include "check/finding.h"

#include "scan/fingerprint_fields.h"

namespace {

// The row's size, then the fingerprint's fields where there is one.
QList<ShownValue> shown(qint64 size, const std::optional<Fingerprint>& print)
{
    QList<ShownValue> values{{QStringLiteral("size"), size}};
    if (print)
        values.append(ShownFingerprint(*print));
    return values;
}

} // namespace

void Finding::setStates(qint64 oldSize, const std::optional<Fingerprint>& old, qint64 size,
                        const std::optional<Fingerprint>& now)
{
    sizeBefore = oldSize;
    sizeAfter = size;
    before = old;
    after = now;
}

QList<FieldChange> Finding::changes() const
{
    if (!sizeBefore || !sizeAfter)
        return {};
    // The keys of both sides in the fields' order: a side without a
    // fingerprint leaves its fields undefined.
    const QList<ShownValue> was = shown(*sizeBefore, before);
    const QList<ShownValue> is = shown(*sizeAfter, after);
    QList<FieldChange> changes;
    auto at = [&](const QString& key) -> FieldChange& {
        for (FieldChange& change : changes)
            if (change.key == key)
                return change;
        return changes.emplace_back(FieldChange{key});
    };
    for (const ShownValue& value : was) {
        FieldChange& change = at(value.key);
        change.before = value.value;
        change.name = change.name || value.name;
    }
    for (const ShownValue& value : is) {
        FieldChange& change = at(value.key);
        change.after = value.value;
        change.name = change.name || value.name;
    }
    return changes;
}
