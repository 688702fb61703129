#include "common/shown_name.h"

#include <algorithm>

namespace {

bool isControl(char32_t c)
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

// The length of the valid UTF-8 sequence at the start of bytes, or 0.
qsizetype validSequence(QByteArrayView bytes)
{
    const auto at = [&](qsizetype i) { return uchar(bytes[i]); };
    const uchar lead = at(0);
    if (lead < 0x80)
        return 1;
    qsizetype length;
    uchar low = 0x80, high = 0xbf; // the second byte's range, narrower where
                                   // overlong forms, surrogates or too large
                                   // a code would begin
    if (lead >= 0xc2 && lead <= 0xdf)
        length = 2;
    else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3;
        if (lead == 0xe0)
            low = 0xa0;
        if (lead == 0xed)
            high = 0x9f;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4;
        if (lead == 0xf0)
            low = 0x90;
        if (lead == 0xf4)
            high = 0x8f;
    } else
        return 0;
    if (bytes.size() < length || at(1) < low || at(1) > high)
        return 0;
    for (qsizetype i = 2; i < length; ++i)
        if (at(i) < 0x80 || at(i) > 0xbf)
            return 0;
    return length;
}

} // namespace

QString ShownName(const QString& name)
{
    if (std::none_of(name.begin(), name.end(), [](QChar c) { return isControl(c.unicode()); }))
        return name;
    QString shown;
    shown.reserve(name.size() + 8);
    for (QChar c : name) {
        if (isControl(c.unicode()))
            appendEscaped(shown, c.unicode());
        else
            shown += c;
    }
    return shown;
}

QString ShownNameBytes(QByteArrayView bytes)
{
    QString shown;
    qsizetype validFrom = 0;
    qsizetype i = 0;
    const auto flushValid = [&] {
        shown += ShownName(QString::fromUtf8(bytes.sliced(validFrom, i - validFrom)));
    };
    while (i < bytes.size()) {
        const qsizetype length = validSequence(bytes.sliced(i));
        if (length > 0) {
            i += length;
            continue;
        }
        flushValid();
        appendEscaped(shown, uchar(bytes[i]));
        validFrom = ++i;
    }
    flushValid();
    return shown;
}
