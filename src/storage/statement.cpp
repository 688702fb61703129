#include "storage/statement.h"

#include "common/file_name_codec.h"

Statement& Statement::sql(QStringView piece)
{
    m_shape += piece;
    return *this;
}

Statement& Statement::reserve(qsizetype shapeChars, qsizetype values)
{
    m_shape.reserve(shapeChars);
    m_values.reserve(values);
    m_marks.reserve(std::size_t(values));
    return *this;
}

Statement& Statement::mark(QVariant value)
{
    m_marks.push_back(m_shape.size());
    m_shape += u'?';
    m_values.append(std::move(value));
    return *this;
}

Statement& Statement::quoted(const QString& text)
{
    // The database client takes texts as UTF-8: a name with bytes that are
    // not goes into the statement itself, byte for byte, as a binary string.
    if (HasRawBytes(text))
        return sql(QStringLiteral("x'%1'").arg(QString::fromLatin1(EncodeFileName(text).toHex())));
    return mark(QVariant(text));
}

Statement& Statement::number(qint32 value)
{
    return mark(QVariant(value));
}

Statement& Statement::bigNumber(qint64 value)
{
    return mark(QVariant(value));
}

Statement& Statement::bytes(const QByteArray& value)
{
    return mark(QVariant(value));
}

Statement& Statement::value(const QVariant& value)
{
    if (value.typeId() == QMetaType::QString)
        return quoted(value.toString());
    return mark(value);
}

QString Statement::line() const
{
    // Made only when asked for: the statements run as shape and values.
    QString line;
    qsizetype from = 0;
    for (std::size_t i = 0; i < m_marks.size(); ++i) {
        line += QStringView(m_shape).mid(from, m_marks[i] - from);
        const QVariant& value = m_values[qsizetype(i)];
        if (value.typeId() == QMetaType::QString)
            line += u'\'' + value.toString().replace(QStringLiteral("'"), QStringLiteral("''")) + u'\'';
        else if (value.typeId() == QMetaType::QByteArray)
            line += value.toByteArray().isNull() ? QStringLiteral("null")
                                                 : QStringLiteral("x'%1'").arg(QString::fromLatin1(value.toByteArray().toHex()));
        else
            line += QString::number(value.toLongLong());
        from = m_marks[i] + 1;
    }
    line += QStringView(m_shape).mid(from);
    return line;
}
