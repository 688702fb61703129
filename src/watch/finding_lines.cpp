#include "watch/finding_lines.h"

#include "check/check_report.h"
#include "check/report_json.h"
#include "check/report_text.h"
#include "common/shown_name.h"

#include <QJsonDocument>
#include <QJsonObject>

QList<FindingLine> FindingTextLines(const CheckReport& report)
{
    QList<FindingLine> lines;
    for (const CaptionedLine& line : CaptionedLines(report))
        lines.append({report.findings[line.finding].file, line.line});
    return lines;
}

QList<FindingLine> FindingJsonLines(const QString& dir, const CheckReport& report)
{
    QList<FindingLine> lines;
    for (const QString& list : {QStringLiteral("deleted"), QStringLiteral("moved"), QStringLiteral("new"),
                                QStringLiteral("changed")})
        for (const Finding& finding : report.findings)
            for (const auto& [inList, entry] : FindingJsonEntries(finding))
                if (inList == list)
                    lines.append({finding.file, QString::fromUtf8(QJsonDocument(QJsonObject{
                                                    {QStringLiteral("directory"), JsonName(dir)}, {list, entry}})
                                                                      .toJson(QJsonDocument::Compact))});
    return lines;
}

QString WithdrawnLine(const QString& dir, const QString& name, bool json)
{
    if (!json)
        return QStringLiteral("Больше не отличается от учтенного: ") + ShownName(name);
    return QString::fromUtf8(
        QJsonDocument(QJsonObject{{QStringLiteral("directory"), JsonName(dir)}, {QStringLiteral("withdrawn"), JsonName(name)}})
            .toJson(QJsonDocument::Compact));
}
