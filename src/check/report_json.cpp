#include "check/report_json.h"

#include "check/attribute_text.h"
#include "check/check_report.h"
#include "common/shown_name.h"
#include "scan/inode_attributes.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <grp.h>
#include <pwd.h>
#include <vector>

namespace {

QJsonValue orNull(const std::optional<QString>& text)
{
    return text ? QJsonValue(*text) : QJsonValue(QJsonValue::Null);
}

QJsonValue userName(quint32 id)
{
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(id, &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return QJsonValue::Null;
    return QString::fromLocal8Bit(found->pw_name);
}

QJsonValue groupName(quint32 id)
{
    std::vector<char> buffer(16384);
    group entry{};
    group* found = nullptr;
    if (getgrgid_r(id, &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return QJsonValue::Null;
    return QString::fromLocal8Bit(found->gr_name);
}

// The file as recorded or as found: its size, and what its fingerprint holds
// when there is one; a link's text, a name, given as name() gives it.
QJsonObject state(qint64 size, const std::optional<Fingerprint>& print, QString (*name)(const QString&))
{
    QJsonObject object{{QStringLiteral("size"), size}};
    if (!print)
        return object;
    object.insert(QStringLiteral("type"), FileTypeName(print->mode));
    object.insert(QStringLiteral("mode"), PermissionText(print->mode));
    object.insert(QStringLiteral("uid"), qint64(print->owner));
    object.insert(QStringLiteral("user"), userName(print->owner));
    object.insert(QStringLiteral("gid"), qint64(print->group));
    object.insert(QStringLiteral("group"), groupName(print->group));
    object.insert(QStringLiteral("link"),
                  print->linkTarget.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(name(print->linkTarget)));
    object.insert(QStringLiteral("sha256"), print->sha256 ? QJsonValue(QString::fromLatin1(DigestHex(*print->sha256)))
                                                          : QJsonValue(QJsonValue::Null));
    // What lies beyond the mode, where it is known.
    if (print->xattrs) {
        QJsonObject xattrs;
        for (const auto& [name, value] : *print->xattrs) {
            const std::optional<QString> shown = ExtendedAttributeText(name, value);
            xattrs.insert(QString::fromUtf8(name), shown ? QJsonValue(*shown) : QJsonValue(QJsonValue::Null));
        }
        object.insert(QStringLiteral("xattrs"), xattrs);
        object.insert(QStringLiteral("acl"), orNull(AclsText(*print->xattrs)));
        object.insert(QStringLiteral("capabilities"), orNull(CapabilitiesText(*print->xattrs)));
    }
    if (print->flags)
        object.insert(QStringLiteral("flags"), InodeFlagsText(*print->flags));
    if (print->device)
        object.insert(QStringLiteral("device"), DeviceText(*print->device));
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
    if (!finding.sizeBefore || !finding.sizeAfter)
        return;
    object.insert(QStringLiteral("before"), state(*finding.sizeBefore, finding.before, JsonName));
    object.insert(QStringLiteral("after"), state(*finding.sizeAfter, finding.after, JsonName));
}

// What the walk could not examine: the path as shown, and why.
QJsonArray notExamined(const NotExaminedList& names)
{
    QJsonArray array;
    for (const NotExamined& name : names)
        array.append(QJsonObject{{QStringLiteral("path"), name.path}, {QStringLiteral("reason"), name.reason}});
    return array;
}

QString shownValue(const QJsonValue& value)
{
    if (value.isUndefined())
        return QStringLiteral("—");
    if (value.isNull())
        return QStringLiteral("нет");
    if (value.isString())
        return value.toString();
    if (value.isObject())
        return QString::fromUtf8(QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact));
    return QString::number(value.toInteger());
}

} // namespace

QStringList FindingDetails(const Finding& finding)
{
    if (!finding.sizeBefore || !finding.sizeAfter)
        return {};
    // The window shows a link's text as it shows names.
    const QJsonObject before = state(*finding.sizeBefore, finding.before, ShownName);
    const QJsonObject after = state(*finding.sizeAfter, finding.after, ShownName);
    QStringList lines;
    for (const char16_t* field : {u"size", u"type", u"mode", u"uid", u"user", u"gid", u"group", u"link", u"sha256",
                                  u"xattrs", u"acl", u"capabilities", u"flags", u"device"}) {
        const QString key = QString::fromUtf16(field);
        if (!before.contains(key) && !after.contains(key))
            continue;
        const QString then = shownValue(before.value(key));
        const QString now = shownValue(after.value(key));
        lines.append(then == now ? QStringLiteral("  ") + key + QStringLiteral(": ") + now
                                 : QStringLiteral("* ") + key + QStringLiteral(": ") + then + QStringLiteral(" → ") + now);
    }
    return lines;
}

QJsonObject ReportJsonObject(const QString& dir, const CheckReport& report)
{
    // Names in a document as JsonName gives them: bytes that are not UTF-8 as
    // \xNN and the backslash as \\; control characters are JSON's to escape.
    QJsonArray deleted;
    QJsonArray moved;
    QJsonArray added;
    QJsonArray changed;
    for (const Finding& finding : report.findings) {
        if (finding.kind == Finding::Deleted)
            deleted.append(listed(finding));
        if (finding.kind == Finding::New)
            added.append(listed(finding));
        if (finding.kind == Finding::Moved) {
            QJsonObject entry{{QStringLiteral("from"), JsonName(finding.from)},
                              {QStringLiteral("to"), JsonName(finding.file)},
                              {QStringLiteral("attributes"), finding.attributes}};
            addStates(entry, finding);
            moved.append(entry);
        }
        // A moved file whose attributes changed has its line among the
        // changed ones too.
        if (finding.kind == Finding::Changed || (finding.kind == Finding::Moved && finding.attributes)) {
            QJsonObject entry{{QStringLiteral("file"), JsonName(finding.file)},
                              {QStringLiteral("size"), finding.size},
                              {QStringLiteral("attributes"), finding.attributes},
                              {QStringLiteral("contents"), finding.contents}};
            addStates(entry, finding);
            changed.append(entry);
        }
    }
    QJsonObject document{
        {QStringLiteral("directory"), JsonName(dir)},
        {QStringLiteral("deleted"), deleted},
        {QStringLiteral("moved"), moved},
        {QStringLiteral("new"), added},
        {QStringLiteral("changed"), changed},
        {QStringLiteral("not_examined"), notExamined(report.notExamined)},
    };
    if (!report.sealLines.isEmpty())
        document.insert(QStringLiteral("seal"),
                        QJsonObject{{QStringLiteral("holds"), !report.sealBroken},
                                    {QStringLiteral("lines"), QJsonArray::fromStringList(report.sealLines)}});
    return document;
}

QByteArray ReportJson(const QString& dir, const CheckReport& report)
{
    return QJsonDocument(ReportJsonObject(dir, report)).toJson(QJsonDocument::Indented);
}
