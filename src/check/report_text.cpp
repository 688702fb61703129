#include "check/report_text.h"

#include "check/check_report.h"
#include "common/shown_name.h"

ReportLists ReportLines(const CheckReport& report)
{
    ReportLists lists;
    qsizetype at = 0;
    const auto line = [&](int list, QStringList& lines, const QString& text) {
        lines.append(text);
        lists.findings[std::size_t(list)].append(at);
    };
    const auto change = [&](const QString& file, const char16_t* what) {
        line(3, lists.changed, file + QString::fromUtf16(what));
    };
    for (; at < report.findings.size(); ++at) {
        const Finding& finding = report.findings[at];
        switch (finding.kind) {
        case Finding::Deleted:
            line(0, lists.deleted, finding.file);
            break;
        case Finding::Moved:
            line(1, lists.moved, MovedLine(finding.from, finding.file));
            break;
        case Finding::New:
            line(2, lists.added, finding.file);
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

QString ReportText(const CheckReport& report)
{
    const ReportLists lists = ReportLines(report);
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
        for (const QString& line : ShownLines(*shown[i]))
            text += line + u'\n';
    }
    return text;
}

QStringList ShownLines(const QStringList& lines)
{
    if (lines.isEmpty())
        return {QStringLiteral("Не обнаружено")};
    QStringList shown;
    shown.reserve(lines.size());
    for (const QString& line : lines)
        shown.append(ShownName(line));
    return shown;
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
