#include "common/shown_name.h"

#include "common/file_name_codec.h"

#include <algorithm>
#include <iterator>

namespace {

// Unicode's default-ignorable code points (DerivedCoreProperties): what a
// font shows as nothing unless it has a use for it.
bool isDefaultIgnorable(char32_t c)
{
    struct Range {
        char32_t first, last;
    };
    static constexpr Range ranges[] = {
        {0x00ad, 0x00ad},   {0x034f, 0x034f},   {0x061c, 0x061c}, {0x115f, 0x1160}, {0x17b4, 0x17b5},
        {0x180b, 0x180f},   {0x200b, 0x200f},   {0x202a, 0x202e}, {0x2060, 0x206f}, {0x3164, 0x3164},
        {0xfe00, 0xfe0f},   {0xfeff, 0xfeff},   {0xffa0, 0xffa0}, {0xfff0, 0xfff8}, {0x1bca0, 0x1bca3},
        {0x1d173, 0x1d17a}, {0xe0000, 0xe0fff},
    };
    return std::any_of(std::begin(ranges), std::end(ranges), [c](Range r) { return c >= r.first && c <= r.last; });
}

// Whether c is escaped wherever it stands. A surrogate here is a lone one
// that stands for no byte: no file name holds one, but a text may.
bool escapedAnywhere(char32_t c)
{
    if (c >= 0x20 && c < 0x7f)
        return c == u'\\';
    return c < 0xa0 || c == 0x2028 || c == 0x2029 || (c >= 0xd800 && c <= 0xdfff) || isDefaultIgnorable(c);
}

bool isBlank(QChar c)
{
    return c.category() == QChar::Separator_Space;
}

void appendHex(QString& shown, const char* prefix, char32_t code, int digits)
{
    shown += QLatin1StringView(prefix);
    shown += QString::number(uint(code), 16).rightJustified(digits, u'0');
}

// \xNN is kept for what lies below 0x80 and for raw bytes, so that U+0085
// and the byte 0x85 never show alike.
void appendEscaped(QString& shown, char32_t code)
{
    switch (code) {
    case u'\\':
        shown += QLatin1StringView("\\\\");
        break;
    case u'\n':
        shown += QLatin1StringView("\\n");
        break;
    case u'\t':
        shown += QLatin1StringView("\\t");
        break;
    case u'\r':
        shown += QLatin1StringView("\\r");
        break;
    default:
        if (code < 0x80)
            appendHex(shown, "\\x", code, 2);
        else if (code <= 0xffff)
            appendHex(shown, "\\u", code, 4);
        else
            appendHex(shown, "\\U", code, 8);
    }
}

// One name, no "/" in it, appended to shown.
void appendShownName(QString& shown, QStringView name)
{
    qsizetype leading = 0;
    while (leading < name.size() && isBlank(name[leading]))
        ++leading;
    qsizetype trailing = name.size();
    while (trailing > leading && isBlank(name[trailing - 1]))
        --trailing;
    for (qsizetype i = 0; i < name.size();) {
        if (IsRawByte(name, i)) {
            appendHex(shown, "\\x", name[i].unicode() - 0xdc00u, 2);
            ++i;
            continue;
        }
        char32_t code = name[i].unicode();
        qsizetype length = 1;
        if (name[i].isHighSurrogate() && i + 1 < name.size() && name[i + 1].isLowSurrogate()) {
            code = QChar::surrogateToUcs4(name[i], name[i + 1]);
            length = 2;
        }
        if (i < leading || i >= trailing || escapedAnywhere(code))
            appendEscaped(shown, code);
        else
            shown += name.sliced(i, length);
        i += length;
    }
}

} // namespace

QString ShownName(const QString& name)
{
    QString shown;
    shown.reserve(name.size() + 8);
    qsizetype from = 0;
    for (;;) {
        const qsizetype slash = name.indexOf(u'/', from);
        appendShownName(shown, QStringView(name).sliced(from, (slash < 0 ? name.size() : slash) - from));
        if (slash < 0)
            return shown;
        shown += u'/';
        from = slash + 1;
    }
}

QString ShownNameBytes(QByteArrayView bytes)
{
    return ShownName(DecodeFileName(bytes));
}

QString JsonName(const QString& name)
{
    if (!name.contains(u'\\') && !HasRawBytes(name))
        return name;
    QString shown;
    shown.reserve(name.size() + 8);
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (IsRawByte(name, i))
            appendHex(shown, "\\x", name[i].unicode() - 0xdc00u, 2);
        else if (name[i] == u'\\')
            shown += QLatin1StringView("\\\\");
        else
            shown += name[i];
    }
    return shown;
}
