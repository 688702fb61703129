#include "check/report_text.h"

#include "check/check_report.h"
#include "check/explanation_text.h"
#include "common/shown_name.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <functional>

namespace {

// The report's lines with each name as name() gives it.
ReportLists reportLines(const CheckReport& report, const std::function<QString(const QString&)>& name)
{
    ReportLists lists;
    qsizetype at = 0;
    const auto line = [&](int list, QStringList& lines, const QString& text) {
        lines.append(text);
        lists.findings[std::size_t(list)].append(at);
    };
    const auto change = [&](const QString& file, const char16_t* what) {
        line(3, lists.changed, name(file) + QString::fromUtf16(what));
    };
    for (; at < report.findings.size(); ++at) {
        const Finding& finding = report.findings[at];
        switch (finding.kind) {
        case Finding::Deleted:
            line(0, lists.deleted, name(finding.file));
            break;
        case Finding::Moved:
            line(1, lists.moved, MovedLine(name(finding.from), name(finding.file)));
            break;
        case Finding::New:
            line(2, lists.added, name(finding.file));
            break;
        case Finding::Changed:
            break;
        }
        if (finding.size)
            change(finding.file, u" изменен размер файла,");
        if (finding.attributes)
            change(finding.file, u" изменены атрибуты файла,");
        if (finding.contents)
            change(finding.file, u" изменено содержание файла,");
    }
    return lists;
}

} // namespace

ReportLists ReportLines(const CheckReport& report)
{
    return reportLines(report, [](const QString& name) { return name; });
}

ReportLists ShownReportLines(const CheckReport& report)
{
    return reportLines(report, ShownName);
}

QString ShownFieldValue(const QJsonValue& value, bool name)
{
    if (value.isUndefined())
        return QStringLiteral("—");
    if (value.isNull())
        return QStringLiteral("нет");
    if (value.isString())
        return name ? ShownName(value.toString()) : value.toString();
    if (value.isObject())
        return QString::fromUtf8(QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact));
    return QString::number(value.toInteger());
}

QString ReportText(const CheckReport& report, bool explain)
{
    const ReportLists lists = ShownReportLines(report);
    const QStringList captions = ReportCaptions();
    QString text;
    for (const QString& line : report.sealLines)
        text += line + u'\n';
    if (!report.sealLines.isEmpty())
        text += u'\n';
    const QStringList* shown[] = {&lists.deleted, &lists.moved, &lists.added, &lists.changed};
    for (int i = 0; i < 4; ++i) {
        if (i > 0)
            text += u'\n';
        text += captions[i] + u'\n';
        const QStringList lines = ShownLines(*shown[i]);
        for (qsizetype at = 0; at < lines.size(); ++at) {
            text += lines[at] + u'\n';
            if (!explain || shown[i]->isEmpty())
                continue;
            const Finding& finding = report.findings[lists.findings[std::size_t(i)][at]];
            text += QStringLiteral("    ")
                    + (finding.explanation ? ExplanationText(*finding.explanation) : QStringLiteral("не объяснено")) + u'\n';
        }
    }
    return text;
}

QStringList ShownLines(const QStringList& lines)
{
    if (lines.isEmpty())
        return {QStringLiteral("Не обнаружено")};
    return lines;
}

QList<CaptionedLine> CaptionedLines(const CheckReport& report)
{
    const ReportLists lists = ShownReportLines(report);
    const QStringList captions = ReportCaptions();
    const QStringList* shown[] = {&lists.deleted, &lists.moved, &lists.added, &lists.changed};
    QList<CaptionedLine> lines;
    for (std::size_t list = 0; list < 4; ++list)
        for (qsizetype i = 0; i < shown[list]->size(); ++i)
            lines.append({lists.findings[list][i], captions[qsizetype(list)] + QStringLiteral(": ") + shown[list]->at(i)});
    return lines;
}

QStringList FindingDetails(const Finding& finding)
{
    QStringList lines;
    for (const FieldChange& change : finding.changes()) {
        if (change.before.isUndefined() && change.after.isUndefined())
            continue;
        const QString then = ShownFieldValue(change.before, change.name);
        const QString now = ShownFieldValue(change.after, change.name);
        lines.append(then == now ? QStringLiteral("  ") + change.key + QStringLiteral(": ") + now
                                 : QStringLiteral("* ") + change.key + QStringLiteral(": ") + then + QStringLiteral(" → ")
                                       + now);
    }
    return lines;
}

QStringList NotExaminedLines(const NotExaminedList& names)
{
    QStringList lines;
    for (const NotExamined& name : names)
        lines.append(name.line());
    return lines;
}

QString NotExaminedCaption()
{
    return QStringLiteral("Не проверено");
}

QStringList ReportCaptions()
{
    return {QStringLiteral("Удаленные файлы"), QStringLiteral("Перемещенные файлы"), QStringLiteral("Новые файлы"),
            QStringLiteral("Измененные файлы")};
}

QString MovedLine(const QString& from, const QString& to)
{
    return from + QStringLiteral(" перемещен в ") + to;
}
