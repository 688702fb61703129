#include "watch/finding_lines.h"

#include "check/check_report.h"
#include "check/report_json.h"
#include "check/report_text.h"
#include "common/shown_name.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

QList<FindingLine> FindingTextLines(const CheckReport& report)
{
    const ReportLists lists = ReportLines(report);
    const QStringList captions = ReportCaptions();
    const QStringList* shown[] = {&lists.deleted, &lists.moved, &lists.added, &lists.changed};
    QList<FindingLine> lines;
    for (std::size_t list = 0; list < 4; ++list)
        for (qsizetype i = 0; i < shown[list]->size(); ++i)
            lines.append({report.findings[lists.findings[list][i]].file,
                          captions[qsizetype(list)] + QStringLiteral(": ") + ShownName(shown[list]->at(i))});
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
