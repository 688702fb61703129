#include "cli/confirmation.h"

#include <fcntl.h>
#include <unistd.h>

bool Confirmed(const QString& question)
{
    const int tty = ::open("/dev/tty", O_RDWR | O_CLOEXEC);
    if (tty < 0)
        return false;
    const QByteArray asked = (question + QStringLiteral(" (да/нет): ")).toLocal8Bit();
    QByteArray answer;
    if (::write(tty, asked.constData(), std::size_t(asked.size())) == asked.size()) {
        char c = 0;
        while (::read(tty, &c, 1) == 1 && c != '\n')
            answer.append(c);
    }
    ::close(tty);
    const QString given = QString::fromLocal8Bit(answer).trimmed().toLower();
    return given == QStringLiteral("да") || given == QStringLiteral("yes");
}
