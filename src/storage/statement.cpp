#include "storage/statement.h"

Statement& Statement::sql(QStringView piece)
{
    m_line += piece;
    m_shape += piece;
    return *this;
}

Statement& Statement::quoted(const QString& text)
{
    m_line += u'\'';
    m_line += QString(text).replace(QStringLiteral("'"), QStringLiteral("''"));
    m_line += u'\'';
    m_shape += u'?';
    m_values.append(text);
    return *this;
}

Statement& Statement::number(qint32 value)
{
    m_line += QString::number(value);
    m_shape += u'?';
    m_values.append(value);
    return *this;
}

QString Statement::line() const
{
    return m_line;
}
