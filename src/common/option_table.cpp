#include "common/option_table.h"

#include <algorithm>

QString OptionTableText(const QList<OptionLine>& lines)
{
    qsizetype width = 0;
    for (const OptionLine& line : lines)
        width = std::max(width, line.option.size());
    QString text;
    for (const OptionLine& line : lines)
        text += QStringLiteral("  ") + line.option.leftJustified(width + 2) + line.description + u'\n';
    return text;
}
