#include "check/check_report.h"

#include "common/shown_name.h"

#include <QSet>

void CheckReport::add(Finding finding)
{
    switch (finding.kind) {
    case Finding::Deleted:
        deleted.append(finding.file);
        break;
    case Finding::Moved:
        moved.append(MovedLine(finding.from, finding.file));
        movedFrom.append(finding.from);
        if (finding.attributes)
            changed.append(ChangeLine(finding.file, u'A'));
        break;
    case Finding::New:
        added.append(finding.file);
        break;
    case Finding::Changed:
        if (finding.size)
            changed.append(ChangeLine(finding.file, u'S'));
        if (finding.attributes)
            changed.append(ChangeLine(finding.file, u'A'));
        if (finding.contents)
            changed.append(ChangeLine(finding.file, u'C'));
        break;
    }
    findings.append(std::move(finding));
}

void CheckReport::strikeMovedFromDeleted()
{
    // Only the exact old names are struck: a substring test would also strike
    // /d/a.txt because /d/a.txt.bak moved.
    const QSet<QString> from(movedFrom.cbegin(), movedFrom.cend());
    if (from.isEmpty())
        return;
    deleted.removeIf([&](const QString& line) { return from.contains(line); });
    findings.removeIf([&](const Finding& f) { return f.kind == Finding::Deleted && from.contains(f.file); });
}

int CheckReport::foundBits() const
{
    return (added.isEmpty() ? 0 : 1) | (deleted.isEmpty() ? 0 : 2) | (changed.isEmpty() ? 0 : 4) | (moved.isEmpty() ? 0 : 8);
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

QString ChangeLine(const QString& fullName, QChar letter)
{
    switch (letter.unicode()) {
    case u'S':
        return fullName + QStringLiteral(" изменен размер файла,");
    case u'A':
        return fullName + QStringLiteral(" изменены атрибуты файла,");
    default:
        return fullName + QStringLiteral(" изменено содержание файла,");
    }
}
