#include "common/file_name_codec.h"

#include <QStringDecoder>

namespace {

// The length of the valid UTF-8 sequence at the start of bytes, or 0.
qsizetype validSequence(QByteArrayView bytes)
{
    const auto at = [&](qsizetype i) { return uchar(bytes[i]); };
    const uchar lead = at(0);
    if (lead < 0x80)
        return 1;
    qsizetype length;
    // The second byte's range, narrower where an overlong form, a surrogate
    // or a code beyond U+10FFFF would begin.
    uchar low = 0x80, high = 0xbf;
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2;
    } else if (lead >= 0xe0 && lead <= 0xef) {
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
    } else {
        return 0;
    }
    if (bytes.size() < length || at(1) < low || at(1) > high)
        return 0;
    for (qsizetype i = 2; i < length; ++i)
        if (at(i) < 0x80 || at(i) > 0xbf)
            return 0;
    return length;
}

} // namespace

QString DecodeFileName(QByteArrayView bytes)
{
    QStringDecoder strict(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = strict.decode(bytes);
    if (!strict.hasError())
        return text;
    text.clear();
    qsizetype validFrom = 0, i = 0;
    const auto flushValid = [&] { text += QString::fromUtf8(bytes.sliced(validFrom, i - validFrom)); };
    while (i < bytes.size()) {
        if (const qsizetype length = validSequence(bytes.sliced(i))) {
            i += length;
            continue;
        }
        flushValid();
        text += QChar(char16_t(0xdc00 + uchar(bytes[i])));
        validFrom = ++i;
    }
    flushValid();
    return text;
}

bool HasRawBytes(QStringView name)
{
    for (qsizetype i = 0; i < name.size(); ++i)
        if (IsRawByte(name, i))
            return true;
    return false;
}

QByteArray EncodeFileName(QStringView name)
{
    if (!HasRawBytes(name))
        return name.toUtf8();
    QByteArray bytes;
    qsizetype from = 0;
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (!IsRawByte(name, i))
            continue;
        bytes += name.sliced(from, i - from).toUtf8();
        bytes += char(name[i].unicode() - 0xdc00);
        from = i + 1;
    }
    bytes += name.sliced(from).toUtf8();
    return bytes;
}
