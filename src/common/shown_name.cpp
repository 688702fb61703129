#include "common/shown_name.h"

#include "common/file_name_codec.h"

#include <algorithm>

namespace {

bool isControl(char16_t c)
{
    return c < 0x20 || (c >= 0x7f && c <= 0x9f);
}

bool needsEscape(QChar c)
{
    return isControl(c.unicode()) || IsRawByte(c);
}

void appendEscaped(QString& shown, uint code)
{
    switch (code) {
    case '\n':
        shown += QLatin1StringView("\\n");
        break;
    case '\t':
        shown += QLatin1StringView("\\t");
        break;
    case '\r':
        shown += QLatin1StringView("\\r");
        break;
    default:
        shown += QStringLiteral("\\x%1").arg(code, 2, 16, QLatin1Char('0'));
    }
}

} // namespace

QString ShownName(const QString& name)
{
    if (std::none_of(name.begin(), name.end(), needsEscape))
        return name;
    QString shown;
    shown.reserve(name.size() + 8);
    for (QChar c : name) {
        if (IsRawByte(c))
            appendEscaped(shown, c.unicode() - 0xdc00);
        else if (isControl(c.unicode()))
            appendEscaped(shown, c.unicode());
        else
            shown += c;
    }
    return shown;
}

QString ShownNameBytes(QByteArrayView bytes)
{
    return ShownName(DecodeFileName(bytes));
}

QString ShownRawBytes(const QString& name)
{
    if (!HasRawBytes(name))
        return name;
    QString shown;
    for (QChar c : name) {
        if (IsRawByte(c))
            appendEscaped(shown, c.unicode() - 0xdc00);
        else
            shown += c;
    }
    return shown;
}
