#include "check/report_text.h"

#include "check/check_report.h"
#include "common/shown_name.h"

ReportLists ReportLines(const CheckReport& report)
{
    ReportLists lists;
    const auto change = [&](const QString& file, const char16_t* what) {
        lists.changed.append(file + QString::fromUtf16(what));
    };
    for (const Finding& finding : report.findings) {
        switch (finding.kind) {
        case Finding::Deleted:
            lists.deleted.append(finding.file);
            break;
        case Finding::Moved:
            lists.moved.append(MovedLine(finding.from, finding.file));
            break;
        case Finding::New:
            lists.added.append(finding.file);
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
