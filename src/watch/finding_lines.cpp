#include "watch/finding_lines.h"

#include "check/check_report.h"
#include "check/report_json.h"
#include "check/report_text.h"

#include <QJsonArray>
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
                                QStringLiteral("changed")}) {
        for (const Finding& finding : report.findings) {
            // Each finding as the whole report would give it.
            CheckReport alone;
            alone.add(finding);
            const QJsonObject document = ReportJsonObject(dir, alone);
            for (const QJsonValue& entry : document.value(list).toArray())
                lines.append({finding.file, QString::fromUtf8(QJsonDocument(QJsonObject{
                                                {QStringLiteral("directory"), document.value(QStringLiteral("directory"))},
                                                {list, entry}}).toJson(QJsonDocument::Compact))});
        }
    }
    return lines;
}
