#include "check/report_json.h"

#include "check/check_report.h"
#include "common/shown_name.h"

#include <QMap>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

// The file as recorded (before) or as found: each field the finding holds of
// that side; a link's text, a name, as JsonName gives it.
QJsonObject state(const QList<FieldChange>& changes, QJsonValue FieldChange::*side)
{
    QJsonObject object;
    for (const FieldChange& change : changes) {
        const QJsonValue& value = change.*side;
        if (!value.isUndefined())
            object.insert(change.key, change.name && value.isString() ? QJsonValue(JsonName(value.toString())) : value);
    }
    return object;
}

// A name as the lists give it: a text, or of a directory an object that says
// so.
QJsonValue listed(const Finding& finding)
{
    if (!finding.directory)
        return JsonName(finding.file);
    return QJsonObject{{QStringLiteral("path"), JsonName(finding.file)},
                       {QStringLiteral("type"), QStringLiteral("directory")}};
}

// What was and is of a file; nothing where the finding holds no states (the
// reference judge's, which reads none).
void addStates(QJsonObject& object, const Finding& finding)
{
    const QList<FieldChange> changes = finding.changes();
    if (changes.isEmpty())
        return;
    object.insert(QStringLiteral("before"), state(changes, &FieldChange::before));
    object.insert(QStringLiteral("after"), state(changes, &FieldChange::after));
}

// What the walk could not examine: the path as shown, and why.
QJsonArray notExamined(const NotExaminedList& names)
{
    QJsonArray array;
    for (const NotExamined& name : names)
        array.append(QJsonObject{{QStringLiteral("path"), name.path}, {QStringLiteral("reason"), name.reason}});
    return array;
}

QJsonValue explanation(const Finding& finding)
{
    if (!finding.explanation)
        return QJsonValue::Null;
    const Explanation& e = *finding.explanation;
    return QJsonObject{{QStringLiteral("package"), e.package},
                       {QStringLiteral("architecture"), e.architecture},
                       {QStringLiteral("from"), e.from.isEmpty() ? QJsonValue::Null : QJsonValue(e.from)},
                       {QStringLiteral("to"), e.to.isEmpty() ? QJsonValue::Null : QJsonValue(e.to)},
                       {QStringLiteral("rule"), e.rule},
                       {QStringLiteral("verified"), e.verified}};
}

// An entry with the finding's explanation: a name becomes an object.
QJsonValue explained(QJsonValue entry, const Finding& finding)
{
    QJsonObject object = entry.isObject() ? entry.toObject() : QJsonObject{{QStringLiteral("path"), entry}};
    object.insert(QStringLiteral("explanation"), explanation(finding));
    return object;
}

} // namespace

QList<std::pair<QString, QJsonValue>> FindingJsonEntries(const Finding& finding, bool withExplanation)
{
    QList<std::pair<QString, QJsonValue>> entries = FindingJsonEntries(finding);
    if (withExplanation)
        for (auto& [list, entry] : entries)
            entry = explained(entry, finding);
    return entries;
}

QList<std::pair<QString, QJsonValue>> FindingJsonEntries(const Finding& finding)
{
    QList<std::pair<QString, QJsonValue>> entries;
    if (finding.kind == Finding::Deleted)
        entries.append({QStringLiteral("deleted"), listed(finding)});
    if (finding.kind == Finding::New)
        entries.append({QStringLiteral("new"), listed(finding)});
    if (finding.kind == Finding::Moved) {
        QJsonObject entry{{QStringLiteral("from"), JsonName(finding.from)},
                          {QStringLiteral("to"), JsonName(finding.file)},
                          {QStringLiteral("attributes"), finding.attributes}};
        addStates(entry, finding);
        entries.append({QStringLiteral("moved"), entry});
    }
    // A moved file whose attributes changed has its line among the changed
    // ones too.
    if (finding.kind == Finding::Changed || (finding.kind == Finding::Moved && finding.attributes)) {
        QJsonObject entry{{QStringLiteral("file"), JsonName(finding.file)},
                          {QStringLiteral("size"), finding.size},
                          {QStringLiteral("attributes"), finding.attributes},
                          {QStringLiteral("contents"), finding.contents}};
        addStates(entry, finding);
        entries.append({QStringLiteral("changed"), entry});
    }
    return entries;
}

QJsonObject ReportJsonObject(const QString& dir, const CheckReport& report, bool explained)
{
    // Names in a document as JsonName gives them: bytes that are not UTF-8 as
    // \xNN and the backslash as \\; control characters are JSON's to escape.
    QMap<QString, QJsonArray> lists{
        {QStringLiteral("deleted"), {}}, {QStringLiteral("moved"), {}}, {QStringLiteral("new"), {}}, {QStringLiteral("changed"), {}}};
    for (const Finding& finding : report.findings)
        for (const auto& [list, entry] : FindingJsonEntries(finding, explained))
            lists[list].append(entry);
    QJsonObject document{
        {QStringLiteral("directory"), JsonName(dir)},
        {QStringLiteral("not_examined"), notExamined(report.notExamined)},
    };
    for (const auto& [list, entries] : lists.asKeyValueRange())
        document.insert(list, entries);
    if (!report.sealLines.isEmpty()) {
        QJsonObject seal = report.sealStamp;
        seal.insert(QStringLiteral("holds"), !report.sealBroken);
        seal.insert(QStringLiteral("lines"), QJsonArray::fromStringList(report.sealLines));
        document.insert(QStringLiteral("seal"), seal);
    }
    return document;
}

QByteArray ReportJson(const QString& dir, const CheckReport& report, bool explained)
{
    return QJsonDocument(ReportJsonObject(dir, report, explained)).toJson(QJsonDocument::Indented);
}
