#include "common/shown_name.h"

#include "common/file_name_codec.h"

#include <algorithm>

namespace {

bool isControl(char16_t c)
{
    return c < 0x20 || (c >= 0x7f && c <= 0x9f);
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

// name with its raw bytes, and its control characters too when asked, escaped.
QString escaped(const QString& name, bool controls)
{
    const auto escapes = [&](QChar c) { return IsRawByte(c) || (controls && isControl(c.unicode())); };
    if (std::none_of(name.begin(), name.end(), escapes))
        return name;
    QString shown;
    shown.reserve(name.size() + 8);
    for (QChar c : name) {
        if (!escapes(c))
            shown += c;
        else
            appendEscaped(shown, IsRawByte(c) ? c.unicode() - 0xdc00u : c.unicode());
    }
    return shown;
}

} // namespace

QString ShownName(const QString& name)
{
    return escaped(name, true);
}

QString ShownNameBytes(QByteArrayView bytes)
{
    return ShownName(DecodeFileName(bytes));
}

QString ShownRawBytes(const QString& name)
{
    return escaped(name, false);
}
