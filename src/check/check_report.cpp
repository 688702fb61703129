#include "check/check_report.h"

int CheckReport::foundBits() const
{
    return (added.isEmpty() ? 0 : 1) | (deleted.isEmpty() ? 0 : 2) | (changed.isEmpty() ? 0 : 4) | (moved.isEmpty() ? 0 : 8);
}

QStringList ShownLines(const QStringList& lines)
{
    return lines.isEmpty() ? QStringList{QStringLiteral("Не обнаружено")} : lines;
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
