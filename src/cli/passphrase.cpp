#include "cli/passphrase.h"

#include "common/exception.h"

#include <cstdio>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {

// One line from the terminal, its echo off while it is typed.
QByteArray askTerminal(int tty, const QString& prompt)
{
    const QByteArray shown = prompt.toLocal8Bit() + ": ";
    if (::write(tty, shown.constData(), std::size_t(shown.size())) < 0)
        throw Exception(QStringLiteral("Не удалось спросить пароль ключа"));
    termios saved{};
    const bool quiet = tcgetattr(tty, &saved) == 0;
    if (quiet) {
        termios silent = saved;
        silent.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(tty, TCSAFLUSH, &silent);
    }
    QByteArray line;
    char c = 0;
    while (::read(tty, &c, 1) == 1 && c != '\n')
        line.append(c);
    if (quiet)
        tcsetattr(tty, TCSAFLUSH, &saved);
    [[maybe_unused]] const ssize_t ended = ::write(tty, "\n", 1); // the typed line's own newline was not echoed
    return line;
}

} // namespace

QByteArray KeyPassphrase(const QString& prompt, bool twice)
{
    if (qEnvironmentVariableIsSet("KVAREN_KEY_PASSPHRASE"))
        return qgetenv("KVAREN_KEY_PASSPHRASE");
    const int tty = ::open("/dev/tty", O_RDWR | O_CLOEXEC);
    if (tty < 0)
        throw Exception(QStringLiteral("Нужен пароль ключа: нет терминала, и KVAREN_KEY_PASSPHRASE не задан"));
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{tty};
    const QByteArray first = askTerminal(tty, prompt);
    if (twice && askTerminal(tty, QStringLiteral("Повторите пароль")) != first)
        throw Exception(QStringLiteral("Пароли не совпадают"));
    return first;
}
