#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

// The general exception of the program: it carries the message text that the
// one error display (the window's message box, the console's stderr) shows.
// Every error class of the program derives from it.
class Exception : public std::exception {
public:
    explicit Exception(QString message) : m_message(std::move(message)), m_utf8(m_message.toUtf8()) {}

    const QString& message() const noexcept { return m_message; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};
