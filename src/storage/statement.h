#pragma once

#include <QString>
#include <QVariantList>
#include <vector>

// One statement, kept as its SQL pieces and the values spliced between them.
//
// line() is the statement as one line of text: numbers in signed decimal, texts
// between single quotes with every apostrophe doubled, so that a name such as
// O'Brien reaches the database as itself. shape() is the same statement with a
// parameter marker in place of each value, and values() the values in order: the
// query objects prepare a shape once and run it with new values, which means the
// same as running line().
//
// A text holding bytes that are not UTF-8 (see file_name_codec.h) is spliced
// into the shape as a binary string, x'...', as no text parameter carries it.
//
//     Statement("select * from tab where file_name=").quoted(dir)
//     line():  select * from tab where file_name='/home/o''brien'
//     shape(): select * from tab where file_name=?
class Statement {
public:
    Statement() = default;
    explicit Statement(QStringView sql) { this->sql(sql); }

    Statement& sql(QStringView piece);
    Statement& quoted(const QString& text);
    Statement& number(qint32 value);
    Statement& bigNumber(qint64 value);
    // Bytes for a blob; a null array is SQL's null.
    Statement& bytes(const QByteArray& value);
    // Any of the above as a QVariant holds it: a text, a 32- or 64-bit
    // number, bytes; a null text or byte array is SQL's null.
    Statement& value(const QVariant& value);

    // Makes room for a statement of that many characters and values, as a
    // batch knows from the one before it.
    Statement& reserve(qsizetype shapeChars, qsizetype values);

    QString line() const;
    const QString& shape() const { return m_shape; }
    const QVariantList& values() const { return m_values; }
    bool isEmpty() const { return m_shape.isEmpty(); }

private:
    // Puts a parameter marker for value at the end.
    Statement& mark(QVariant value);

    QString m_shape;
    QVariantList m_values;
    std::vector<qsizetype> m_marks; // where each value stands in m_shape
};
