#include "check/log_text.h"

#include "common/shown_name.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

QString LogKindText(LogEntry::Kind kind)
{
    switch (kind) {
    case LogEntry::Check: return QStringLiteral("проверка");
    case LogEntry::Accept: return QStringLiteral("приняты все изменения");
    case LogEntry::AcceptNames: return QStringLiteral("приняты изменения файлов");
    case LogEntry::AcceptExplained: return QStringLiteral("приняты изменения, объясненные пакетами");
    }
    return QString();
}

namespace {

QString sealText(const QString& seal)
{
    if (seal == u"holds")
        return QStringLiteral("печать цела");
    if (seal == u"broken")
        return QStringLiteral("печать нарушена");
    return QStringLiteral("без печати");
}

} // namespace

QString CheckSummaryText(const LogEntry& entry)
{
    QString text = QStringLiteral("удаленных %1, перемещенных %2, новых %3, измененных %4")
                       .arg(entry.deleted)
                       .arg(entry.moved)
                       .arg(entry.added)
                       .arg(entry.changed);
    if (entry.unexplained)
        text += QStringLiteral("; не объяснено %1").arg(*entry.unexplained);
    if (entry.notExamined > 0)
        text += QStringLiteral("; не проверено имен %1").arg(entry.notExamined);
    return text + QStringLiteral("; ") + sealText(entry.seal) + QStringLiteral("; код ") + QString::number(entry.status);
}

QString LastCheckText(const LogEntry& entry)
{
    QString text = entry.at.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")) + QStringLiteral(": ");
    text += entry.findings() == 0 ? QStringLiteral("изменений нет")
                                  : QStringLiteral("найдено %1").arg(entry.findings());
    // Said where the package manager's records explained any.
    if (entry.unexplained && *entry.unexplained != entry.findings())
        text += QStringLiteral(", не объяснено %1").arg(*entry.unexplained);
    if (entry.notExamined > 0)
        text += QStringLiteral(", не проверено имен %1").arg(entry.notExamined);
    if (entry.seal == u"broken")
        text += QStringLiteral(", печать нарушена");
    return text;
}

QStringList LogEntryLines(const LogEntry& entry, const QString& dir)
{
    QStringList lines{QStringLiteral("%1  %2  %3 (%4@%5)")
                          .arg(entry.at.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), ShownName(dir),
                               LogKindText(entry.kind), entry.user, entry.host)};
    if (entry.kind == LogEntry::Check)
        lines.append(QStringLiteral("    ") + CheckSummaryText(entry));
    for (const QString& name : entry.names)
        lines.append(QStringLiteral("    ") + ShownName(name));
    return lines;
}

QString LogText(const LogEntries& entries, const QHash<qint32, QString>& dirs)
{
    QStringList lines;
    for (const LogEntry& entry : entries)
        lines += LogEntryLines(entry, dirs.value(entry.registration));
    return lines.isEmpty() ? QStringLiteral("Журнал пуст\n") : lines.join(u'\n') + u'\n';
}

QByteArray LogJson(const LogEntries& entries, const QHash<qint32, QString>& dirs)
{
    QJsonArray array;
    for (const LogEntry& entry : entries) {
        QJsonObject object{{QStringLiteral("registration"), entry.registration},
                           {QStringLiteral("directory"), JsonName(dirs.value(entry.registration))},
                           {QStringLiteral("kind"), LogKindKey(entry.kind)},
                           {QStringLiteral("time"), entry.at.toUTC().toString(Qt::ISODateWithMs)},
                           {QStringLiteral("user"), entry.user},
                           {QStringLiteral("host"), entry.host}};
        if (entry.kind == LogEntry::Check) {
            object.insert(QStringLiteral("deleted"), entry.deleted);
            object.insert(QStringLiteral("moved"), entry.moved);
            object.insert(QStringLiteral("new"), entry.added);
            object.insert(QStringLiteral("changed"), entry.changed);
            object.insert(QStringLiteral("notExamined"), entry.notExamined);
            object.insert(QStringLiteral("unexplained"),
                          entry.unexplained ? QJsonValue(*entry.unexplained) : QJsonValue(QJsonValue::Null));
            object.insert(QStringLiteral("status"), entry.status);
            object.insert(QStringLiteral("seal"), entry.seal);
        } else {
            QJsonArray names;
            for (const QString& name : entry.names)
                names.append(JsonName(name));
            object.insert(QStringLiteral("names"), names);
        }
        array.append(object);
    }
    return QJsonDocument(QJsonObject{{QStringLiteral("entries"), array}}).toJson();
}
